// One request and its answer: request ids, tries, the wait, and which datagram is the answer.
#pragma once

#include <vector>

#include "runtime/snmp/dispatcher.h"
#include "runtime/snmp/message.h"
#include "runtime/snmp/session.h"
#include "runtime/snmp/settings.h"

namespace snmp {

// Sends `request` under a fresh request id (every try resends the same one) and waits for the
// answer: a datagram from the node's address and port that decodes fully, is a Response and
// carries the id, version and community of the request. Anything else is dropped and the wait
// goes on to the try's deadline; the answer to any try is taken. The answer's byte values point
// into a buffer that the next exchange reuses. False with the error recorded on socket failure,
// or after every try: kErrUndecodable when the node sent something that did not decode, else
// kErrTimeout.
bool exchange(Session& session, Message& request, Message& response);

bool exchange(Session& session, Message& request, Message& response, const RetryHook& before_retry);

// The version, community and PDU fields of a request from the settings.
void start_request(Message& request, const char* community, uint8_t pdu_type);

}  // namespace snmp
