#include "launcher/online_options.h"

#include <windows.h>
#include <urlmon.h>

#include <cstring>
#include <memory>
#include <string>

#include "foundation/http_connection.h"
#include "foundation/locale.h"
#include "foundation/logger.h"
#include "foundation/online_endpoints.h"
#include "foundation/shell_utils.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "launcher/file_digest.h"
#include "launcher/online_options_internal.h"
#include "launcher/policy_registry.h"
#include "launcher/product_version.h"
#include "launcher/vendor_registry.h"

namespace {

// URLDownloadToFile applies no time-out of its own (a peer that accepts the
// connection and never answers holds it for ever under Wine), so the image
// gets as long as a request (30 s) and a margin.
const DWORD kImageDeadlineMs = 35000;

struct DownloadState {
    std::string url;
    std::string partPath;
    HRESULT result = E_FAIL;
    HANDLE done = nullptr;
    ~DownloadState() {
        if (done)
            CloseHandle(done);
    }
};

DWORD WINAPI downloadOnThread(void* param) {
    std::unique_ptr<std::shared_ptr<DownloadState>> owner(static_cast<std::shared_ptr<DownloadState>*>(param));
    DownloadState& state = **owner;
    state.result = URLDownloadToFileA(nullptr, state.url.c_str(), state.partPath.c_str(), 0, nullptr);
    SetEvent(state.done);
    return 0;
}

// Downloads url to localPath within deadlineMs. The download goes to a file
// of this process's own beside it and is moved into place only when it ends
// in time: a download given up on may still write its file later, and that
// file must never pass for the image.
HRESULT downloadWithDeadline(const std::string& url, const std::string& localPath, DWORD deadlineMs) {
    auto state = std::make_shared<DownloadState>();
    state->url = url;
    state->partPath = localPath + "." + std::to_string(GetCurrentProcessId()) + ".part";
    state->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto* owner = new std::shared_ptr<DownloadState>(state);
    HANDLE thread = state->done ? CreateThread(nullptr, 0, &downloadOnThread, owner, 0, nullptr) : nullptr;
    if (!thread) {
        delete owner;
        return URLDownloadToFileA(nullptr, url.c_str(), localPath.c_str(), 0, nullptr);
    }
    CloseHandle(thread);
    if (WaitForSingleObject(state->done, deadlineMs) != WAIT_OBJECT_0) {
        TDS_LOG_ERROR("GetOptionsFromXmlIfOnline", "URLDownloadToFile(%s) got no answer within %lu ms",
                      url.c_str(), static_cast<unsigned long>(deadlineMs));
        DeleteFileA(state->partPath.c_str());
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    if (SUCCEEDED(state->result) &&
        !MoveFileExA(state->partPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileA(state->partPath.c_str());
        return HRESULT_FROM_WIN32(error);
    }
    DeleteFileA(state->partPath.c_str());
    return state->result;
}

}  // namespace

namespace online_options_internal {

std::string OptionsDocumentUrl(const std::string& familyVersion, const std::string& fullVersion) {
    char configured[256] = {};
    if (GetTolvaSoftRegValue("InstallerXmlURL", configured, sizeof configured))
        return configured;
    return std::string(online_endpoints::kDownloadServerUrl) + "/update/" + familyVersion + "/" +
           fullVersion + ".xml";
}

bool DownloadWelcomeImage(const std::string& remoteUrl, const std::string& localPath,
                          const char* expectedDigest) {
    if (!remoteUrl.empty()) {
        // URLDownloadToFile does not make missing folders; each level is made
        // in turn (a level that cannot be made shows up as a failed download).
        for (size_t at = localPath.find('\\', 3); at != std::string::npos;
             at = localPath.find('\\', at + 1))
            CreateDirectoryA(localPath.substr(0, at).c_str(), nullptr);
        const HRESULT hr = downloadWithDeadline(remoteUrl, localPath, kImageDeadlineMs);
        if (FAILED(hr))
            TDS_LOG_INFO("GetOptionsFromXmlIfOnline", "URLDownloadToFile(%s) failed: 0x%08lx",
                         remoteUrl.c_str(), static_cast<unsigned long>(hr));
    }
    // A stale or partial image from an earlier run is never shown either.
    if (expectedDigest && std::strlen(expectedDigest) == 64 &&
        verifyCheckSum(localPath.c_str(), expectedDigest, CALG_SHA_256, 32))
        return true;
    DeleteFileA(localPath.c_str());
    return false;
}

}  // namespace online_options_internal

using namespace online_options_internal;

namespace {
std::string langCode() { return Locale::getPreferred().getLangCode(); }
}  // namespace

int ParseOptionsXml(const char* documentText, char* options, size_t capacity, char* postStatusUrl,
                    char* countryLookupUrl, char* imageBaseUrl) {
    return ParseOptionsXmlFor(langCode(), documentText, options, capacity, postStatusUrl,
                              countryLookupUrl, imageBaseUrl);
}

int GetOptionsFromXmlIfOnline(char* options, size_t capacity, char* postStatusUrl,
                              char* imageBaseUrl, char* country) {
    if (!options || !postStatusUrl || !imageBaseUrl || !country || capacity == 0)
        return 0;
    options[0] = '\0';
    postStatusUrl[0] = '\0';
    imageBaseUrl[0] = '\0';
    char lookupUrl[kCountryLookupCapacity] = {};
    int answer = 0;
    try {
        const std::string url = OptionsDocumentUrl(kFamilyVersion, kFullVersion);
        HttpConnection connection(url);
        HttpConnection::Response response = connection.setInteractive(false).connect(true);
        std::string document;
        response.saveToString(document);
        answer = ParseOptionsXml(document.c_str(), options, capacity, postStatusUrl, lookupUrl,
                                 imageBaseUrl);
    } catch (const std::exception& e) {
        logException(TDS_HERE("GetOptionsFromXmlIfOnline"), e);
        options[0] = postStatusUrl[0] = imageBaseUrl[0] = '\0';
        answer = 0;
    } catch (...) {
        logUnknownException(TDS_HERE("GetOptionsFromXmlIfOnline"));
        options[0] = postStatusUrl[0] = imageBaseUrl[0] = '\0';
        answer = 0;
    }

    if (answer == 1) {
        char stored[9] = {};
        DWORD size = sizeof stored;
        if (GetPolicyValue(nullptr, "Country", stored, &size)) {
            std::strncpy(country, stored, 19);
            country[19] = '\0';
        } else {
            GetCountry(lookupUrl, country);
        }
    }

    // The image is checked whatever the document said, or whether it came at
    // all: the folder is the user's to write, and the elevated progress
    // window must never decode a file that nobody checked (a stale one, or
    // one planted there). Without an image address nothing is downloaded,
    // only checked.
    char userData[MAX_PATH] = {};
    if (GetAppDataLowDir(userData)) {
        char expected[2048] = {};
        if (LoadStringA(GetModuleHandleA(nullptr), 4008, expected, sizeof expected) <= 0)
            expected[0] = '\0';
        const std::string remote = imageBaseUrl[0] ? WelcomeImageUrl(imageBaseUrl, langCode()) : "";
        DownloadWelcomeImage(remote, WelcomeImagePath(userData, kRuntimeVersion), expected);
    }
    return answer;
}
