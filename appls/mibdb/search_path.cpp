// The folders searched for modules by name, and the module files of one folder.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "appls/mibdb/mibdb.h"

namespace {

// Adds the folders of a ':'-separated list (empty parts are skipped); false after reporting one
// that is not a folder. `from` names where the list came from, for the message.
bool add_folders(const std::string& list, const std::string& from,
                 std::vector<std::string>& folders) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string folder = list.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) continue;
        struct stat status;
        const char* why = nullptr;
        if (stat(folder.c_str(), &status) != 0) {
            why = std::strerror(errno);
        } else if (!S_ISDIR(status.st_mode)) {
            why = "not a folder";
        }
        if (why) {
            report_error("cannot search " + folder + from + ": " + why);
            return false;
        }
        folders.push_back(folder);
    }
    return true;
}

}  // namespace

bool read_search_path(const std::vector<std::string>& option_values, SearchPath& path) {
    for (const std::string& value : option_values) {
        if (!add_folders(value, "", path.option_folders)) return false;
    }
    path.folders = path.option_folders;
    const char* environment = std::getenv(kSearchPathVariable);
    return !environment ||
           add_folders(environment, std::string(" (from ") + kSearchPathVariable + ")",
                       path.folders);
}

bool files_of_folder(const std::string& folder, std::vector<std::string>& files) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code type_error;
        if (it->is_regular_file(type_error)) files.push_back(it->path().string());
    }
    if (error) {
        report_error("cannot list " + folder + ": " + error.message());
        return false;
    }
    std::sort(files.begin(), files.end());
    return true;
}
