#pragma once
// Real files for the settings tests: a fresh folder per fixture (in the Wine
// prefix's temporary folder, or under /tmp natively), named the way the
// library sees paths ("X:\..." on Windows, "C:/..." for the native stand-in),
// and byte-exact reads and writes that bypass the library.

#include <string>

namespace settings_test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path as a settings path text (UTF-8, with a drive).
    const std::string& path() const { return path_; }
    // path() + separator + name.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// The bytes of the file at a settings path text; throws std::runtime_error
// when it cannot be read.
std::string readBytes(const std::string& path);
// Writes the bytes, replacing the file; throws std::runtime_error.
void writeBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace settings_test
