// Out-of-date detection: latest-version documents served by the local HTTPS
// server against runtimes seeded in both registry views; the document's
// address; display names; the rule-set file.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "foundation/http_connection.h"
#include "foundation/sys_info.h"
#include "scrub/tolva_scrub.h"
#include "scrub/tolva_scrub_internal.h"

namespace {

using tscrub::FamilyMap;
using tscrub::TolvaScrub;
using tscrub::VersionEntry;

const char kRuntimeFamily[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\";

// Runtimes of the 1.x families in both views, as the registry holds them
// after real installs (a home with bin\tolva.exe, MicroVersion, RuntimeLib).
class SeededRuntimes {
public:
    SeededRuntimes() {
        seed("1.8.0_40", KEY_WOW64_64KEY);
        seed("1.8.0_40", KEY_WOW64_32KEY);
        seed("1.8.0_60", KEY_WOW64_64KEY);
        seed("1.8.0_5", KEY_WOW64_32KEY);
        seed("1.7.0_80", KEY_WOW64_32KEY);
        seed("1.6.0_45", KEY_WOW64_64KEY);
    }
    ~SeededRuntimes() {
        for (const auto& k : seeded_)
            testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kRuntimeFamily + k.first, k.second);
    }

private:
    void seed(const std::string& version, REGSAM view) {
        const std::string home = scratch_.file(version + (view == KEY_WOW64_64KEY ? "-64" : "-32"));
        CreateDirectoryA(home.c_str(), nullptr);
        CreateDirectoryA((home + "\\bin").c_str(), nullptr);
        testutil::writeFileBytes(home + "\\bin\\tolva.exe", "MZ");
        const std::string key = kRuntimeFamily + version;
        testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "TolvaHome", REG_SZ, home.c_str(),
                              static_cast<DWORD>(home.size() + 1), view);
        testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "MicroVersion", REG_SZ, "0", 2, view);
        testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "RuntimeLib", REG_SZ, "x", 2, view);
        seeded_.push_back({version, view});
    }

    testutil::ScratchDir scratch_{"ood"};
    std::vector<std::pair<std::string, REGSAM>> seeded_;
};

// "version/bits/r" per entry, r when it lies in the removal range, "-" else.
// The list must ascend by version; entries of one version (both views) may
// come in either order, so they are described 32-bit first.
std::string describe(std::vector<VersionEntry> list) {
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                               [](const VersionEntry& a, const VersionEntry& b) { return a.version < b.version; }));
    std::stable_sort(list.begin(), list.end(), [](const VersionEntry& a, const VersionEntry& b) {
        return a.version == b.version ? a.is64 < b.is64 : a.version < b.version;
    });
    std::string out;
    for (const VersionEntry& e : list) {
        if (!out.empty())
            out += " ";
        out += e.version.source() + (e.is64 ? "/64/" : "/32/") +
               ((e.flags & VersionEntry::InRemovalRange) ? "r" : "-");
        EXPECT_EQ(e.flags & ~VersionEntry::InRemovalRange, 1u) << e.version.source();
    }
    return out;
}

std::string serve(const std::string& document) {
    const std::string name = "latest-" + testutil::uniqueTag() + ".xml";
    testutil::writeFileBytes(testutil::TestServers::get().filesDir() + "\\" + name, document);
    return testutil::TestServers::get().httpsUrl("/files/" + name);
}

const char kSeventeen[] =
    "<family id=\"1.7.0\"><latestVersion>1.7.0_70</latestVersion>"
    "<baselineVersion>1.7.0_90</baselineVersion></family>";

struct DocumentCase {
    const char* name;
    std::string document;
    const char* current;
    const char* expected;
};

class OutOfDateVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testutil::TestServers::get().ready()) << "the local test servers did not start";
    }
    SeededRuntimes runtimes_;
};

TEST_F(OutOfDateVersionsTest, GetOutOfDateVersions_DocumentsAgainstBothViews) {
    const DocumentCase cases[] = {
        {"family with only an id: baseline and range are the id itself",
         "<kessaVersions><family id=\"1.8.0\"> </family></kessaVersions>", "9.1.4_12", ""},
        {"family without ranges: range runs from the id to latestVersion",
         std::string("<?xml version=\"1.0\"?>\n<kessaVersions>\n <family id=\"1.8.0\">\n"
                     "  <latestVersion>1.8.0_60</latestVersion>\n  <baselineVersion>1.8.0_50</baselineVersion>\n"
                     " </family>\n ") + kSeventeen + "\n</kessaVersions>\n",
         "9.1.4_12", "1.7.0_80/32/- 1.8.0_5/32/r 1.8.0_40/32/r 1.8.0_40/64/r"},
        {"two families with one id: the later one counts",
         "<kessaVersions><family id=\"1.8.0\"><baselineVersion>1.8.0_50</baselineVersion></family>"
         "<family id=\"1.8.0\"><baselineVersion>1.8.0_30</baselineVersion></family></kessaVersions>",
         "9.1.4_12", "1.8.0_5/32/-"},
        {"only the first range counts",
         "<kessaVersions><family id=\"1.8.0\"><latestVersion>1.8.0_60</latestVersion>"
         "<baselineVersion>1.8.0_60</baselineVersion><ranges>"
         "<range><minVersion>1.8.0_20</minVersion><maxVersion>1.8.0_45</maxVersion></range>"
         "<range><minVersion>1.8.0</minVersion><maxVersion>1.8.0_99</maxVersion></range>"
         "</ranges></family></kessaVersions>",
         "9.1.4_12", "1.8.0_5/32/- 1.8.0_40/32/r 1.8.0_40/64/r"},
        {"a missing family makes none of its versions out of date",
         std::string("<kessaVersions>") + kSeventeen + "</kessaVersions>", "9.1.4_12", "1.7.0_80/32/-"},
        // Without latestVersion the range ends at the id itself.
        {"the version being installed is never listed",
         "<kessaVersions><family id=\"1.8.0\"><baselineVersion>1.8.0_99</baselineVersion></family></kessaVersions>",
         "1.8.0_40", "1.8.0_5/32/- 1.8.0_60/64/-"},
        {"a document that does not parse lists nothing", "", "9.1.4_12", ""},
        {"a document without kessaVersions lists nothing",
         "<other><family id=\"1.8.0\"><baselineVersion>1.8.0_99</baselineVersion></family></other>", "9.1.4_12",
         ""},
    };
    for (const DocumentCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<VersionEntry> list;
        ASSERT_NO_THROW(list = tscrub::internal::getOutOfDateVersionsFrom(serve(c.document), c.current));
        // Other runtimes of the prefix (later families) are no business of these documents.
        EXPECT_EQ(describe(list), c.expected);
    }
}

