// The built objpeek against a simulated router (snmpsimd) and, for error statuses a real agent
// will not produce, against the scripted agent of the test suite.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/snmp/message.h"
#include "tests/support/fake_agent.h"
#include "tests/support/mib_builder.h"
#include "tests/support/snmpsim.h"

using namespace testing_support;

namespace {

const std::string kObjpeek = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/objpeek";
const std::string kTitle = "User Specified MIB Description for";
const char* const kVersions[] = {"1", "2c"};

const std::string kUsage =
    "usage: objpeek -obj objList -node nodeName\n"
    "                [-c community] [-d] [-appname applicationName ] [-t title]\n\n"
    "                Required Arguments\n"
    "       -node    Name or IP Address of device to query\n"
    "       -obj     Comma separated list of object ids, where\n"
    "                objList :: objSpec[,objSpec]...\n"
    "                objSpec :: [label=]objId[:width]\n"
    "                objId   :: object id of the MIB variable\n"
    "                label   :: label for the MIB variable\n"
    "                width   :: display width of the MIB variable\n\n"
    "                Optional Arguments\n"
    "       -c       SNMP community name\n"
    "       -d       dump SNMP packets\n"
    "       -appname Unique name of the MIB application\n"
    "       -title   Title for the MIB Application Window\n";

class Agent : public ::testing::Environment {
  public:
    void SetUp() override {
        if (write_standard_mib2_file(mib_.file("std.bin")) != 0) mib_broken = true;
        if (!SnmpSim::available()) return;
        sim = std::make_unique<SnmpSim>(
            std::vector<std::string>{ZORV_SOURCE_DIR "/tests/data/demo/public.snmprec",
                                     ZORV_SOURCE_DIR "/tests/data/e2e/special.snmprec"});
    }
    void TearDown() override { sim.reset(); }
    std::string mib_base() const { return mib_.file("std"); }

    std::unique_ptr<SnmpSim> sim;
    bool mib_broken = false;

