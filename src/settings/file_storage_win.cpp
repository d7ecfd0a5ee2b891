// The file layer on Windows: wide runtime-library and Win32 file calls.

#include "settings/file_storage.h"
#include "settings/file_storage_internal.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <direct.h>

#include <cerrno>
#include <climits>
#include <cwchar>

#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

std::wstring asWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring asWide(const char* text) {
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

[[noreturn]] void throwInternal() { throw settings::Exception(status::kInternal); }

class HandleHolder {
public:
    explicit HandleHolder(HANDLE handle) : handle_(handle) {}
    ~HandleHolder() { if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_); }
    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE release() { HANDLE h = handle_; handle_ = nullptr; return h; }

private:
    HANDLE handle_;
};

class LocalHolder {
public:
    LocalHolder() = default;
    ~LocalHolder() { if (memory_) LocalFree(memory_); }
    LocalHolder(const LocalHolder&) = delete;
    LocalHolder& operator=(const LocalHolder&) = delete;
    HLOCAL* address() { return &memory_; }
    void* get() const { return memory_; }

private:
    HLOCAL memory_ = nullptr;
};

std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) throwInternal();
    LocalHolder holder;
    *holder.address() = text;
    const std::wstring wide(text);
    return toUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace

const int kAlreadyExists = EEXIST;

std::u16string toUtf16(const std::string& utf8) {
    // MultiByteToWideChar fails on an empty input; there is nothing to convert.
    if (utf8.empty()) return std::u16string();
    if (utf8.size() > static_cast<size_t>(INT_MAX)) throwInternal();
    const int size = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (needed <= 0) throwInternal();
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &wide[0], needed) != needed) {
        throwInternal();
    }
    return std::u16string(wide.begin(), wide.end());
}

std::string toUtf8(const std::u16string& utf16) {
    if (utf16.empty()) return std::string();
    if (utf16.size() > static_cast<size_t>(INT_MAX)) throwInternal();
    const std::wstring wide = asWide(utf16);
    const int size = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) throwInternal();
    std::string utf8(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &utf8[0], needed, nullptr, nullptr) != needed) {
        throwInternal();
    }
    return utf8;
}

std::string currentDirectory() {
    wchar_t buffer[260];
    if (!_wgetcwd(buffer, 260)) throwInternal();
    const std::wstring wide(buffer);
    return toUtf8(std::u16string(wide.begin(), wide.end()));
}

bool pathExists(const SettingsPath& path) {
    struct _stat64 info;
    return _wstat64(asWide(path.wide).c_str(), &info) == 0;
}

int makeDirectory(const SettingsPath& path) {
    if (_wmkdir(asWide(path.wide).c_str()) == 0) return 0;
    return errno;
}

std::string systemSettingsPath() {
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder))) throwInternal();
    std::wstring path(folder);
    path += L"\\Quorvane\\Tolva\\tolva.settings.cfg";
    return toUtf8(std::u16string(path.begin(), path.end()));
}

FILE* openForRead(const SettingsPath& path, const char* mode) {
    FILE* stream = nullptr;
    if (_wfopen_s(&stream, asWide(path.wide).c_str(), asWide(mode).c_str()) != 0) return nullptr;
    return stream;
}


std::vector<BYTE> fileOwnerSid() {
    HandleHolder process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId()));
    if (!process.get()) throwInternal();
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process.get(), TOKEN_QUERY, &rawToken)) throwInternal();
    HandleHolder token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) throwInternal();
    std::vector<BYTE> info(size);
    if (!GetTokenInformation(token.get(), TokenUser, info.data(), size, &size)) throwInternal();
    const TOKEN_USER* user = reinterpret_cast<const TOKEN_USER*>(info.data());
    std::vector<BYTE> sid(kSidBufferBytes);
    if (!CopySid(kSidBufferBytes, sid.data(), user->User.Sid)) throwInternal();
    return sid;
}

std::string protectedFileSddlForOwner(PSID owner) {
    BYTE domain[kSidBufferBytes];
    DWORD domainSize = kSidBufferBytes;
    if (!GetWindowsAccountDomainSid(owner, domain, &domainSize)) {
        // LocalSystem and the other well-known service accounts belong to no
        // account domain; silent deployments run as such accounts. Windows
        // answers ERROR_NON_ACCOUNT_SID for them, Wine ERROR_INVALID_SID for
        // any SID of fewer than four sub-authorities.
        const DWORD error = GetLastError();
        if (IsValidSid(owner) && (error == ERROR_NON_ACCOUNT_SID || error == ERROR_INVALID_SID)) {
            return protectedFileSddl(nullptr);
        }
        throwInternal();
    }
    BYTE group[kSidBufferBytes];
    DWORD groupSize = kSidBufferBytes;
    if (!CreateWellKnownSid(WinAccountDomainUsersSid, domain, group, &groupSize)) throwInternal();
    const std::string groupText = sidText(group);
    return protectedFileSddl(&groupText);
}

namespace {

// CreateFileW with CREATE_NEW and no sharing, wrapped in a descriptor; -1 on
// failure (the handle is closed then).
int createNewFile(const SettingsPath& path, SECURITY_ATTRIBUTES* attributes) {
    HandleHolder file(CreateFileW(asWide(path.wide).c_str(), GENERIC_READ | GENERIC_WRITE, 0, attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return -1;
    // Flags 0: binary, so the bytes reach the file as given.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), 0);
    if (fd == -1) return -1;
    file.release();
    return fd;
}

}  // namespace

int createProtectedFile(const SettingsPath& path) {
    try {
        std::vector<BYTE> owner = fileOwnerSid();
        const std::string sddl = protectedFileSddlForOwner(owner.data());
        const std::u16string sddlWide = toUtf16(sddl);
        LocalHolder descriptorMemory;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(asWide(sddlWide).c_str(), SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            return -1;
        }
        *descriptorMemory.address() = descriptor;
        SECURITY_ATTRIBUTES attributes = {};
        attributes.nLength = sizeof(attributes);
        attributes.lpSecurityDescriptor = descriptor;
        attributes.bInheritHandle = FALSE;
        return createNewFile(path, &attributes);
    } catch (...) {
        return -1;
    }
}

int createPlainFile(const SettingsPath& path) { return createNewFile(path, nullptr); }

bool writeDescriptor(int fd, const std::string& text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) return false;
    const int written = _write(fd, text.data(), static_cast<unsigned>(text.size()));
    return written >= 0 && static_cast<size_t>(written) == text.size();
}

bool commitDescriptor(int fd) { return _commit(fd) == 0; }

int closeDescriptor(int fd) { return _close(fd); }

bool replaceFile(const SettingsPath& path, const SettingsPath& replacement, bool existed) {
    const std::wstring target = asWide(path.wide);
    const std::wstring source = asWide(replacement.wide);
    if (existed) {
        // ReplaceFileW keeps the replaced file's access list, attributes and
        // creation time; without a backup name every failure leaves it under
        // its own name.
        if (ReplaceFileW(target.c_str(), source.c_str(), nullptr, 0, nullptr, nullptr)) return true;
        // Gone since the existence test: the plain move below puts the file
        // there.
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    }
    // A move within the folder keeps the protected access list the file was
    // created with. The move never replaces a folder.
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const SettingsPath& path) {
    if (DeleteFileW(asWide(path.wide).c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

}  // namespace settings_impl
