#include "launcher/install_ping.h"

#include <windows.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "config/config_keys.h"
#include "config/install_config_data.h"
#include "foundation/browsers.h"
#include "foundation/logger.h"
#include "foundation/registry_view.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/trusted_url.h"
#include "foundation/tstrings.h"
#include "launcher/default_browser.h"
#include "launcher/install_ping_internal.h"
#include "launcher/kessa_metrics.h"
#include "launcher/policy_registry.h"
#include "launcher/runtime_registry.h"
#include "launcher/user_registry_flags.h"
#include "launcher/vendor_registry.h"

using namespace install_ping_internal;

namespace {

constexpr size_t kVisitorIdCapacity = 32;
constexpr size_t kPreviousVersionCapacity = 30;

std::string textOr(const char* text, const char* fallback) {
    return text && *text ? text : fallback;
}

// The visitor id and the default previous version, made once per process.
struct ProcessValues {
    char visitorId[kVisitorIdCapacity] = {};
    std::string defaultPrevious;
};

std::unique_ptr<ProcessValues>& processValuesSlot() {
    static std::unique_ptr<ProcessValues> values;
    return values;
}

ProcessValues& processValues() {
    std::unique_ptr<ProcessValues>& slot = processValuesSlot();
    if (!slot) {
        auto v = std::make_unique<ProcessValues>();
        MakeVisitorId(v->visitorId, sizeof v->visitorId);
        char previous[128] = {};
        v->defaultPrevious = GetPreviousKessaVersion(previous) ? previous : "XX";
        if (v->defaultPrevious.size() >= kPreviousVersionCapacity)
            v->defaultPrevious.resize(kPreviousVersionCapacity - 1);
        slot = std::move(v);
    }
    return *slot;
}

std::string policyMethod() {
    char method[21] = {};
    DWORD size = sizeof method;
    if (!GetPolicyValue(nullptr, "Method", method, &size) || !method[0])
        return "XX";
    return method;
}

}  // namespace

namespace install_ping_internal {
void ResetProcessValues() { processValuesSlot().reset(); }
}  // namespace install_ping_internal

namespace {

}  // namespace

bool MakeVisitorId(char* buffer, size_t capacity) {
    if (!buffer || capacity < kVisitorIdCapacity)
        return false;
    std::memset(buffer, 0, capacity);
    DWORD size = static_cast<DWORD>(kVisitorIdCapacity);
    if (GetPolicyValue(nullptr, "VisitorId", buffer, &size) && IsUsableVisitorId(buffer, capacity))
        return true;
    const std::string id = FormatVisitorId(GetTickCount(), static_cast<unsigned long>(time(nullptr)),
                                           GetCurrentProcessId());
    std::memset(buffer, 0, capacity);
    std::memcpy(buffer, id.c_str(), id.size() < capacity ? id.size() : capacity - 1);
    return SetPolicyValue(nullptr, "VisitorId", buffer);
}

int SendInstallPing(const char* statusUrl, const char* method, const char* pageCode,
                    const char* country, const char* version, const char* previousVersion,
                    const char* version2, const char* arg8, int32_t installResult, int32_t auResult,
                    const char* installedAUVersion, const char* packagedAUVersion,
                    const char* previous64Version, const char* bitnessText, const char* arg15,
                    const char* arg16, const char* reportSuiteOverride, const char* deployStatus,
                    int32_t msiStatusError, int32_t msiStatusExtendedError) {
    return SendHeadRequest(statusUrl, method, pageCode, country, version, previousVersion, version2,
                           arg8, installResult, auResult, installedAUVersion, packagedAUVersion, -1,
                           previous64Version, bitnessText, arg15, arg16, reportSuiteOverride,
                           deployStatus, msiStatusError, msiStatusExtendedError);
}

