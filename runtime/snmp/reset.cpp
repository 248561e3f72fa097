// Everything the transport keeps between calls, put back as a new process finds it.
#include "runtime/snmp/errors.h"
#include "runtime/snmp/session.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/snmp.h"

namespace snmp {

void reset_transport() {
    reset_settings();
    close_sessions();
    clear_error();
    ZorvsnmpDumpPacket = 0;
}

}  // namespace snmp
