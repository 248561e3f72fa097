// What the writer and the reader of the MIB intermediate file share: the layout's constants and
// the module's status. Internal to the mib_cud module (mib_cud.cpp, mib_cud_read.cpp).
//
// Layout: a header (the word 13, the signature "@(#)cudfile2" with its NUL, "---"), then the
// node records in depth-first pre-order. Every integer is a big-endian 32-bit word; every text
// is a length word and the bytes, padded with '-' to a multiple of four.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "mib/mib_file.h"

namespace mib_cud {

// Held with '_' in front; the file carries '@' there.
constexpr char kSignatureText[] = "_(#)cudfile2";
constexpr uint32_t kSignatureLength = sizeof(kSignatureText);  // 13, the NUL included
constexpr char kHeaderPadding[] = "---";
constexpr size_t kHeaderPaddingLength = sizeof(kHeaderPadding) - 1;
constexpr size_t kHeaderSize = 4 + kSignatureLength + kHeaderPaddingLength;
constexpr char kPadding = '-';
constexpr uint32_t kMaxLabelLength = kMibLabelSize - 1;
constexpr int kShortTransferErrno = ENOSPC;  // a short read or write without a system error

// The signature as the file carries it.
void working_signature(char (&out)[kSignatureLength]);

constexpr uint32_t padding_for(size_t length) {
    return static_cast<uint32_t>((4 - length % 4) % 4);
}

// The status of the operation under way: cleared at its start, set by the failure that ends it.
void clear_status();
MibFileStatus set_status(MibFileStatus status, int error);  // returns `status`
MibFileStatus current_status();
// A system error number, or the short-transfer number when the system reports none.
int error_or_short(int error);

}  // namespace mib_cud
