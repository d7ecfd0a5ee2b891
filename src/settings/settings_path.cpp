#include "settings/settings_path.h"

#include <stdexcept>

#include "settings/file_storage.h"
#include "settings/plain_text.h"
#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

const char* const kReservedNames[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

bool isRefusedByte(unsigned char c) {
    if (c < 0x20) return true;
    switch (c) {
        case '<': case '>': case ':': case '"': case '|': case '?': case '*': case '/': case '\\':
            return true;
        default:
            return false;
    }
}

bool isAllowedComponent(const std::string& component) {
    for (char c : component) {
        if (isRefusedByte(static_cast<unsigned char>(c))) return false;
    }
    for (const char* name : kReservedNames) {
        if (component == name) return false;
    }
    return true;
}

std::string joinComponents(const std::vector<std::string>& components, size_t count) {
    std::string joined;
    for (size_t i = 0; i < count; ++i) {
        if (i) joined += '/';
        joined += components[i];
    }
    return joined;
}

}  // namespace

std::vector<std::string> splitPathComponents(const std::string& path) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(start, end - start);
        if (!component.empty() && component != ".") components.push_back(std::move(component));
        start = end + 1;
    }
    return components;
}

bool isDriveComponent(const std::string& component) {
    if (component.size() != 2 || component[1] != ':') return false;
    const char letter = component[0];
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

std::vector<std::string> checkPathText(const std::string& path) {
    if (!isPlainText(path)) throw settings::Exception(status::kPathNotPlainText);
    if (path.size() > kMaxPathBytes) throw settings::Exception(status::kPathTooLong);
    std::vector<std::string> components = splitPathComponents(path);
    if (components.empty()) throw settings::Exception(status::kInvalidPath);
    const size_t first = isDriveComponent(components[0]) ? 1 : 0;
    for (size_t i = first; i < components.size(); ++i) {
        if (!isAllowedComponent(components[i])) throw settings::Exception(status::kInvalidPath);
    }
    return components;
}

SettingsPath checkPath(const std::string& path) {
    checkPathText(path);
    SettingsPath record;
    record.text = path;
    record.wide = toUtf16(path);
    record.canonical = false;
    return record;
}

SettingsPath canonicalPath(const SettingsPath& path) {
    if (path.canonical) return path;
    std::vector<std::string> given = splitPathComponents(path.text);
    std::vector<std::string> components;
    if (given.empty() || !isDriveComponent(given[0])) {
        components = splitPathComponents(currentDirectory());
        if (components.empty() || !isDriveComponent(components[0])) {
            throw settings::Exception(status::kInternal);
        }
    }
    for (std::string& component : given) {
        if (component == "..") {
            // The drive is never removed.
            if (components.size() <= 1) throw settings::Exception(status::kInvalidPath);
            components.pop_back();
        } else {
            components.push_back(std::move(component));
        }
    }
    if (components.empty()) throw settings::Exception(status::kInvalidPath);
    SettingsPath result = checkPath(joinComponents(components, components.size()));
    result.canonical = true;
    return result;
}

void createParentFolders(const SettingsPath& path) {
    if (!path.canonical) throw std::logic_error("canonicalized file name expected");
    const std::vector<std::string> components = splitPathComponents(path.text);
    for (size_t count = 1; count < components.size(); ++count) {
        std::string part = joinComponents(components, count);
        // "C:" alone names the drive's current folder; its root is meant.
        if (count == 1) part += '/';
        SettingsPath folder = checkPath(part);
        if (pathExists(folder)) continue;
        const int error = makeDirectory(folder);
        if (error != 0 && error != kAlreadyExists) throw settings::Exception(status::kInvalidPath);
    }
}

std::string protectedFileSddl(const std::string* domainUsersSid) {
    if (!domainUsersSid) return "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)";
    return "D:(A;;FA;;;BA)(A;;FR;;;" + *domainUsersSid + ")(A;;FR;;;WD)";
}

}  // namespace settings_impl
