// Name lookups against a generated 10,000-node tree: parsing a 10-element name and choosing a
// column's format.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mib/mib.h"

namespace {

constexpr int kGroups = 100;
constexpr int kColumns = 97;  // with the group, table and entry nodes: 100 nodes a group

MibNode* add(MibNode* parent, const std::string& label, uint32_t subid, int32_t type = 0) {
    MibNode* node = new_mib_node();
    std::strncpy(node->label, label.c_str(), kMibLabelSize - 1);
    node->subid = subid;
    node->type = type;
    node->parent = parent;
    if (parent) {
        MibNode** link = &parent->child;
        while (*link) link = &(*link)->peer;
        *link = node;
    }
    return node;
}

// iso.org.dod.internet.mgmt.mib-2 and under it grp1..grp100, each with tbl.ent and 97 columns.
MibNode* build_tree() {
    MibNode* iso = add(nullptr, "iso", 1);
    MibNode* internet = add(add(add(iso, "org", 3), "dod", 6), "internet", 1);
    MibNode* mib2 = add(add(internet, "mgmt", 2), "mib-2", 1);
    add(add(internet, "private", 4), "enterprises", 1);
    for (int g = 1; g <= kGroups; ++g) {
        MibNode* entry = add(add(add(mib2, "grp" + std::to_string(g), g), "tbl", 1), "ent", 1);
        for (int c = 1; c <= kColumns; ++c)
            add(entry, "col" + std::to_string(g) + "x" + std::to_string(c), c, 2 + c % 9);
    }
    attach_printers(iso);
    return iso;
}

// The tree as this process's MIB database, so that parse_oid_text finds it.
class Database {
  public:
    Database() {
        char pattern[] = "/tmp/zorv-bench-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir_ = pattern;
        MibNode* tree = build_tree();
        if (write_mib_file((dir_ + "/mib.bin").c_str(), tree) != 0) std::abort();
        release_mib_tree(tree);
        setenv("MIBDBV2", (dir_ + "/mib").c_str(), 1);
        if (refresh_mib() != 0) std::abort();
    }
    ~Database() {
        std::remove((dir_ + "/mib.bin").c_str());
        rmdir(dir_.c_str());
    }

  private:
    std::string dir_;
};

Database& database() {
    static Database db;
    return db;
}

const char kRelative[] = "grp100.tbl.ent.col100x97.1.2.3.4.5.6";
const char kAbsolute[] = ".iso.org.dod.internet.mgmt.mib-2.grp100.tbl.ent.col100x97";

void BM_ParseOidText(benchmark::State& state, const char* text) {
    database();
    uint32_t ids[64];
    for (auto _ : state) {
        int32_t count = 64;
        if (parse_oid_text(text, ids, &count) != 0) state.SkipWithError("no parse");
        benchmark::DoNotOptimize(ids);
    }
}
BENCHMARK_CAPTURE(BM_ParseOidText, relative_10_elements, kRelative);
BENCHMARK_CAPTURE(BM_ParseOidText, absolute_10_elements, kAbsolute);

void BM_ParseOidNames(benchmark::State& state) {
    database();
    uint32_t ids[64];
    for (auto _ : state) {
        int32_t count = 64;
        if (parse_oid_names(kRelative, ids, &count) != 1) state.SkipWithError("no parse");
        benchmark::DoNotOptimize(ids);
    }
}
BENCHMARK(BM_ParseOidNames);

void BM_ColumnFormat(benchmark::State& state) {
    database();
    const uint32_t ids[] = {1, 3, 6, 1, 2, 1, 100, 1, 1, 97, 5};
    for (auto _ : state) {
        int32_t width = 0;
        ValuePrinter printer;
        const char* format;
        EnumEntry* enums;
        benchmark::DoNotOptimize(column_format(ids, 11, &width, &printer, &format, &enums));
    }
}
BENCHMARK(BM_ColumnFormat);

}  // namespace

BENCHMARK_MAIN();
