// The per-cell cost of -hints and index fields: a MAC address by "1x:" against its plain
// printer text, and an ipNetToPhysical-style instance (ifIndex, address type, IPv4 address)
// decoded and rendered.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mib/index_decode.h"
#include "mib/render_value.h"

namespace {

const uint8_t kMac[] = {0x00, 0x12, 0x79, 0x62, 0xF9, 0x40};

MibValue mac_value() {
    MibValue value{ASN_OCTET_STRING, {}};
    value.data.string.length = sizeof kMac;
    value.data.string.bytes = kMac;
    return value;
}

void render_mac(benchmark::State& state, unsigned flags) {
    const MibValue value = mac_value();
    const ValueSyntax syntax{MIB_TYPE_OCTET_STRING, nullptr, "1x:"};
    std::string out;
    for (auto _ : state) {
        out.clear();
        render_value(out, value, syntax, flags);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_MacPlain(benchmark::State& state) {
    render_mac(state, kRenderPlain);
}
void BM_MacHint(benchmark::State& state) {
    render_mac(state, kRenderHint);
}

void BM_NetToPhysicalIndex(benchmark::State& state) {
    EnumEntry ipv6{nullptr, 2, const_cast<char*>("ipv6")};
    EnumEntry ipv4{&ipv6, 1, const_cast<char*>("ipv4")};
    std::vector<IndexComponent> components(3);
    components[0].kind = IndexKind::kInteger;
    components[0].syntax.type = MIB_TYPE_INTEGER;
    components[1].kind = IndexKind::kInetAddressType;
    components[1].syntax = {MIB_TYPE_INTEGER, &ipv4, {}};
    components[2].kind = IndexKind::kInetAddress;
    components[2].syntax.type = MIB_TYPE_OCTET_STRING;
    const uint32_t instance[] = {3, 1, 4, 192, 0, 2, 9};
    const unsigned flags = static_cast<unsigned>(state.range(0));
    std::vector<IndexValue> values;
    std::string out;
    for (auto _ : state) {
        decode_index(instance, std::size(instance), components, values);
        for (size_t k = 0; k < values.size(); ++k) {
            out.clear();
            render_index_value(out, instance, values[k], components[k], flags);
            benchmark::DoNotOptimize(out.data());
        }
    }
}

}  // namespace

BENCHMARK(BM_MacPlain);
BENCHMARK(BM_MacHint);
BENCHMARK(BM_NetToPhysicalIndex)->Arg(kRenderPlain)->Arg(kRenderHint);
BENCHMARK_MAIN();
