// objpeek: fetches a list of MIB objects from a node and prints them as a labelled form, or as
// CSV or JSON.
// Start-up, options, object and instance lists, and one full identifier per object.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "appls/extmgr/ttycmds/objpeek.h"
#include "appls/extmgr/ttycmds/script_writers.h"
#include "mib/mib_init.h"
#include "mib/oid_names.h"
#include "mib/oid_parse.h"
#include "runtime/runtime.h"

ObjpeekState objpeek;

using namespace objpeek_message;

namespace {

// Room for any identifier a module's name stands for.
constexpr int32_t kMaxSubidsOfName = 128;

const char kDefaultHtmlSpec[] = "<PRE>%s</PRE>,,<STRONG>%s</STRONG>,";

void print_usage(FILE* stream, const char* program) {
    std::fprintf(stream, "usage: %s -obj objList -node nodeName\n", program);
    std::fprintf(stream,
                 "                [-c community] [-d] [-appname applicationName ] [-t title]\n\n");
    std::fprintf(stream,
                 "                Required Arguments\n"
                 "       -node    Name or IP Address of device to query\n");
    std::fprintf(stream, "       -obj     Comma separated list of object ids, where\n");
    std::fprintf(stream, "                objList :: objSpec[,objSpec]...\n");
    std::fprintf(stream, "                objSpec :: [label=]objId[:width]\n");
    std::fprintf(stream, "                objId   :: object id of the MIB variable\n");
    std::fprintf(stream,
                 "                label   :: label for the MIB variable\n"
                 "                width   :: display width of the MIB variable\n\n");
    std::fprintf(stream,
                 "                Optional Arguments\n"
                 "       -c       SNMP community name\n"
                 "       -d       dump SNMP packets\n");
    std::fprintf(stream,
                 "       -appname Unique name of the MIB application\n"
                 "       -title   Title for the MIB Application Window\n");
}

// Whether the id before a "::" could name anything: a module's name is a single word of letters
// first. Room for any identifier keeps the check silent.
bool resolves(const char* id) {
    if (std::strchr(id, '.') != nullptr || (*id >= '0' && *id <= '9')) return true;
    uint32_t ids[kMaxSubidsOfName];
    int32_t count = kMaxSubidsOfName;
    return refresh_mib() == 0 && parse_oid_text(id, ids, &count) == 0;
}

// Splits "-obj" into the objects and their field specs. The length of the longest label.
size_t read_objects(const char* text) {
    char** items = nullptr;
    const int count = split_list(text, &items);
    if (count < 0) objpeek_program.usage_error(kInvalidObjectList, text);
    objpeek.object_count = count;
    objpeek.objects = static_cast<FieldSpec*>(alloc_or_exit(sizeof(FieldSpec) * count));
    std::memset(objpeek.objects, 0, sizeof(FieldSpec) * count);
    size_t longest_label = 0;
    for (int32_t j = 0; j < count; ++j) {
        FieldSpec& object = objpeek.objects[j];
        char* module_spec = std::strstr(items[j], "::") ? copy_or_exit(items[j]) : nullptr;
        parse_field_spec(items[j], &object.id, &object.label, &object.width);
        // What the plain split accepts stays accepted; a module's name is read when it fails.
        if (module_spec && !resolves(object.id))
            parse_module_field_spec(module_spec, &object.id, &object.label, &object.width);
        longest_label = std::max(longest_label, std::strlen(object.label));
    }
    return longest_label;
}

// Splits and encodes the instance list: one instance for every object, or one for all.
void read_instances(const char* text) {
    char** items = nullptr;
    const int count = split_list(text, &items);
    if (count < 0) objpeek_program.usage_error(kInvalidInstanceList, text);
    if (count != objpeek.object_count && count != 1) objpeek_program.exit_with_usage();
    objpeek.instance_count = count;
    objpeek.instances = static_cast<char**>(alloc_or_exit(sizeof(char*) * count));
    for (int k = 0; k < count; ++k) {
        bool unused = false;
        objpeek.instances[k] = encode_string_instance(items[k], false, &unused);
    }
}

// "%-W.Ws \t ": every label padded or cut to the longest one, then a space, a tab and a space.
void make_label_format(size_t longest_label) {
    char format[64];
    const int width = static_cast<int>(std::min<size_t>(longest_label, 1000000000));
    std::snprintf(format, sizeof format, "%%-%d.%ds \t ", width, width);
    objpeek.label_format = format;
}

// The object part may take one sub-identifier more than its text has components, so a bare
// name that stands for a long identifier does not resolve; the instance part is dotted decimal.
void build_identifier(int32_t j) {
    FieldSpec& object = objpeek.objects[j];
    const char* instance = objpeek.instances[objpeek.instance_count == 1 ? 0 : j];
    // A module's name says nothing of how long the identifier it names is.
    const int32_t room_object =
        count_oid_parts(object.id) + (std::strstr(object.id, "::") ? kMaxSubidsOfName : 1);
    const int32_t room_instance = count_oid_parts(instance);
    object.identifier = static_cast<uint32_t*>(
        alloc_or_exit(sizeof(uint32_t) * static_cast<size_t>(room_object + room_instance)));
    int32_t object_length = room_object;
    if (parse_oid_text(object.id, object.identifier, &object_length) != 0) {
        objpeek_program.fail_unresolved(kUnknownObject, object.id);
    }
    int32_t instance_length = room_instance;
    if (parse_oid_digits(instance, object.identifier + object_length, &instance_length) != 0) {
        objpeek_program.fail(kUnknownInstance, instance);
    }
    object.identifier_length = object_length + instance_length;
    const char* format = nullptr;
    column_format(object.identifier, object.identifier_length, &object.width, &object.printer,
                  &format, &object.enums);
    std::snprintf(object.format, sizeof object.format, "%s", format != nullptr ? format : "%s");
}

}  // namespace

constinit Program objpeek_program("objpeek", kObjpeekSet, print_usage);

int main(int argc, char** argv) {
    objpeek_program.start(argc, argv);
    CommandLine options(objpeek_program, {kBadOptionArgument, kStrayArgument}, kObjpeekOptions);
    options.parse(argc, argv);
    const char* object_text = options.required("-obj", kMissingObjects);
    options.required("-node", kMissingNode);
    options.use_html_wrappers(kDefaultHtmlSpec);
    options.take_common(objpeek, kDefaultTitle);
    const char* instance_text = options.given("-inst") ? options.value("-inst") : "0";

    const size_t longest_label = read_objects(object_text);
    read_instances(instance_text);
    make_label_format(longest_label);

    if (objpeek.form == OutputForm::kJson &&
        !json_keys_distinct(objpeek.objects, objpeek.object_count)) {
        objpeek_program.usage_error(kInvalidObjectList, object_text);
    }

    refresh_mib();
    for (int32_t j = 0; j < objpeek.object_count; ++j) build_identifier(j);
    print_form(fetch_objects());
}
