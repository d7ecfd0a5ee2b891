#include "common/test_util.h"

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace testutil {

std::string selfPath() {
    char buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::string(buffer, n);
}

std::string exeDir() {
    const std::string self = selfPath();
    return self.substr(0, self.find_last_of("\\/"));
}

std::string besideExe(const std::string& name) { return exeDir() + "\\" + name; }

std::string quote(const std::string& arg) { return "\"" + arg + "\""; }

namespace {

std::vector<char> buildEnvironment(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> vars;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += strlen(p) + 1) {
        std::string entry(p);
        const size_t eq = entry.find('=', 1);
        if (eq == std::string::npos)
            continue;
        vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsA(block);
    for (const auto& kv : extra)
        vars[kv.first] = kv.second;
    std::vector<char> out;
    for (const auto& kv : vars) {
        const std::string entry = kv.first + "=" + kv.second;
        out.insert(out.end(), entry.begin(), entry.end());
        out.push_back('\0');
    }
    out.push_back('\0');
    return out;
}

bool startProcess(const std::string& commandLine, const std::map<std::string, std::string>& extraEnv,
                  PROCESS_INFORMATION& pi, HANDLE output = nullptr) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output;
        si.hStdError = output;
    }
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    std::vector<char> env;
    if (!extraEnv.empty())
        env = buildEnvironment(extraEnv);
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, output ? TRUE : FALSE, 0,
                          env.empty() ? nullptr : env.data(), nullptr, &si, &pi) != FALSE;
}

}  // namespace

ProcessResult runProcess(const std::string& commandLine, DWORD timeoutMs,
                         const std::map<std::string, std::string>& extraEnv) {
    ProcessResult r;
    PROCESS_INFORMATION pi{};
    if (!startProcess(commandLine, extraEnv, pi))
        return r;
    r.started = true;
    CloseHandle(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        r.timedOut = true;
        TerminateProcess(pi.hProcess, 259);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &r.exitCode);
    CloseHandle(pi.hProcess);
    return r;
}

ProcessResult runProcessCapture(const std::string& commandLine, std::string& output, DWORD timeoutMs,
                                const std::map<std::string, std::string>& extraEnv) {
    ProcessResult r;
    output.clear();
    // A file rather than a pipe: nothing can block when the child writes a lot.
    char temp[MAX_PATH], name[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "out", 0, name);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return r;
    PROCESS_INFORMATION pi{};
    const bool started = startProcess(commandLine, extraEnv, pi, file);
    CloseHandle(file);
    if (started) {
        r.started = true;
        CloseHandle(pi.hThread);
        if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            r.timedOut = true;
            TerminateProcess(pi.hProcess, 259);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        GetExitCodeProcess(pi.hProcess, &r.exitCode);
        CloseHandle(pi.hProcess);
        output = readFileText(name);
    }
    DeleteFileA(name);
    return r;
}

ChildProcess::~ChildProcess() {
    if (process_) {
        terminate();
        CloseHandle(process_);
    }
}

bool ChildProcess::start(const std::string& commandLine,
                         const std::map<std::string, std::string>& extraEnv) {
    PROCESS_INFORMATION pi{};
    if (!startProcess(commandLine, extraEnv, pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::wait(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::exitCode() const {
    DWORD code = 0;
    if (process_)
        GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::terminate() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string readFileText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

ScratchDir::ScratchDir(const std::string& tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = temp;
    while (!base.empty() && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    for (unsigned n = 0;; ++n) {
        std::ostringstream name;
        name << base << "\\tds-" << tag << "-" << GetCurrentProcessId() << "-" << GetTickCount() << "-" << n;
        if (CreateDirectoryA(name.str().c_str(), nullptr)) {
            path_ = name.str();
            break;
        }
    }
}

ScratchDir::~ScratchDir() { removeTree(path_); }

void deleteRegTree(HKEY root, const std::string& subkey, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExA(root, subkey.c_str(), view, 0);
}

ScopedRegTree::ScopedRegTree(HKEY root, std::string subkey, REGSAM view)
    : root_(root), subkey_(std::move(subkey)), view_(view) {
    deleteRegTree(root_, subkey_, view_);
}

ScopedRegTree::~ScopedRegTree() { remove(); }

void ScopedRegTree::remove() { deleteRegTree(root_, subkey_, view_); }

void setRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                 const void* data, DWORD size, REGSAM view) {
    HKEY key;
    if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

}  // namespace testutil

namespace testutil {

namespace {

bool readTree(HKEY key, ScopedRegBackup::Tree& tree, REGSAM view) {
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
            break;
        ScopedRegBackup::Tree::Value v{std::string(name, nameSize), type, std::vector<uint8_t>(dataSize)};
        DWORD size = dataSize;
        RegQueryValueExA(key, v.name.c_str(), nullptr, nullptr, v.data.empty() ? nullptr : v.data.data(), &size);
        v.data.resize(size);
        tree.values.push_back(std::move(v));
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, &sub) != ERROR_SUCCESS)
            continue;
        ScopedRegBackup::Tree child;
        readTree(sub, child, view);
        RegCloseKey(sub);
        tree.subkeys.emplace_back(std::string(name, nameSize), std::move(child));
    }
    return true;
}

void writeTree(HKEY root, const std::string& path, const ScopedRegBackup::Tree& tree, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& v : tree.values)
        RegSetValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type, v.data.empty() ? nullptr : v.data.data(),
                       static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
    for (const auto& sub : tree.subkeys)
        writeTree(root, path + "\\" + sub.first, sub.second, view);
}

}  // namespace

ScopedRegBackup::ScopedRegBackup(HKEY root, std::string subkey, REGSAM view)
    : root_(root), subkey_(std::move(subkey)), view_(view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_READ | view_, &key) == ERROR_SUCCESS) {
        existed_ = true;
        readTree(key, tree_, view_);
        RegCloseKey(key);
    }
}

ScopedRegBackup::~ScopedRegBackup() {
    clear();
    if (existed_)
        writeTree(root_, subkey_, tree_, view_);
}

void ScopedRegBackup::clear() { deleteRegTree(root_, subkey_, view_); }

}  // namespace testutil
