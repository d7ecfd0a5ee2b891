#pragma once
// The one way the system starts outside programs: CreateProcessA with a
// command line of the quoted program path and the arguments, and then no
// wait, a wait with a time-out, or a wait that dispatches the calling
// thread's window messages.

#include <windows.h>

#include <stdexcept>
#include <string>

class Executor {
public:
    class ExecutorError : public std::runtime_error {
    public:
        explicit ExecutorError(const std::string& text) : std::runtime_error(text) {}
    };

    // Takes the program path trimmed of " \t" and without one pair of
    // enclosing double quotes. Logs and throws ExecutorError
    // "applicationPath is empty" when nothing is left.
    explicit Executor(const std::string& applicationPath);
    ~Executor();
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Arguments trimmed of " \t". Arguments that start with the bare path
    // get the path quoted; arguments that start with the quoted path are
    // the whole command line; others follow the quoted path after a blank.
    void setArguments(const std::string& arguments);
    // 1 starts the program without a window (CREATE_NO_WINDOW, SW_HIDE).
    void setHidden(unsigned hidden) { hidden_ = hidden; }
    void setWait(unsigned wait) { wait_ = wait; }
    void setTimeout(DWORD timeoutMs) { timeoutMs_ = timeoutMs; }
    void setPumpMessages(bool pump) { pumpMessages_ = pump; }

    // Starts the program and, as set, waits. Returns 0 for a start without
    // waiting, the exit code, 258 when the time-out elapsed (the program is
    // then terminated with exit code 1), or the Windows error of a failed
    // start. Handles of the process are closed before it returns.
    DWORD exec();

    bool started() const { return started_; }
    const std::string& applicationPath() const { return applicationPath_; }
    const std::string& commandLine() const { return commandLine_; }

    // Starts the program and returns at once: 0, or the start error; 1627
    // for an empty path. *started (when given) tells whether it started.
    static DWORD ExecProcess(const std::string& path, const std::string& args, unsigned hidden,
                             bool* started);
    // Waits up to timeoutMs: the exit code, 258 on time-out (the program is
    // terminated), the start error, or 1627 for an empty path.
    static DWORD ExecProcessWaitForFinish(const std::string& path, const std::string& args,
                                          unsigned hidden, DWORD timeoutMs, bool* started);
    // Waits until the program ends while dispatching the calling thread's
    // window messages: the exit code, the start error, or 1627.
    static DWORD ExecProcessWithAtlMessageLoop(const std::string& path, const std::string& args,
                                               unsigned hidden, bool* started);
    // Starts the program as the desktop user: through a temporary shortcut
    // "<common app data>\Quorvane\tmpinstall\tolvatmp.lnk" opened by the
    // shell (explorer.exe), waiting for the shell to end. Returns 0, a
    // Windows error code, or 1627 (empty path, shortcut not made, folders not
    // found). *started is written only when the shell was run.
    static DWORD ExecProcessAsDesktopUser(const std::string& path, const std::string& args,
                                          bool* started);

private:
    void prepareStartup();
    BOOL startExecution();
    DWORD finishExecution();
    void closePipe();

    std::string applicationPath_;
    std::string arguments_;
    std::string commandLine_;
    SECURITY_ATTRIBUTES* processAttributes_ = nullptr;
    SECURITY_ATTRIBUTES* threadAttributes_ = nullptr;
    BOOL inheritHandles_ = FALSE;
    DWORD creationFlags_ = 0;
    void* environment_ = nullptr;
    const char* currentDirectory_ = nullptr;
    PROCESS_INFORMATION processInformation_ = {};
    STARTUPINFOA startupInfo_ = {};
    unsigned hidden_ = 0;
    unsigned wait_ = 0;
    DWORD timeoutMs_ = INFINITE;
    bool pumpMessages_ = false;
    bool usePipe_ = false;
    bool started_ = false;
    HANDLE pipeRead_ = nullptr;
    HANDLE pipeWrite_ = nullptr;
};
