#include "runtime/snmp/row_merger.h"

#include <cstring>

#include "runtime/snmp/oid_compare.h"

namespace snmp {

namespace {

// A column whose consumed front reaches this many values is compacted.
constexpr size_t kCompactAfter = 256;

}  // namespace

void RowMerger::start(const uint32_t* table, uint32_t table_length, const uint32_t* columns,
                      uint32_t count) {
    table_.assign(table, table + table_length);
    columns_.assign(count, Column{});
    for (uint32_t c = 0; c < count; ++c) columns_[c].number = columns[c];
    row_.resize(count);
    matched_.assign(count, 0);
}

void RowMerger::add(uint32_t column, const uint32_t* instance, uint32_t instance_length,
                    const Binding& b) {
    Column& c = columns_[column];
    Entry e{};
    e.instance_offset = static_cast<uint32_t>(c.ids.size());
    e.instance_length = instance_length;
    c.ids.insert(c.ids.end(), instance, instance + instance_length);
    e.ids_offset = static_cast<uint32_t>(c.ids.size());
    e.bytes_offset = static_cast<uint32_t>(c.bytes.size());
    e.tag = b.tag;
    e.value = b.value;
    if (b.tag == ASN_OBJECT_ID) {
        c.ids.insert(c.ids.end(), b.value.string.ids, b.value.string.ids + b.value.string.length);
    } else if (has_bytes(b.tag)) {
        c.bytes.insert(c.bytes.end(), b.value.string.bytes,
                       b.value.string.bytes + b.value.string.length);
    }
    c.entries.push_back(e);
}

void RowMerger::end_column(uint32_t column) {
    columns_[column].ended = true;
}

void RowMerger::pop(Column& c) {
    ++c.head;
    if (c.empty()) {
        c.entries.clear();
        c.ids.clear();
        c.bytes.clear();
        c.head = 0;
    } else if (c.head >= kCompactAfter && c.head * 2 >= c.entries.size()) {
        // Drop the consumed front so that a column running ahead of the others stays small.
        const uint32_t ids_base = c.entries[c.head].instance_offset;
        const uint32_t bytes_base = c.entries[c.head].bytes_offset;
        c.entries.erase(c.entries.begin(), c.entries.begin() + static_cast<ptrdiff_t>(c.head));
        c.head = 0;
        for (Entry& e : c.entries) {
            e.instance_offset -= ids_base;
            e.ids_offset -= ids_base;
            e.bytes_offset -= bytes_base;
        }
        c.ids.erase(c.ids.begin(), c.ids.begin() + ids_base);
        c.bytes.erase(c.bytes.begin(), c.bytes.begin() + bytes_base);
    }
}

size_t RowMerger::flush(SnmpRowCallback row_callback, void* context) {
    const uint32_t count = static_cast<uint32_t>(columns_.size());
    const uint32_t prefix = static_cast<uint32_t>(table_.size()) + 1;
    size_t delivered = 0;
    for (;;) {
        // The lowest instance waiting in any column is the next row, provided that every column
        // without a waiting value has ended (otherwise it may still bring one for that row).
        const Column* lowest = nullptr;
        for (const Column& c : columns_) {
            if (c.empty()) {
                if (!c.ended) return delivered;
                continue;
            }
            if (!lowest) {
                lowest = &c;
                continue;
            }
            const Entry& a = c.entries[c.head];
            const Entry& b = lowest->entries[lowest->head];
            if (compare_oids(c.ids.data() + a.instance_offset, a.instance_length,
                             lowest->ids.data() + b.instance_offset, b.instance_length) < 0)
                lowest = &c;
        }
        if (!lowest) return delivered;
        const Entry& low = lowest->entries[lowest->head];
        const uint32_t instance_length = low.instance_length;
        const size_t name_size = prefix + instance_length;
        // The instance first, then one full name per column.
        names_.resize(instance_length + static_cast<size_t>(count) * name_size);
        uint32_t* instance = names_.data();
        std::memcpy(instance, lowest->ids.data() + low.instance_offset,
                    instance_length * sizeof(uint32_t));
        for (uint32_t i = 0; i < count; ++i) {
            Column& c = columns_[i];
            VarBind& v = row_[i];
            v.next = i + 1 < count ? &row_[i + 1] : nullptr;
            matched_[i] = 0;
            if (!c.empty()) {
                const Entry& e = c.entries[c.head];
                matched_[i] = compare_oids(c.ids.data() + e.instance_offset, e.instance_length,
                                           instance, instance_length) == 0;
            }
            if (!matched_[i]) {
                v.name = null_name_;
                v.name_length = kNullNameLength;
                v.type = ASN_NULL;
                v.value.counter64 = 0;
                continue;
            }
            const Entry& e = c.entries[c.head];
            uint32_t* name = instance + instance_length + static_cast<size_t>(i) * name_size;
            std::memcpy(name, table_.data(), table_.size() * sizeof(uint32_t));
            name[prefix - 1] = c.number;
            std::memcpy(name + prefix, instance, instance_length * sizeof(uint32_t));
            v.name = name;
            v.name_length = static_cast<uint32_t>(name_size);
            v.type = e.tag;
            v.value = e.value;
            if (e.tag == ASN_OBJECT_ID) {
                v.value.string.ids = c.ids.data() + e.ids_offset;
            } else if (has_bytes(e.tag)) {
                v.value.string.bytes = c.bytes.data() + e.bytes_offset;
            }
        }
        row_callback(row_.data(), context);
        ++delivered;
        for (uint32_t i = 0; i < count; ++i) {
            if (matched_[i]) pop(columns_[i]);
        }
    }
}

}  // namespace snmp
