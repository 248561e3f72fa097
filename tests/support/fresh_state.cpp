#include "tests/support/fresh_state.h"

#include <cstdlib>

#include "mib/coercion.h"
#include "mib/mib_init.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

namespace testing_support {

void reset_library_state() {
    for (const char* name :
         {"MIBDBV2", "ZORVMIBCOERCEFILE", "NLSPATH", "ZORVSNMP_PORT", "ZORVSNMP_VERSION",
          "ZORVSNMP_TIMEOUT_MS", "ZORVSNMP_RETRIES", "ZORVSNMP_MAX_REPETITIONS",
          "ZORVSNMP_MAX_ROWS", "ZORVSNMP_MAX_ANSWER_BYTES", "ZORVSNMP_PARALLEL",
          "ZORVSNMP_CREDENTIALS", "ZORVSNMP_SECURITY_NAME", "ZORVSNMP_SECURITY_LEVEL",
          "ZORVSNMP_AUTH_PROTOCOL", "ZORVSNMP_AUTH_PASSPHRASE", "ZORVSNMP_PRIV_PROTOCOL",
          "ZORVSNMP_PRIV_PASSPHRASE", "ZORVSNMP_CONTEXT"}) {
        unsetenv(name);
    }
    reset_catalogue();
    reset_mib_init();
    reset_coercion();
    snmp::reset_transport();
}

}  // namespace testing_support
