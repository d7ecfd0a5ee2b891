// The whole install-status ping against the local HTTPS server and the
// prefix's real registry: the document that arrives, the values it takes
// from and leaves in the registry, and the cases that send nothing.
#include "launcher/install_ping.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/log_capture.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "config/install_config_data.h"
#include "foundation/browsers.h"
#include "foundation/online_endpoints.h"
#include "foundation/registry_view_internal.h"
#include "foundation/sys_info.h"
#include "foundation/xml_reader.h"
#include "launcher/default_browser.h"
#include "launcher/install_ping_internal.h"

namespace {

using Elements = std::vector<std::pair<std::string, std::string>>;

const char kVendorKey[] = "SOFTWARE\\TolvaSoft";
const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";
const char kMetricsKey[] = "Software\\KessaMetrics";
const char kRuntimesKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kStoredVisitorId[] = "0123456789abcdef-0123";

Elements elementsOf(const std::string& document) {
    Elements out;
    XmlNode* top = XmlParse(document.c_str());
    XmlNode* request = XmlFindElement(top, "request");
    for (XmlNode* e = request ? request->child : nullptr; e; e = e->next) {
        if (e->kind == XmlNode::ELEMENT)
            out.push_back({e->name, e->child && e->child->kind == XmlNode::TEXT ? e->child->name : ""});
    }
    XmlFreeNode(top);
    return out;
}

std::string value(const Elements& elements, const std::string& name) {
    for (const auto& e : elements)
        if (e.first == name)
            return e.second;
    return "<absent>";
}

void setText(HKEY root, const std::string& key, const std::string& name, const std::string& text,
             REGSAM view = 0) {
    testutil::setRawValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1), view);
}

void setDword(HKEY root, const std::string& key, const std::string& name, DWORD v, REGSAM view = 0) {
    testutil::setRawValue(root, key, name, REG_DWORD, &v, sizeof v, view);
}

bool valueExists(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(k);
    return found;
}

std::string textValue(HKEY root, const std::string& key, const std::string& name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "<absent>";
    return buffer;
}

// The arguments of one ping, the main flow's defaults filled in.
struct PingArgs {
    std::string statusUrl;
    const char* method = "dlm";
    const char* pageCode = "ic";
    const char* country = "SE";
    const char* version = "1.8.0_201-b09";
    const char* previousVersion = "1.8.0_191";
    const char* version2 = "1.8.0_201";
    int32_t installResult = 0;
    int32_t auResult = 0;
    const char* installedAUVersion = "2.8.0.5";
    const char* packagedAUVersion = "2.8.201.9";
    const char* previous64Version = nullptr;
    const char* deployStatus = "ok";
    int32_t msiStatusError = 0;
    int32_t msiStatusExtendedError = 0;

    int send() const {
        return SendInstallPing(statusUrl.c_str(), method, pageCode, country, version, previousVersion,
                               version2, nullptr, installResult, auResult, installedAUVersion,
                               packagedAUVersion, previous64Version, nullptr, nullptr, nullptr,
                               nullptr, deployStatus, msiStatusError, msiStatusExtendedError);
    }
};

class InstallPing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testutil::TestServers::get().ready()) << "test servers not running";
        vendor_.clear();
        metrics_.clear();
        userVendor_.clear();
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunOnceKey, "TolvaInstallRetry");
        setText(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId", kStoredVisitorId);
        install_ping_internal::ResetProcessValues();
        tag_ = testutil::uniqueTag();
        args_.statusUrl = servers().httpsUrl("/echo?tag=" + tag_) + ",mysuite";
    }
    void TearDown() override {
        registry_view_internal::setRunning32BitForTesting(-1);
        install_ping_internal::ResetProcessValues();
    }

    const testutil::TestServers& servers() const { return testutil::TestServers::get(); }
    std::vector<testutil::RecordedRequest> sent() const { return servers().requestsWith(tag_); }
    // The elements of the one request the ping made.
    Elements postedElements() const {
        const auto requests = sent();
        EXPECT_EQ(1u, requests.size());
        if (requests.size() != 1)
            return {};
        EXPECT_EQ("POST", requests[0].method);
        EXPECT_EQ("tupdate", requests[0].agent);
        EXPECT_EQ("/echo?tag=" + tag_, requests[0].path);
        return elementsOf(requests[0].body);
    }

    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, kVendorKey};
    testutil::ScopedRegBackup metrics_{HKEY_LOCAL_MACHINE, kMetricsKey, KEY_WOW64_32KEY};
    testutil::ScopedRegBackup userVendor_{HKEY_CURRENT_USER, "Software\\TolvaSoft"};
    testutil::ScopedRegBackup runOnce_{HKEY_CURRENT_USER, kRunOnceKey};
    std::string tag_;
    PingArgs args_;
};

