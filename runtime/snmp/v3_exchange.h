// One request and its answer under SNMPv3: engine discovery once per session, every try
// wrapped anew for the user, answers unwrapped and matched, reports turned into errors.
#pragma once

#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"

namespace snmp {

// Sends the PDU of `request` (its request id already set) as the settings' SNMPv3 user and waits
// for the answer, at most timeout x (retries + 1) in all, the engine's discovery included. An
// answer to any try of the request is taken. A not-in-time-window report resynchronises the
// engine's clock and the request is sent once more. Anything that is not the answer is
// dropped. False with the error recorded on timeout (kErrUndecodable when the node sent
// something that did not decode), a report, or a socket or security failure. Once the agent
// has refused the user (a report it authenticated, or only answers that fail our digest),
// every later request of the session fails at once with the same error.
bool exchange_v3(Session& session, Message& request, Message& response);

}  // namespace snmp
