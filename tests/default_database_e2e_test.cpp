// rowscan and objpeek resolve names through the default MIB database built with the tools,
// against the simulated router.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/snmpsim.h"

using namespace testing_support;

namespace {

const std::string kPrograms = ZORV_BINARY_DIR "/appls/extmgr/ttycmds/";
const std::string kDatabase = ZORV_BINARY_DIR "/mibs/snmpv2mib";

class Router : public ::testing::Environment {
  public:
    void SetUp() override {
        if (SnmpSim::available()) {
            sim = std::make_unique<SnmpSim>(
                std::vector<std::string>{ZORV_SOURCE_DIR "/tests/data/demo/public.snmprec"});
        }
    }
    void TearDown() override { sim.reset(); }
    std::unique_ptr<SnmpSim> sim;
};

Router* router = static_cast<Router*>(::testing::AddGlobalTestEnvironment(new Router));

class DefaultDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(router->sim && router->sim->running()) << router->sim->log();
        ASSERT_TRUE(std::filesystem::exists(kDatabase + ".bin"))
            << "the build makes the default database at " << kDatabase << ".bin";
    }
    ProgramResult run(const std::string& program, std::vector<std::string> args,
                      const std::string& version = "2c") {
        args.insert(args.begin(), {"-node", router->sim->endpoint(), "-c", "public"});
        return run_program(kPrograms + program, args,
                           {"MIBDBV2=" + kDatabase, "ZORVSNMP_VERSION=" + version});
    }
};

// The interfaces table by name: column labels from the field names, widths and alignments
// from the compiled types (ifIndex an integer, right-aligned in 11; ifType an enumeration,
// left-aligned in its longest label and printed by name).
TEST_F(DefaultDatabaseTest, RowscanResolvesTableAndColumnNames) {
    for (const std::string version : {"1", "2c"}) {
        const ProgramResult r = run("rowscan",
                                    {"-title", "T", "-table", "interfaces.ifTable.ifEntry",
                                     "-fields", "ifIndex,ifDescr:8,ifType,ifOperStatus"},
                                    version);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("    ifIndex  ifDescr   ifType"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("          2\teth0    \tethernetCsmacd"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\tsoftwareLoopback"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\tlowerLayerDown"), std::string::npos) << r.out;
    }
}

// Any letter case; a relative table name with numeric columns; instance mode by name.
TEST_F(DefaultDatabaseTest, RowscanNamesInAnyCaseAndInstances) {
    const ProgramResult r = run("rowscan", {"-table", "INTERFACES.iftable.IfEntry", "-fields",
                                            "Descr=2:6", "-inst", "3,99"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("eth1  \n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("eth0"), std::string::npos) << r.out;
}

// objpeek by the full label path: each label is the object's own name, values by type.
TEST_F(DefaultDatabaseTest, ObjpeekResolvesSystemGroupNames) {
    const std::string system = ".iso.org.dod.internet.mgmt.mib-2.system";
    const ProgramResult r =
        run("objpeek", {"-title", "T", "-obj",
                        system + ".sysDescr," + system + ".sysObjectID," + system + ".sysUpTime"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sysDescr    \t Zorv demo router"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sysObjectID \t .iso.org.dod.internet.private.enterprises.99999.1.1\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("sysUpTime   \t (8640000) 1 day, 0:00:00.00\n"), std::string::npos)
        << r.out;
}

// A bare name stands for a longer identifier than its text has parts: objpeek refuses it.
TEST_F(DefaultDatabaseTest, ObjpeekBareNameIsTooLong) {
    const ProgramResult r = run("objpeek", {"-obj", "system.sysDescr"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Object identifier too long\nERROR: unknown object id: system.sysDescr\n");
}

}  // namespace
