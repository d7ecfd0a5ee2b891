#include "foundation/executor.h"

#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <vector>

#include "foundation/executor_internal.h"
#include "foundation/file_utils.h"
#include "foundation/handle_release.h"
#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

namespace {

const char kBlanks[] = " \t";

executor_internal::DesktopUserHooks& desktopUserHooks() {
    static executor_internal::DesktopUserHooks hooks;
    return hooks;
}

void logSystemFailure(const char* function, const char* what, DWORD code) {
    TDS_LOG_ERROR(function, "%s failed with %s", what, formatSystemError(code).c_str());
}

// Waits for the process while dispatching the thread's messages, so that
// the caller's windows (the progress window) keep painting and answering.
void waitDispatchingMessages(HANDLE process) {
    DWORD r = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    while (r == WAIT_OBJECT_0 + 1) {
        MSG peeked;
        while (PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
            MSG msg;
            // A quit message is taken off the queue and dropped: the caller's
            // loop is not ours to end.
            if (peeked.hwnd && IsWindowUnicode(peeked.hwnd)) {
                if (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            } else if (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
                return;
        }
        r = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

template <class Fn>
DWORD runEntry(const char* function, const char* prefix, Fn&& body) {
    try {
        return body();
    } catch (const Executor::ExecutorError& e) {
        TDS_LOG_ERROR(function, "%s%s", prefix, e.what());
        return ERROR_FUNCTION_FAILED;
    }
}

template <class T>
void release(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Saves a shell link to linkPath that starts path with args. Returns
// whether it was saved; *error gets the last error of the failing step.
bool createShortcut(const std::string& path, const std::string& args, const std::string& linkPath,
                    DWORD* error) {
    const char* fn = "Executor::ExecProcessAsDesktopUser";
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    bool saved = false;
    HRESULT hr = E_FAIL;
    if (desktopUserHooks().createShellLink)
        hr = desktopUserHooks().createShellLink(&link);
    else
        hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link));
    if (hr != S_OK || !link) {
        *error = GetLastError();
        TDS_LOG_ERROR(fn, "%s", "CreateShortCutItem() - pTolvaShortCutItem.CoCreateInstance call failed");
    } else if ((hr = link->SetPath(path.c_str())) != S_OK) {
        *error = GetLastError();
        logSystemFailure(fn, ("ExecProcessAsDesktopUser: pTolvaShortCutItem->SetPath(" + path + ") call failed").c_str(),
                         *error);
    } else if ((hr = link->SetArguments(args.c_str())) != S_OK) {
        *error = GetLastError();
        logSystemFailure(fn,
                         ("ExecProcessAsDesktopUser: pTolvaShortCutItem->SetArguments(" + args + ") call failed").c_str(),
                         *error);
    } else if ((hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) != S_OK || !file) {
        *error = GetLastError();
        TDS_LOG_ERROR(fn, "%s", "CreateShortCutItem() - pTolvaShortCutItem->QueryInterface call failed");
    } else {
        std::wstring widePath;
        try {
            widePath = tstrings::toUtf16(tstrings::fromAcp(linkPath));
        } catch (const std::exception&) {
            widePath.clear();
        }
        if (widePath.empty() || (hr = file->Save(widePath.c_str(), TRUE)) != S_OK) {
            *error = GetLastError();
            TDS_LOG_ERROR(fn, "%s", "CreateShortCutItem() - pTolvaShortCutItemFile->Save call failed");
        } else {
            saved = true;
        }
    }
    release(file);
    release(link);
    return saved;
}

}  // namespace

namespace executor_internal {
void setDesktopUserHooksForTesting(const DesktopUserHooks& hooks) { desktopUserHooks() = hooks; }
}  // namespace executor_internal

Executor::Executor(const std::string& applicationPath) {
    std::string path = tstrings::trim(applicationPath, kBlanks);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    // A pair of quotes around nothing is as empty as no text at all.
    if (path.empty()) {
        TDS_LOG_ERROR("Executor::Executor", "%s", "Executor: applicationPath is empty");
        throw ExecutorError("applicationPath is empty");
    }
    applicationPath_ = path;
    commandLine_ = "\"" + applicationPath_ + "\"";
}

Executor::~Executor() { closePipe(); }

void Executor::closePipe() {
    closeWin32Handle(pipeRead_);
    closeWin32Handle(pipeWrite_);
    pipeRead_ = pipeWrite_ = nullptr;
}

void Executor::setArguments(const std::string& arguments) {
    arguments_ = tstrings::trim(arguments, kBlanks);
    const std::string quoted = "\"" + applicationPath_ + "\"";
    if (arguments_.empty()) {
        commandLine_ = quoted;
        return;
    }
    const size_t i = arguments_.find(applicationPath_);
    if (i == 0)
        commandLine_ = quoted + arguments_.substr(applicationPath_.size());
    else if (i == 1 && arguments_[0] == '"')
        commandLine_ = arguments_;
    else
        commandLine_ = quoted + " " + arguments_;
}

void Executor::prepareStartup() {
    ZeroMemory(&startupInfo_, sizeof startupInfo_);
    startupInfo_.cb = sizeof startupInfo_;
    ZeroMemory(&processInformation_, sizeof processInformation_);
    if (hidden_ == 1) {
        startupInfo_.dwFlags |= STARTF_USESHOWWINDOW;
        startupInfo_.wShowWindow = SW_HIDE;
        creationFlags_ = CREATE_NO_WINDOW;
    }
    if (usePipe_) {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        if (CreatePipe(&pipeRead_, &pipeWrite_, &inheritable, 0) &&
            SetHandleInformation(pipeRead_, HANDLE_FLAG_INHERIT, 0)) {
            startupInfo_.dwFlags |= STARTF_USESTDHANDLES;
            startupInfo_.hStdOutput = pipeWrite_;
            startupInfo_.hStdError = pipeWrite_;
            inheritHandles_ = TRUE;
            TDS_LOG_INFO("Executor::prepareStartup", "%s", "Create pipe SUCCESS");
        } else {
            closePipe();
            TDS_LOG_INFO("Executor::prepareStartup", "%s", "Create pipe FAILURE");
        }
    }
}

BOOL Executor::startExecution() {
    TDS_LOG_INFO("Executor::startExecution", "Executor.exec(): %s", commandLine_.c_str());
    prepareStartup();
    std::vector<char> writable(commandLine_.begin(), commandLine_.end());
    writable.push_back('\0');
    return CreateProcessA(applicationPath_.c_str(), writable.data(), processAttributes_, threadAttributes_,
                          inheritHandles_, creationFlags_, environment_, currentDirectory_, &startupInfo_,
                          &processInformation_);
}

DWORD Executor::finishExecution() {
    const char* fn = "Executor::finishExecution";
    HANDLE process = processInformation_.hProcess;
    if (process == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        logSystemFailure(fn, "Executor.finishExecution()", error);
        return error;
    }
    ScopedWin32Handle processHolder(process);
    ScopedWin32Handle threadHolder(processInformation_.hThread);
    processInformation_.hProcess = processInformation_.hThread = nullptr;
    DWORD result = 0;
    if (wait_ == 0 && !pumpMessages_)
        return 0;
    if (wait_ == 0) {
        waitDispatchingMessages(process);
    } else {
        result = WaitForSingleObject(process, timeoutMs_);
        TDS_LOG_INFO(fn, "Executor.finishExecution(): WaitForSingleObject exited with code %lu",
                     static_cast<unsigned long>(result));
    }
    if (result == WAIT_TIMEOUT) {
        TDS_LOG_INFO(fn, "%s", "Executor.finishExecution(): The timeout is elapsed. Terminating Process.");
        TerminateProcess(process, 1);
        return result;
    }
    if (!GetExitCodeProcess(process, &result)) {
        result = GetLastError();
        logSystemFailure(fn, "Executor.finishExecution(): GetExitCodeProcess()", result);
    }
    TDS_LOG_INFO(fn, "Executor.finishExecution(): ExitCode = %lu", static_cast<unsigned long>(result));
    if (result != 0)
        logSystemFailure(fn, "Executor.finishExecution(): Process execution ", GetLastError());
    return result;
}

DWORD Executor::exec() {
    started_ = startExecution() != FALSE;
    if (!started_) {
        const DWORD error = GetLastError();
        logSystemFailure("Executor::exec", "Executor.exec(): CreateProcess", error);
        // A failed start with no error set is a failure all the same.
        return error != 0 ? error : ERROR_FUNCTION_FAILED;
    }
    return finishExecution();
}

DWORD Executor::ExecProcess(const std::string& path, const std::string& args, unsigned hidden, bool* started) {
    return runEntry("Executor::ExecProcess", "ExecutorError in Executor::ExecProcess ", [&]() -> DWORD {
        Executor executor(path);
        executor.setArguments(args);
        executor.setHidden(hidden);
        const DWORD result = executor.exec();
        if (started)
            *started = executor.started();
        executor.closePipe();
        return result;
    });
}

DWORD Executor::ExecProcessWaitForFinish(const std::string& path, const std::string& args, unsigned hidden,
                                         DWORD timeoutMs, bool* started) {
    return runEntry("Executor::ExecProcessWaitForFinish", "ExecutorError in Executor::ExecProcessWaitForFinish ",
                    [&]() -> DWORD {
                        Executor executor(path);
                        executor.setArguments(args);
                        executor.setHidden(hidden);
                        executor.setWait(1);
                        executor.setTimeout(timeoutMs);
                        const DWORD result = executor.exec();
                        if (started)
                            *started = executor.started();
                        executor.closePipe();
                        return result;
                    });
}

DWORD Executor::ExecProcessWithAtlMessageLoop(const std::string& path, const std::string& args, unsigned hidden,
                                              bool* started) {
    return runEntry("Executor::ExecProcessWithAtlMessageLoop",
                    "ExecutorError in Executor::ExecProcessWithAtlMessageLoop ", [&]() -> DWORD {
                        Executor executor(path);
                        executor.setArguments(args);
                        executor.setHidden(hidden);
                        executor.setPumpMessages(true);
                        const DWORD result = executor.exec();
                        if (started)
                            *started = executor.started();
                        executor.closePipe();
                        return result;
                    });
}

DWORD Executor::ExecProcessAsDesktopUser(const std::string& path, const std::string& args, bool* started) {
    const char* fn = "Executor::ExecProcessAsDesktopUser";
    FunctionTracer tracer(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__, fn,
                          "Executor::ExecProcessAsDesktopUser");
    const std::string program = tstrings::trim(path, kBlanks);
    if (program.empty()) {
        TDS_LOG_ERROR(fn, "%s", "ExecProcessAsDesktopUser: appPath is empty");
        return ERROR_FUNCTION_FAILED;
    }
    const executor_internal::DesktopUserHooks& hooks = desktopUserHooks();

    std::string shellProgram;
    std::string linkFolder;
    try {
        if (hooks.shellProgram)
            shellProgram = hooks.shellProgram();
        else
            shellProgram = FileUtils::combinePath(SysInfo::isWow64() ? SysInfo::getSystem32Dir()
                                                                     : SysInfo::getWindowsDir(),
                                                  "explorer.exe");
        const std::string base = hooks.commonAppDataDir ? hooks.commonAppDataDir() : SysInfo::getCommonAppDataDir();
        if (base.empty())
            throw std::runtime_error("common application data folder is empty");
        linkFolder = base + "\\Quorvane";
        CreateDirectoryA(linkFolder.c_str(), nullptr);
        linkFolder += "\\tmpinstall";
        CreateDirectoryA(linkFolder.c_str(), nullptr);
    } catch (const std::runtime_error& e) {
        // Without the folders the shell would be looked for by a relative
        // name and the shortcut put at the drive root: give up instead.
        TDS_LOG_ERROR(fn, "ExecProcessAsDesktopUser: %s", e.what());
        return ERROR_PATH_NOT_FOUND;
    }
    const std::string linkPath = linkFolder + "\\tolvatmp.lnk";

    const HRESULT init = CoInitialize(nullptr);
    DWORD linkError = 0;
    const bool linked = createShortcut(program, args, linkPath, &linkError);
    // Only a successful CoInitialize (S_OK or S_FALSE) is to be balanced; a
    // thread already in another apartment keeps its own initialisation.
    if (SUCCEEDED(init))
        CoUninitialize();
    if (!linked) {
        // COM failures often leave no Windows error behind; a failure must
        // not be answered as success.
        const DWORD result = linkError != 0 ? linkError : ERROR_FUNCTION_FAILED;
        logSystemFailure(fn, "ExecProcessAsDesktopUser failed to create temporary shortcut", result);
        return result;
    }

    DWORD result = 0;
    bool shellStarted = false;
    try {
        Executor executor(shellProgram);
        // Quoted: the common data folder may hold blanks.
        executor.setArguments("\"" + linkPath + "\"");
        executor.setWait(1);
        executor.setTimeout(INFINITE);
        const DWORD code = executor.exec();
        shellStarted = executor.started();
        if (!shellStarted) {
            result = code;
            logSystemFailure(fn, "ExecProcessAsDesktopUser: Executor.exec()", code);
        }
    } catch (const ExecutorError& e) {
        TDS_LOG_ERROR(fn, "ExecProcessAsDesktopUser: %s", e.what());
        result = ERROR_FUNCTION_FAILED;
    }
    if (started)
        *started = shellStarted;
    DeleteFileA(linkPath.c_str());
    RemoveDirectoryA(linkFolder.c_str());
    return result;
}
