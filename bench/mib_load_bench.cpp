// Loading a MIB intermediate file: read_mib_file and the release of what it built, for a
// generated database of 10,000 and of 2,000 nodes; and loading the companion of such a database,
// its binding checked.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "mib/companion.h"
#include "mib/mib_file.h"

namespace {

MibNode* make_node(MibNode* parent, MibNode**& link, const std::string& label, uint32_t subid,
                   int32_t type, int32_t access) {
    MibNode* node = new_mib_node();
    std::snprintf(node->label, sizeof(node->label), "%s", label.c_str());
    node->subid = subid;
    node->type = type;
    node->access = access;
    node->parent = parent;
    *link = node;
    link = &node->peer;
    return node;
}

void add_enums(MibNode* node, std::mt19937& random) {
    static const char* const names[] = {"up",      "down",    "testing",  "unknown",
                                        "dormant", "enabled", "disabled", "notPresent"};
    EnumEntry** link = &node->enums;
    const int count = 2 + static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
        auto* entry = static_cast<EnumEntry*>(std::calloc(1, sizeof(EnumEntry)));
        entry->value = i + 1;
        entry->label = copy_text(names[i]);
        *link = entry;
        link = &entry->next;
    }
}

std::string description(std::mt19937& random) {
    static const char* const words[] = {
        "The",       "number",    "of",      "octets",     "received",       "on",     "the",
        "interface", "including", "framing", "characters", "This",           "object", "is",
        "a",         "64-bit",    "version", "counter",    "discontinuities"};
    std::string text;
    const int count = 15 + static_cast<int>(random() % 50);
    for (int i = 0; i < count; ++i) {
        if (!text.empty()) text += ' ';
        text += words[random() % (sizeof(words) / sizeof(words[0]))];
    }
    return text + ".";
}

// Groups of tables under one module node, each table with an entry of columns, until the
// tree holds `total` nodes: the shape of a compiled set of MIB modules.
MibNode* generate_tree(int total) {
    static const char* const prefixes[] = {"if", "ip", "tcp", "udp", "ipv6", "ent", "hr", "dot1d"};
    static const char* const columns[] = {"Index",
                                          "Descr",
                                          "Type",
                                          "Mtu",
                                          "Speed",
                                          "PhysAddress",
                                          "AdminStatus",
                                          "OperStatus",
                                          "LastChange",
                                          "HCInOctets",
                                          "HCInUcastPkts",
                                          "HCInMulticastPkts",
                                          "HCOutOctets",
                                          "HCOutUcastPkts",
                                          "InErrors",
                                          "OutDiscards",
                                          "Alias",
                                          "ConnectorPresent",
                                          "CounterDiscontinuityTime",
                                          "Name"};
    static const int32_t types[] = {3, 2, 3, 3, 7, 2, 3, 3, 8, 11, 11, 11, 11, 6, 6, 2, 3, 8, 2};
    std::mt19937 random(42);
    int made = 0;
    MibNode* root = nullptr;
    MibNode** top_link = &root;
    MibNode* enterprises = make_node(nullptr, top_link, "enterprises", 1, 0, 0);
    ++made;
    MibNode** module_link = &enterprises->child;
    for (uint32_t module = 1; made < total; ++module) {
        const std::string prefix = prefixes[module % 8];
        MibNode* mib = make_node(enterprises, module_link, prefix + "Mib" + std::to_string(module),
                                 module, 0, 0);
        ++made;
        MibNode** table_link = &mib->child;
        for (uint32_t table = 1; table <= 4 && made < total; ++table) {
            const std::string base = prefix + "X" + std::to_string(table);
            MibNode* t = make_node(mib, table_link, base + "Table", table, 0, 4);
            MibNode** entry_link = &t->child;
            MibNode* entry = make_node(t, entry_link, base + "Entry", 1, 0, 4);
            made += 2;
            MibNode** column_link = &entry->child;
            for (uint32_t c = 1; c <= 20 && made < total; ++c, ++made) {
                const int i = static_cast<int>(c - 1) % 19;
                MibNode* column =
                    make_node(entry, column_link, base + columns[i], c, types[i], c % 3 ? 0 : 1);
                if (types[i] == 3 && random() % 3 == 0) add_enums(column, random);
                if (random() % 2 == 0) column->description = copy_text(description(random));
            }
        }
    }
    return root;
}

