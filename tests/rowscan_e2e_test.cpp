// The built rowscan against a simulated router (snmpsimd) and, for what a real agent will not
// do, against the scripted agent of the test suite.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/snmp/ber.h"
#include "runtime/snmp/message.h"
#include "tests/support/fake_agent.h"
#include "tests/support/mib_builder.h"
#include "tests/support/snmpsim.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kRowscan = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/rowscan";
const std::string kIfEntry = ".1.3.6.1.2.1.2.2.1";
const std::string kNamedTable = ".1.3.6.1.4.1.99999.2.1.1";
const std::string kSpecialTable = ".1.3.6.1.4.1.99999.3.1.1";
const char* const kVersions[] = {"1", "2c"};

const std::string kUsage =
    "usage: rowscan -table objId -fields fieldList -node nodeName\n"
    "                [-c community] [-d] [-appname applicationName] [-t title]\n\n"
    "                Required Arguments\n"
    "       -table   Object id of the table entry\n"
    "       -fields  Comma separated list of field ids, where\n"
    "                fieldList :: fieldSpec[,fieldSpec]...\n"
    "                fieldSpec :: [label=]fieldId[:width]\n"
    "                fieldId   :: object sub-id of the field\n"
    "                label     :: column label for the field\n"
    "                width     :: column width for the field\n"
    "       -node    Name or IP Address of device to query\n\n"
    "                Optional Arguments\n"
    "       -c       SNMP community name\n"
    "       -d       dump SNMP packets\n"
    "       -appname Unique name of the MIB Application\n"
    "       -title   Title for the MIB Application Window\n";

// One agent and one MIB database for the whole program.
class Agent : public ::testing::Environment {
  public:
    void SetUp() override {
        if (write_standard_mib2_file(mib_.file("std.bin")) != 0) mib_broken = true;
        if (!SnmpSim::available()) return;
        sim = std::make_unique<SnmpSim>(
            std::vector<std::string>{ZORV_SOURCE_DIR "/tests/data/demo/public.snmprec",
                                     ZORV_SOURCE_DIR "/tests/data/e2e/special.snmprec",
                                     ZORV_SOURCE_DIR "/tests/data/e2e/sparse.snmprec"});
    }
    void TearDown() override { sim.reset(); }
    std::string mib_base() const { return mib_.file("std"); }

    std::unique_ptr<SnmpSim> sim;
    bool mib_broken = false;

  private:
    TempDir mib_;
};

Agent* agent = static_cast<Agent*>(::testing::AddGlobalTestEnvironment(new Agent));

std::string fmt(const char* format, const std::string& text) {
    std::vector<char> out(text.size() + 256);
    std::snprintf(out.data(), out.size(), format, text.c_str());
    return out.data();
}

std::string title_line(const std::string& title, const std::string& node) {
    long pad = 40 - static_cast<long>(node.size() + 1 + title.size()) / 2;
    if (pad < 0) pad = 0;
    return "\n" + std::string(pad, ' ') + title + " " + node + "\n\n";
}

class RowscanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(agent->sim && agent->sim->running()) << (agent->sim ? agent->sim->log() : "");
        ASSERT_FALSE(agent->mib_broken);
        node = agent->sim->endpoint();
    }

    ProgramResult run(const std::vector<std::string>& args, const char* version = "2c",
                      std::vector<std::string> env = {}) {
        env.push_back(std::string("ZORVSNMP_VERSION=") + version);
        env.push_back("MIBDBV2=" + agent->mib_base());
        return run_program(kRowscan, args, env);
    }

    std::string node;
};

// Messages and usage come before anything is asked of a node.
TEST(RowscanUsageTest, EveryUsageMessageWithItsStatus) {
    const struct {
        std::vector<std::string> args;
        std::string message;
        bool usage;
    } cases[] = {
        {{}, "ERROR: missing required option, -table\n", true},
        {{"-fields", "1", "-node", "n"}, "ERROR: missing required option, -table\n", true},
        {{"-table", "1.3", "-node", "n"}, "ERROR: missing required option, -fields\n", true},
        {{"-table", "1.3", "-fields", "1"}, "ERROR: missing required option, -node\n", true},
        {{"-table", "1.3", "-fields", "1", "-node", "n", "stray"},
         "ERROR: invalid parameter, stray\n",
         true},
        // Only a first argument asks for help or the version.
        {{"-table", "1.3", "-fields", "1", "-node", "n", "--version"},
         "ERROR: invalid parameter, --version\n",
         true},
        {{"-table", "1.3", "-fields", "1", "-node"},
         "ERROR: invalid or missing argument for option, -node\n",
         true},
        {{"-table", "1.3", "-fields", ",2", "-node", "n"}, "ERROR: invalid field list: ,2\n", true},
        {{"-table", "1.3", "-fields", "2,", "-node", "n"}, "ERROR: invalid field list: 2,\n", true},
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "1,"},
         "ERROR: invalid object list: 1,\n",
         true},
        // An instance that is no identifier is refused before any request.
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "1..2"},
         "ERROR: invalid object list: 1..2\n",
         true},
        {{"-table", "1.3", "-fields", "2", "-node", "n", "-inst", "3,99999999999"},
         "Sub-identifier too large: 99999999999\nERROR: invalid object list: 3,99999999999\n",
         true},
        // The table is resolved before the field list is split.
        {{"-table", "noSuchTable", "-fields", ",", "-node", "n"},
         "ERROR: unknown table id: noSuchTable\n",
         false},
        {{"-table", "1.3", "-fields", "1,bogus", "-node", "n"},
         "ERROR: unknown field id: bogus\n",
         false},
        // Wider than any value can be.
        {{"-table", "1.3", "-fields", "1,2:65537", "-node", "n"},
         "ERROR: invalid field list: 1,2:65537\n",
         true},
        {{"-table", "1.3", "-fields", "2:2147483647", "-node", "n"},
         "ERROR: invalid field list: 2:2147483647\n",
         true},
        // A wrapper that is not a safe printf format is refused before any output.
        {{"-html", "-htmlFmt", "%d,,,", "-table", "1.3", "-fields", "1", "-node", "n"},
         "ERROR: invalid or missing argument for option, -htmlFmt\n",
         true},
        {{"-html", "-htmlFmt", "<table>%s%s</table>,,,"},
         "ERROR: invalid or missing argument for option, -htmlFmt\n",
         true},
        // Each form for scripts stands alone.
        {{"-csv", "-html", "-table", "1.3", "-fields", "1", "-node", "n"},
         "ERROR: invalid parameter, -csv\n",
         true},
        {{"-json", "-js", "-table", "1.3", "-fields", "1", "-node", "n"},
         "ERROR: invalid parameter, -json\n",
         true},
        {{"-csv", "-json", "-table", "1.3", "-fields", "1", "-node", "n"},
         "ERROR: invalid parameter, -json\n",
         true},
    };
    for (const auto& c : cases) {
        const ProgramResult r = run_program(kRowscan, c.args, {"MIBDBV2=" + agent->mib_base()});
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.status, 1) << joined;
        EXPECT_EQ(r.out, "") << joined;
        EXPECT_EQ(r.err, c.message + (c.usage ? kUsage : "")) << joined;
    }
}