  private:
    TempDir mib_;
};

Agent* agent = static_cast<Agent*>(::testing::AddGlobalTestEnvironment(new Agent));

std::string title_line(const std::string& node, const std::string& title = kTitle) {
    long pad = 40 - static_cast<long>(node.size() + title.size() + 1) / 2;
    if (pad < 0) pad = 0;
    return "\n" + std::string(pad, ' ') + title + "\t" + node + "\n\n";
}

// The label cell: the label padded or cut to `width`, a space, a tab and a space.
std::string cell(const std::string& label, size_t width) {
    std::string padded = label.substr(0, width);
    padded.resize(width, ' ');
    return padded + " \t ";
}

ProgramResult objpeek(const std::vector<std::string>& args, const char* version = "2c",
                      std::vector<std::string> env = {}) {
    env.push_back(std::string("ZORVSNMP_VERSION=") + version);
    env.push_back("MIBDBV2=" + agent->mib_base());
    return run_program(kObjpeek, args, env);
}

// An object name that does not resolve while no database could be loaded: the message, then
// one line that names the file and says why.
TEST(ObjpeekUsageTest, UnresolvedNameSaysWhyNoDatabaseLoaded) {
    TempDir dir;
    write_file(dir.file("damaged.bin"), std::string("\0\0\0\x0e", 4) + "not a MIB");
    const ProgramResult r = run_program(
        kObjpeek, {"-obj", ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr", "-node", "n"},
        {"MIBDBV2=" + dir.file("damaged")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "ERROR: unknown object id: .iso.org.dod.internet.mgmt.mib-2.system.sysDescr\n"
              "Error accessing " +
                  dir.file("damaged.bin") + ": not a MIB intermediate file or wrong version\n");
}

class ObjpeekTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(agent->sim && agent->sim->running()) << (agent->sim ? agent->sim->log() : "");
        ASSERT_FALSE(agent->mib_broken);
        node = agent->sim->endpoint();
    }
    std::string node;
};

TEST(ObjpeekUsageTest, EveryUsageMessageWithItsStatus) {
    const struct {
        std::vector<std::string> args;
        std::string message;
        bool usage;
    } cases[] = {
        {{}, "ERROR: missing required option, -obj\n", true},
        {{"-obj", "1.3"}, "ERROR: missing required option, -node\n", true},
        {{"-obj", "1.3", "-node", "n", "stray"}, "ERROR: invalid parameter, stray\n", true},
        // Only a first argument asks for help.
        {{"-obj", "1.3", "-node", "n", "--help"}, "ERROR: invalid parameter, --help\n", true},
        {{"-obj", "1.3", "-node"}, "ERROR: invalid or missing argument for option, -node\n", true},
        {{"-obj", ",1.3", "-node", "n"}, "ERROR: invalid object list: ,1.3\n", true},
        {{"-obj", "1.3", "-node", "n", "-inst", "0,"}, "ERROR: invalid object list: 0,\n", true},
        // Three objects and two instances: the usage text alone.
        {{"-obj", "1.1,1.2,1.3", "-node", "n", "-inst", "1,2"}, "", true},
        {{"-obj", "1.3", "-node", "n", "-html", "-htmlFmt", "<PRE>%s</PRE>,%n,,"},
         "ERROR: invalid or missing argument for option, -htmlFmt\n",
         true},
        {{"-obj", ".1.3.6.bogus", "-node", "n"}, "ERROR: unknown object id: .1.3.6.bogus\n", false},
        // A relative name needs room for the mib-2 prefix as well.
        {{"-obj", "noSuchObject", "-node", "n"},
         "Object identifier too long\nERROR: unknown object id: noSuchObject\n",
         false},
        {{"-obj", ".1.3.6.1.2.1.1.1", "-node", "n", "-inst", "1..2"},
         "ERROR: unknown object id: 1..2\n",
         false},
        // A bare name stands for a longer identifier than its text allows room for.
        {{"-obj", "sysDescr", "-node", "n"},
         "Object identifier too long\nERROR: unknown object id: sysDescr\n",
         false},
    };
    for (const auto& c : cases) {
        const ProgramResult r = objpeek(c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.status, 1) << joined;
        EXPECT_EQ(r.out, "") << joined;
        EXPECT_EQ(r.err, c.message + (c.usage ? kUsage : "")) << joined;
    }
}

TEST(ObjpeekUsageTest, HelpAndVersionOnStandardOutput) {
    ProgramResult r = objpeek({"--help", "-obj"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    r = objpeek({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, testing::MatchesRegex("objpeek \\(zorv\\) [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

TEST_F(ObjpeekTest, TextFormWithPaddedLabels) {
    for (const char* version : kVersions) {
        const ProgramResult r =
            objpeek({"-node", node, "-obj",
                     "Descr=.1.3.6.1.2.1.1.1,Name=.1.3.6.1.2.1.1.5:3,Location=.1.3.6.1.2.1.1.6,"
                     ".iso.org.dod.internet.mgmt.mib-2.system.sysServices"},
                    version);
        ASSERT_EQ(r.status, 0) << version << r.err;
        EXPECT_EQ(r.out, title_line(node) + cell("Descr", 11) +
                             "Zorv demo router, software 4.2 (build 117)\n" + cell("Name", 11) +
                             "demo-rtr1\n" + cell("Location", 11) + "Rack 4, Building B\n" +
                             cell("sysServices", 11) + "6\n")
            << version;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ObjpeekTest, MultilineValueWithAnEmptyMiddleLine) {
    const std::vector<std::string> args = {
        "-node",  node,  "-c",   "special",
        "-title", "Lab", "-obj", "Multi=.1.3.6.1.4.1.99999.4.1,N=.1.3.6.1.4.1.99999.4.3"};
    for (const char* version : kVersions) {
        const ProgramResult text = objpeek(args, version);
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(text.out, title_line(node, "Lab") + cell("Multi", 5) + "first line\n" +
                                cell("", 5) + "\n" + cell("", 5) + "third line\n" + cell("N", 5) +
                                "42\n");

        std::vector<std::string> html_args = args;
        html_args.push_back("-html");
        const ProgramResult html = objpeek(html_args, version);
        ASSERT_EQ(html.status, 0) << html.err;
        EXPECT_EQ(html.out,
                  "<PRE><STRONG>Multi</STRONG>first line<br>\n&nbsp;<br>\nthird line&nbsp;"
                  "<STRONG>N</STRONG>42&nbsp;</PRE>");
    }
}

TEST_F(ObjpeekTest, MissingObjectAndTheFormGoesOn) {
    for (const char* version : kVersions) {
        const ProgramResult r = objpeek(
            {"-node", node, "-obj", "A=.1.3.6.1.2.1.1.5,B=.1.3.6.1.2.1.1.99,C=.1.3.6.1.2.1.1.7"},
            version);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, title_line(node) + cell("A", 1) + "demo-rtr1\n" + cell("B", 1) +
                             "<NO VALUE>\n" + cell("C", 1) + "6\n")
            << version;
        // In HTML the marker is escaped, so a browser shows it.
        const ProgramResult html =
            objpeek({"-node", node, "-html", "-obj", "B=.1.3.6.1.2.1.1.99"}, version);
        EXPECT_EQ(html.status, 0) << html.err;
        EXPECT_EQ(html.out, "<PRE><STRONG>B</STRONG>&lt;NO VALUE&gt;\n</PRE>") << version;
    }
}

TEST_F(ObjpeekTest, StringInstancesForEachObjectOrOneForAll) {
    const std::string address = ".1.3.6.1.4.1.99999.2.1.1.4";
    for (const char* version : kVersions) {
        // eth0 is 101.116.104.48; a byte above 127 is encoded as 128..255.
        const ProgramResult each =
            objpeek({"-node", node, "-obj", "A=" + address + ",B=" + address + ",C=" + address,
                     "-inst", "eth0,caf\xe9,lab"},
                    version);
        ASSERT_EQ(each.status, 0) << each.err;
        EXPECT_EQ(each.out, title_line(node) + cell("A", 1) + "10.0.3.1\n" + cell("B", 1) +
                                "10.0.6.1\n" + cell("C", 1) + "10.0.5.1\n");

        const ProgramResult one =
            objpeek({"-node", node, "-obj", "A=" + address + ",S=.1.3.6.1.4.1.99999.2.1.1.2",
                     "-inst", "edge"},
                    version);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(one.out, title_line(node) + cell("A", 1) + "10.0.2.1\n" + cell("S", 1) + "1\n");
    }
}

TEST_F(ObjpeekTest, HtmlEscapingAndScriptEscaping) {
    const std::string object = "Text=.1.3.6.1.4.1.99999.4.2";
    const ProgramResult html = objpeek({"-node", node, "-c", "special", "-html", "-htmlFmt",
                                        "<dl>%s</dl>,,<dt>%s</dt>,<dd>%s</dd>", "-obj",
                                        "<i>=.1.3.6.1.4.1.99999.4.3," + object});
    ASSERT_EQ(html.status, 0) << html.err;
    EXPECT_EQ(html.out,
              "<dl><dt>&lt;i&gt;</dt><dd>42&nbsp;</dd><dt>Text</dt>"
              "<dd>&lt;b&gt;bold&lt;/b&gt; &amp; &#39;quoted&#39; \\ back&nbsp;</dd></dl>");

    const ProgramResult js = objpeek({"-node", node, "-c", "special", "-js", "-title", "T", "-obj",
                                      object + ",Multi=.1.3.6.1.4.1.99999.4.1"});
    ASSERT_EQ(js.status, 0) << js.err;
    EXPECT_EQ(js.out, title_line(node, "T") + cell("Text", 5) +
                          "<b>bold</b> & \\'quoted\\' \\\\ back\n" + cell("Multi", 5) +
                          "first line<br>\\\n" + cell("", 5) + "<br>\\\n" + cell("", 5) +
                          "third line\n");

    const ProgramResult both = objpeek(
        {"-node", node, "-c", "special", "-html", "-js", "-obj", "Multi=.1.3.6.1.4.1.99999.4.1"});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out,
              "<PRE><STRONG>Multi</STRONG>first line<br>\\\n&nbsp;<br>\\\nthird line&nbsp;</PRE>");
}

TEST_F(ObjpeekTest, UnreachableNode) {
    const std::string dead = "127.0.0.1:" + std::to_string(SnmpSim::silent_udp_port());
    for (const char* version : kVersions) {
        const ProgramResult r =
            objpeek({"-node", dead, "-obj", "A=.1.3.6.1.2.1.1.5,B=.1.3.6.1.2.1.1.6"}, version,
                    {"ZORVSNMP_TIMEOUT_MS=100", "ZORVSNMP_RETRIES=0"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, title_line(dead));
        EXPECT_EQ(r.err.rfind("Could not perform SNMP get from " + dead + ": ", 0), 0u) << r.err;
    }
}

// An error status other than no such name, or an answer for another object, prints the label
// and an empty rest of line, the message on standard error, and the form goes on. An answer
// that cannot be decoded ends the form as silence would, saying why.
TEST(ObjpeekFaultTest, FailedGetsOfOneObject) {
    FakeMib mib;
    mib.add(octets({1, 3, 6, 1, 2, 1, 1, 5, 0}, "fake"));
    mib.add(integer({1, 3, 6, 1, 2, 1, 1, 7, 0}, 72));
    const FakeHandler answer = serve(mib);
    auto status = [](int32_t error_status) {
        return [error_status](const snmp::Message& request) {
            FakeAnswer a;
            a.error_status = error_status;
            return encode_response(request, a);
        };
    };
    const struct {
        const char* what;
        std::function<std::string(const snmp::Message&)> answer_b;
        std::string error;
    } cases[] = {
        {"tooBig", status(1), "Could not get .1.3.6.1.2.1.1.6: tooBig\n"},
        {"unknown status", status(19), "Could not get .1.3.6.1.2.1.1.6: unknown error status 19\n"},
        {"another object",
         [](const snmp::Message& request) {
             FakeAnswer a;
             a.bindings.push_back(integer({1, 3, 6, 1, 2, 1, 2, 2, 1, 3, 1}, 6));
             return encode_response(request, a);
         },
         "Could not get .1.3.6.1.2.1.1.6: The node's response does not match the request: "
         "the answer is for 1.3.6.1.2.1.2.2.1.3.1\n"},
        {"undecodable",
         [](const snmp::Message& request) {
             FakeAnswer a;
             a.bindings.push_back(counter64({1, 3, 6, 1, 2, 1, 1, 6, 0}, uint64_t{1} << 32));
             std::string datagram = encode_response(request, a);
             datagram[datagram.find("\x46\x05\x01")] = '\x41';  // a Counter32 of 33 bits
             return datagram;
         },
         ""},
    };
    for (const auto& c : cases) {
        FakeAgent agent([&](const snmp::Message& request, int number) {
            if (request.bindings.size() == 1 && request.bindings[0].name_length == 9 &&
                request.bindings[0].name[7] == 6) {
                return FakeReply{{}, {c.answer_b(request)}};
            }
            return answer(request, number);
        });
        const std::string node = agent.endpoint();
        for (const char* version : kVersions) {
            SCOPED_TRACE(std::string(c.what) + " " + version);
            const ProgramResult r = run_program(
                kObjpeek,
                {"-node", node, "-obj", "A=.1.3.6.1.2.1.1.5,B=.1.3.6.1.2.1.1.6,C=.1.3.6.1.2.1.1.7"},
                {std::string("ZORVSNMP_VERSION=") + version, "ZORVSNMP_TIMEOUT_MS=300",
                 "ZORVSNMP_RETRIES=0"});
            if (c.error.empty()) {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.out, title_line(node) + cell("A", 1) + "fake\n");
                EXPECT_EQ(r.err, "Could not perform SNMP get from " + node +
                                     ": The node's answer could not be decoded: unsigned value "
                                     "does not fit 32 bits (from " +
                                     node + ")");
                continue;
            }
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, title_line(node) + cell("A", 1) + "fake\n" + cell("B", 1) + "\n" +
                                 cell("C", 1) + "72\n");
            EXPECT_EQ(r.err, c.error);
        }
        if (std::string(c.what) != "tooBig") continue;
        // In a script string the empty rest of line is an escaped line end too.
        const ProgramResult js =
            run_program(kObjpeek,
                        {"-node", node, "-html", "-js", "-obj",
                         "A=.1.3.6.1.2.1.1.5,B=.1.3.6.1.2.1.1.6,C=.1.3.6.1.2.1.1.7"},
                        {"ZORVSNMP_TIMEOUT_MS=500"});
        EXPECT_EQ(js.out,
                  "<PRE><STRONG>A</STRONG>fake&nbsp;<STRONG>B</STRONG><br>\\\n"
                  "<STRONG>C</STRONG>72&nbsp;</PRE>");
    }
}

}  // namespace
