#include "appls/extmgr/ttycmds/program_start.h"

#include <clocale>
#include <cstring>

#include "appls/extmgr/ttycmds/list_helpers.h"
#include "mib/mib_file.h"
#include "mib/mib_tree.h"
#include "runtime/snmp/snmp.h"

void print_version(FILE* stream, const char* name) {
    std::fprintf(stream, "%s (zorv) %s\n", name, ZORV_VERSION);
}

void Program::start(int argc, char** argv) {
    SetCurDriveToProductDrive();
    std::setlocale(LC_ALL, "");
    if (argc > 0 && argv[0] != nullptr) name_ = _Zorvbasename(argv[0]);
    if (argc < 2 || argv[1] == nullptr) return;
    if (std::strcmp(argv[1], "--help") == 0) {
        usage_text_(stdout, name_);
        flush_and_exit(0);
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        print_version(stdout, name_);
        flush_and_exit(0);
    }
}

const char* Program::text(const ProgramMessage& message) const {
    return BrixLoadString(set_, (static_cast<uint32_t>(set_) << 16) | message.number,
                          message.default_text);
}

void Program::exit_with_usage() const {
    usage_text_(stderr, name_);
    flush_and_exit(1);
}

void Program::usage_error(const ProgramMessage& message, const char* insert) const {
    report(message, insert);
    exit_with_usage();
}

void Program::fail(const ProgramMessage& message, const char* insert) const {
    report(message, insert);
    flush_and_exit(1);
}

void Program::fail_unresolved(const ProgramMessage& message, const char* insert) const {
    report(message, insert);
    if (Mib == nullptr) std::fprintf(stderr, "%s\n", mib_file_message(nullptr));
    flush_and_exit(1);
}

namespace {

OptionDesc text_option(const char* option) {
    return {option, kOptionArgument, nullptr, kOptionTypeText, 0};
}

}  // namespace

CommandLine::CommandLine(const Program& program, CommandLineMessages messages,
                         std::span<const char* const> own_options)
    : program_(program), messages_(messages) {
    table_ = {text_option("-title"), text_option("-c")};
    for (const char* option : own_options) table_.push_back(text_option(option));
    table_.push_back(text_option("-node"));
    table_.push_back({"-appname", kOptionAnyArgument, nullptr, kOptionTypeText, 0});
    for (const char* flag : {"-d", "-html", "-js"}) {
        table_.push_back({flag, kOptionFlag, "True", kOptionTypeFlag, 0});
    }
    table_.push_back(text_option("-htmlFmt"));
    table_.push_back(text_option("-inst"));
    for (const char* flag : {"-csv", "-json", "-hints"}) {
        table_.push_back({flag, kOptionFlag, "True", kOptionTypeFlag, 0});
    }
    for (size_t slot = 0; slot < table_.size(); ++slot) {
        table_[slot].offset = option_slot_offset(static_cast<int>(slot));
    }
    slots_.assign(table_.size(), nullptr);
}

void CommandLine::parse(int argc, char** argv) {
    int index = 0;
    const int parsed = parseCmdLine(argc, argv, 1, static_cast<int>(table_.size()), table_.data(),
                                    slots_.data(), &index);
    const char* at_index = index > 0 && index < argc ? argv[index] : "";
    if (parsed < 0) program_.usage_error(messages_.bad_argument, at_index);
    if (index != 0) program_.usage_error(messages_.stray_argument, at_index);
}

std::vector<const char*> CommandLine::options() const {
    std::vector<const char*> names;
    for (const OptionDesc& option : table_) names.push_back(option.option);
    return names;
}

const char* CommandLine::value(const char* option) const {
    for (size_t slot = 0; slot < table_.size(); ++slot) {
        if (std::strcmp(table_[slot].option, option) == 0) return slots_[slot];
    }
    return nullptr;
}

const char* CommandLine::required(const char* option, const ProgramMessage& missing) const {
    const char* text = value(option);
    if (text == nullptr) program_.usage_error(missing, option);
    return text;
}

void CommandLine::use_html_wrappers(const char* default_spec) const {
    if (!given("-html")) return;
    const char* spec = given("-htmlFmt") ? value("-htmlFmt") : default_spec;
    if (parseHtmlSpec(spec) < 0) program_.usage_error(messages_.bad_argument, "-htmlFmt");
}

void CommandLine::take_common(CommonOptions& out, const ProgramMessage& default_title) const {
    out.html = given("-html");
    out.script_escape = given("-js");
    out.node = value("-node");
    out.community = value("-c");
    out.title = given("-title") ? value("-title") : program_.text(default_title);
    if (given("-d")) ZorvsnmpDumpPacket = 1;
    out.hints = given("-hints");
    out.form = out.html ? OutputForm::kHtml : OutputForm::kText;
    for (const char* option : {"-csv", "-json"}) {
        if (!given(option)) continue;
        // Each of these forms has its own quoting: none can be combined with another.
        if (out.html || out.script_escape || out.form != OutputForm::kText) {
            program_.usage_error(messages_.stray_argument, option);
        }
        out.form = option[1] == 'c' ? OutputForm::kCsv : OutputForm::kJson;
    }
}