TEST_F(InstallPing, SendInstallPing_PostsEveryElementInOrder) {
    setDword(HKEY_LOCAL_MACHINE, kMetricsKey, "OfferedSPCnt", 3, KEY_WOW64_32KEY);
    args_.deployStatus = "ok<&>";
    args_.msiStatusError = 1603;
    args_.msiStatusExtendedError = -2;

    EXPECT_EQ(1, args_.send());

    const bool ie = browsers::isInstalled(browsers::INTERNET_EXPLORER, false);
    const bool firefox = browsers::isInstalled(browsers::FIREFOX, false);
    const bool chrome = browsers::isInstalled(browsers::CHROME, false);
    const Elements expected = {
        {"sc_xml_ver", "1.0"},
        {"reportsuiteid", "mysuite"},
        {"visitorid", kStoredVisitorId},
        {"prop21", kStoredVisitorId},
        {"prop20", online_endpoints::kTestPass},
        {"pagename", "ic"},
        {"evar42", "ok<&>"},
        {"evar24", "1603"},
        {"evar25", "-2"},
        {"evar2", "1.8.0_201-b09"},
        {"evar15", "1.8.0_201"},
        {"evar40", "3"},
        {"evar26", "0"},
        {"evar27", "2.8.201.9"},
        {"evar28", "2.8.0.5"},
        {"evar4", "amd64"},
        {"evar5", SysInfo::getArchitecture()},
        {"evar6", SysInfo::getOsName()},
        {"evar7", "dlm"},
        {"evar8", "SE"},
        {"events", "event6,event7"},
        {"evar17", "1"},
        {"evar18", "false"},  // counted for the first time now
        {"evar19", "0"},
        {"evar29", std::to_string(GetDefaultBrowserCode())},
        {"evar30", "-1"},
        {"evar31", "64bit"},
        {"evar50", std::string("B") + (ie ? "1" : "0") + (firefox ? "1" : "0") + (chrome ? "1" : "0") + "00"},
        {"products", ";kessa|0;;;;evar3=XX|evar32=64bit"},
    };
    EXPECT_EQ(expected, postedElements());
    // Taken once; a successful run keeps the visitor.
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "OfferedSPCnt", KEY_WOW64_32KEY));
    EXPECT_EQ(kStoredVisitorId, textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));
}

