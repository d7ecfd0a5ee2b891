#pragma once
// The settings library's file layer: UTF-8/UTF-16 conversion, the current
// directory, folder tests and creation, the system settings file's location,
// and the opening, reading and writing of settings files. The functions below
// the line of platform primitives are implemented once per platform (wide
// Windows calls; a POSIX stand-in for the native build, where a drive "X:"
// names the root folder).

#include <cstdio>
#include <string>

#include "settings/settings_path.h"

namespace settings_impl {

// ---- Platform primitives ----

// Strict conversions; malformed input or a failing system call throws
// settings::Exception 200. Empty texts convert to empty texts.
std::u16string toUtf16(const std::string& utf8);
std::string toUtf8(const std::u16string& utf16);

// The current directory in UTF-8 (at most 260 UTF-16 units); 200 on failure.
std::string currentDirectory();

// True when the path names an existing file or folder.
bool pathExists(const SettingsPath& path);

// The error value makeDirectory answers when the folder already exists.
extern const int kAlreadyExists;
// Creates one folder; 0 on success, else the runtime library's errno value.
int makeDirectory(const SettingsPath& path);

// The common application-data folder + "\Quorvane\Tolva\tolva.settings.cfg",
// in UTF-8. Throws settings::Exception 200 when the folder is unavailable.
std::string systemSettingsPath();

// Opens the file with the runtime library's wide open and the given mode
// ("rb" or "r"); null when it cannot be opened.
FILE* openForRead(const SettingsPath& path, const char* mode);

// Reopens an open stream of the file for writing in text mode, truncating it.
// The stream passed in is consumed whatever happens; the answer is the new
// stream or null (the caller reports 304).
FILE* reopenForWrite(const SettingsPath& path, FILE* stream);

// Creates the file, which must not exist, with the protected access list and
// no sharing; answers a runtime-library descriptor that writes bytes
// untranslated, or -1 when any step fails.
int createProtectedFile(const SettingsPath& path);

// Writes through a text-mode stream (each LF stored as CR LF); true when the
// whole text was taken.
bool writeTextStream(FILE* stream, const std::string& text);

// Writes the bytes through the descriptor; true when all were taken.
bool writeDescriptor(int fd, const std::string& text);

// Closes a descriptor; 0 on success.
int closeDescriptor(int fd);

// ---- Portable operations on top of them ----

// Owners that close a stream or a descriptor unless released first.
class StreamHolder {
public:
    explicit StreamHolder(FILE* stream = nullptr) : stream_(stream) {}
    ~StreamHolder() { if (stream_) std::fclose(stream_); }
    StreamHolder(const StreamHolder&) = delete;
    StreamHolder& operator=(const StreamHolder&) = delete;
    FILE* get() const { return stream_; }
    FILE* release() { FILE* s = stream_; stream_ = nullptr; return s; }
    void reset(FILE* stream) { if (stream_) std::fclose(stream_); stream_ = stream; }

private:
    FILE* stream_;
};

class DescriptorHolder {
public:
    explicit DescriptorHolder(int fd = -1) : fd_(fd) {}
    ~DescriptorHolder() { if (fd_ != -1) closeDescriptor(fd_); }
    DescriptorHolder(const DescriptorHolder&) = delete;
    DescriptorHolder& operator=(const DescriptorHolder&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

// Largest settings file content is one byte less than this.
constexpr size_t kMaxFileBytes = 1048576;

// The whole file as bytes. Throws settings::Exception 304 (cannot open), 307
// (read error), 315 (kMaxFileBytes or more), 314 (not plain text).
std::string readSettingsFile(const SettingsPath& path);

// Writes an export: creates missing parent folders (311), truncates and
// rewrites an existing file in text mode (CR LF line ends) or creates a new
// protected file written as given (LF); 304 when it cannot be opened or
// created, 306 when the write, flush or close fails. What was written before
// a failure stays in the file.
void writeSettingsFile(const SettingsPath& path, const std::string& text);

}  // namespace settings_impl
