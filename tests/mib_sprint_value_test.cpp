// Value text of a binding: the printer of its node in the loaded tree, else the generic one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mib/mib_tree.h"
#include "mib/sprint_value.h"
#include "tests/support/mib_builder.h"

using namespace testing_support;

namespace {

struct Value {
    std::vector<uint32_t> name;
    uint8_t type;
    uint32_t number;
    std::string bytes;
};

std::string sprint(Value v, int form, int32_t size = 32768) {
    VarBind b{};
    b.name = v.name.data();
    b.name_length = static_cast<uint32_t>(v.name.size());
    b.type = v.type;
    if (v.type == ASN_OCTET_STRING || v.type == ASN_IP_ADDRESS) {
        b.value.string.length = static_cast<int32_t>(v.bytes.size());
        b.value.string.bytes = reinterpret_cast<const uint8_t*>(v.bytes.data());
    } else {
        b.value.uinteger = v.number;
    }
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
    CMUmib_sprint_value(buffer.data(), size, &b, form);
    EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "wrote past the size";
    return buffer.data();
}

}  // namespace

TEST(SprintValueTest, NodePrinterOrGenericPrinter) {
    Mib = build_standard_mib2_tree();
    const std::vector<uint32_t> if_oper_status_3 = {1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3};
    const std::vector<uint32_t> sys_descr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
    const std::vector<uint32_t> unknown = {1, 3, 6, 1, 4, 1, 99999, 1, 0};
    struct Case {
        const char* what;
        Value value;
        int form;
        std::string expect;
    };
    const std::vector<Case> cases = {
        {"enumeration of the node", {if_oper_status_3, ASN_INTEGER, 2, ""}, 1, "down"},
        {"labelled enumeration", {if_oper_status_3, ASN_INTEGER, 2, ""}, 0, "INTEGER: down"},
        {"string", {sys_descr, ASN_OCTET_STRING, 0, "router"}, 1, "router"},
        {"no node: by tag", {unknown, ASN_GAUGE, 7, ""}, 1, "7"},
        {"value of another type than the node's", {sys_descr, ASN_COUNTER, 9, ""}, 1, "9"},
        {"hole", {{0, 0, 0, 0, 0, 0}, ASN_NULL, 0, ""}, 1, "NULL"},
        {"noSuchObject", {sys_descr, 0x80, 0, ""}, 1, "noSuchObject"},
        {"noSuchInstance", {sys_descr, 0x81, 0, ""}, 0, "noSuchInstance"},
        {"endOfMibView", {sys_descr, 0x82, 0, ""}, 1, "endOfMibView"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sprint(c.value, c.form), c.expect);
    }
    EXPECT_EQ(sprint({sys_descr, 0x80, 0, ""}, 1, 5), "noSu");
    EXPECT_EQ(sprint({sys_descr, ASN_OCTET_STRING, 0, "router"}, 1, 1), "");
    release_mib_tree(Mib);
    Mib = nullptr;
    // Without a tree the generic printer speaks.
    EXPECT_EQ(sprint({if_oper_status_3, ASN_INTEGER, 2, ""}, 1), "2");
}
