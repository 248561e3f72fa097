// "-hints": a value's text by the DISPLAY-HINT of its object, taken from the database's
// companion.
#pragma once

#include <string>
#include <unordered_map>

#include "mib/mib_tree.h"
#include "runtime/snmp/snmp.h"

class LazyCompanion;

class ValueHints {
  public:
    // Loads the companion now; when it cannot be used its reason is printed once on standard
    // error and every value keeps its usual text.
    explicit ValueHints(LazyCompanion& companion);

    // The binding's value by its object's hint into `out`: an OCTET STRING by an octet-string
    // hint, an INTEGER that has no label or an unsigned number by an integer hint. False (and
    // `out` unchanged) when the object has no hint or the value does not fit it: the caller
    // prints the value as it would without hints.
    bool render(const VarBind* binding, std::string& out);
    // The same for a value of `node` (its enumerations matter) whose hint is known already.
    static bool render(const VarBind* binding, const MibNode* node, const std::string& hint,
                       std::string& out);

    // The hint of the node (through its convention); empty when none is known.
    const std::string& hint_of(const MibNode* node);
    // The name of the node's textual convention; empty when none is known.
    const std::string& convention_of(const MibNode* node);

    // An InetAddress by the hint of the address type `type` (an InetAddressType's value); false
    // when the type has no hint or the octets are not an address of that type.
    static bool render_inet_address(const VarBind* binding, int64_t type, std::string& out);

  private:
    struct Known {
        std::string hint;
        std::string convention;
    };
    const Known& known(const MibNode* node);

    const class Companion* companion_ = nullptr;
    std::unordered_map<const MibNode*, Known> known_;
};
