#include "settings_test_files.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings_test {

#ifdef _WIN32
namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

FILE* openFile(const std::string& path, const wchar_t* mode) { return _wfopen(wide(path).c_str(), mode); }

}  // namespace

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, temp)) throw std::runtime_error("GetTempPathW failed");
    static unsigned counter = 0;
    for (;;) {
        std::wstring candidate = std::wstring(temp) + L"settings-test-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = narrow(candidate);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("CreateDirectoryW failed");
    }
}

TempFolder::~TempFolder() {
    std::wstring from = wide(path_);
    from.push_back(L'\0');  // SHFileOperation takes a double-NUL list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::string TempFolder::file(const std::string& name) const { return path_ + "\\" + name; }

bool fileExists(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
namespace {

std::string nativePath(const std::string& path) {
    std::string native = path.substr(2);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}

FILE* openFile(const std::string& path, const char* mode) { return std::fopen(nativePath(path).c_str(), mode); }

}  // namespace

TempFolder::TempFolder() {
    char pattern[] = "/tmp/settings-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = std::string("C:") + pattern;
}

TempFolder::~TempFolder() {
    const std::string command = "rm -rf '" + nativePath(path_) + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string TempFolder::file(const std::string& name) const { return path_ + "/" + name; }

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(nativePath(path).c_str(), &info) == 0;
}
#endif

std::string readBytes(const std::string& path) {
#ifdef _WIN32
    FILE* f = openFile(path, L"rb");
#else
    FILE* f = openFile(path, "rb");
#endif
    if (!f) throw std::runtime_error("cannot open " + path);
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

void writeBytes(const std::string& path, const std::string& bytes) {
#ifdef _WIN32
    FILE* f = openFile(path, L"wb");
#else
    FILE* f = openFile(path, "wb");
#endif
    if (!f) throw std::runtime_error("cannot create " + path);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace settings_test
