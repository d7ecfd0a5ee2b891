#pragma once
// The installed runtime's deployment library "stager.dll" and the yes/no
// questions the launcher asks it about the user's plug-in and security
// decisions, through its one export RegisterStagerEx.

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

class DeployLibLoader {
public:
    class DeployLibLoaderError : public std::runtime_error {
    public:
        explicit DeployLibLoaderError(const std::string& text) : std::runtime_error(text) {}
    };

    // The query kinds of QueryDeployForUserStatus.
    enum QueryKind : int {
        kUserWebTolvaStatus = 1,
        kUserPreviousDecisionsExist = 2,
        kClearUserPreviousDecisions = 3,
        kResetUserPreviousDecisions = 4,
    };

    // Loads tolvaHome + "\bin\msvcr100.dll" (the runtime's own C runtime,
    // which the deployment library needs; its failure is ignored), then
    // tolvaHome + "\bin\stager.dll", both by full path, and binds
    // RegisterStagerEx. tolvaHome is in the ANSI code page. Throws
    // DeployLibLoaderError "tolvaHome is empty. Fail to load deploy lib",
    // "tolvaHome is not a full path. Fail to load deploy lib", "Failed to
    // load Deploy library" or "Failed to GetProcAddress(RegisterStagerEx)";
    // a constructor that throws frees whatever it had loaded.
    explicit DeployLibLoader(const std::string& tolvaHome);
    // Frees the deployment library, then the runtime library.
    ~DeployLibLoader();
    DeployLibLoader(const DeployLibLoader&) = delete;
    DeployLibLoader& operator=(const DeployLibLoader&) = delete;

    // Asks RegisterStagerEx one question: kind 1 to 4 with its argument.
    // Returns the library's answer (1 yes/ok, 0 no or not found, -1 error
    // during execution; other values as the library gives them), or -1 when
    // the call reports failure or kind is out of range.
    int32_t QueryDeployForUserStatus(int kind, uint32_t argument);

    // True when the answer to userWebTolvaStatus is 0 (the plug-in is off).
    bool isTolvaPluginDisabled();
    // True when the answer to userPreviousDecisionsExist is 1.
    bool isPreviousSecurityDecisionsExist();
    // True when the answer to clearUserPreviousDecisions is 1.
    bool doClearUserPreviousDecisions();
    // True when the answer to resetUserPreviousDecisions is 1.
    bool doResetUserPreviousDecisions();

    // Logs "DeployLibLoader::<name>() succeed" or "... return false".
    static void LogResult(bool result, const char* name);

private:
    using RegisterStagerExFn = int32_t(WINAPI*)(void* request, void* result);

    void release();

    HMODULE runtimeLibrary_ = nullptr;
    HMODULE deployLibrary_ = nullptr;
    RegisterStagerExFn registerStagerEx_ = nullptr;
};
