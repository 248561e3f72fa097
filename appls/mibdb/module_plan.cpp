// Which files a build with a search path compiles, and in what order: the modules given and
// every module they import, found on the search path by module name, each once and each after
// the modules it imports.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "appls/mibdb/mibdb.h"
#include "mib/compiler/module_header.h"

namespace {

// Modules whose definitions the standard text gives (registration nodes, base types, textual
// conventions) or that define macros only: never searched for nor compiled.
constexpr const char* kStoodForModules[] = {
    "SNMPv2-SMI", "SNMPv2-TC", "SNMPv2-CONF", "RFC1155-SMI", "RFC1065-SMI", "RFC-1212", "RFC-1215"};

// The names a file of module NAME may have, tried in this order.
constexpr const char* kModuleFileSuffixes[] = {"", ".mib", ".my", ".txt"};

bool defines(const std::vector<ModuleHeader>& modules, const std::string& name) {
    for (const ModuleHeader& m : modules) {
        if (m.name == name) return true;
    }
    return false;
}

// One file to compile.
struct Unit {
    std::string path;
    std::vector<ModuleHeader> modules;  // none for a given file without a module header
    std::vector<size_t> imports;        // the units whose modules it imports
    std::string text;                   // its whole text, when the scan read it whole
};

class Planner {
  public:
    Planner(const SearchPath& search, std::set<std::string> stood_for)
        : search_(search), stood_for_(std::move(stood_for)) {}

    bool add_given(const std::string& given);
    bool add_every_module_of(const std::string& folder);
    // Links each unit to the units it imports from; false after reporting each import that
    // is nowhere on the search path.
    bool resolve_imports();
    ModulePlan ordered_plan();

  private:
    enum class Scan { Read, TooLarge, Failed };
    Scan scan(const std::string& path, std::vector<ModuleHeader>& modules, std::string& why);
    void pass_over(const std::string& path, const std::string& why);
    bool cannot_read(const std::string& path, const std::string& why) const;
    std::optional<size_t> add(const std::string& path, const std::vector<ModuleHeader>& modules);
    bool find(const std::string& module, std::optional<size_t>& found);
    bool find_by_contents(const std::string& module, std::optional<size_t>& found);
    std::string name_of(size_t unit) const;
    void warn_cycle(std::vector<size_t> cycle, const std::vector<size_t>& position) const;

