// The event-definition generator on hand-made trap records and small trees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mib/events/mib_events.h"
#include "tests/support/test_support.h"

using testing_support::StderrCapture;

namespace {

// A stream whose text can be read back.
class MemoryStream {
  public:
    MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
    ~MemoryStream() {
        if (stream_) std::fclose(stream_);
        std::free(data_);
    }
    FILE* get() { return stream_; }
    std::string text() {
        std::fflush(stream_);
        return std::string(data_, size_);
    }

  private:
    char* data_ = nullptr;
    size_t size_ = 0;
    FILE* stream_;
};

MibNode* add(MibNode* parent, const char* label, uint32_t subid) {
    MibNode* node = new_mib_node();
    std::strcpy(node->label, label);
    node->subid = subid;
    node->parent = parent;
    if (parent) {
        MibNode** link = &parent->child;
        while (*link) link = &(*link)->peer;
        *link = node;
    }
    return node;
}

// iso.org.dod.internet with enterprises.acme(9) holding acmeTraps(0) and two variables, and
// mib-2.interfaces.ifTable.ifEntry with ifIndex(1) and ifOperStatus(8).
struct SmallTree {
    MibNode* root;
    SmallTree() {
        root = add(nullptr, "iso", 1);
        MibNode* internet = add(add(add(root, "org", 3), "dod", 6), "internet", 1);
        MibNode* mib2 = add(add(internet, "mgmt", 2), "mib-2", 1);
        MibNode* entry = add(add(add(mib2, "interfaces", 2), "ifTable", 2), "ifEntry", 1);
        add(entry, "ifIndex", 1);
        add(entry, "ifOperStatus", 8);
        MibNode* acme = add(add(add(internet, "private", 4), "enterprises", 1), "acme", 9);
        add(acme, "acmeTraps", 0);
        add(acme, "acmeTemp", 3);
        add(acme, "acmeLimit", 4);
    }
    ~SmallTree() { release_mib_tree(root); }
};

TrapDefinition make_trap(const char* name, const char* enterprise, int specific,
                         std::vector<const char*> variables = {}) {
    TrapDefinition record{};
    reset_trap_definition(record);
    std::strcpy(record.name, name);
    std::strcpy(record.enterprise, enterprise);
    record.specific = specific;
    for (const char* v : variables) record.variables[record.variable_count++] = strdup(v);
    return record;
}

// The records the next write takes, as a compile with trap collection hands them back.
TrapRecords saved;

void save(const TrapDefinition& record) {
    saved.push_back(take_trap_definition(record));
}

struct Outputs {
    MemoryStream commands, classes, variables, rules;
    std::string err;
    void write(const MibNode* root, const char* base = "Trap_Base") {
        StderrCapture capture;
        write_event_definitions(root, saved, commands.get(), classes.get(), variables.get(),
                                rules.get(), base);
        err = capture.finish();
    }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Each test starts from a fresh generator: no saved traps, no variable-list header written.
class EventDefinitionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_event_generator();
        saved.clear();
    }
    void TearDown() override {
        reset_event_generator();
        saved.clear();
    }
};

}  // namespace

TEST_F(EventDefinitionsTest, AllButTheLastCommandCarryTheTFlag) {
    SmallTree tree;
    save(make_trap("first", "acme", 1));
    save(make_trap("second", "acme", 2));
    save(make_trap("third", "acme", 3));
    Outputs out;
    out.write(tree.root);
    const auto lines = lines_of(out.commands.text());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(" -S 1 -T -f - "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" -S 1 -T -f - "), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2].find("-T "), std::string::npos) << lines[2];
    EXPECT_TRUE(saved.empty());

    save(make_trap("alone", "acme", 4));
    Outputs single;
    single.write(tree.root);
    EXPECT_EQ(single.commands.text().find("-T "), std::string::npos);
}