TEST_F(InstallPing, SendInstallPing_ThirtyTwoBitProductsAndStatusText) {
    registry_view_internal::setRunning32BitForTesting(1);
    setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus", "upgrade");
    args_.previousVersion = "NA";  // the newest other installed runtime stands in
    args_.method = nullptr;        // the Policy's Method stands in
    setText(HKEY_LOCAL_MACHINE, kPolicyKey, "Method", "mgr");
    RegCloseKey([] {
        HKEY k = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kRuntimesKey) + "\\1.8.0_151").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &k, nullptr);
        return k;
    }());
    args_.deployStatus = nullptr;
    args_.version2 = "1";

    EXPECT_EQ(1, args_.send());

    const Elements elements = postedElements();
    EXPECT_EQ("i586", value(elements, "evar4"));
    EXPECT_EQ("32bit", value(elements, "evar31"));
    EXPECT_EQ("mgr", value(elements, "evar7"));
    EXPECT_EQ("XX", value(elements, "evar42"));
    EXPECT_EQ("XX", value(elements, "evar15"));
    EXPECT_EQ(";kessa|0;;;;evar3=1.8.0_151|evar32=32bitupgrade", value(elements, "products"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
}

TEST_F(InstallPing, SendInstallPing_CancelOnTheFolderPage) {
    args_.installResult = -20;
    args_.auResult = -99;
    args_.deployStatus = nullptr;
    args_.previous64Version = "1.8.0_181";

    EXPECT_EQ(1, args_.send());

    const Elements elements = postedElements();
    EXPECT_EQ("XX", value(elements, "evar42"));
    EXPECT_EQ("0", value(elements, "evar24"));
    EXPECT_EQ("0", value(elements, "evar25"));
    EXPECT_EQ("-99", value(elements, "evar26"));
    EXPECT_EQ("ZZ", value(elements, "evar18"));  // never counted, and not now
    EXPECT_EQ(";kessa|-20;;;;evar3=1.8.0_181|evar32=64bit", value(elements, "products"));
    // A run that did not succeed forgets the visitor and the method.
    EXPECT_EQ("<absent>", textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "InstallAttempts", KEY_WOW64_32KEY));
}

TEST_F(InstallPing, SendInstallPing_AlreadyCancelledResultReportedAsNeutral) {
    args_.installResult = 1638;
    EXPECT_EQ(1, args_.send());
    EXPECT_EQ(";kessa|-128;;;;evar3=XX|evar32=64bit", value(postedElements(), "products"));
    // -128 is neither a success nor a failed attempt for the counters.
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "InstallAttempts", KEY_WOW64_32KEY));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "MachineCount", KEY_WOW64_32KEY));
    EXPECT_EQ("<absent>", textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));
}

TEST_F(InstallPing, SendInstallPing_FirstInstallCancelAndPendingRetry) {
    setText(HKEY_CURRENT_USER, "Software\\TolvaSoft\\FIUCancel", "x", "");
    args_.installResult = 1602;
    EXPECT_EQ(1, args_.send());
    EXPECT_EQ(";kessa|-138;;;;evar3=XX|evar32=64bit", value(postedElements(), "products"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "InstallAttempts", KEY_WOW64_32KEY));

    tag_ = testutil::uniqueTag();
    args_.statusUrl = servers().httpsUrl("/echo?tag=" + tag_);
    setText(HKEY_CURRENT_USER, "Software\\TolvaSoft\\FIUCancel", "x", "");
    setText(HKEY_CURRENT_USER, kRunOnceKey, "TolvaInstallRetry", "C:\\t\\kessa-setup.exe /retry");
    args_.installResult = 1603;
    EXPECT_EQ(1, args_.send());
    const Elements elements = postedElements();
    EXPECT_EQ(";kessa|-139;;;;evar3=XX|evar32=64bit", value(elements, "products"));
    EXPECT_EQ("2", value(elements, "evar17"));  // the second failed attempt of this version
    EXPECT_EQ(online_endpoints::kReportSuite, value(elements, "reportsuiteid"));
}

TEST_F(InstallPing, SendInstallPing_OtherPagesSendOnlyTheCommonElements) {
    setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus", "reinstall");
    args_.pageCode = "xc";
    EXPECT_EQ(1, args_.send());
    const Elements elements = postedElements();
    ASSERT_EQ(15u, elements.size());
    EXPECT_EQ("evar2", elements[9].first);
    EXPECT_EQ("evar4", elements[10].first);
    EXPECT_EQ("evar8", elements[14].first);
    // Only an install consumes the package's status.
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
}

TEST_F(InstallPing, SendInstallPing_PostingFailureAnswersZero) {
    args_.statusUrl = servers().httpsUrl("/missing?tag=" + tag_);
    EXPECT_EQ(0, args_.send());
    EXPECT_EQ(1u, sent().size());
}

// Each case that must not reach the network.
struct NoPingCase {
    const char* name;
    const char* installStatus;  // seeded InstallStatus, or null
    int urlKind;                // 0 the server, 1 plain http, 2 empty, 3 a foreign host
    bool pingsDisabled;
    const char* logLine;
};

