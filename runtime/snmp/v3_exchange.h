// One request and its answer under SNMPv3: engine discovery once per session, every try
// wrapped anew for the user, answers unwrapped and matched, reports turned into errors.
#pragma once

#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"

namespace snmp {

// Sends the PDU of `request` (its request id already set) as the settings' SNMPv3 user and waits
// for the answer, at most timeout x (retries + 1) in all, the engine's discovery included. A
// not-in-time-window report resynchronises the engine's clock and the request is sent once
// more. Anything that is not the answer is dropped. False with the error recorded on timeout,
// a report, or a socket or security failure; once the agent has refused the user, every later
// request of the session fails at once with the same error.
bool exchange_v3(Session& session, Message& request, Message& response);

}  // namespace snmp