TEST_F(OutOfDateVersionsTest, GetOutOfDateVersions_DownloadFailuresThrow) {
    const testutil::TestServers& servers = testutil::TestServers::get();
    const std::string tag = testutil::uniqueTag();
    EXPECT_THROW(tscrub::internal::getOutOfDateVersionsFrom(servers.httpsUrl("/size/1048577?tag=" + tag), "9.1.4_12"),
                 HttpConnection::content_is_too_big);
    EXPECT_THROW(tscrub::internal::getOutOfDateVersionsFrom(servers.httpsUrl("/missing?tag=" + tag), "9.1.4_12"),
                 HttpConnection::http_error);
    // The document is only fetched over HTTPS.
    EXPECT_THROW(tscrub::internal::getOutOfDateVersionsFrom(servers.httpUrl("/ok?tag=" + tag), "9.1.4_12"),
                 HttpConnection::exception);
    // A body of exactly 1 MB still arrives (and parses to nothing).
    EXPECT_NO_THROW(tscrub::internal::getOutOfDateVersionsFrom(servers.httpsUrl("/size/1048576?tag=" + tag),
                                                               "9.1.4_12"));
    const auto requests = servers.requestsWith(tag);
    ASSERT_FALSE(requests.empty());
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.agent, "TolvaScrub");
    }
}

TEST(LatestVersionDocumentTest, DocumentUrl_IsTheMakersDownloadHostOverHttps) {
    const std::string url = tscrub::internal::latestVersionDocumentUrl();
    EXPECT_EQ(url, "https://download.tolva.example/update/tolvaLatestVersion.xml");
    // Test builds (only) let the end-to-end runs name a local server.
    const std::string local = "https://localhost:1/files/latest.xml";
    testutil::setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "LatestVersionXmlURL", REG_SZ, local.c_str(),
                          static_cast<DWORD>(local.size() + 1));
    const std::string configured = tscrub::internal::latestVersionDocumentUrl();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "LatestVersionXmlURL");
        RegCloseKey(key);
    }
    EXPECT_EQ(configured, local);
}

TEST(DisplayNameTest, GetDisplayName_EveryRuleAndBitness) {
    const struct {
        const char* version;
        const char* name;
    } cases[] = {
        {"1.4.2_19", "Tolva Classic Runtime Environment v1.4.2_19"},
        {"1.3.1", "Tolva Classic Runtime Environment v1.3.1"},
        {"1.5.0", "Tolva Standard Runtime Environment 5.0"},
        {"1.5.0_22", "Tolva Standard Runtime Environment 5.0 Update 22"},
        {"1.6.0", "Tolva(TM) Runtime Environment 6"},
        {"1.6.0_01", "Tolva(TM) Runtime Environment 6 Update 1"},
        {"1.6.0_02", "Tolva(TM) 6 Update 2"},
        {"1.6.1", "Tolva(TM) 6"},
        {"1.7.0_05", "Tolva(TM) 7 Update 5"},
        {"1.7.0_06", "Tolva 7 Update 6"},
        {"1.7.1_01", "Tolva 7 Update 1"},
        {"1.8.0", "Tolva 8"},
        {"1.8.0_45", "Tolva 8 Update 45"},
        {"1.12.0_3", "Tolva 12 Update 3"},
    };
    for (const auto& c : cases) {
        VersionEntry entry;
        entry.version.init(c.version);
        entry.is64 = 0;
        EXPECT_EQ(TolvaScrub::getDisplayName(entry), c.name);
        entry.is64 = 1;
        EXPECT_EQ(TolvaScrub::getDisplayName(entry), std::string(c.name) + " (64-bit)");
    }
}

TEST(DeploymentRuleSetTest, IsDeploymentRuleSetPresent_FollowsTheFile) {
    const std::string dir = SysInfo::getWindowsDir() + "\\Brask\\Tolva\\Deployment";
    const std::string file = dir + "\\DeploymentRuleSet.tlv";
    ASSERT_FALSE(testutil::fileExists(file)) << "left over by another run";
    EXPECT_FALSE(TolvaScrub::isDeploymentRuleSetPresent());
    SHCreateDirectoryExA(nullptr, dir.c_str(), nullptr);
    testutil::writeFileBytes(file, "rules");
    EXPECT_TRUE(TolvaScrub::isDeploymentRuleSetPresent());
    DeleteFileA(file.c_str());
    EXPECT_FALSE(TolvaScrub::isDeploymentRuleSetPresent());
}

}  // namespace