TEST(RowscanUsageTest, HelpAndVersionOnStandardOutput) {
    ProgramResult r = run_program(kRowscan, {"--help"}, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    r = run_program(kRowscan, {"--version", "-table"}, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, testing::MatchesRegex("rowscan \\(zorv\\) [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

// A name that does not resolve while no database could be loaded: the message, then one line
// that names the file and says why. A damaged file costs its one pause however many names are
// looked up in it.
TEST(RowscanUsageTest, UnresolvedNameSaysWhyNoDatabaseLoaded) {
    TempDir dir;
    const std::string whole = read_file(agent->mib_base() + ".bin");
    write_file(dir.file("damaged.bin"), whole.substr(0, whole.size() / 2));
    ASSERT_EQ(mkfifo(dir.file("fifo.bin").c_str(), 0644), 0);
    std::string twenty_names = "ifIndex";
    for (int i = 1; i < 20; ++i) twenty_names += ",ifDescr";
    const struct {
        std::string base;
        std::string table;
        std::string message;
        std::string reason;
    } cases[] = {
        {dir.file("damaged"), kIfEntry, "ERROR: unknown field id: ifIndex\n",
         "Error reading file " + dir.file("damaged.bin") + ": inconsistent or corrupted data\n"},
        {dir.file("fifo"), "interfaces.ifTable.ifEntry",
         "ERROR: unknown table id: interfaces.ifTable.ifEntry\n",
         "Error accessing " + dir.file("fifo.bin") + ": not a regular file\n"},
        {dir.file("absent"), "interfaces.ifTable.ifEntry",
         "ERROR: unknown table id: interfaces.ifTable.ifEntry\n",
         "Error accessing " + dir.file("absent.bin") + ": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r =
            run_program(kRowscan, {"-table", c.table, "-fields", twenty_names, "-node", "n"},
                        {"MIBDBV2=" + c.base});
        EXPECT_EQ(r.status, 1) << c.base;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message + c.reason);
    }
}

TEST_F(RowscanTest, TextTableWithTypedWidthsAndAlignment) {
    for (const char* version : kVersions) {
        const ProgramResult r =
            run({"-node", node, "-table", kIfEntry, "-fields", "Index=1,Descr=2"}, version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        std::string expected = title_line("User Specified MIB Table for", node);
        expected += fmt("%11.11s", "Index") + "  " + fmt("%-48.48s", "Descr") + "\n";
        const char* names[] = {"lo",   "eth0", "eth1", "eth2", "eth3", "eth4",
                               "eth5", "eth6", "eth7", "ppp0", "tun0", "vlan100"};
        for (int i = 0; i < 12; ++i) {
            expected +=
                fmt("%11.11s", std::to_string(i + 1)) + "\t" + fmt("%-48.48s", names[i]) + "\n";
        }
        EXPECT_EQ(r.out, expected) << version;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(RowscanTest, GivenWidthsLabelsAndNamedColumns) {
    // Speed: max(12, 5) right-aligned; ifDescr resolved by name under the numeric table.
    const ProgramResult r =
        run({"-node", node, "-c", "public", "-t", "Links", "-appname", "x y", "-table", kIfEntry,
             "-fields", "Speed=5:12,ifDescr:4", "-inst", "2,10"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("Links", node) + fmt("%12.12s", "Speed") + "  " +
                         fmt("%-7.7s", "ifDescr") + "\n" + fmt("%12.12s", "1000000000") + "\t" +
                         fmt("%-7.7s", "eth0") + "\n" + fmt("%12.12s", "2048000") + "\t" +
                         fmt("%-7.7s", "ppp0") + "\n");
}

// The widest column lays out its heading and its cells alike.
TEST_F(RowscanTest, WidestColumn) {
    const ProgramResult r =
        run({"-node", node, "-table", kIfEntry, "-fields", "Index=1:65536", "-inst", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("User Specified MIB Table for", node) +
                         std::string(65536 - 5, ' ') + "Index\n" + std::string(65535, ' ') + "3\n");
}

TEST_F(RowscanTest, TitleCentring) {
    // Node and title of 77 characters give one space of padding; 79 and more give none.
    for (const size_t total : {77u, 78u, 79u, 90u}) {
        const std::string title(total - node.size(), 'T');
        const ProgramResult r =
            run({"-node", node, "-title", title, "-table", kIfEntry, "-fields", "1", "-inst", "1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string pad = total <= 78 ? " " : "";
        EXPECT_EQ(r.out.substr(0, r.out.find(node) + node.size() + 2),
                  "\n" + pad + title + " " + node + "\n\n")
            << total;
    }
}

TEST_F(RowscanTest, HolesCleaningAndMultilineValues) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-c", "special", "-table", kSpecialTable,
                                     "-fields", "1,Text=2,Count=3:6"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        auto line = [](const std::string& a, const std::string& b, const std::string& c) {
            return fmt("%-40.40s", a) + "\t" + fmt("%-40.40s", b) + "\t" + fmt("%-6.6s", c) + "\n";
        };
        std::string expected = title_line("User Specified MIB Table for", node);
        expected += fmt("%-40.40s", "1") + "  " + fmt("%-40.40s", "Text") + "  " +
                    fmt("%-6.6s", "Count") + "\n";
        expected += line("1", "plain", "100");
        expected += line("2", "tab here", "<NO VALUE>");
        expected += line("3", "two\nlines", "300");
        expected += line("4", "it's a \\ <b>&amp; \"q\"", "400");
        expected += line("5", "last", "500");
        EXPECT_EQ(r.out, expected) << version;
    }
}

TEST_F(RowscanTest, ScriptEscaping) {
    const ProgramResult r = run({"-node", node, "-c", "special", "-js", "-table", kSpecialTable,
                                 "-fields", "T=2:30", "-inst", "3,4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("User Specified MIB Table for", node) + fmt("%-30.30s", "T") +
                         "\n" + fmt("%-30.30s", "two<br>\\\nlines") + "\n" +
                         fmt("%-30.30s", "it\\'s a \\\\ <b>&amp; \"q\"") + "\n");
}

TEST_F(RowscanTest, HtmlWithTheDefaultWrappers) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-html", "-table", kIfEntry, "-fields",
                                     "Index=1,Descr=2", "-inst", "1,3"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        EXPECT_EQ(r.out,
                  "<TH NOWRAP>Index</TH><TH NOWRAP>Descr</TH></TR>"
                  "<TR><TD NOWRAP>1</TD><TD NOWRAP>lo</TD></TR>"
                  "<TR><TD NOWRAP>3</TD><TD NOWRAP>eth1</TD></TR></TABLE>")
            << version;
    }
}

TEST_F(RowscanTest, HtmlWithCustomWrappersEscapesAgentTextAndLabels) {
    const ProgramResult r =
        run({"-node", node, "-c", "special", "-html", "-htmlFmt",
             "<table>%s</table>,<tr>%s</tr>\n,<th>%s</th>,<td>%s</td>", "-table", kSpecialTable,
             "-fields", "a<b=1,Text=2", "-inst", "1,4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "<th>a&lt;b</th><th>Text</th></tr>\n"
              "<tr><td>1</td><td>plain</td></tr>\n"
              "<tr><td>4</td><td>it&#39;s a \\ &lt;b&gt;&amp;amp; &quot;q&quot;</td></tr>\n"
              "</table>");
    // With "-js" as well the backslash and the line break are escaped for a script string.
    const ProgramResult js =
        run({"-node", node, "-c", "special", "-html", "-js", "-htmlFmt", ",,,[%s]", "-table",
             kSpecialTable, "-fields", "2", "-inst", "3,4"});
    ASSERT_EQ(js.status, 0) << js.err;
    EXPECT_EQ(js.out, "2[two<br>\\\nlines][it&#39;s a \\\\ &lt;b&gt;&amp;amp; &quot;q&quot;]");
    // "-htmlFmt" without "-html" changes nothing.
    const ProgramResult text = run(
        {"-node", node, "-htmlFmt", "%d", "-table", kIfEntry, "-fields", "Index=1", "-inst", "1"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, title_line("User Specified MIB Table for", node) + fmt("%11.11s", "Index") +
                            "\n" + fmt("%11.11s", "1") + "\n");
}

TEST_F(RowscanTest, HtmlHoleAndPacketDump) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-c", "special", "-html", "-d", "-table",
                                     kSpecialTable, "-fields", "1,3", "-inst", "2"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        EXPECT_EQ(r.out,
                  "<TH NOWRAP>1</TH><TH NOWRAP>3</TH></TR>"
                  "<TR><TD NOWRAP>2</TD><TD NOWRAP>&lt;NO VALUE&gt;</TD></TR></TABLE>");
        // "-d" dumps the datagrams on standard error and changes nothing else.
        EXPECT_NE(r.err.find(node), std::string::npos) << r.err;
    }
}

TEST_F(RowscanTest, InstanceModePresentAndMissing) {
    for (const char* version : kVersions) {
        const ProgramResult some = run(
            {"-node", node, "-table", kIfEntry, "-fields", "Index=1", "-inst", "2,99,12"}, version);
        EXPECT_EQ(some.status, 0) << version << some.err;
        EXPECT_EQ(some.out, title_line("User Specified MIB Table for", node) +
                                fmt("%11.11s", "Index") + "\n" + fmt("%11.11s", "2") + "\n" +
                                fmt("%11.11s", "12") + "\n");

        const ProgramResult none = run(
            {"-node", node, "-table", kIfEntry, "-fields", "Index=1", "-inst", "99,98"}, version);
        EXPECT_EQ(none.status, 1) << version;
        EXPECT_EQ(none.out, title_line("User Specified MIB Table for", node) +
                                fmt("%11.11s", "Index") + "\n");
        EXPECT_EQ(none.err, "rowscan: requested table was empty or incomplete\n");
    }
}

TEST_F(RowscanTest, StringInstancesAreEncodedAsUnsignedBytes) {
    for (const char* version : kVersions) {
        const ProgramResult r = run({"-node", node, "-table", kNamedTable, "-fields",
                                     "Status=2,Address=4", "-inst", "eth1,caf\xe9"},
                                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        const std::string rows = r.out.substr(r.out.find("Address"));
        EXPECT_NE(rows.find("10.0.4.1"), std::string::npos) << rows;
        EXPECT_NE(rows.find("10.0.6.1"), std::string::npos) << rows;
        EXPECT_EQ(rows.find("10.0.3.1"), std::string::npos) << rows;
    }
}

TEST_F(RowscanTest, PrefixModeShowsOnlyMatchingRows) {
    const struct {
        const char* instances;
        std::vector<std::string> addresses;
    } cases[] = {
        {"eth*", {"10.0.3.1", "10.0.4.1"}},
        {"eth1,e*", {"10.0.4.1", "10.0.2.1", "10.0.3.1"}},
        {"zz*", {}},
        {"*", {"10.0.6.1", "10.0.1.1", "10.0.2.1", "10.0.3.1", "10.0.4.1", "10.0.5.1"}},
    };
    for (const char* version : kVersions) {
        for (const auto& c : cases) {
            const ProgramResult r = run({"-node", node, "-table", kNamedTable, "-fields",
                                         "Status=2:6,Address=4", "-inst", c.instances},
                                        version);
            // Rows outside every prefix are still counted: the table had rows.
            ASSERT_EQ(r.status, 0) << c.instances << r.err;
            std::string expected = title_line("User Specified MIB Table for", node) +
                                   fmt("%-6.6s", "Status") + "  " + fmt("%-40.40s", "Address") +
                                   "\n";
            std::string rows;
            for (const auto& address : c.addresses) {
                const std::string status =
                    address == "10.0.3.1" || address == "10.0.6.1" ? "2" : "1";
                rows += fmt("%-6.6s", status) + "  " + fmt("%-40.40s", address) + "\n";
            }
            // Rows come in table order, whichever prefix they matched.
            if (std::string(c.instances) == "eth1,e*") {
                rows = fmt("%-6.6s", "1") + "  " + fmt("%-40.40s", "10.0.2.1") + "\n" +
                       fmt("%-6.6s", "2") + "  " + fmt("%-40.40s", "10.0.3.1") + "\n" +
                       fmt("%-6.6s", "1") + "  " + fmt("%-40.40s", "10.0.4.1") + "\n";
            }
            EXPECT_EQ(r.out, expected + rows) << version << " " << c.instances;
        }
    }
}

TEST_F(RowscanTest, ManyPrefixes) {
    std::string instances;
    for (int k = 0; k < 40; ++k) instances += "x" + std::to_string(k) + "*,";
    instances += "eth1*";
    const ProgramResult r =
        run({"-node", node, "-table", kNamedTable, "-fields", "A=4:8", "-inst", instances});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, title_line("User Specified MIB Table for", node) + "A       \n10.0.4.1\n");
}

TEST_F(RowscanTest, EmptyTable) {
    const ProgramResult r =
        run({"-node", node, "-table", ".1.3.6.1.4.1.99999.8.1", "-fields", "L=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No table information returned from: " + node);
}

TEST_F(RowscanTest, UnreachableNode) {
    const std::string dead = "127.0.0.1:" + std::to_string(SnmpSim::silent_udp_port());
    const std::vector<std::string> env = {"ZORVSNMP_TIMEOUT_MS=100", "ZORVSNMP_RETRIES=0"};
    for (const char* version : kVersions) {
        const ProgramResult table =
            run({"-node", dead, "-table", kIfEntry, "-fields", "Index=1"}, version, env);
        EXPECT_EQ(table.status, 1);
        EXPECT_EQ(table.out, title_line("User Specified MIB Table for", dead) +
                                 fmt("%11.11s", "Index") + "\n");
        EXPECT_EQ(table.err.rfind("rowscan: could not get SNMP table: ", 0), 0u) << table.err;
        EXPECT_NE(table.err.back(), '\n');

        const ProgramResult entry =
            run({"-node", dead, "-table", kIfEntry, "-fields", "Index=1", "-inst", "1,2"}, version,
                env);
        EXPECT_EQ(entry.status, 1);
        EXPECT_EQ(entry.err.rfind("Cannot get SNMP table\n", 0), 0u) << entry.err;
        EXPECT_EQ(entry.err.back(), '\n');
    }
}

// A relay to the simulated agent that answers, from request `refuse_from` on, every request
// for more than one binding with genErr itself: the whole-table walk fails there and rowscan
// walks the rest of the table on its own.
FakeHandler relay_refusing_tables(uint16_t agent_port, int refuse_from) {
    return [agent_port, refuse_from](const snmp::Message& request, int number) {
        if (number >= refuse_from &&
            (request.pdu_type == snmp::kPduGetBulk || request.bindings.size() > 1)) {
            FakeAnswer refused;
            refused.error_status = 5;
            refused.error_index = 1;
            return FakeReply{{}, {encode_response(request, refused)}};
        }
        snmp::BerWriter w;
        snmp::encode_message(request, w);
        const std::string datagram(reinterpret_cast<const char*>(w.data()), w.size());
        return FakeReply{{}, forward_datagram(agent_port, datagram, 3000)};
    };
}

// What follows the title line.
std::string after_title(const std::string& out) {
    const size_t end = out.find("\n\n", 1);
    return end == std::string::npos ? out : out.substr(end + 2);
}

// A sparse table (a column missing every third instance, one that ends early, one that starts
// late and goes on past the others): rowscan's own walk prints exactly what the whole-table
// walk prints, from the start or taking over behind the rows a failed walk printed.
TEST_F(RowscanTest, FallbackWalkPrintsWhatTheWholeTableWalkPrints) {
    const std::string table = ".1.3.6.1.4.1.99999.9.1.1";
    const std::vector<std::string> env = {"ZORVSNMP_MAX_REPETITIONS=2", "ZORVSNMP_RETRIES=0"};
    for (const char* version : kVersions) {
        for (const char* fields : {"1,2,3,4", "4,C=3:6,2", "L=3,R=4:8"}) {
            for (const bool html : {false, true}) {
                auto args = [&](const std::string& where) {
                    std::vector<std::string> a = {"-node",  where, "-c",      "sparse",
                                                  "-table", table, "-fields", fields};
                    if (html) a.push_back("-html");
                    return a;
                };
                const ProgramResult whole = run(args(node), version, env);
                ASSERT_EQ(whole.status, 0) << whole.err;
                if (std::string(fields) == "1,2,3,4" && !html) {
                    const std::string rows = after_title(whole.out);
                    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 14);
                    size_t holes = 0;
                    for (size_t at = 0; (at = rows.find("<NO VALUE>", at)) != std::string::npos;
                         ++at)
                        ++holes;
                    EXPECT_EQ(holes, 1u + 5u + 9u + 8u);
                }
                for (const int refuse_from : {0, 3}) {
                    SCOPED_TRACE(std::string(version) + " " + fields + (html ? " html " : " ") +
                                 std::to_string(refuse_from));
                    FakeAgent relay(relay_refusing_tables(agent->sim->port(), refuse_from));
                    const ProgramResult own = run(args(relay.endpoint()), version, env);
                    EXPECT_EQ(own.status, 0);
                    EXPECT_EQ(own.err, "");
                    EXPECT_EQ(after_title(own.out), after_title(whole.out));
                    // Taking over, the walk starts behind the rows printed, never at the top.
                    for (const auto& request : relay.received()) {
                        if (refuse_from > 0 && request.names.size() == 1) {
                            EXPECT_GT(request.names[0].size(), 11u);
                        }
                    }
                }
            }
        }
    }
}

// An agent that refuses GetBulk but answers GetNext: the whole-table request fails and the
// program walks the table itself, column by column.
TEST(RowscanWalkTest, FallbackWalkOfATableWithALongIdentifier) {
    // 80 sub-identifiers: longer than any fixed request buffer would hold.
    std::vector<uint32_t> entry = {1, 3, 6, 1, 4, 1, 99999};
    while (entry.size() < 80) entry.push_back(static_cast<uint32_t>(entry.size()));
    std::string table_text;
    for (const uint32_t id : entry) table_text += "." + std::to_string(id);
    FakeMib mib;
    for (uint32_t i = 1; i <= 2; ++i) {
        auto name = entry;
        name.push_back(1);
        name.push_back(i);
        mib.add(integer(name, static_cast<int32_t>(i)));
    }
    const FakeHandler answer = serve(mib);
    FakeAgent agent([&](const snmp::Message& request, int number) {
        if (request.pdu_type == 0xA5) {
            FakeAnswer refused;
            refused.error_status = 5;
            refused.error_index = 1;
            return FakeReply{{}, {encode_response(request, refused)}};
        }
        return answer(request, number);
    });
    const ProgramResult r =
        run_program(kRowscan, {"-node", agent.endpoint(), "-table", table_text, "-fields", "N=1:2"},
                    {"ZORVSNMP_VERSION=2c", "ZORVSNMP_TIMEOUT_MS=300", "ZORVSNMP_RETRIES=0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.find("N \n") + 3), "1 \n2 \n");
}

// A table of four rows whose second column lacks row 3, for the scripted agents below.
const std::vector<uint32_t> kWalkEntry = {1, 3, 6, 1, 4, 1, 99999, 5, 1, 1};

const FakeMib& walk_mib() {
    static const FakeMib mib = [] {
        FakeMib m;
        for (uint32_t i = 1; i <= 4; ++i) {
            auto name = kWalkEntry;
            name.push_back(1);
            name.push_back(i);
            m.add(integer(name, static_cast<int32_t>(i * 10)));
            name[kWalkEntry.size()] = 2;
            if (i != 3) m.add(octets(name, "row" + std::to_string(i)));
        }
        return m;
    }();
    return mib;
}

std::string encode_status(const snmp::Message& request, int32_t status) {
    FakeAnswer a;
    a.error_status = status;
    a.error_index = 1;
    return encode_response(request, a);
}

bool whole_table_request(const snmp::Message& request) {
    return request.pdu_type == snmp::kPduGetBulk || request.bindings.size() > 1;
}

// The paths around the whole-table walk, each with the exact output, message and status: rows
// printed stay, a table that did not come whole is never closed or taken for whole.
TEST(RowscanWalkTest, FailuresAroundTheWholeTableWalk) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"10", "row1"}, {"20", "row2"}, {"30", "<NO VALUE>"}, {"40", "row4"}};
    using Answer = std::function<FakeReply(const snmp::Message&, int, const FakeHandler&)>;
    const FakeReply silence;
    const struct {
        const char* what;
        const char* version;
        Answer answer;
        size_t rows;  // printed before the end
        bool whole;   // the table closed, status 0
        std::string error;
    } cases[] = {
        {"GetBulk refused: the own walk merges the sparse column", "2c",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             return r.pdu_type == snmp::kPduGetBulk ? FakeReply{{}, {encode_status(r, 5)}}
                                                    : serve(r, n);
         },
         4, true, ""},
        {"first SNMPv1 request refused", "1",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             return n == 0 ? FakeReply{{}, {encode_status(r, 5)}} : serve(r, n);
         },
         4, true, ""},
        {"status 28 is the agent's, not the row limit", "2c",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             return whole_table_request(r) ? FakeReply{{}, {encode_status(r, 28)}} : serve(r, n);
         },
         4, true, ""},
        {"silent after the first GetBulk", "2c",
         [silence](const snmp::Message& r, int n, const FakeHandler& serve) {
             return n == 0 ? serve(r, n) : silence;
         },
         2, false,
         "rowscan: the table is incomplete after row 2: No response from the node "
         "(timeout): NODE (1 try of 100 ms)\n"},
        {"silent after three SNMPv1 requests", "1",
         [silence](const snmp::Message& r, int n, const FakeHandler& serve) {
             return n < 3 ? serve(r, n) : silence;
         },
         3, false,
         "rowscan: the table is incomplete after row 3: No response from the node "
         "(timeout): NODE (1 try of 100 ms)\n"},
        {"genErr inside the own walk", "2c",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             return whole_table_request(r) || n == 4 ? FakeReply{{}, {encode_status(r, 5)}}
                                                     : serve(r, n);
         },
         1, false, "rowscan: the table is incomplete after row 1: genErr\n"},
        {"an undecodable answer", "1",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             return n == 0 ? serve(r, n) : FakeReply{{}, {std::string("\x30\x00", 2)}};
         },
         1, false,
         "rowscan: the table is incomplete after row 1: The node's answer could not be "
         "decoded: bad version (from NODE)\n"},
        {"GetBulk refused and every column empty", "2c",
         [](const snmp::Message& r, int, const FakeHandler&) {
             if (whole_table_request(r)) return FakeReply{{}, {encode_status(r, 5)}};
             FakeAnswer past;
             past.bindings.push_back(integer({1, 3, 6, 1, 4, 1, 99999, 6, 0}, 0));
             return FakeReply{{}, {encode_response(r, past)}};
         },
         0, false, "rowscan: could not get SNMP table: genErr"},
        {"unknown status everywhere", "2c",
         [](const snmp::Message& r, int, const FakeHandler&) {
             return FakeReply{{}, {encode_status(r, 19)}};
         },
         0, false, "rowscan: could not get SNMP table: unknown error status 19"},
        {"an agent that does not move forward", "2c",
         [](const snmp::Message& r, int n, const FakeHandler& serve) {
             if (whole_table_request(r)) return FakeReply{{}, {encode_status(r, 5)}};
             FakeAnswer same;
             auto name = kWalkEntry;
             name.push_back(1);
             name.push_back(1);
             same.bindings.push_back(integer(name, 10));
             return n < 3 ? serve(r, n) : FakeReply{{}, {encode_response(r, same)}};
         },
         1, false,
         "rowscan: the table is incomplete after row 1: The node returned an "
         "identifier that does not increase\n"},
    };
    const FakeHandler serve_mib = serve(walk_mib(), 4);
    for (const auto& c : cases) {
        for (const bool html : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (html ? " html" : ""));
            FakeAgent agent([&c, &serve_mib](const snmp::Message& r, int n) {
                return c.answer(r, n, serve_mib);
            });
            std::vector<std::string> args = {"-node",   agent.endpoint(),
                                             "-table",  ".1.3.6.1.4.1.99999.5.1.1",
                                             "-fields", "N=1:5,S=2:10"};
            if (html) args.push_back("-html");
            const ProgramResult r = run_program(
                kRowscan, args,
                {std::string("ZORVSNMP_VERSION=") + c.version, "ZORVSNMP_TIMEOUT_MS=100",
                 "ZORVSNMP_RETRIES=0", "ZORVSNMP_MAX_REPETITIONS=2"});
            std::string expected = html ? "<TH NOWRAP>N</TH><TH NOWRAP>S</TH></TR>"
                                        : fmt("%-5.5s", "N") + "  " + fmt("%-10.10s", "S") + "\n";
            for (size_t i = 0; i < c.rows; ++i) {
                const auto& [n, text] = rows[i];
                expected += html ? "<TR><TD NOWRAP>" + n + "</TD><TD NOWRAP>" +
                                       (text[0] == '<' ? "&lt;NO VALUE&gt;" : text) + "</TD></TR>"
                                 : fmt("%-5.5s", n) + "\t" + fmt("%-10.10s", text) + "\n";
            }
            if (c.whole && html) expected += "</TABLE>";
            std::string error = c.error;
            if (error.find("NODE") != std::string::npos) {
                error.replace(error.find("NODE"), 4, agent.endpoint());
            }
            EXPECT_EQ(r.status, c.whole ? 0 : 1);
            EXPECT_EQ(html ? r.out : after_title(r.out), expected);
            EXPECT_EQ(r.err, error);
        }
    }
}

}  // namespace