TEST_F(EventDefinitionsTest, TrapWithoutDirectivesGetsTheDefaults) {
    SmallTree tree;
    save(make_trap("acmeReboot", "acme", 5));
    Outputs out;
    out.write(tree.root);
    EXPECT_EQ(out.commands.text(),
              "alertreg -l acmeReboot -g 6 -s 5 -n acme -i 1.3.6.1.4.1.9 -o A  -c LOGONLY -t 0 "
              "-S 1 -f - -F \"$E $G $S $# args: $*\" \n");
    EXPECT_EQ(out.classes.text(),
              "\nPLEXA_CLASS :\n"
              "        acmeReboot ISA Trap_Base\n"
              "        DEFINES {\n"
              "                severity: default = WARNING;\n"
              "        };\nEND\n");
    EXPECT_EQ(out.err, "");
}

TEST_F(EventDefinitionsTest, DirectivesReachTheCommandAndTheClass) {
    SmallTree tree;
    TrapDefinition record = make_trap("acmeHot", "acme", 7, {"acmeTemp", "acmeLimit"});
    std::strcpy(record.category, "Threshold Events");
    std::strcpy(record.event_class, "Acme_Hot");
    record.severity = '5';
    record.status = '4';
    record.generic = 3;
    std::strcpy(record.arguments, "{1,0}");
    std::strcpy(record.summary, "\"Temperature %d over limit %d\"");
    record.slot_names[0] = strdup("sensor");
    record.slot_values[0] = strdup("$V1");
    record.slot_names[1] = nullptr;  // a "--#SLOTMAP" line without words
    record.slot_values[1] = nullptr;
    record.slot_count = 2;
    save(record);
    Outputs out;
    out.write(tree.root, "Acme_Base");
    EXPECT_EQ(out.commands.text(),
              "alertreg -l acmeHot -g 3 -s 7 -n acme -i 1.3.6.1.4.1.9 -o A  -c \"Status Events\" "
              "-t 4 -S 5 -f - -F \"Temperature $2 over limit $1\" \n");
    EXPECT_EQ(out.classes.text(),
              "\nPLEXA_CLASS :\n"
              "        Acme_Hot ISA Acme_Base\n"
              "        DEFINES {\n"
              "                severity: default = FATAL;\n"
              "                sensor : STRING \n"
              "        };\nEND\n");
}

TEST_F(EventDefinitionsTest, EnterpriseEndingInZeroIsRegisteredWithoutIt) {
    SmallTree tree;
    save(make_trap("acmeAlarm", "acmeTraps", 2, {"acmeTemp"}));
    Outputs out;
    out.write(tree.root);
    EXPECT_NE(out.commands.text().find("-n acmeTraps -i 1.3.6.1.4.1.9 -o "), std::string::npos)
        << out.commands.text();
    EXPECT_EQ(out.variables.text(),
              "\n# \"acmeTraps\"\t \"1.3.6.1.4.1.9\"\n\"acmeTemp\"\t \"1.3.6.1.4.1.9.3\"");
    EXPECT_NE(
        out.rules.text().find("\t2: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"1.3.6.1.4.1.9\");\n"),
        std::string::npos);
}