int SendHeadRequest(const char* statusUrl, const char* method, const char* pageCode,
                    const char* country, const char* version, const char* previousVersion,
                    const char* version2, const char* arg8, int32_t installResult, int32_t auResult,
                    const char* installedAUVersion, const char* packagedAUVersion, int32_t evar30,
                    const char* previous64Version, const char* bitnessText, const char* arg15,
                    const char* arg16, const char* reportSuiteOverride, const char* deployStatus,
                    int32_t msiStatusError, int32_t msiStatusExtendedError) {
    try {
        if (!GetSwitchValue(kSwitchWebAnalytics)) {
            TDS_LOG_INFO("SendHeadRequest", "%s", "Pings disabled.");
            return 1;
        }
        TDS_LOG_INFO("SendHeadRequest", "%s", "Pings enabled");
        const std::string url = statusUrl ? statusUrl : "";
        if (url.empty() || !IsTrustedUrl(url.c_str())) {
            TDS_LOG_ERROR("SendHeadRequest", "No pings: unallowed url: %s", url.c_str());
            return 1;
        }
        ProcessValues& values = processValues();
        const std::string page = textOr(pageCode, "");
        const bool install = page == "ic";
        const bool running32 = IsRunning32Bit();
        const std::string bitness = textOr(bitnessText, running32 ? "32bit" : "64bit");

        PingDocument doc;
        doc.add("sc_xml_ver", "1.0");
        doc.add("reportsuiteid", ReportSuiteId(url, reportSuiteOverride));
        doc.add("visitorid", values.visitorId);
        doc.add("prop21", values.visitorId);
        doc.add("prop20", PassValue(url));
        doc.add("pagename", page);
        doc.add("evar42", textOr(deployStatus, "XX"));
        doc.add("evar24", msiStatusError);
        doc.add("evar25", msiStatusExtendedError);
        doc.add("evar2", textOr(version, ""));
        if (install) {
            doc.add("evar15", version2 && std::strlen(version2) >= 2 ? version2 : "XX");
            doc.add("evar40", static_cast<int32_t>(TakeOfferedSPCount()));
            doc.add("evar26", auResult);
            doc.add("evar27", textOr(packagedAUVersion, ""));
            doc.add("evar28", textOr(installedAUVersion, ""));
        }
        doc.add("evar4", running32 ? "i586" : "amd64");
        doc.add("evar5", SysInfo::getArchitecture());
        doc.add("evar6", SysInfo::getOsName());
        doc.add("evar7", method ? std::string(method) : policyMethod());
        doc.add("evar8", textOr(country, ""));

        if (install) {
            doc.add("events", "event6,event7");
            char statusText[512] = {};
            if (!GetTolvaSoftRegValue("InstallStatus", statusText, sizeof statusText))
                statusText[0] = '\0';
            SetInstallStatus(nullptr);
            const std::string status = statusText;
            if (status == "reinstall") {
                TDS_LOG_INFO("SendHeadRequest", "%s", "No pings: reinstall");
                return 1;
            }
            const bool fiuCancel = TakeFIUCancel();
            const int32_t result =
                AdjustInstallResult(installResult, status, fiuCancel, IsRunOnceRetryPending());
            if (!(result == 0 && status != "decline")) {
                SetPolicyValue(nullptr, "VisitorId", nullptr);
                SetPolicyValue(nullptr, "Method", nullptr);
            }
            char machineCounted[16] = "XX", updateCount[16] = "XX", attempts[16] = "XX";
            GetUpdatedKessaMetrics(textOr(version, "").c_str(), result, machineCounted, updateCount,
                                   attempts, sizeof machineCounted);
            doc.add("evar17", attempts);
            doc.add("evar18", machineCounted);
            doc.add("evar19", updateCount);
            doc.add("evar29", static_cast<int32_t>(GetDefaultBrowserCode()));
            doc.add("evar30", evar30);
            doc.add("evar31", bitness);
            doc.add("evar50", BrowserFlags(browsers::isInstalled(browsers::INTERNET_EXPLORER, running32),
                                           browsers::isInstalled(browsers::FIREFOX, running32),
                                           browsers::isInstalled(browsers::CHROME, running32)));
            if (status == "decline") {
                TDS_LOG_INFO("SendHeadRequest", "%s", "No pings: decline");
                return 1;
            }
            doc.add("products", ProductsText(result, bitness, previousVersion, values.defaultPrevious,
                                             previous64Version, status));
        }
        return SendHeadRequest(url.c_str(), PostUrlLength(url), doc.finish());
    } catch (const std::exception& e) {
        logException(TDS_HERE("SendHeadRequest"), e);
    } catch (...) {
        logUnknownException(TDS_HERE("SendHeadRequest"));
    }
    return 0;
}
