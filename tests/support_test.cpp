// The test helpers themselves: the simulated agent starts, answers and stops.
#include <gtest/gtest.h>

#include "tests/support/snmpsim.h"

using namespace testing_support;

TEST(SnmpSimTest, StartsAndAnswers) {
    if (!SnmpSim::available()) GTEST_SKIP() << "snmpsimd is not installed";
    TempDir dir;
    write_file(dir.file("public.snmprec"), "1.3.6.1.2.1.1.1.0|4|Test router\n");
    SnmpSim agent({dir.file("public.snmprec")});
    EXPECT_TRUE(agent.running()) << agent.log();
}

TEST(RunProgramTest, CapturesOutputAndStatus) {
    const ProgramResult r = run_program("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
}
