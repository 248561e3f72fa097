// objpeek: fetches a list of MIB objects from a node and prints them as a labelled form.
// Start-up, options, object and instance lists, and one full identifier per object.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/objpeek.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "runtime/runtime.h"
#include "runtime/snmp/snmp.h"

ObjpeekState objpeek;

namespace {

enum Slot {
    kTitle,
    kCommunity,
    kObj,
    kNode,
    kAppname,
    kDump,
    kHtml,
    kScript,
    kHtmlFmt,
    kInst,
    kSlotCount
};

const OptionDesc kOptions[kSlotCount] = {
    {"-title", 2, nullptr, 11, option_slot_offset(kTitle)},
    {"-c", 2, nullptr, 11, option_slot_offset(kCommunity)},
    {"-obj", 2, nullptr, 11, option_slot_offset(kObj)},
    {"-node", 2, nullptr, 11, option_slot_offset(kNode)},
    {"-appname", 4, nullptr, 11, option_slot_offset(kAppname)},
    {"-d", 0, "True", 12, option_slot_offset(kDump)},
    {"-html", 0, "True", 12, option_slot_offset(kHtml)},
    {"-js", 0, "True", 12, option_slot_offset(kScript)},
    {"-htmlFmt", 2, nullptr, 11, option_slot_offset(kHtmlFmt)},
    {"-inst", 2, nullptr, 11, option_slot_offset(kInst)},
};

const char kDefaultHtmlSpec[] = "<PRE>%s</PRE>,,<STRONG>%s</STRONG>,";

[[noreturn]] void print_usage(const char* program) {
    std::fprintf(stderr, "usage: %s -obj objList -node nodeName\n", program);
    std::fprintf(stderr,
                 "                [-c community] [-d] [-appname applicationName ] [-t title]\n\n");
    std::fprintf(stderr,
                 "                Required Arguments\n"
                 "       -node    Name or IP Address of device to query\n");
    std::fprintf(stderr, "       -obj     Comma separated list of object ids, where\n");
    std::fprintf(stderr, "                objList :: objSpec[,objSpec]...\n");
    std::fprintf(stderr, "                objSpec :: [label=]objId[:width]\n");
    std::fprintf(stderr, "                objId   :: object id of the MIB variable\n");
    std::fprintf(stderr,
                 "                label   :: label for the MIB variable\n"
                 "                width   :: display width of the MIB variable\n\n");
    std::fprintf(stderr,
                 "                Optional Arguments\n"
                 "       -c       SNMP community name\n"
                 "       -d       dump SNMP packets\n");
    std::fprintf(stderr,
                 "       -appname Unique name of the MIB application\n"
                 "       -title   Title for the MIB Application Window\n");
    flush_and_exit(1);
}

void report(int number, const char* default_text, const char* insert) {
    nl_fprintf(stderr, objpeek_message(number, default_text), insert);
}

// The object part may take one sub-identifier more than its text has components, so a bare
// name that stands for a long identifier does not resolve; the instance part is dotted decimal.
void build_identifier(int32_t j) {
    FieldSpec& object = objpeek.objects[j];
    const char* instance = objpeek.instances[objpeek.instance_count == 1 ? 0 : j];
    const int32_t room_object = count_oid_parts(object.id) + 1;
    const int32_t room_instance = count_oid_parts(instance);
    object.identifier = static_cast<uint32_t*>(
        alloc_or_exit(sizeof(uint32_t) * static_cast<size_t>(room_object + room_instance)));
    int32_t object_length = room_object;
    if (parse_oid_text(object.id, object.identifier, &object_length) != 0) {
        report(5, "ERROR: unknown object id: %1\n", object.id);
        flush_and_exit(1);
    }
    int32_t instance_length = room_instance;
    if (parse_oid_digits(instance, object.identifier + object_length, &instance_length) != 0) {
        report(4, "ERROR: unknown object id: %1\n", instance);
        flush_and_exit(1);
    }
    object.identifier_length = object_length + instance_length;
    const char* format = nullptr;
    column_format(object.identifier, object.identifier_length, &object.width, &object.printer,
                  &format, &object.enums);
    std::snprintf(object.format, sizeof object.format, "%s", format != nullptr ? format : "%s");
}

}  // namespace