    const SearchPath& search_;
    const std::set<std::string> stood_for_;
    std::vector<Unit> units_;
    std::map<std::string, size_t> unit_of_module_;
    std::map<std::string, std::optional<size_t>> unit_of_file_;  // by canonical path
    std::map<std::string, std::vector<ModuleHeader>> scanned_;
    std::map<std::string, std::string> too_large_;  // why, by path
    std::set<std::string> passed_over_;             // each told once
    // The file the last scan read whole, and its text, for the unit that may follow: the
    // compile then need not read it again.
    std::string last_path_;
    std::string last_text_;
    // Module name to file, from reading every file on the search path; built when first needed.
    std::optional<std::map<std::string, std::string>> contents_index_;
};

// The modules of a file, from its start only: a module's header is at the start of its text,
// so neither a large file nor one larger than any module (TooLarge) is held whole. `why` tells
// what is not Read.
Planner::Scan Planner::scan(const std::string& path, std::vector<ModuleHeader>& modules,
                            std::string& why) {
    modules.clear();
    const auto large = too_large_.find(path);
    if (large != too_large_.end()) {
        why = large->second;
        return Scan::TooLarge;
    }
    const auto known = scanned_.find(path);
    if (known != scanned_.end()) {
        modules = known->second;
        return Scan::Read;
    }
    std::string text;
    uint64_t size = 0;
    if (!read_file_start(path, kModuleHeaderBytes, text, size, why)) return Scan::Failed;
    if (size > kMaxModuleFileBytes) {
        why = too_large_text(size);
        too_large_.emplace(path, why);
        return Scan::TooLarge;
    }
    modules = scan_module_headers(text);
    scanned_.emplace(path, modules);
    if (text.size() == size) {
        last_path_ = path;
        last_text_ = std::move(text);
    }
    return Scan::Read;
}

// A file met while searching that is too large to be a module.
void Planner::pass_over(const std::string& path, const std::string& why) {
    if (passed_over_.insert(path).second) {
        report_error("note: " + path + " is " + why + "; not compiled");
    }
}

bool Planner::cannot_read(const std::string& path, const std::string& why) const {
    report_error("cannot read " + path + ": " + why);
    return false;
}

// The unit of the file: a new one, or none when its modules are compiled already (the first
// file of a module wins) or stood for by the standard text.
std::optional<size_t> Planner::add(const std::string& path,
                                   const std::vector<ModuleHeader>& modules) {
    std::error_code error;
    std::string key = std::filesystem::weakly_canonical(path, error).string();
    if (error) key = path;
    const auto known = unit_of_file_.find(key);
    if (known != unit_of_file_.end()) return known->second;

    bool fresh = modules.empty();  // compiled as given; the compiler tells what is wrong
    std::optional<size_t> earlier;
    std::string again;
    for (const ModuleHeader& m : modules) {
        if (stood_for_.count(m.name)) continue;
        const auto it = unit_of_module_.find(m.name);
        if (it == unit_of_module_.end()) {
            fresh = true;
        } else if (!earlier) {
            earlier = it->second;
            again = m.name;
        }
    }
    if (!fresh) {
        if (earlier) {
            report_error("warning: " + path + " defines " + again + ", which " +
                         units_[*earlier].path + " defines already; " + path + " is not compiled");
        }
        unit_of_file_.emplace(key, earlier);
        return earlier;
    }
    const size_t unit = units_.size();
    units_.push_back({path, modules, {}, {}});
    if (path == last_path_) {
        units_.back().text = std::move(last_text_);
        last_path_.clear();
    }
    for (const ModuleHeader& m : modules) unit_of_module_.emplace(m.name, unit);
    unit_of_file_.emplace(key, unit);
    return unit;
}

bool Planner::add_given(const std::string& given) {
    struct stat status;
    if (given.find('/') != std::string::npos || stat(given.c_str(), &status) == 0) {
        std::vector<ModuleHeader> modules;
        std::string why;
        if (scan(given, modules, why) != Scan::Read) return cannot_read(given, why);
        add(given, modules);
        return true;
    }
    if (stood_for_.count(given)) return true;
    std::optional<size_t> found;
    if (!find(given, found)) return false;
    if (!found) {
        report_error("cannot read " + given + ": no such file, and no module " + given +
                     " on the search path");
        return false;
    }
    return true;
}

bool Planner::add_every_module_of(const std::string& folder) {
    std::vector<std::string> files;
    if (!files_of_folder(folder, files)) return false;
    for (const std::string& path : files) {
        std::vector<ModuleHeader> modules;
        std::string why;
        const Scan read = scan(path, modules, why);
        if (read == Scan::Failed) return cannot_read(path, why);
        if (read == Scan::TooLarge) {
            pass_over(path, why);
        } else if (modules.empty()) {
            report_error("note: " + path + " holds no MIB module; not compiled");
        } else {
            add(path, modules);
        }
    }
    return true;
}

// A file named like the module in the first folder that has one, else the first file of the
// search path whose text defines the module.
bool Planner::find(const std::string& module, std::optional<size_t>& found) {
    const auto known = unit_of_module_.find(module);
    if (known != unit_of_module_.end()) {
        found = known->second;
        return true;
    }
    for (const std::string& folder : search_.folders) {
        for (const char* suffix : kModuleFileSuffixes) {
            const std::string path = folder + "/" + module + suffix;
            if (!is_regular_file(path)) continue;
            std::vector<ModuleHeader> modules;
            std::string why;
            const Scan read = scan(path, modules, why);
            if (read == Scan::Failed) return cannot_read(path, why);
            if (read == Scan::TooLarge) pass_over(path, why);
            if (defines(modules, module)) {
                found = add(path, modules);
                return true;
            }
        }
    }
    return find_by_contents(module, found);
}

bool Planner::find_by_contents(const std::string& module, std::optional<size_t>& found) {
    if (!contents_index_) {
        contents_index_.emplace();
        for (const std::string& folder : search_.folders) {
            std::vector<std::string> files;
            if (!files_of_folder(folder, files)) return false;
            for (const std::string& path : files) {
                // A file that cannot be read was not asked for by name: passed over.
                std::vector<ModuleHeader> modules;
                std::string why;
                if (scan(path, modules, why) == Scan::TooLarge) pass_over(path, why);
                for (const ModuleHeader& m : modules) contents_index_->emplace(m.name, path);
            }
        }
    }
    const auto it = contents_index_->find(module);
    if (it != contents_index_->end()) found = add(it->second, scanned_[it->second]);
    return true;
}

bool Planner::resolve_imports() {
    std::set<std::pair<std::string, std::string>> told;
    bool complete = true;
    for (size_t unit = 0; unit < units_.size(); ++unit) {
        // Copies: finding a module adds units.
        const std::string path = units_[unit].path;
        const std::vector<ModuleHeader> modules = units_[unit].modules;
        for (const ModuleHeader& m : modules) {
            for (const ModuleImport& import : m.imports) {
                if (stood_for_.count(import.module) || defines(modules, import.module)) {
                    continue;
                }
                std::optional<size_t> found;
                if (!find(import.module, found)) return false;
                std::vector<size_t>& imports = units_[unit].imports;
                if (found) {
                    if (*found != unit &&
                        std::find(imports.begin(), imports.end(), *found) == imports.end()) {
                        imports.push_back(*found);
                    }
                } else if (told.insert({m.name, import.module}).second) {
                    report_error(m.name + " imports from " + import.module +
                                 ", which is not on the search path (" + path + ", line " +
                                 std::to_string(import.line) + ")");
                    complete = false;
                }
            }
        }
    }
    return complete;
}

std::string Planner::name_of(size_t unit) const {
    return units_[unit].modules.empty() ? units_[unit].path : units_[unit].modules[0].name;
}

// `position`: where each unit stands in the order of compiling.
void Planner::warn_cycle(std::vector<size_t> cycle, const std::vector<size_t>& position) const {
    auto names = [&] {
        std::string text;
        for (size_t unit : cycle) text += (text.empty() ? "" : ", ") + name_of(unit);
        return text;
    };
    std::sort(cycle.begin(), cycle.end());
    const std::string members = names();
    std::sort(cycle.begin(), cycle.end(),
              [&](size_t a, size_t b) { return position[a] < position[b]; });
    report_error("warning: the imports of " + members +
                 " form a cycle; they are compiled in the order " + names());
}

// Depth first from each unit in turn, each unit after those it imports, so units that already
// follow what they import keep their order; an import that closes a cycle is passed over.
// The same walk finds the groups of units that import each other (Tarjan's low links).
ModulePlan Planner::ordered_plan() {
    constexpr size_t kUnvisited = SIZE_MAX;
    std::vector<size_t> index(units_.size(), kUnvisited), low(units_.size());
    std::vector<bool> open(units_.size(), false);  // visited, its group not yet complete
    std::vector<size_t> group_stack;
    std::vector<std::pair<size_t, size_t>> walk;  // a unit and its next import to visit
    std::vector<size_t> order;
    std::vector<std::vector<size_t>> cycles;
    size_t visited = 0;
    auto visit = [&](size_t unit) {
        index[unit] = low[unit] = visited++;
        open[unit] = true;
        group_stack.push_back(unit);
        walk.push_back({unit, 0});
    };
    for (size_t root = 0; root < units_.size(); ++root) {
        if (index[root] == kUnvisited) visit(root);
        while (!walk.empty()) {
            const size_t unit = walk.back().first;
            const size_t next = walk.back().second++;
            if (next < units_[unit].imports.size()) {
                const size_t to = units_[unit].imports[next];
                if (index[to] == kUnvisited) {
                    visit(to);
                } else if (open[to]) {
                    low[unit] = std::min(low[unit], index[to]);
                }
                continue;
            }
            order.push_back(unit);
            walk.pop_back();
            if (!walk.empty()) low[walk.back().first] = std::min(low[walk.back().first], low[unit]);
            if (low[unit] != index[unit]) continue;
            std::vector<size_t> group;
            do {
                group.push_back(group_stack.back());
                open[group_stack.back()] = false;
                group_stack.pop_back();
            } while (group.back() != unit);
            if (group.size() > 1) cycles.push_back(std::move(group));
        }
    }
    ModulePlan plan;
    std::vector<size_t> position(units_.size());
    for (size_t unit : order) {
        position[unit] = plan.files.size();
        plan.files.push_back(units_[unit].path);
        plan.texts.push_back(std::move(units_[unit].text));
        plan.modules += std::max<size_t>(units_[unit].modules.size(), 1);
    }
    for (const std::vector<size_t>& cycle : cycles) warn_cycle(cycle, position);
    return plan;
}

}  // namespace

bool plan_modules(const std::string& standard_text, const std::vector<std::string>& given,
                  const SearchPath& search, ModulePlan& plan) {
    std::set<std::string> stood_for(std::begin(kStoodForModules), std::end(kStoodForModules));
    // The standard text's own modules too; a text that cannot be read is reported by the
    // compile that follows.
    std::string text;
    std::string why;
    if (append_file(standard_text, text, why)) {
        for (const ModuleHeader& m : scan_module_headers(text)) stood_for.insert(m.name);
    }
    Planner planner(search, std::move(stood_for));
    if (given.empty()) {
        for (const std::string& folder : search.option_folders) {
            if (!planner.add_every_module_of(folder)) return false;
        }
    }
    for (const std::string& module : given) {
        if (!planner.add_given(module)) return false;
    }
    if (!planner.resolve_imports()) return false;
    plan = planner.ordered_plan();
    return true;
}
