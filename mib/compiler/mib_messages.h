// The catalogue messages of the MIB support library (catalogue set 16): the source compiler's
// and the event-definition generator's. Each message has one row here, with its catalogue id and
// its default text; call sites name the message, never its number or text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/runtime.h"

enum class MibMessage {
    OutOfMessageSpace,
    MissingClosingQuote,
    OutOfMemory,
    NoArgumentList,
    NoTrapDefinitions,
    NoEnterprise,
    EnterpriseNotFound,
    BadOperator,
    BadTypeAssignment,
    BadDefinition,
    NoClosingBracket,
    ReservedWord,
    EndBeforeStart,
    NoEndToValue,
    NoSubIdentifier,
    NoBeginStatement,
    Bad,
    BadFormat,
    BadOptionalClauses,
    BadStatus,
    ShouldBeStatus,
    BadAccessType,
    BadSyntax,
    ExpectedCloseParen,
    ExpectedCloseBrace,
    ExpectedInteger,
    ExpectedOpenParen,
    BadFormatFor,
    UnmappedTextualConvention,
    NoMoreTextualConventions,
    ExpectedTrapNumber,
    ExpectedAssign,
    NoVariables,
    ExpectedListBrace,
    ExpectedEnterprise,
    RegistrationTooLong,
    ExpectedKeyword,
    ExpectedNumber,
    ExpectedValueCloseParen,
    NotValidFor,
    ExpectedOpenBrace,
    DuplicateChildLabel,
    LeftOverNode,
    LeftOverNodes,
    ChildrenOf,
    LocatedInPrefix,
    LocatedTokenInPrefix,
    Located,
    LocatedToken,
    LocatedEndInPrefix,
    LocatedEnd,
    NoAssignForUnsigned32,
    Unsigned32NotGauge32,
    ShouldBeAccess,
    ArcAwayFromDefinition,
    ConventionDefinedNowhere,
    NoEndBeforeModule,
    NoEndBeforeEndOfInput,
    ExpectedSyntaxInConvention,
    ExpectedObjectsBrace,
    BadAgentCapabilities,
    TooManySlotMaps,
    DirectiveLineCut,
    TextCut,
    TooManyTraps,
    LabelAtPlaces,
    Count
};

struct MibMessageRow {
    MibMessage message;
    uint32_t id;  // (set << 16) | number
    const char* default_text;
};

