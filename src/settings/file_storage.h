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

// Creates the file, which must not exist, with the protected access list and
// no sharing; answers a runtime-library descriptor that writes bytes
// untranslated, or -1 when any step fails.
int createProtectedFile(const SettingsPath& path);

// Creates the file, which must not exist, with the access list its folder
// gives and no sharing; answers a descriptor as createProtectedFile does, or
// -1.
int createPlainFile(const SettingsPath& path);

// Writes the bytes through the descriptor; true when all were taken.
bool writeDescriptor(int fd, const std::string& text);

// Forces what the descriptor wrote to the disk; true on success.
bool commitDescriptor(int fd);

// Closes a descriptor; 0 on success.
int closeDescriptor(int fd);

// Puts the closed file replacement in the place of path in one step, so path
// names either its old content or the new one, never a part. An existing file
// at path (existed) keeps its access list; without one, replacement keeps its
// own. True on success; on failure path is as it was and replacement is still
// there. A path that names anything but a plain file is never replaced.
bool replaceFile(const SettingsPath& path, const SettingsPath& replacement, bool existed);

// Deletes the file; true when it is gone (also when there was none).
bool removeFile(const SettingsPath& path);

// The id of the running process.
unsigned long currentProcessId();

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
    void reset(int fd) { if (fd_ != -1) closeDescriptor(fd_); fd_ = fd; }

private:
    int fd_;
};

// Largest settings file content is one byte less than this.
constexpr size_t kMaxFileBytes = 1048576;

// The whole file as bytes. Throws settings::Exception 304 (cannot open), 307
// (read error), 315 (kMaxFileBytes or more), 314 (not plain text).
std::string readSettingsFile(const SettingsPath& path);

// Writes an export: creates missing parent folders (311), writes the whole
// text to a new file beside the target and then puts that file in the
// target's place (replaceFile). An existing file gets CR LF line ends, as a
// text-mode rewrite gives them, and keeps its access list; a new file gets the
// text as given (LF) and the protected access list. 304 when the file beside
// it cannot be created or the target cannot be replaced, 306 when the write,
// flush or close fails. After a failure an existing file is as it was, byte
// for byte, and the file beside it is gone.
void writeSettingsFile(const SettingsPath& path, const std::string& text);

// ---- Test seam ----

// Writes a settings file's content through a descriptor; true when all of it
// was taken.
typedef bool (*ContentWriter)(int fd, const std::string& text);

// Replaces the writer of writeSettingsFile (writeDescriptor); null puts it
// back. A writer that stores part of the text and answers false is a disk that
// fills up during the write.
void setContentWriterForTesting(ContentWriter writer);

}  // namespace settings_impl
