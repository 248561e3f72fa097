#include "runtime/snmp/response_copy.h"

#include <cstdlib>
#include <cstring>

#include "runtime/snmp/errors.h"

namespace snmp {

ResponsePdu* copy_response(const Message& m) {
    const size_t count = m.bindings.size();
    size_t ids = 0;
    size_t bytes = 0;
    for (const Binding& b : m.bindings) {
        ids += b.name_length;
        if (b.tag == ASN_OBJECT_ID) {
            ids += static_cast<size_t>(b.value.string.length);
        } else if (has_bytes(b.tag)) {
            bytes += static_cast<size_t>(b.value.string.length);
        }
    }
    const size_t total =
        sizeof(ResponsePdu) + count * sizeof(VarBind) + ids * sizeof(uint32_t) + bytes + 1;
    char* block = static_cast<char*>(std::calloc(1, total));
    if (!block) {
        set_error(kErrNoMemory);
        return nullptr;
    }
    auto* pdu = reinterpret_cast<ResponsePdu*>(block);
    auto* binds = reinterpret_cast<VarBind*>(block + sizeof(ResponsePdu));
    auto* id_store =
        reinterpret_cast<uint32_t*>(block + sizeof(ResponsePdu) + count * sizeof(VarBind));
    auto* byte_store = reinterpret_cast<uint8_t*>(id_store + ids);
    pdu->version = m.version;
    pdu->pdu_type = m.pdu_type;
    pdu->request_id = m.request_id;
    pdu->error_status = m.error_status;
    pdu->error_index = m.error_index;
    pdu->variables = count ? binds : nullptr;
    for (size_t i = 0; i < count; ++i) {
        const Binding& b = m.bindings[i];
        VarBind& v = binds[i];
        v.next = i + 1 < count ? &binds[i + 1] : nullptr;
        v.name = id_store;
        v.name_length = b.name_length;
        std::memcpy(id_store, b.name, b.name_length * sizeof(uint32_t));
        id_store += b.name_length;
        v.type = b.tag;
        v.value = b.value;
        if (b.tag == ASN_OBJECT_ID) {
            const size_t n = static_cast<size_t>(b.value.string.length);
            if (n) std::memcpy(id_store, b.value.string.ids, n * sizeof(uint32_t));
            v.value.string.ids = id_store;
            id_store += n;
        } else if (has_bytes(b.tag)) {
            const size_t n = static_cast<size_t>(b.value.string.length);
            if (n) std::memcpy(byte_store, b.value.string.bytes, n);
            v.value.string.bytes = byte_store;
            byte_store += n;
        }
    }
    return pdu;
}

}  // namespace snmp