TEST_F(EventDefinitionsTest, EnterpriseIdentifierRule) {
    SmallTree tree;
    struct Case {
        const char* enterprise;
        const char* expected;
    } cases[] = {
        {"acme", "1.3.6.1.4.1.9"},
        {"acmeTraps", "1.3.6.1.4.1.9"},  // 1.3.6.1.4.1.9.0
        {"iso", "1"},
        {"nowhere", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        TrapDefinition record = make_trap("t", c.enterprise, 1);
        EXPECT_EQ(enterprise_oid_text(tree.root, record), c.expected) << c.enterprise;
    }
    // A last arc of 10 is not a final zero arc.
    MibNode* acme = tree.root->child->child->child->child->peer->child->child;
    add(acme, "acmeTen", 10);
    EXPECT_EQ(enterprise_oid_text(tree.root, make_trap("t", "acmeTen", 1)), "1.3.6.1.4.1.9.10");
    EXPECT_EQ(enterprise_oid_text(nullptr, make_trap("t", "acme", 1)), "");
}

TEST_F(EventDefinitionsTest, LabelLookupTakesTheFirstMatchOnly) {
    // Labels repeated under different parents, each parent labelled like the other's child:
    // the lookup gives the first node in depth-first order.
    MibNode* root = add(nullptr, "r", 1);
    MibNode* a = add(root, "a", 2);
    MibNode* b = add(root, "b", 3);
    add(a, "b", 4);
    add(b, "a", 5);
    EXPECT_EQ(oid_text_for_label(root, "b"), "1.2.4");
    EXPECT_EQ(oid_text_for_label(root, "a"), "1.2");
    EXPECT_EQ(oid_text_for_label(root, "B"), "");
    release_mib_tree(root);
}

TEST_F(EventDefinitionsTest, SummaryConversion) {
    struct Case {
        const char* arguments;
        const char* summary;
        const char* expected;
    } cases[] = {
        {"{1,0}", "\"%s is %s\"", "\"$2 is $1\""},
        {"{1}", "\"%s is %s\"", "\"$2 is \""},
        {"{ 2 , 0 }", "%u/%x", "$3/$1"},
        {"{x}", "%d", "$1"},  // a word that is not a number counts as 0
        {"{0}", "100%% %q %s", "100%% %q $1"},
        {"{}", "%s left", "%s left"},
        {"{0,1} 2", "%s %s %s", "$1 $2 $3"},
    };
    for (const Case& c : cases) {
        TrapDefinition record = make_trap("t", "acme", 1);
        std::strcpy(record.arguments, c.arguments);
        std::strcpy(record.summary, c.summary);
        std::string converted;
        EXPECT_EQ(convert_summary(record, converted), SummaryConversion::Converted);
        EXPECT_EQ(converted, c.expected) << c.arguments << " " << c.summary;
        EXPECT_STREQ(record.converted_summary, c.expected);
    }
}

TEST_F(EventDefinitionsTest, ArgumentsWithoutBraceLeaveTheSummaryAsItIs) {
    TrapDefinition record = make_trap("t", "acme", 1);
    std::strcpy(record.arguments, "1,0");
    std::strcpy(record.summary, "\"%s down\"");
    std::string converted;
    StderrCapture capture;
    EXPECT_EQ(convert_summary(record, converted), SummaryConversion::Converted);
    EXPECT_EQ(capture.finish(), "ARGUMENTS statement, no argument list: 1,0 \n");
    EXPECT_EQ(converted, "\"%s down\"");
}

TEST_F(EventDefinitionsTest, TwentyArgumentWordsAreTooMany) {
    SmallTree tree;
    TrapDefinition nineteen = make_trap("nineteen", "acme", 1);
    TrapDefinition twenty = make_trap("twenty", "acme", 2);
    std::string list = "{0";
    for (int i = 1; i < 19; ++i) list += "," + std::to_string(i);
    std::strcpy(nineteen.arguments, (list + "}").c_str());
    std::strcpy(twenty.arguments, (list + ",19}").c_str());
    std::strcpy(nineteen.summary, "\"%s\"");
    std::strcpy(twenty.summary, "\"%s\"");
    EXPECT_EQ(split_arguments(twenty.arguments).size(), 20u);
    save(nineteen);
    save(twenty);
    Outputs out;
    out.write(tree.root);
    const auto lines = lines_of(out.commands.text());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("-F \"$1\" "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("-F \"$E $G $S $# args: $*\" "), std::string::npos) << lines[1];
    EXPECT_EQ(out.err,
              "Too many arguments in summary string for  trap twenty, using default format.\n");
}

TEST_F(EventDefinitionsTest, SummaryLongerThanTheRecordFieldIsWrittenWhole) {
    TrapDefinition record = make_trap("t", "acme", 1);
    std::strcpy(record.arguments, "{0}");
    const std::string summary = "\"%s" + std::string(400, 'x') + "\"";
    std::strcpy(record.summary, summary.c_str());
    std::string converted;
    ASSERT_EQ(convert_summary(record, converted), SummaryConversion::Converted);
    EXPECT_EQ(converted, "\"$1" + std::string(400, 'x') + "\"");
    EXPECT_EQ(std::strlen(record.converted_summary), sizeof(record.converted_summary) - 1);
}

TEST_F(EventDefinitionsTest, SummaryWithoutArgumentsIsUsedUnchanged) {
    SmallTree tree;
    TrapDefinition record = make_trap("t", "acme", 1);
    std::strcpy(record.summary, "\"Reboot %s\"");
    save(record);
    Outputs out;
    out.write(tree.root);
    EXPECT_NE(out.commands.text().find(" -f - -F \"Reboot %s\" \n"), std::string::npos);
}

TEST_F(EventDefinitionsTest, BrixDriveStartsEachCommand) {
    SmallTree tree;
    setenv("BRIX_DRIVE", "D:", 1);
    save(make_trap("one", "acme", 1));
    save(make_trap("two", "acme", 2));
    Outputs out;
    out.write(tree.root);
    unsetenv("BRIX_DRIVE");
    const auto lines = lines_of(out.commands.text());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("D:\\usr\\Zorv\\bin\\alertreg -l one -g 6 -s 1 ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("D:\\usr\\Zorv\\bin\\alertreg -l two -g 6 -s 2 ", 0), 0u) << lines[1];
}

TEST_F(EventDefinitionsTest, TrapWithoutVariables) {
    SmallTree tree;
    save(make_trap("acmeReboot", "acme", 5));
    Outputs out;
    out.write(tree.root);
    EXPECT_EQ(out.rules.text(),
              "\nCLASS  acmeReboot \n"
              "  SELECT\n"
              "\t1: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"1.3.6.1.4.1.9\");\n"
              "\t2: $SPECIFIC = 5;\n"
              "  MAP\n"
              "\tenterprise = \"acme\" ;\n"
              "\tmsg = \"acmeReboot trap received\"; \n"
              "END\n");
    EXPECT_EQ(out.variables.text(), "");
}

TEST_F(EventDefinitionsTest, TrapWithVariablesWritesRuleAndVariableList) {
    SmallTree tree;
    save(make_trap("linkDown", "acme", 3, {"ifIndex", "ifOperStatus", "ifUnknown"}));
    save(make_trap("linkUp", "acme", 4, {"ifIndex"}));
    Outputs out;
    out.write(tree.root);
    EXPECT_EQ(out.variables.text(),
              "\n# \"acme\"\t \"1.3.6.1.4.1.9\""
              "\n\"ifIndex\"\t \"1.3.6.1.2.1.2.2.1.1\""
              "\n\"ifOperStatus\"\t \"1.3.6.1.2.1.2.2.1.8\""
              "\n\"ifUnknown\"\t \"\""
              "\n\"ifIndex\"\t \"1.3.6.1.2.1.2.2.1.1\"");
    EXPECT_EQ(lines_of(out.rules.text() + "\n").front(), "");
    const std::string rule = out.rules.text().substr(0, out.rules.text().find("END\n") + 4);
    EXPECT_EQ(rule,
              "\nCLASS  linkDown \n"
              "  SELECT\n"
              "\t1: ATTR(=,\"ifIndex\");\n"
              "\t2: ATTR(=,\"ifOperStatus\");\n"
              "\t3: ATTR(=,\"ifUnknown\");\n"
              "\t4: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"1.3.6.1.4.1.9\");\n"
              "\t5: $SPECIFIC = 3;\n"
              "  MAP\n"
              "\tifIndex = $V1 ;\n"
              "\tifOperStatus = $V2 ;\n"
              "\tifUnknown = $V3 ;\n"
              "\tenterprise = \"acme\" ;\n"
              "\tmsg = PRINTF (\"linkDown  ifIndex=%s; ifOperStatus=%s; ifUnknown=%s\", $V1, $V2, "
              "$V3); \n"
              "END\n");
}

TEST_F(EventDefinitionsTest, VariableListHeaderComesBeforeTheFirstEntryOnly) {
    SmallTree tree;
    save(make_trap("quiet", "nowhere", 1));
    save(make_trap("first", "acmeTraps", 2, {"acmeTemp"}));
    Outputs out;
    out.write(tree.root);
    save(make_trap("later", "acme", 3, {"acmeLimit"}));
    Outputs again;
    again.write(tree.root);
    EXPECT_EQ(out.variables.text(),
              "\n# \"acmeTraps\"\t \"1.3.6.1.4.1.9\"\n\"acmeTemp\"\t \"1.3.6.1.4.1.9.3\"");
    EXPECT_EQ(again.variables.text(), "\n\"acmeLimit\"\t \"1.3.6.1.4.1.9.4\"");
}

TEST_F(EventDefinitionsTest, EnterpriseNotInTheTree) {
    SmallTree tree;
    save(make_trap("lost", "nowhere", 2, {"ifIndex"}));
    Outputs out;
    out.write(tree.root);
    EXPECT_NE(out.commands.text().find(" -s 2 -n nowhere -o A "), std::string::npos)
        << out.commands.text();
    EXPECT_EQ(out.err, "Enterprise object identifier not found for trap lost, (6,2).\n");
    EXPECT_NE(out.rules.text().find("\t2: ATTR(=,$ENTERPRISE), VALUE(PREFIX, \"\");\n"),
              std::string::npos);
    EXPECT_EQ(out.variables.text(),
              "\n# \"nowhere\"\t \"\"\n\"ifIndex\"\t \"1.3.6.1.2.1.2.2.1.1\"");
}

TEST_F(EventDefinitionsTest, TrapWithoutEnterprise) {
    SmallTree tree;
    save(make_trap("anon", "", 9));
    Outputs out;
    out.write(tree.root);
    EXPECT_EQ(out.commands.text().rfind("alertreg -l anon -g 6 -s 9 -o A  -c LOGONLY ", 0), 0u)
        << out.commands.text();
    EXPECT_EQ(out.err, "No enterprise name or object identifier for trap anon, (6,9).\n");
}

TEST_F(EventDefinitionsTest, NothingSavedOrNoCommandStream) {
    Outputs out;
    out.write(nullptr);
    EXPECT_EQ(out.err, "Error -- No trap definitions found.\n Check MIB source file for errors.\n");
    EXPECT_EQ(out.commands.text() + out.classes.text() + out.rules.text(), "");

    save(make_trap("kept", "acme", 1));
    StderrCapture capture;
    write_event_definitions(nullptr, saved, nullptr, nullptr, nullptr, nullptr, "B");
    EXPECT_EQ(capture.finish(), "");
    ASSERT_EQ(saved.size(), 1u);
}

TEST_F(EventDefinitionsTest, OnlyTheCommandsWhenTheOtherStreamsAreAbsent) {
    SmallTree tree;
    TrapDefinition record = make_trap("t", "acme", 1, {"ifIndex"});
    record.slot_names[0] = strdup("slot");
    record.slot_values[0] = strdup("value");
    record.slot_count = 1;
    save(record);
    MemoryStream commands;
    write_event_definitions(tree.root, saved, commands.get(), nullptr, nullptr, nullptr, "B");
    EXPECT_EQ(lines_of(commands.text()).size(), 1u);
    EXPECT_TRUE(saved.empty());
}

TEST_F(EventDefinitionsTest, EventClassSeverityFollowsTheSeverityCode) {
    const std::pair<char, const char*> cases[] = {{'0', "NORMAL"},   {'1', "WARNING"},
                                                  {'2', "WARNING"},  {'3', "HARMLESS"},
                                                  {'4', "CRITICAL"}, {'5', "FATAL"}};
    for (const auto& [code, word] : cases) {
        TrapDefinition record = make_trap("t", "acme", 1);
        record.severity = code;
        MemoryStream classes;
        write_event_class(classes.get(), record, "B");
        EXPECT_NE(classes.text().find(std::string("severity: default = ") + word + ";\n"),
                  std::string::npos)
            << code;
    }
}

TEST_F(EventDefinitionsTest, MessageTextOfManyLongVariablesIsComplete) {
    TrapDefinition record = make_trap("big", "acme", 1);
    const std::string label(63, 'v');
    for (int i = 0; i < kTrapVariables; ++i) record.variables[i] = strdup(label.c_str());
    record.variable_count = kTrapVariables;
    const std::string text = build_message_text(record);
    EXPECT_GT(text.size(), 2047u);
    EXPECT_EQ(text.rfind(", $V63, $V64)"), text.size() - 13);
    auto* copy = static_cast<TrapDefinition*>(std::malloc(sizeof(TrapDefinition)));
    std::memcpy(copy, &record, sizeof(TrapDefinition));
    release_trap_definition(copy);
}

TEST_F(EventDefinitionsTest, CommandFormatTextsThatStayOneShellWord) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"\"Link down\"", true},
        {" \t\"Link down\" ", true},
        {"\"\"", true},
        {"\"Port $1 of $12: $E $G $S $# args: $*\"", true},
        {"\"First line \\n second line\"", true},
        {"\"Can't reach 'x' at 50% %d\"", true},
        {"Link down", false},
        {"\"Link down\"; touch PWNED; echo \"x\"", false},
        {"\"a\" \"b\"", false},
        {"\"a\"b", false},
        {"\"", false},
        {"\"$(touch PWNED)\"", false},
        {"\"`touch PWNED`\"", false},
        {"\"${HOME}\"", false},
        {"\"$HOME\"", false},
        {"\"$$\"", false},
        {"\"cost $\"", false},
        {"\"back\\\\slash\"", false},
        {"\"quote \\\" inside\"", false},
        {"\"ends in a backslash\\\"", false},
        {"\"line\nbreak\"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(is_command_format_text(c.text), c.accepted) << c.text;
}

TEST_F(EventDefinitionsTest, DirectiveTextsThatWouldNotStayOneWordGiveWayToTheDefaults) {
    SmallTree tree;
    TrapDefinition record = make_trap("acmeHot", "acme", 7, {"acmeTemp"});
    std::strcpy(record.arguments, "{0}");
    std::strcpy(record.summary, "\"Cost $%d\"");  // becomes "$$1"
    std::strcpy(record.event_class, "Acme Hot; x");
    record.slot_names[0] = strdup("a\"b");
    record.slot_values[0] = strdup("$V1");
    record.slot_names[1] = strdup("\tsensor");
    record.slot_values[1] = nullptr;
    record.slot_count = 2;
    save(record);
    TrapDefinition plain = make_trap("acmeCold", "acme", 8);
    std::strcpy(plain.summary, "\"Cold\"; rm -rf x");
    std::strcpy(plain.event_class, " Acme_Cold ");
    save(plain);
    Outputs out;
    out.write(tree.root);
    const auto lines = lines_of(out.commands.text());
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.substr(line.find(" -f - ")), " -f - -F \"$E $G $S $# args: $*\" ") << line;
    }
    EXPECT_EQ(out.classes.text(),
              "\nPLEXA_CLASS :\n"
              "        acmeHot ISA Trap_Base\n"
              "        DEFINES {\n"
              "                severity: default = WARNING;\n"
              "                \tsensor : STRING \n"
              "        };\nEND\n"
              "\nPLEXA_CLASS :\n"
              "         Acme_Cold  ISA Trap_Base\n"
              "        DEFINES {\n"
              "                severity: default = WARNING;\n"
              "        };\nEND\n");
    EXPECT_EQ(out.err,
              "--#SUMMARY text for trap acmeHot would not stay one word in the commands file, "
              "using default format.\n"
              "--#EVENTCLASS text for trap acmeHot would not stay one word in the classes file, "
              "using the trap name.\n"
              "--#SLOTMAP text for trap acmeHot would not stay one word in the classes file, "
              "leaving the slot out.\n"
              "--#SUMMARY text for trap acmeCold would not stay one word in the commands file, "
              "using default format.\n");
}