namespace {

const std::string kLinuxWalk =
    "/usr/share/doc/snmpsim/examples/data/recorded/linux-full-walk.snmprec.gz";
const std::string kIpWalk = "/usr/share/doc/snmpsim/examples/data/mib2dev/ip-mib.snmprec.gz";
const std::string kObjpeek = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/objpeek";

bool walks_available() {
    return access(kLinuxWalk.c_str(), R_OK) == 0 && access(kIpWalk.c_str(), R_OK) == 0;
}

// A recorded Linux host and a database built from real modules: IF-MIB from the standard folder,
// the address, access and host tables from our small modules of the same definitions.
class RecordedHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        if (!SnmpSim::available() || !walks_available()) return;
        const std::string walk = dir_->file("linux.snmprec");
        if (run_program("/bin/sh", {"-c", "zcat " + kLinuxWalk + " >" + walk}).status != 0) return;
        built_ = run_program(ZORV_BINARY_DIR "/appls/mibdb/mibdb",
                             {"build", "-o", dir_->file("db.bin"), "-M",
                              ZORV_SOURCE_DIR "/tests/data/mibs:" ZORV_STANDARD_MIBS_DIR, "IF-MIB",
                              "IP-MIB", "SNMP-VIEW-BASED-ACM-MIB", "HOST-RESOURCES-MIB",
                              "ZORV-INET-TEST-MIB"},
                             {"ZORVMIBDIRS="})
                     .status == 0;
        // Its address of type ipv6 has 8 octets: an instance that does not decode.
        const std::string broken = dir_->file("ipmib.snmprec");
        if (run_program("/bin/sh", {"-c", "zcat " + kIpWalk + " >" + broken}).status != 0) return;
        sim_ = new SnmpSim({walk, broken, ZORV_SOURCE_DIR "/tests/data/e2e/inet.snmprec"});
    }
    static void TearDownTestSuite() {
        delete sim_;
        delete dir_;
        sim_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        if (!walks_available()) GTEST_SKIP() << "no recorded walks";
        if (access(ZORV_STANDARD_MIBS_DIR "/IF-MIB.mib", R_OK) != 0)
            GTEST_SKIP() << "standard MIB modules not fetched";
        ASSERT_TRUE(built_);
        ASSERT_TRUE(sim_ && sim_->running()) << (sim_ ? sim_->log() : "");
    }
    static ProgramResult run(const std::string& program, std::vector<std::string> args,
                             const std::string& community = "linux") {
        args.insert(args.end(), {"-node", sim_->endpoint(), "-c", community});
        return run_program(program, args, {"MIBDBV2=" + dir_->file("db")});
    }
    static ProgramResult rowscan(const std::string& table, const std::string& fields,
                                 std::vector<std::string> more = {"-csv"},
                                 const std::string& community = "linux") {
        more.insert(more.end(), {"-table", table, "-fields", fields});
        return run(kRowscan, more, community);
    }

    static TempDir* dir_;
    static SnmpSim* sim_;
    static bool built_;
};
TempDir* RecordedHost::dir_ = nullptr;
SnmpSim* RecordedHost::sim_ = nullptr;
bool RecordedHost::built_ = false;

}  // namespace

