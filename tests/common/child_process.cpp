#include "common/child_process.h"

#include <cstdio>
#include <cwchar>
#include <utility>
#include <vector>

#include "common/files.h"
#include "common/text_conversion.h"

namespace testutil {

std::string quote(const std::string& arg) { return "\"" + arg + "\""; }
std::wstring quote(const std::wstring& arg) { return L"\"" + arg + L"\""; }

namespace {

// This process's environment with extra's entries added or replaced, as a
// UTF-16 block sorted by name.
std::vector<wchar_t> buildEnvironment(const ExtraEnvironment& extra) {
    std::map<std::wstring, std::wstring> vars;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        const std::wstring entry(p);
        // Names like "=C:" start with "=": the separator is the next one.
        const size_t eq = entry.find(L'=', 1);
        if (eq == std::wstring::npos)
            continue;
        vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& kv : extra)
        vars[fromAnsi(kv.first)] = fromAnsi(kv.second);
    std::vector<wchar_t> out;
    for (const auto& kv : vars) {
        const std::wstring entry = kv.first + L"=" + kv.second;
        out.insert(out.end(), entry.begin(), entry.end());
        out.push_back(L'\0');
    }
    out.push_back(L'\0');
    return out;
}

// output, when given, becomes the child's standard output and error.
bool startProcess(const std::wstring& commandLine, const ExtraEnvironment& extraEnv, PROCESS_INFORMATION& pi,
                  HANDLE output = nullptr) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output;
        si.hStdError = output;
    }
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    std::vector<wchar_t> env;
    if (!extraEnv.empty())
        env = buildEnvironment(extraEnv);
    const DWORD begun = GetTickCount();
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, output ? TRUE : FALSE,
                       env.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT, env.empty() ? nullptr : env.data(), nullptr, &si,
                       &pi))
        return true;
    // A start of a program that exists fails rarely, and the failing test
    // seldom says why: the error and the time it took go to the output.
    const DWORD error = GetLastError();
    std::fprintf(stderr, "CreateProcess failed with %lu after %lu ms: %s\n", error, GetTickCount() - begun,
                 toUtf8(commandLine).c_str());
    std::fflush(stderr);
    SetLastError(error);
    return false;
}

// Waits for a started child, ends it at the time-out, and closes it.
ProcessResult finish(PROCESS_INFORMATION& pi, DWORD timeoutMs) {
    ProcessResult r;
    r.started = true;
    CloseHandle(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(pi.hProcess, &code))
            r.exitCode = code;
    } else {
        r.timedOut = true;
        TerminateProcess(pi.hProcess, 259);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    return r;
}

}  // namespace

ProcessResult runProcess(const std::wstring& commandLine, DWORD timeoutMs, const ExtraEnvironment& extraEnv) {
    PROCESS_INFORMATION pi{};
    if (!startProcess(commandLine, extraEnv, pi)) {
        ProcessResult notStarted;
        notStarted.startError = GetLastError();
        return notStarted;
    }
    return finish(pi, timeoutMs);
}

ProcessResult runProcess(const std::string& commandLine, DWORD timeoutMs, const ExtraEnvironment& extraEnv) {
    return runProcess(fromAnsi(commandLine), timeoutMs, extraEnv);
}

ProcessResult runProcessCapture(const std::string& commandLine, std::string& output, DWORD timeoutMs,
                                const ExtraEnvironment& extraEnv) {
    output.clear();
    wchar_t temp[MAX_PATH + 1], name[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(temp, L"out", 0, name) == 0)
        return ProcessResult();
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        return ProcessResult();
    }
    PROCESS_INFORMATION pi{};
    const bool started = startProcess(fromAnsi(commandLine), extraEnv, pi, file);
    const DWORD startError = started ? 0 : GetLastError();
    CloseHandle(file);
    ProcessResult r;
    r.startError = startError;
    if (started) {
        r = finish(pi, timeoutMs);
        output = readFileText(std::wstring(name));
    }
    DeleteFileW(name);
    return r;
}

ChildProcess::~ChildProcess() { reset(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      pid_(std::exchange(other.pid_, 0)),
      startError_(std::exchange(other.startError_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        reset();
        process_ = std::exchange(other.process_, nullptr);
        pid_ = std::exchange(other.pid_, 0);
        startError_ = std::exchange(other.startError_, 0);
    }
    return *this;
}

void ChildProcess::reset() {
    if (process_) {
        terminate();
        CloseHandle(process_);
    }
    process_ = nullptr;
    pid_ = 0;
}

bool ChildProcess::start(const std::wstring& commandLine, const ExtraEnvironment& extraEnv) {
    reset();
    startError_ = 0;
    PROCESS_INFORMATION pi{};
    if (!startProcess(commandLine, extraEnv, pi)) {
        startError_ = GetLastError();
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::start(const std::string& commandLine, const ExtraEnvironment& extraEnv) {
    return start(fromAnsi(commandLine), extraEnv);
}

bool ChildProcess::wait(DWORD timeoutMs) const {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool ChildProcess::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD ChildProcess::exitCode() const {
    DWORD code = kNoExitCode;
    if (process_ && !GetExitCodeProcess(process_, &code))
        code = kNoExitCode;
    return code;
}

void ChildProcess::terminate(UINT exitCode) {
    if (running()) {
        TerminateProcess(process_, exitCode);
        WaitForSingleObject(process_, 10000);
    }
}

}  // namespace testutil