// In the order of MibMessage.
inline constexpr MibMessageRow kMibMessages[] = {
    // the compile message buffer, in place of the first message that does not fit
    {MibMessage::OutOfMessageSpace, 0x100001,
     "\nRan out of space for messages. Remaining messages will not be displayed.\n"},
    // read_quoted_text, at end of input
    {MibMessage::MissingClosingQuote, 0x100002, "Error defining %1: missing closing quote"},
    // every allocation of the compiler
    {MibMessage::OutOfMemory, 0x100003, "malloc failed parsing %1; out of memory.\n"},
    // generator: split_arguments
    {MibMessage::NoArgumentList, 0x100004, "%1 statement, no argument list: %2 "},
    // generator: write_event_definitions
    {MibMessage::NoTrapDefinitions, 0x100005,
     "Error -- No trap definitions found.\n Check %1 source file for errors.\n"},
    // generator: write_alertreg_command
    {MibMessage::NoEnterprise, 0x100006,
     "No enterprise name or object identifier for trap %1, (%2!d!,%3!d!)."},
    {MibMessage::EnterpriseNotFound, 0x100007,
     "Enterprise object identifier not found for trap %1, (%2!d!,%3!d!)."},
    // module parser: the statement loop and the module frame
    {MibMessage::BadOperator, 0x100008, "Bad operator"},
    {MibMessage::BadTypeAssignment, 0x100009, "Bad parse of ASN type definition"},
    {MibMessage::BadDefinition, 0x10000a, "Bad parse of: %1"},
    {MibMessage::NoClosingBracket, 0x10000d, "Could not find closing right bracket"},
    {MibMessage::ReservedWord, 0x10000e, "%1 is a reserved word"},
    {MibMessage::EndBeforeStart, 0x100010, "Error, %1 statement before start of %2"},
    // object-identifier values: the final-record and chain rules, NOTIFICATION-TYPE
    {MibMessage::NoEndToValue, 0x100011, "No end to %1"},
    // the final-record rule, a warning
    {MibMessage::NoSubIdentifier, 0x100013, "Warning: This entry has no sub-identifier"},
    // module header
    {MibMessage::NoBeginStatement, 0x100014, "No %1 statement"},
    // a clause without its quoted text or braced value, a value assignment without a value
    {MibMessage::Bad, 0x100015, "Bad %1"},
    // value assignment and OBJECT-IDENTITY
    {MibMessage::BadFormat, 0x100016, "Bad format"},
    // OBJECT-TYPE and MODULE-IDENTITY clauses
    {MibMessage::BadOptionalClauses, 0x100017, "Bad format of optional clauses"},
    // OBJECT-TYPE: the status clause
    {MibMessage::BadStatus, 0x100018, "Bad status"},
    {MibMessage::ShouldBeStatus, 0x100019, "Should be %1"},
    // OBJECT-TYPE: the access clause
    {MibMessage::BadAccessType, 0x10001a, "Bad %1 type"},
    // OBJECT-TYPE: the syntax clause
    {MibMessage::BadSyntax, 0x10001b, "Bad syntax"},
    // enumerations and constraints of OBJECT-TYPE and type assignments
    {MibMessage::ExpectedCloseParen, 0x10001c, "Expected \")\""},
    {MibMessage::ExpectedCloseBrace, 0x10001d, "Expected \"}\""},
    {MibMessage::ExpectedInteger, 0x10001e, "Expected integer"},
    {MibMessage::ExpectedOpenParen, 0x10001f, "Expected \"(\""},
    // OBJECT-TYPE: no SYNTAX clause
    {MibMessage::BadFormatFor, 0x100021, "Bad format for %1"},
    // type assignments
    {MibMessage::UnmappedTextualConvention, 0x100022,
     "Textual convention doesn't map to real type"},
    {MibMessage::NoMoreTextualConventions, 0x100023, "No more textual conventions possible"},
    // TRAP-TYPE and NOTIFICATION-TYPE
    {MibMessage::ExpectedTrapNumber, 0x100024,
     "Error defining trap number: Expected integer, found"},
    {MibMessage::ExpectedAssign, 0x100025, "Error defining %1: Expected '::=', found "},
    {MibMessage::NoVariables, 0x100027, "Error defining %1: No variables specified"},
    {MibMessage::ExpectedListBrace, 0x100028, "Error defining %1: Expected '{', found "},
    {MibMessage::ExpectedEnterprise, 0x100029,
     "Error defining %1: Expected object name or registration, found "},
    {MibMessage::RegistrationTooLong, 0x10002a,
     "Error defining %1: missing '}' or too long of registration"},
    {MibMessage::ExpectedKeyword, 0x10002b, "Error defining %1: Expected '%2', found "},
    // read_oid_value
    {MibMessage::ExpectedNumber, 0x10002c, "Expected a number"},
    {MibMessage::ExpectedValueCloseParen, 0x10002d, "Unexpected a closing parenthesis"},
    {MibMessage::NotValidFor, 0x10002e, "Not valid for %1"},
    {MibMessage::ExpectedOpenBrace, 0x10002f, "Expected \"{\""},
    // linker
    {MibMessage::DuplicateChildLabel, 0x100030,
     "Error: Two child nodes of %1, %2(%3!d!) and %4(%5!d!), have the same label.\nOnly one of "
     "them can be loaded at a time.\nUnload/reload MIBs as required to get the desired node into "
     "the tree.\n"},
    {MibMessage::LeftOverNode, 0x100031, "Left-over node %1 ::= { %2 %3!d! } (%4!d!)\n"},
    {MibMessage::LeftOverNodes, 0x100032,
     "Warning: The mib description doesn't seem to be consistent.\n Some nodes couldn't be "
     "linked under the \"iso\" tree.\n These nodes are left:\n"},
    // print_children
    {MibMessage::ChildrenOf, 0x100033, "Children of %1(%2!d!)\n"},
    // report_at_line and warn_at_line: in the prefix text, then in the user's module
    {MibMessage::LocatedInPrefix, 0x100034, "%1: On or around line %2!d! of the %3 file.\n"},
    {MibMessage::LocatedTokenInPrefix, 0x100035,
     "%1(%2): On or around line %3!d! of the %4 file.\n"},
    {MibMessage::Located, 0x100036, "%1: On or around line %2!d!\n"},
    {MibMessage::LocatedToken, 0x100037, "%1(%2): On or around line %3!d!\n"},
    {MibMessage::LocatedEndInPrefix, 0x100038,
     "%1(End Of File): On or around line %2!d! of the %3 file.\n"},
    {MibMessage::LocatedEnd, 0x100039, "%1(End Of File): On or around line %2!d!\n"},
    // module parser: "Unsigned32 ::= Gauge32"
    {MibMessage::NoAssignForUnsigned32, 0x10003a, "Could not find ::= for Unsigned32."},
    {MibMessage::Unsigned32NotGauge32, 0x10003b, "Unsigned32 not defined as Gauge32."},
    // OBJECT-TYPE: no access clause
    {MibMessage::ShouldBeAccess, 0x10003c, "Should be %1"},
    // resolver: a name(number) arc away from the definition of its label that its module sees
    {MibMessage::ArcAwayFromDefinition, 0x10003d,
     "Warning: %1(%2!d!) in %3 stands at %4, but the %1 that %3 sees is at %5; the arc keeps its "
     "place\n"},
    // a SYNTAX that names a convention that no module of the stream defines
    {MibMessage::ConventionDefinedNowhere, 0x10003e,
     "Warning: %1, the SYNTAX of %2 in %3, is defined nowhere; %2 has no type\n"},
    // module parser: a module without END, located at its BEGIN
    {MibMessage::NoEndBeforeModule, 0x10003f, "Error, no END statement for %1 before %2"},
    {MibMessage::NoEndBeforeEndOfInput, 0x100040, "Error, no END statement for %1"},
    // TEXTUAL-CONVENTION: the input ends before its SYNTAX
    {MibMessage::ExpectedSyntaxInConvention, 0x100041, "Expected SYNTAX in TEXTUAL-CONVENTION"},
    // NOTIFICATION-TYPE: OBJECTS without its list
    {MibMessage::ExpectedObjectsBrace, 0x100042, "Error defining OBJECTS: Expected '{', found"},
    // module parser: an AGENT-CAPABILITIES that does not parse
    {MibMessage::BadAgentCapabilities, 0x100043, "Bad parse of AGENT-CAPABILITIES"},
    // directives and texts that do not fit: warnings
    {MibMessage::TooManySlotMaps, 0x100044,
     "Warning: more than 20 --#SLOTMAP lines in one definition; line ignored"},
    {MibMessage::DirectiveLineCut, 0x100045,
     "Warning: directive line longer than 2047 characters; the rest is ignored"},
    {MibMessage::TextCut, 0x100046, "Warning: text longer than %1!d! characters was cut"},
    {MibMessage::TooManyTraps, 0x100047,
     "Warning: more than %1!d! trap definitions; %2 is not kept.\n"},
    // resolver: a label defined at several places, each place with its modules
    {MibMessage::LabelAtPlaces, 0x100048,
     "Warning: %1 is defined at %2!d! places: %3; each module's references keep to its own or "
     "imported definition\n"},
};

