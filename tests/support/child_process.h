// Starting helper programs from tests: plain Win32, header only, so any test
// program can use it without linking the project's libraries.
#ifndef TDS_TESTS_SUPPORT_CHILD_PROCESS_H
#define TDS_TESTS_SUPPORT_CHILD_PROCESS_H

#include <windows.h>

#include <string>
#include <utility>

#include "support/win_text.h"

namespace tds_test {

// A started child process, terminated (exit code 1) and closed when the
// object goes while it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept : info_(other.info_) { other.info_ = {}; }
  ChildProcess& operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
      reset();
      info_ = other.info_;
      other.info_ = {};
    }
    return *this;
  }
  ~ChildProcess() { reset(); }

  // Starts `commandLine` as given (quote the program path yourself). Answers
  // false, with GetLastError set and nothing started, when CreateProcess fails.
  bool start(const std::wstring& commandLine, DWORD creationFlags = CREATE_NO_WINDOW) {
    reset();
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                          nullptr, &si, &info_) != FALSE;
  }

  // Waits up to `timeoutMs`; answers true and the full exit code when the
  // child ended in time, false when it still runs (it keeps running).
  bool wait(DWORD timeoutMs, DWORD& exitCode) const {
    if (info_.hProcess == nullptr) return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(info_.hProcess, &exitCode) != FALSE;
  }

  bool running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
  }

  // Ends the child with `exitCode` and waits until it is gone.
  void kill(UINT exitCode = 1) {
    if (info_.hProcess == nullptr) return;
    TerminateProcess(info_.hProcess, exitCode);
    WaitForSingleObject(info_.hProcess, 10000);
  }

  DWORD id() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }

 private:
  void reset() {
    if (info_.hProcess != nullptr) {
      if (running()) kill();
      CloseHandle(info_.hProcess);
    }
    if (info_.hThread != nullptr) CloseHandle(info_.hThread);
    info_ = {};
  }

  PROCESS_INFORMATION info_{};
};

// Runs `commandLine` to its end (at most `timeoutMs`, then it is killed).
// Answers the exit code, or the value `failure` when it could not be started
// or did not end in time.
inline DWORD runToEnd(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                      DWORD failure = 0xDEADBEEF) {
  ChildProcess child;
  if (!child.start(commandLine)) return failure;
  DWORD code = 0;
  if (!child.wait(timeoutMs, code)) return failure;
  return code;
}

}  // namespace tds_test

#endif
