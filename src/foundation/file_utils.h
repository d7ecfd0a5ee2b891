#pragma once
// Small helpers on narrow (ANSI) path text.

#include <string>

namespace FileUtils {

// True when the file opens for reading (shared for reading).
bool isReadable(const std::string& path);
// True when the path names an existing file or folder.
bool exists(const std::string& path);
// The part after the last "\" or "/" (empty when the path ends in one).
std::string basename(const std::string& path);
// The path without trailing "\" and "/" characters.
std::string stripTrailingSeparators(const std::string& path);
// directory + "\" + name, with one separator between; either side may be empty.
std::string combinePath(const std::string& directory, const std::string& name);
// Creates a new empty file <directory>\<prefix><number>.<extension> and returns
// its path. Throws std::runtime_error "cannot create temp file" after 100
// failed tries, and at once for an empty directory (never the drive root).
std::string createTempFile(const std::string& prefix, const std::string& extension,
                           const std::string& directory);
// Deletes the file; logs and throws std::runtime_error "DeleteFile failed".
void deleteFile(const std::string& path);
// deleteFile without the exception: false when it failed.
bool tryDeleteFile(const std::string& path);

}  // namespace FileUtils
