#pragma once
// Helpers for tests that run under Wine: paths beside the test program,
// child processes with their full exit code, files as bytes, scratch folders
// and registry clean-up.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testutil {

// The folder of the running test program (where helper programs are built).
std::string exeDir();
// exeDir() joined with name.
std::string besideExe(const std::string& name);
// The running program's own path.
std::string selfPath();

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
};

// Starts commandLine (the whole command line, program quoted as needed) and
// waits up to timeoutMs. extraEnv entries are added to (or replace in) this
// process's environment for the child. A child still running at the time-out
// is terminated.
ProcessResult runProcess(const std::string& commandLine, DWORD timeoutMs = 60000,
                         const std::map<std::string, std::string>& extraEnv = {});

// runProcess with the child's standard output (and error) captured.
ProcessResult runProcessCapture(const std::string& commandLine, std::string& output,
                                DWORD timeoutMs = 60000,
                                const std::map<std::string, std::string>& extraEnv = {});

// A started child that the test ends itself.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool start(const std::string& commandLine, const std::map<std::string, std::string>& extraEnv = {});
    // Waits up to timeoutMs; true when it ended.
    bool wait(DWORD timeoutMs);
    DWORD exitCode() const;
    void terminate();
    HANDLE handle() const { return process_; }
    DWORD pid() const { return pid_; }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

std::string quote(const std::string& arg);

std::vector<uint8_t> readFileBytes(const std::string& path);
std::string readFileText(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A fresh folder under the temporary folder, removed with its files at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "t");
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Deletes a registry key tree (in the given view) when the scope ends.
class ScopedRegTree {
public:
    ScopedRegTree(HKEY root, std::string subkey, REGSAM view = 0);
    ~ScopedRegTree();
    void remove();

private:
    HKEY root_;
    std::string subkey_;
    REGSAM view_;
};

// Writes a value of any type and size (tests seed malformed values this way).
void setRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                 const void* data, DWORD size, REGSAM view = 0);
void deleteRegTree(HKEY root, const std::string& subkey, REGSAM view = 0);

// Polls until pred() is true or timeoutMs passes; true when pred() held.
// The answer is the test's evidence that the state came: check it.
template <class Pred>
[[nodiscard]] bool waitFor(Pred pred, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

}  // namespace testutil

namespace testutil {

// Takes a copy of a registry key tree (values and subkeys, in the given
// view) and puts it back exactly, or removes the key when it did not exist,
// when the scope ends. clear() deletes the tree for a clean start.
class ScopedRegBackup {
public:
    ScopedRegBackup(HKEY root, std::string subkey, REGSAM view = 0);
    ~ScopedRegBackup();
    ScopedRegBackup(const ScopedRegBackup&) = delete;
    ScopedRegBackup& operator=(const ScopedRegBackup&) = delete;
    void clear();

    struct Tree {
        struct Value {
            std::string name;
            DWORD type;
            std::vector<uint8_t> data;
        };
        std::vector<Value> values;
        std::vector<std::pair<std::string, Tree>> subkeys;
    };

private:
    HKEY root_;
    std::string subkey_;
    REGSAM view_;
    bool existed_ = false;
    Tree tree_;
};

}  // namespace testutil
