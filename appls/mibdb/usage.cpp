// The usage text, misuse reports and the argument reader.
#include <cstdlib>

#include "appls/mibdb/mibdb.h"

void print_usage(FILE* stream) {
    std::fputs(
        "usage: mibdb build -o FILE [--standard TEXT] [-M DIR[:DIR...]]... [MODULE...]\n"
        "       mibdb list [-f DATABASE] [--facts] [SUBTREE]\n"
        "       mibdb translate [-f DATABASE] NAME|NUMBERS...\n"
        "       mibdb events --base-class CLASS --commands FILE [--classes FILE]\n"
        "                    [--variables FILE] [--rules FILE] [--standard TEXT] MODULE...\n"
        "       mibdb -h|--help\n"
        "       mibdb --version\n"
        "\n"
        "  build      compile the standard definitions text followed by the MIB modules into\n"
        "             the MIB database FILE (the MIB intermediate file, e.g. snmpv2mib.bin)\n"
        "  list       print the database, or the subtree of SUBTREE, as an indented tree:\n"
        "             label(sub-identifier), identifier, type, access, enumerations\n"
        "             (--facts: and the modules, INDEX or AUGMENTS, convention, hint and\n"
        "             sizes that the database's companion NAME.facts holds of each node)\n"
        "  translate  print the numeric identifier of each NAME, and the label path of each\n"
        "             NUMBERS (dotted decimal, always absolute)\n"
        "  events     compile the modules with their traps collected and write the alertreg\n"
        "             commands, event classes, variable list and mapping rules (\"-\" is\n"
        "             standard output)\n"
        "\n"
        "  -f DATABASE      the database file, with or without .bin; default: $MIBDBV2.bin,\n"
        "                   else /usr/Zorv/conf/snmpv2mib.bin\n"
        "  --standard TEXT  the standard definitions text put in front of the modules\n"
        "  -M DIR[:DIR...]  folders searched in order for modules by name: a file NAME,\n"
        "                   NAME.mib, NAME.my or NAME.txt, else the first file whose text\n"
        "                   defines module NAME; the folders of $ZORVMIBDIRS come after them.\n"
        "                   With a search path, each MODULE (a file or a module name) and\n"
        "                   every module it imports is compiled once, after the modules it\n"
        "                   imports; an import found nowhere is an error. With -M and no\n"
        "                   MODULE, every module in the -M folders is compiled. Without a\n"
        "                   search path the MODULE files are compiled in the order given.\n"
        "                   SNMPv2-SMI, SNMPv2-TC, SNMPv2-CONF, RFC1155-SMI, RFC1065-SMI,\n"
        "                   RFC-1212 and RFC-1215 are stood for by the standard text and\n"
        "                   never compiled.\n"
        "\n"
        "Names follow the programs' rules: a name with a leading dot starts at the root; any\n"
        "other name starts under mib-2, or under enterprises when its first label is an\n"
        "enterprise (interfaces.ifTable.ifEntry.ifDescr, .iso.org.dod.internet).\n",
        stream);
}

void report_error(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "mibdb: %s\n", message.c_str());
}

void usage_error(const std::string& message) {
    report_error(message);
    print_usage(stderr);
    std::fflush(stderr);
    std::exit(1);
}

ArgumentReader::ArgumentReader(int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            print_usage(stdout);
            std::exit(0);
        }
        args_.push_back(arg);
    }
}

std::string ArgumentReader::value_of(const std::string& option) {
    if (done()) usage_error("option " + option + " needs a value");
    return take();
}
