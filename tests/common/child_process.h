#pragma once
// Programs a test starts: the whole command line as given, the full 32-bit
// exit code read back (a Linux shell would see it modulo 256), and children
// ended when the test no longer needs them. Narrow command lines are in the
// ANSI code page, as CreateProcessA takes them.

#include <windows.h>

#include <map>
#include <string>

namespace testutil {

// Variables added to (or replacing those of) this process's environment for
// one child, e.g. {{"TMP", folder}, {"TEMP", folder}}.
using ExtraEnvironment = std::map<std::string, std::string>;

// The exit code told for a child that did not start, or did not end in time.
constexpr DWORD kNoExitCode = 0xDEADBEEF;

// arg in double quotes, for a program path or an argument with blanks.
std::string quote(const std::string& arg);
std::wstring quote(const std::wstring& arg);

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    // The child's exit code; kNoExitCode when it did not start or was ended
    // at the time-out.
    DWORD exitCode = kNoExitCode;
    // GetLastError of CreateProcess when the child did not start, else 0.
    DWORD startError = 0;
};

// Starts commandLine (the program quoted as needed), waits up to timeoutMs
// and answers how it ended. A child still running at the time-out is
// terminated. extraEnv applies to this child only.
ProcessResult runProcess(const std::string& commandLine, DWORD timeoutMs = 60000,
                         const ExtraEnvironment& extraEnv = {});
ProcessResult runProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                         const ExtraEnvironment& extraEnv = {});

// runProcess with the child's standard output and error in output (cleared
// first; left empty when the child did not start). The child writes to a
// file, not a pipe, so a child that writes a lot never blocks.
ProcessResult runProcessCapture(const std::string& commandLine, std::string& output, DWORD timeoutMs = 60000,
                                const ExtraEnvironment& extraEnv = {});

// A started child that the test waits for or ends itself. One that still
// runs when the object goes is terminated (exit code 1). Move-only.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts commandLine as given, ending a child this object started
    // before. False, with GetLastError set and nothing started, when
    // CreateProcess fails.
    bool start(const std::string& commandLine, const ExtraEnvironment& extraEnv = {});
    bool start(const std::wstring& commandLine, const ExtraEnvironment& extraEnv = {});

    // True when the child ended within timeoutMs; false when it still runs
    // (it keeps running) or none was started.
    bool wait(DWORD timeoutMs) const;
    // True while the started child runs.
    bool running() const;
    // The exit code: STILL_ACTIVE (259) while it runs, kNoExitCode when none
    // was started.
    DWORD exitCode() const;
    // Ends a running child with exitCode and waits (up to 10 s) until it is
    // gone; nothing when none runs.
    void terminate(UINT exitCode = 1);

    HANDLE handle() const { return process_; }
    DWORD pid() const { return pid_; }
    // GetLastError of the last failed start, else 0.
    DWORD startError() const { return startError_; }

private:
    void reset();

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD startError_ = 0;
};

}  // namespace testutil