std::string write_database(int nodes) {
    char pattern[] = "/tmp/mib_load_bench-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    close(fd);
    MibNode* tree = generate_tree(nodes);
    if (write_mib_file(pattern, tree) != 0) std::abort();
    release_mib_tree(tree);
    return pattern;
}

// Facts for every node, as a compiler would give them: the module of each, and for columns and
// entries the conventions, hints, sizes and INDEX that real tables have.
void add_facts(const MibNode* node, std::vector<uint32_t>& oid, const std::string& module,
               std::vector<NodeFacts>& facts) {
    for (; node; node = node->peer) {
        oid.push_back(node->subid);
        const std::string own = oid.size() == 2 ? std::string(node->label) + "-MIB" : module;
        NodeFacts f;
        f.oid = oid;
        f.modules = {own.empty() ? "SNMPv2-SMI" : own};
        const std::string_view label = node->label;
        if (label.ends_with("Entry")) {
            std::vector<uint32_t> index = oid;
            index.push_back(1);
            f.index.push_back(index);
            if (oid.back() % 2 == 0) {
                index.back() = 2;
                f.index.push_back(index);
                f.implied = true;
            }
        } else if (label.ends_with("PhysAddress")) {
            f = {oid, f.modules, "PhysAddress", "1x:", {{6, 6}}, {}, false, {}};
        } else if (label.ends_with("Descr") || label.ends_with("Alias")) {
            f = {oid, f.modules, "DisplayString", "255a", {{0, 255}}, {}, false, {}};
        } else if (label.ends_with("Status")) {
            f.syntax = "TruthValue";
        }
        facts.push_back(std::move(f));
        add_facts(node->child, oid, own, facts);
        oid.pop_back();
    }
}

void BM_LoadCompanion(benchmark::State& state) {
    const std::string path = write_database(static_cast<int>(state.range(0)));
    MibNode* tree = read_mib_file(path.c_str());
    std::vector<NodeFacts> facts;
    std::vector<uint32_t> oid;
    add_facts(tree, oid, "", facts);
    release_mib_tree(tree);
    const CompanionResult written = write_companion(path, facts);
    if (!written.ok()) state.SkipWithError(written.message.c_str());
    for (auto _ : state) {
        CompanionResult result;
        auto companion = read_companion(path, result);
        if (!companion) {
            state.SkipWithError(result.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(companion->size());
    }
    std::FILE* f = std::fopen(companion_path(path).c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    state.counters["file_bytes"] = static_cast<double>(std::ftell(f));
    state.counters["records"] = static_cast<double>(facts.size());
    std::fclose(f);
    unlink(companion_path(path).c_str());
    unlink(path.c_str());
}

void BM_LoadMibFile(benchmark::State& state) {
    const std::string path = write_database(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MibNode* tree = read_mib_file(path.c_str());
        if (!tree) {
            state.SkipWithError(mib_file_message(path.c_str()));
            break;
        }
        release_mib_tree(tree);
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    state.counters["file_bytes"] = static_cast<double>(std::ftell(f));
    std::fclose(f);
    unlink(path.c_str());
}

double largest(const std::vector<double>& v) {
    double m = 0;
    for (double x : v) m = x > m ? x : m;
    return m;
}

BENCHMARK(BM_LoadMibFile)
    ->Arg(10000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", largest);

}  // namespace

BENCHMARK(BM_LoadCompanion)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", largest);

BENCHMARK_MAIN();