const char* objpeek_message(int number, const char* default_text) {
    return BrixLoadString(kObjpeekSet, (static_cast<uint32_t>(kObjpeekSet) << 16) | number,
                          default_text);
}

int main(int argc, char** argv) {
    SetCurDriveToProductDrive();
    std::setlocale(LC_ALL, "");
    if (argc > 0 && argv[0] != nullptr) objpeek.program = _Zorvbasename(argv[0]);

    OptionSlot slots[kSlotCount] = {};
    int index = 0;
    const int parsed = parseCmdLine(argc, argv, 1, kSlotCount, kOptions, slots, &index);
    const char* at_index = index > 0 && index < argc ? argv[index] : "";
    if (parsed < 0) {
        report(13, "ERROR: invalid or missing argument for option, %1\n", at_index);
        print_usage(objpeek.program);
    }
    if (index != 0) {
        report(12, "ERROR: invalid parameter, %1\n", at_index);
        print_usage(objpeek.program);
    }
    objpeek.html = slots[kHtml] != nullptr;
    objpeek.script_escape = slots[kScript] != nullptr;

    if (slots[kObj] == nullptr) {
        report(11, "ERROR: missing required option, %1\n", "-obj");
        print_usage(objpeek.program);
    }
    if (slots[kNode] == nullptr) {
        report(10, "ERROR: missing required option, %1\n", "-node");
        print_usage(objpeek.program);
    }
    // A wrapper is used as a printf format: one that is not safe is refused before any output.
    if (objpeek.html &&
        parseHtmlSpec(slots[kHtmlFmt] != nullptr ? slots[kHtmlFmt] : kDefaultHtmlSpec) < 0) {
        report(13, "ERROR: invalid or missing argument for option, %1\n", "-htmlFmt");
        print_usage(objpeek.program);
    }
    objpeek.node = slots[kNode];
    objpeek.community = slots[kCommunity];
    objpeek.title = slots[kTitle] != nullptr
                        ? slots[kTitle]
                        : objpeek_message(9, "User Specified MIB Description for");
    const char* instance_text = slots[kInst] != nullptr ? slots[kInst] : "0";
    if (slots[kDump] != nullptr) ZorvsnmpDumpPacket = 1;

    char** items = nullptr;
    const int object_count = split_list(slots[kObj], &items);
    if (object_count < 0) {
        report(8, "ERROR: invalid object list: %1\n", slots[kObj]);
        print_usage(objpeek.program);
    }
    objpeek.object_count = object_count;
    objpeek.objects = static_cast<FieldSpec*>(alloc_or_exit(sizeof(FieldSpec) * object_count));
    std::memset(objpeek.objects, 0, sizeof(FieldSpec) * object_count);
    size_t longest_label = 0;
    for (int32_t j = 0; j < object_count; ++j) {
        FieldSpec& object = objpeek.objects[j];
        parse_field_spec(items[j], &object.id, &object.label, &object.width);
        longest_label = std::max(longest_label, std::strlen(object.label));
    }

    char** instances = nullptr;
    const int instance_count = split_list(instance_text, &instances);
    if (instance_count < 0) {
        report(6, "ERROR: invalid object list: %1\n", instance_text);
        print_usage(objpeek.program);
    }
    if (instance_count != object_count && instance_count != 1) print_usage(objpeek.program);
    objpeek.instance_count = instance_count;
    objpeek.instances = static_cast<char**>(alloc_or_exit(sizeof(char*) * instance_count));
    for (int k = 0; k < instance_count; ++k) {
        bool unused = false;
        objpeek.instances[k] = encode_string_instance(instances[k], false, &unused);
    }

    char format[64];
    const int width = static_cast<int>(std::min<size_t>(longest_label, 1000000000));
    std::snprintf(format, sizeof format, "%%-%d.%ds \t ", width, width);
    objpeek.label_format = format;

    refresh_mib();
    for (int32_t j = 0; j < object_count; ++j) build_identifier(j);

    print_form();
}
