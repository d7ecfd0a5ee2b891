#include "common/test_process.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/files.h"

namespace testutil {

namespace {

// Set in the environment of the test program and so of every program it
// starts: a helper or a test program started as a child keeps the folder
// (and the job) of the test that started it.
const char kMarker[] = "TDS_TEST_PROCESS_FOLDER";

std::string& folder() {
    static std::string path;
    return path;
}

// Only the process that made the folder removes it.
bool& ownsFolder() {
    static bool owns = false;
    return owns;
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "test process set-up: %s failed (%s), error %lu\n", what, detail.c_str(),
                 GetLastError());
    std::fflush(stderr);
    ExitProcess(3);
}

std::string programName() {
    char path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    name = name.substr(name.find_last_of("\\/") + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string withoutTrailingSlash(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

std::string currentTempDir() {
    char temp[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    return n > 0 && n < sizeof temp ? withoutTrailingSlash(temp) : std::string();
}

// Children that are still running when the test program ends are ended with
// it: the job's last handle is this process's own, closed at its exit.
void joinKillOnCloseJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr)
        fail("CreateJobObject", programName());
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        fail("SetInformationJobObject", programName());
    if (!AssignProcessToJobObject(job, GetCurrentProcess()))
        fail("AssignProcessToJobObject", programName());
}

}  // namespace

void isolateTestProcess() {
    if (!folder().empty())
        return;
    char inherited[MAX_PATH + 1];
    const DWORD n = GetEnvironmentVariableA(kMarker, inherited, sizeof inherited);
    if (n > 0 && n < sizeof inherited) {
        folder() = inherited;
        return;
    }
    const std::string base = currentTempDir();
    if (base.empty())
        fail("GetTempPath", programName());
    std::string path;
    for (unsigned i = 0;; ++i) {
        path = base + "\\" + programName() + "-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(i);
        if (CreateDirectoryA(path.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS || i > 100)
            fail("CreateDirectory", path);
    }
    if (!SetEnvironmentVariableA("TMP", path.c_str()) || !SetEnvironmentVariableA("TEMP", path.c_str()) ||
        !SetEnvironmentVariableA(kMarker, path.c_str()))
        fail("SetEnvironmentVariable", path);
    if (_stricmp(currentTempDir().c_str(), path.c_str()) != 0)
        fail("GetTempPath after TMP was set", currentTempDir() + " instead of " + path);
    joinKillOnCloseJob();
    folder() = path;
    ownsFolder() = true;
}

const char* testProcessFolder() { return folder().c_str(); }

void finishTestProcess(bool passed) {
    if (!ownsFolder())
        return;
    if (passed) {
        removeTree(folder());
    } else {
        std::printf("This test program's temporary folder (its log and files) is kept: %s\n",
                    folder().c_str());
        std::fflush(stdout);
    }
}

}  // namespace testutil
