#pragma once
// Settings paths: the checks every path passes (plain text, length, allowed
// components), their canonical absolute form, the creation of missing parent
// folders, and the access list of a newly created settings file.

#include <string>
#include <vector>

namespace settings_impl {

// Longest accepted path, in bytes of UTF-8 text.
constexpr size_t kMaxPathBytes = 259;

struct SettingsPath {
    std::string text;     // UTF-8
    std::u16string wide;  // the same path in UTF-16
    bool canonical = false;
};

// The components of a path split at "\" and "/", empty and "." components
// dropped; ".." is kept.
std::vector<std::string> splitPathComponents(const std::string& path);

// True for "X:" with X an ASCII letter.
bool isDriveComponent(const std::string& component);

// Checks a path text and throws settings::Exception: 312 when it is not plain
// text, 310 when it is 260 bytes or longer, 311 when a component (the leading
// drive aside) holds a control byte or one of < > : " | ? * or is a reserved
// device name (exactly CON, PRN, AUX, NUL, COM1-9, LPT1-9), or when it has no
// component at all. A drive alone ("C:", "C:\") is a component. Answers the
// split components.
std::vector<std::string> checkPathText(const std::string& path);

// checkPathText, then the record with the UTF-16 form (not canonical).
// Conversion failures are 200.
SettingsPath checkPath(const std::string& path);

// The absolute form "X:/a/b" without ".", ".." or empty components; a relative
// path (also one that starts with a separator but has no drive) is taken from
// the current directory. A canonical record comes back unchanged. Throws 311
// for ".." above the drive, 200 when the current directory is unavailable or
// has no drive, and the checks of checkPath on the result.
SettingsPath canonicalPath(const SettingsPath& path);

// Creates every missing folder above the last component, from the drive
// down. Throws std::logic_error for a record that is not canonical, the checks
// of checkPath, and 311 when a folder cannot be created.
void createParentFolders(const SettingsPath& path);

// The access list of a new settings file: full access for Administrators,
// read for the account domain's users group (when given) and for Everyone.
// Without that group (an account such as LocalSystem, whose SID belongs to no
// account domain) the system account gets full access in its place.
std::string protectedFileSddl(const std::string* domainUsersSid);

}  // namespace settings_impl
