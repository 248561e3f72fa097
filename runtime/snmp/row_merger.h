// Merges the values that a table walk collects column by column into rows, in ascending
// instance order, and hands each row out as soon as every column has either passed it or ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/snmp/message.h"
#include "runtime/snmp/snmp.h"

namespace snmp {

class RowMerger {
  public:
    // Columns are numbered 0..count-1; column c's names are `table`, `columns[c]`, instance.
    void start(const uint32_t* table, uint32_t table_length, const uint32_t* columns,
               uint32_t count);

    // A value of `column` whose name is its column prefix followed by `instance`. Instances of
    // one column must come in ascending order.
    void add(uint32_t column, const uint32_t* instance, uint32_t instance_length,
             const Binding& value);
    // The column has no further values.
    void end_column(uint32_t column);
    bool ended(uint32_t column) const { return columns_[column].ended; }
    // Values of the column that wait for other columns to reach their rows.
    size_t waiting(uint32_t column) const {
        return columns_[column].entries.size() - columns_[column].head;
    }

    // Hands every complete row to `row_callback` with `context`; returns how many.
    size_t flush(SnmpRowCallback row_callback, void* context);

  private:
    struct Entry {
        uint32_t instance_offset;  // into Column::ids
        uint32_t instance_length;
        uint32_t ids_offset;    // identifier value, into Column::ids
        uint32_t bytes_offset;  // byte value, into Column::bytes
        uint8_t tag;
        MibValueData value;  // scalars; lengths of strings and identifiers
    };
    struct Column {
        uint32_t number = 0;
        bool ended = false;
        std::vector<Entry> entries;
        size_t head = 0;
        std::vector<uint32_t> ids;
        std::vector<uint8_t> bytes;
        bool empty() const { return head == entries.size(); }
    };

    void pop(Column& c);

    std::vector<uint32_t> table_;
    std::vector<Column> columns_;
    std::vector<VarBind> row_;
    std::vector<uint32_t> names_;
    std::vector<uint8_t> matched_;
    uint32_t null_name_[kNullNameLength] = {};
};

}  // namespace snmp