class NoPing : public InstallPing, public ::testing::WithParamInterface<NoPingCase> {};

TEST_P(NoPing, SendInstallPing_SendsNothing) {
    const NoPingCase& c = GetParam();
    if (c.installStatus)
        setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus", c.installStatus);
    if (c.urlKind == 1)
        args_.statusUrl = servers().httpUrl("/echo?tag=" + tag_);
    else if (c.urlKind == 2)
        args_.statusUrl = "";
    else if (c.urlKind == 3)
        args_.statusUrl = "https://metrics.elsewhere.example/echo?tag=" + tag_;
    if (c.pingsDisabled) {
        ASSERT_EQ(0, GetSettingsConfig().importFromString("WEB_ANALYTICS=Disable\n"));
    }
    testutil::LogCapture log;

    const int answer = args_.send();
    if (c.pingsDisabled) {
        ASSERT_EQ(0, GetSettingsConfig().importFromString("WEB_ANALYTICS=Enable\n"));
    }

    EXPECT_EQ(1, answer);
    EXPECT_TRUE(log.contains(c.logLine)) << log.text();
    EXPECT_FALSE(log.contains("Ping Values: "));
    EXPECT_TRUE(sent().empty());
    if (c.installStatus) {
        // The status is consumed either way.
        EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoPing,
    ::testing::Values(NoPingCase{"Disabled", nullptr, 0, true, "Pings disabled."},
                      NoPingCase{"PlainHttp", nullptr, 1, false, "No pings: unallowed url: http://127.0.0.1"},
                      NoPingCase{"EmptyUrl", nullptr, 2, false, "No pings: unallowed url: "},
                      NoPingCase{"ForeignHost", nullptr, 3, false,
                                 "No pings: unallowed url: https://metrics.elsewhere.example/"},
                      NoPingCase{"Reinstall", "reinstall", 0, false, "No pings: reinstall"},
                      NoPingCase{"Decline", "decline", 0, false, "No pings: decline"}),
    [](const ::testing::TestParamInfo<NoPingCase>& info) { return std::string(info.param.name); });

TEST_F(InstallPing, SendInstallPing_DeclineStillCountsAndForgetsTheVisitor) {
    setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus", "decline");
    EXPECT_EQ(1, args_.send());
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kMetricsKey, "MachineCount", KEY_WOW64_32KEY));
    EXPECT_EQ("<absent>", textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));
}

TEST_F(InstallPing, MakeVisitorId_KeepsSixteenCharactersAndReplacesFifteen) {
    char id[32] = {};
    setText(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId", "0123456789abcdef");
    EXPECT_TRUE(MakeVisitorId(id, sizeof id));
    EXPECT_STREQ("0123456789abcdef", id);

    // Stored without its NUL, as the Policy writes it.
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId", REG_SZ, "0123456789abcde", 15);
    EXPECT_TRUE(MakeVisitorId(id, sizeof id));
    const std::string made = id;
    EXPECT_NE("0123456789abcde", made);
    ASSERT_GE(made.size(), 17u);
    const size_t dash = made.find('-');
    EXPECT_EQ((made.size() - 1) / 2, dash) << made;
    EXPECT_EQ(std::string::npos, made.find_first_not_of("0123456789abcdef-"));
    EXPECT_EQ(made, textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));

    // What was made and stored is kept by the next run.
    char again[32] = {};
    EXPECT_TRUE(MakeVisitorId(again, sizeof again));
    EXPECT_EQ(made, again);
}

TEST_F(InstallPing, SendInstallPing_NewVisitorIdWhenNoneIsStored) {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId");
    EXPECT_EQ(1, args_.send());
    const Elements elements = postedElements();
    const std::string id = value(elements, "visitorid");
    EXPECT_GE(id.size(), 17u);
    EXPECT_EQ(id, value(elements, "prop21"));
    EXPECT_EQ(id, textValue(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));
}

}  // namespace