TEST_F(RecordedHost, ModuleNamesIndexFieldsAndHints) {
    // A module's name of the entry prints what its label path prints.
    const ProgramResult named = rowscan("IF-MIB::ifXEntry", "ifName,In=IF-MIB::ifHCInOctets:9", {});
    const ProgramResult path = rowscan("ifMIB.ifMIBObjects.ifXTable.ifXEntry", "ifName,In=6:9", {});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, path.out);

    const struct {
        std::string table, fields;
        std::vector<std::string> options;
        std::string out;
    } cases[] = {
        // ifIndex through AUGMENTS is ifTable's own ifIndex, row by row.
        {"IF-MIB::ifXEntry",
         "ifIndex,ifName",
         {"-csv"},
         "instance,ifIndex,ifName\n1,1,lo\n2,2,eth0\n"},
        {"IF-MIB::ifEntry", "ifIndex", {"-csv"}, "instance,ifIndex\n1,1\n2,2\n"},
        // Only index fields: the rows come from the first readable column.
        {"IP-MIB::ipNetToPhysicalEntry",
         "ipNetToPhysicalIfIndex,ipNetToPhysicalNetAddressType,ipNetToPhysicalNetAddress",
         {"-csv", "-hints"},
         "instance,ipNetToPhysicalIfIndex,ipNetToPhysicalNetAddressType,ipNetToPhysicalNetAddress\n"
         "2.1.4.195.218.254.97,2,ipv4,195.218.254.97\n"},
        {"IP-MIB::ipNetToPhysicalEntry",
         "If=ipNetToPhysicalIfIndex,Addr=ipNetToPhysicalNetAddress,Mac=ipNetToPhysicalPhysAddress",
         {"-json", "-hints"},
         "{\"instance\": \"2.1.4.195.218.254.97\", \"values\": {\"If\": 2, \"Addr\": "
         "\"195.218.254.97\", \"Mac\": \"00:0e:84:9f:9c:19\"}}\n{\"complete\": true, \"rows\": "
         "1}\n"},
        {"SNMP-VIEW-BASED-ACM-MIB::vacmSecurityToGroupEntry",
         "vacmSecurityModel,vacmSecurityName,vacmGroupName",
         {"-csv", "-inst", "3.9.116.101.115.116.45.117.115.101.114"},
         "instance,vacmSecurityModel,vacmSecurityName,vacmGroupName\n"
         "3.9.116.101.115.116.45.117.115.101.114,3,test-user,MyRWGroup\n"},
        {"IF-MIB::ifEntry",
         "ifPhysAddress",
         {"-csv", "-hints"},
         "instance,ifPhysAddress\n1,\n2,00:12:79:62:f9:40\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = rowscan(c.table, c.fields, c.options);
        EXPECT_EQ(r.status, 0) << c.fields << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.fields;
        EXPECT_EQ(r.err, "");
    }

    // In text, an index field is laid out as a column of its type: an integer to the right,
    // no narrower than its label.
    const ProgramResult text = rowscan("IF-MIB::ifXEntry", "ifIndex:3,ifName:6", {});
    EXPECT_NE(text.out.find("\n      1\tlo    \n      2\teth0  \n"), std::string::npos) << text.out;

    // An address whose length its type does not allow stays undecoded, in its own cell only.
    const ProgramResult broken =
        rowscan("IP-MIB::ipNetToPhysicalEntry",
                "ipNetToPhysicalIfIndex,ipNetToPhysicalNetAddressType,ipNetToPhysicalNetAddress",
                {"-csv", "-hints"}, "ipmib");
    EXPECT_EQ(broken.out,
              "instance,ipNetToPhysicalIfIndex,ipNetToPhysicalNetAddressType,"
              "ipNetToPhysicalNetAddress\n4.2.8.99.101.32.118.105.101.117.120,4,ipv6,"
              ".8.99.101.32.118.105.101.117.120\n")
        << broken.err;

    // An address column takes the hint of its type column's value in the same row; one whose
    // length does not fit its type prints as without -hints.
    const ProgramResult peers = rowscan("ZORV-INET-TEST-MIB::peerEntry",
                                        "peerAddressType,peerAddress", {"-csv", "-hints"}, "inet");
    EXPECT_EQ(peers.out,
              "instance,peerAddressType,peerAddress\n1,ipv4,192.0.2.1\n"
              "2,ipv6,2001:0db8:0000:0000:0000:0000:0000:0001\n3,ipv4,C0 00 02 \n")
        << peers.err;

    const ProgramResult date =
        run(kObjpeek, {"-hints", "-obj", "HOST-RESOURCES-MIB::hrSystemDate"});
    EXPECT_EQ(date.status, 0) << date.err;
    EXPECT_NE(date.out.find("2010-10-25,22:15:11.0,+4:0\n"), std::string::npos) << date.out;

    // Without the facts file, -hints says so once and the values print as they always did.
    TempDir alone;
    fs::copy_file(dir_->file("db.bin"), alone.file("db.bin"));
    const ProgramResult plain =
        run_program(kObjpeek,
                    {"-hints", "-obj", ".1.3.6.1.2.1.25.1.2,.1.3.6.1.2.1.2.2.1.6", "-inst", "0,2",
                     "-node", sim_->endpoint(), "-c", "linux"},
                    {"MIBDBV2=" + alone.file("db")});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "MIB facts file " + alone.file("db.facts") +
                             " not used: No such file or directory\n");
    EXPECT_NE(plain.out.find("07 DA 0A 19 16 0F 0B 00 2B 04 00"), std::string::npos) << plain.out;
}

