// The native stand-in of the file layer, so the library and its tests run
// under the sanitizers on Linux. A drive "X:" names the root folder ("C:/tmp/a"
// is /tmp/a) and the current directory is presented under "C:".

#include "settings/file_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

[[noreturn]] void throwInternal() { throw settings::Exception(status::kInternal); }

std::string nativePath(const SettingsPath& path) {
    std::string native = path.text;
    if (native.size() >= 2 && isDriveComponent(native.substr(0, 2))) native.erase(0, 2);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    if (native.empty() || native[0] != '/') native.insert(native.begin(), '/');
    return native;
}

}  // namespace

const int kAlreadyExists = EEXIST;

// Strict: overlong forms, surrogates, values above U+10FFFF, stray or missing
// continuation bytes and lone UTF-16 surrogates are refused, as
// MB_ERR_INVALID_CHARS refuses them on Windows.
std::u16string toUtf16(const std::string& utf8) {
    std::u16string out;
    size_t i = 0;
    const size_t size = utf8.size();
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t extra;
        uint32_t minimum;
        if (lead < 0x80) { cp = lead; extra = 0; minimum = 0; }
        else if ((lead & 0xE0) == 0xC0) { cp = lead & 0x1F; extra = 1; minimum = 0x80; }
        else if ((lead & 0xF0) == 0xE0) { cp = lead & 0x0F; extra = 2; minimum = 0x800; }
        else if ((lead & 0xF8) == 0xF0) { cp = lead & 0x07; extra = 3; minimum = 0x10000; }
        else throwInternal();
        if (extra > size - i - 1) throwInternal();
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) throwInternal();
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) throwInternal();
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

std::string toUtf8(const std::u16string& utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF) throwInternal();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            throwInternal();
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof(buffer))) throwInternal();
    return std::string("C:") + buffer;
}

bool pathExists(const SettingsPath& path) {
    struct stat info;
    return stat(nativePath(path).c_str(), &info) == 0;
}

int makeDirectory(const SettingsPath& path) {
    if (mkdir(nativePath(path).c_str(), 0755) == 0) return 0;
    return errno;
}

std::string systemSettingsPath() { return "C:\\ProgramData\\Quorvane\\Tolva\\tolva.settings.cfg"; }

// Windows opens no folder as a stream; neither does the stand-in.
FILE* openForRead(const SettingsPath& path, const char* mode) {
    const std::string native = nativePath(path);
    struct stat info;
    if (stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return nullptr;
    return std::fopen(native.c_str(), mode);
}

int createProtectedFile(const SettingsPath& path) {
    return open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
}

int createPlainFile(const SettingsPath& path) { return createProtectedFile(path); }

bool writeDescriptor(int fd, const std::string& text) {
    const ssize_t written = write(fd, text.data(), text.size());
    return written >= 0 && static_cast<size_t>(written) == text.size();
}

bool commitDescriptor(int fd) { return fsync(fd) == 0; }

int closeDescriptor(int fd) { return close(fd); }

// rename() would put a plain file in the place of a device or an empty
// folder; neither ReplaceFileW nor MoveFileExW does.
bool replaceFile(const SettingsPath& path, const SettingsPath& replacement, bool) {
    const std::string target = nativePath(path);
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return false;
    return rename(nativePath(replacement).c_str(), target.c_str()) == 0;
}

bool removeFile(const SettingsPath& path) { return unlink(nativePath(path).c_str()) == 0 || errno == ENOENT; }

unsigned long currentProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace settings_impl
