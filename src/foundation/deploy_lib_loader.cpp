#include "foundation/deploy_lib_loader.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "foundation/deploy_lib_loader_internal.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

namespace deploy_lib_loader_internal {

bool buildRequest(int kind, uint32_t argument, StagerRequest& request) {
    if (kind < DeployLibLoader::kUserWebTolvaStatus || kind > DeployLibLoader::kResetUserPreviousDecisions)
        return false;
    // Every word is set, the reserved one too: the library gets no stack garbage.
    std::memset(&request, 0, sizeof request);
    request.size = sizeof(StagerRequest);
    request.version = 4;
    request.mode = 2;
    request.webStatus = kind == DeployLibLoader::kUserWebTolvaStatus ? 1 : 0;
    request.decisionsExist = kind == DeployLibLoader::kUserPreviousDecisionsExist ? 1 : 0;
    request.clearDecisions = kind == DeployLibLoader::kClearUserPreviousDecisions ? 1 : 0;
    request.resetDecisions = kind == DeployLibLoader::kResetUserPreviousDecisions ? 1 : 0;
    request.argument = argument;
    return true;
}

}  // namespace deploy_lib_loader_internal

namespace {

const char kCtor[] = "DeployLibLoader::DeployLibLoader";
const char kQuery[] = "DeployLibLoader::QueryDeployForUserStatus";

// A drive path ("C:\...") or a UNC path ("\\server\..."). Anything else would
// make LoadLibrary search the program's folder, the current folder and PATH
// for "<home>\bin\stager.dll", so a planted copy could be loaded.
bool isFullPath(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/'))
        return true;
    return path.size() >= 3 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

HMODULE loadByFullPath(const std::string& path) {
    // The altered search order makes the library's own imports resolve from
    // its folder first, not from the launcher's (often a download) folder.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const char* queryName(int kind) {
    switch (kind) {
    case DeployLibLoader::kUserWebTolvaStatus:
        return "RegisterStagerEx: query userWebTolvaStatus";
    case DeployLibLoader::kUserPreviousDecisionsExist:
        return "RegisterStagerEx: query userPreviousDecisionsExist";
    case DeployLibLoader::kClearUserPreviousDecisions:
        return "RegisterStagerEx: query clearUserPreviousDecisions";
    default:
        return "RegisterStagerEx: query resetUserPreviousDecisions";
    }
}

}  // namespace

DeployLibLoader::DeployLibLoader(const std::string& tolvaHome) {
    if (tolvaHome.empty()) {
        TDS_LOG_ERROR(kCtor, "%s", "tolvaHome is empty. Fail to load deploy lib.");
        throw DeployLibLoaderError("tolvaHome is empty. Fail to load deploy lib");
    }
    TDS_LOG_INFO(kCtor, "DeployLibLoader: tolvaHome is %s", tolvaHome.c_str());
    if (!isFullPath(tolvaHome)) {
        TDS_LOG_ERROR(kCtor, "%s", "tolvaHome is not a full path. Fail to load deploy lib.");
        throw DeployLibLoaderError("tolvaHome is not a full path. Fail to load deploy lib");
    }
    const std::string runtimePath = tolvaHome + "\\bin\\msvcr100.dll";
    const std::string deployPath = tolvaHome + "\\bin\\stager.dll";
    TDS_LOG_INFO(kCtor, "DeployLib path is %s", deployPath.c_str());

    // Loaded first so that the deployment library's import of it binds to
    // this copy; a runtime without its own copy may still work with another.
    runtimeLibrary_ = loadByFullPath(runtimePath);
    deployLibrary_ = loadByFullPath(deployPath);
    if (!deployLibrary_) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR(kCtor, "%s failed with %s", "LoadLibraryEx", formatSystemError(error).c_str());
        TDS_LOG_ERROR(kCtor, "%s", "Failed to load Deploy library");
        release();
        throw DeployLibLoaderError("Failed to load Deploy library");
    }
    registerStagerEx_ = reinterpret_cast<RegisterStagerExFn>(
        reinterpret_cast<void*>(GetProcAddress(deployLibrary_, "RegisterStagerEx")));
    if (!registerStagerEx_) {
        TDS_LOG_ERROR(kCtor, "%s", "Failed to GetProcAddress(RegisterStagerEx)");
        release();
        throw DeployLibLoaderError("Failed to GetProcAddress(RegisterStagerEx)");
    }
}

DeployLibLoader::~DeployLibLoader() { release(); }

void DeployLibLoader::release() {
    registerStagerEx_ = nullptr;
    if (deployLibrary_) {
        FreeLibrary(deployLibrary_);
        deployLibrary_ = nullptr;
    }
    if (runtimeLibrary_) {
        FreeLibrary(runtimeLibrary_);
        runtimeLibrary_ = nullptr;
    }
}

int32_t DeployLibLoader::QueryDeployForUserStatus(int kind, uint32_t argument) {
    using namespace deploy_lib_loader_internal;
    StagerRequest request;
    if (!buildRequest(kind, argument, request)) {
        TDS_LOG_ERROR(kQuery, "unknown query kind %d", kind);
        return -1;
    }
    std::vector<StagerAnswer> answers(1);
    std::memset(answers.data(), 0, answers.size() * sizeof(StagerAnswer));
    StagerResult result = {};
    result.count = static_cast<uint32_t>(answers.size());
    result.answers = answers.data();

    TDS_LOG_INFO(kQuery, "%s", queryName(kind));
    TDS_LOG_INFO(kQuery, "%s", "Calling RegisterStagerEx...");
    if (!registerStagerEx_(&request, &result)) {
        TDS_LOG_ERROR(kQuery, "%s", "RegisterStagerEx call failed");
        return -1;
    }
    const int32_t answer = answers[0].queryResult;
    TDS_LOG_INFO(kQuery,
                 "RegisterStagerEx call returned query_res = %d ( 1 - yes/ok, 0 - no/(not found), -1 - error "
                 "during execution)",
                 static_cast<int>(answer));
    return answer;
}

bool DeployLibLoader::isTolvaPluginDisabled() {
    const bool result = QueryDeployForUserStatus(kUserWebTolvaStatus, 0) == 0;
    LogResult(result, "isTolvaPluginDisabled");
    return result;
}

bool DeployLibLoader::isPreviousSecurityDecisionsExist() {
    const bool result = QueryDeployForUserStatus(kUserPreviousDecisionsExist, 30) == 1;
    LogResult(result, "isPreviousSecurityDecisionsExist");
    return result;
}

bool DeployLibLoader::doClearUserPreviousDecisions() {
    const bool result = QueryDeployForUserStatus(kClearUserPreviousDecisions, 30) == 1;
    LogResult(result, "doClearUserPreviousDecisions");
    return result;
}

bool DeployLibLoader::doResetUserPreviousDecisions() {
    const bool result = QueryDeployForUserStatus(kResetUserPreviousDecisions, 0) == 1;
    LogResult(result, "doResetUserPreviousDecisions");
    return result;
}

void DeployLibLoader::LogResult(bool result, const char* name) {
    TDS_LOG_INFO("DeployLibLoader::LogResult", "DeployLibLoader::%s() %s", name ? name : "",
                 result ? "succeed" : "return false");
}