// The catalogue text of `message`, or its default text when the catalogue has none.
inline const char* load_mib_message(MibMessage message) {
    const MibMessageRow& row = kMibMessages[static_cast<size_t>(message)];
    return BrixLoadString(kMibLibrarySet, row.id, row.default_text);
}

namespace mib_messages_check {

constexpr size_t kRows = sizeof kMibMessages / sizeof kMibMessages[0];

constexpr bool rows_follow_the_enumeration() {
    if (kRows != static_cast<size_t>(MibMessage::Count)) return false;
    for (size_t i = 0; i < kRows; ++i) {
        if (kMibMessages[i].message != static_cast<MibMessage>(i)) return false;
    }
    return true;
}

constexpr bool ids_are_distinct_and_in_the_set() {
    for (size_t i = 0; i < kRows; ++i) {
        if (kMibMessages[i].id >> 16 != static_cast<uint32_t>(kMibLibrarySet)) return false;
        for (size_t j = i + 1; j < kRows; ++j) {
            if (kMibMessages[i].id == kMibMessages[j].id) return false;
        }
    }
    return true;
}

static_assert(rows_follow_the_enumeration(), "one row per message, in enumeration order");
// A shared id would make a translated catalogue print one message's text at another's site.
static_assert(ids_are_distinct_and_in_the_set(), "every message has an id of its own in set 16");

}  // namespace mib_messages_check
