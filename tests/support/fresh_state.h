// Tests that start as a new process would, whatever ran before them in the same process.
#pragma once

#include <gtest/gtest.h>

namespace testing_support {

// Unsets the variables the library reads (MIBDBV2, ZORVMIBCOERCEFILE, ZORVSNMP_*, NLSPATH) and
// resets every module that keeps what it read: the catalogue, the MIB paths and loaded tree, the
// coercion file, and the transport's settings, sockets and last error.
void reset_library_state();

// The fixture of such tests: derive a suite's fixture from it (calling its SetUp first when the
// suite has one of its own).
class FreshState : public ::testing::Test {
  protected:
    void SetUp() override { reset_library_state(); }
};

}  // namespace testing_support
