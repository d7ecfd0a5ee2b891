// The pure path-text half of FileUtils (portable).
#include "foundation/file_utils.h"

namespace {
bool isSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

namespace FileUtils {

std::string basename(const std::string& path) {
    if (path.empty() || isSeparator(path.back()))
        return std::string();
    const size_t pos = path.find_last_of("\\/");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string stripTrailingSeparators(const std::string& path) {
    size_t end = path.size();
    while (end > 0 && isSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

std::string combinePath(const std::string& directory, const std::string& name) {
    if (directory.empty())
        return name;
    if (name.empty())
        return directory;
    const size_t skip = isSeparator(name[0]) ? 1 : 0;
    return stripTrailingSeparators(directory) + "\\" + name.substr(skip);
}

}  // namespace FileUtils