// pysnmp's walk of the table gives the instances that the decoded index values encode.
TEST_F(RecordedHost, PysnmpSeesTheInstancesTheIndexFieldsDecode) {
    const ProgramResult ours = rowscan("SNMP-VIEW-BASED-ACM-MIB::vacmSecurityToGroupEntry",
                                       "vacmSecurityModel,vacmSecurityName");
    ASSERT_EQ(ours.status, 0) << ours.err;
    std::string encoded;
    std::istringstream lines(ours.out.substr(ours.out.find('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
        const std::string model =
            line.substr(line.find(',') + 1, line.rfind(',') - line.find(',') - 1);
        const std::string name = line.substr(line.rfind(',') + 1);
        encoded += model + "." + std::to_string(name.size());
        for (unsigned char c : name) encoded += "." + std::to_string(c);
        encoded += "\n";
    }
    const char* walk =
        "import sys\n"
        "from pysnmp.hlapi import *\n"
        "column = ObjectIdentity('1.3.6.1.6.3.16.1.2.1.3')\n"
        "for e, s, _, binds in nextCmd(SnmpEngine(), CommunityData('linux'),\n"
        "        UdpTransportTarget(('127.0.0.1', int(sys.argv[1]))), ContextData(),\n"
        "        ObjectType(column), lexicographicMode=False):\n"
        "    if e or s: sys.exit(str(e or s))\n"
        "    for name, _ in binds: print('.'.join(str(x) for x in tuple(name)[11:]))\n";
    const ProgramResult peer =
        run_program("/usr/bin/python3", {"-c", walk, std::to_string(sim_->port())});
    EXPECT_EQ(peer.status, 0) << peer.err;
    EXPECT_EQ(peer.out, encoded);
    EXPECT_EQ(std::count(encoded.begin(), encoded.end(), '\n'), 4);
}
