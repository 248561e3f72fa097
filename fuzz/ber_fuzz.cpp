// The response decoder on arbitrary datagrams: it must never read outside the input, and what it
// accepts must encode again to a message that decodes to the same bindings.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/snmp/ber.h"
#include "runtime/snmp/message.h"
#include "runtime/snmp/response_copy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so that any read past the end is caught.
    uint8_t* datagram = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(datagram, data, size);
    static snmp::Message message;
    if (!snmp::decode_message(datagram, size, message, nullptr)) {
        std::free(datagram);
        return 0;
    }
    ResponsePdu* pdu = snmp::copy_response(message);
    size_t count = 0;
    for (VarBind* b = pdu ? pdu->variables : nullptr; b; b = b->next) ++count;
    if (count != message.bindings.size()) std::abort();
    std::free(pdu);

    static snmp::BerWriter writer;
    snmp::encode_message(message, writer);
    static snmp::Message again;
    if (!snmp::decode_message(writer.data(), writer.size(), again, nullptr)) std::abort();
    if (again.bindings.size() != message.bindings.size() ||
        again.request_id != message.request_id || again.error_status != message.error_status ||
        again.community != message.community)
        std::abort();
    for (size_t i = 0; i < message.bindings.size(); ++i) {
        const snmp::Binding& a = message.bindings[i];
        const snmp::Binding& b = again.bindings[i];
        if (a.tag != b.tag || a.name_length != b.name_length ||
            std::memcmp(a.name, b.name, a.name_length * sizeof(uint32_t)) != 0)
            std::abort();
    }
    std::free(datagram);
    return 0;
}
