// The options document fetched from the local HTTPS server, the country it
// leads to and the welcome image, against the prefix's real registry and
// user data folder. String 4008 of this program holds the SHA-256 digest of
// the image it carries as resource 1 (welcome_digest.rc.in).
#include "launcher/online_options.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "foundation/http_connection.h"
#include "foundation/locale.h"
#include "foundation/online_endpoints.h"
#include "foundation/shell_utils.h"
#include "launcher/online_options_internal.h"
#include "launcher/product_version.h"

namespace {

using namespace online_options_internal;

const char kVendorKey[] = "SOFTWARE\\TolvaSoft";
const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";

std::string imageBytes() {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    if (!loaded)
        return "";
    return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
}

std::string expectedDigest() {
    char text[128] = {};
    LoadStringA(GetModuleHandleA(nullptr), 4008, text, sizeof text);
    return text;
}

std::string langCode() { return Locale::getPreferred().getLangCode(); }

void setText(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    testutil::setRawValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string policyText(const char* name) {
    char buffer[64] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kPolicyKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "<absent>";
    return buffer;
}

// An "information" element of the options document.
std::string information(const std::string& version, const std::string& lang, const std::string& status,
                        const std::string& lookup, const std::string& image, const std::string& options) {
    return "  <information version=\"" + version + "\" xml:lang=\"" + lang + "\">\n" +
           "    <offline-options>" + options + "</offline-options>\n" + "    <post-status>" + status +
           "</post-status>\n" + "    <cntry-lookup>" + lookup + "</cntry-lookup>\n" + "    <msi-url>" + image +
           "</msi-url>\n" + "  </information>\n";
}

std::string document(const std::string& body) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tolva-update>\n" + body + "</tolva-update>\n";
}

class OnlineOptions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers().ready()) << "test servers not running";
        ASSERT_FALSE(imageBytes().empty());
        ASSERT_EQ(64u, expectedDigest().size());
        vendor_.clear();
        HttpConnection::setSilent(true);
        tag_ = testutil::uniqueTag();
        char userData[MAX_PATH] = {};
        ASSERT_TRUE(GetAppDataLowDir(userData));
        // Folders made by the test are removed again; those already there stay.
        const std::string base = std::string(userData) + "\\Brask";
        folders_ = {base, base + "\\Tolva", base + "\\Tolva\\kessa" + kRuntimeVersion};
        for (const std::string& dir : folders_)
            if (GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
                made_.push_back(dir);
        localImage_ = WelcomeImagePath(userData, kRuntimeVersion);
        DeleteFileA(localImage_.c_str());
        // The server's copy of the image, under every name a test asks for.
        testutil::writeFileBytes(servers().filesDir() + "\\Tolva3BillDevices_" + langCode() + ".jpg", imageBytes());
    }
    void TearDown() override {
        HttpConnection::setSilent(false);
        DeleteFileA(localImage_.c_str());
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }

    const testutil::TestServers& servers() const { return testutil::TestServers::get(); }
    size_t requests(const std::string& fragment) const { return servers().requestsWith(fragment).size(); }
    // Serves text as the options document of this test (through InstallerXmlURL).
    void serveDocument(const std::string& text) {
        const std::string name = "options_" + tag_ + ".xml";
        testutil::writeFileBytes(servers().filesDir() + "\\" + name, text);
        setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallerXmlURL", servers().httpsUrl("/files/" + name));
    }
    std::string statusUrl(const std::string& which) const {
        return servers().httpsUrl("/echo?tag=" + tag_ + "-" + which) + ",suite-" + which;
    }
    std::string lookupUrl(const std::string& country) const {
        return servers().httpsUrl("/country?value=" + country + "&tag=" + tag_ + "-country");
    }
    std::string imageBase() const { return servers().httpsUrl("/files/" + tag_ + "-image"); }

    struct Outputs {
        char options[256] = "junk";
        char status[256] = "junk";
        char image[256] = "junk";
        char country[20] = "";
    };
    int fetch(Outputs& out) {
        return GetOptionsFromXmlIfOnline(out.options, sizeof out.options, out.status, out.image, out.country);
    }

    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, kVendorKey};
    std::vector<std::string> folders_;
    std::vector<std::string> made_;
    std::string localImage_;
    std::string tag_;
};

TEST_F(OnlineOptions, GetOptionsFromXmlIfOnline_ValuesCountryAndImage) {
    // An element for the user's own language (when it is not English)
    // comes after the English one and wins.
    const std::string lang = langCode();
    std::string body = information("1.0", "en", statusUrl("en"), lookupUrl("SE"), imageBase(), "EN-OPTS");
    if (lang != "en")
        body += information("1.0", lang, statusUrl("own"), lookupUrl("SE"), imageBase(), "OWN-OPTS");
    body += information("2.0", lang, statusUrl("v2"), lookupUrl("DE"), imageBase(), "V2");
    serveDocument(document(body));
    Outputs out;

    EXPECT_EQ(1, fetch(out));

    const std::string which = lang == "en" ? "en" : "own";
    EXPECT_EQ(statusUrl(which), out.status);
    EXPECT_STREQ(lang == "en" ? "EN-OPTS" : "OWN-OPTS", out.options);
    EXPECT_EQ(imageBase(), out.image);
    EXPECT_EQ(1u, requests("options_" + tag_));
    EXPECT_STREQ("SE", out.country);
    EXPECT_EQ("SE", policyText("Country"));
    EXPECT_EQ(1u, requests(tag_ + "-country"));
    // The image arrived in the folder made for it and passed its check.
    const auto image = servers().requestsWith(tag_ + "-image");
    ASSERT_EQ(1u, image.size());
    EXPECT_EQ("/files/" + tag_ + "-image/Tolva3BillDevices_" + lang + ".jpg", image[0].path);
    ASSERT_TRUE(testutil::fileExists(localImage_));
    EXPECT_EQ(imageBytes(), testutil::readFileText(localImage_));
    EXPECT_EQ(0u, requests(tag_ + "-en") + requests(tag_ + "-own"));  // the ping is not sent here
}

TEST_F(OnlineOptions, GetOptionsFromXmlIfOnline_StoredCountryWins) {
    setText(HKEY_LOCAL_MACHINE, kPolicyKey, "Country", "NO");
    serveDocument(document(information("1.0", "en", statusUrl("en"), lookupUrl("SE"), imageBase(), "")));
    Outputs out;
    EXPECT_EQ(1, fetch(out));
    EXPECT_STREQ("NO", out.country);
    EXPECT_EQ(0u, requests(tag_ + "-country"));
}

TEST_F(OnlineOptions, GetOptionsFromXmlIfOnline_NoStatusUrlMeansNoCountryButTheImageIsChecked) {
    serveDocument(document(information("1.0", "en", "0", lookupUrl("SE"), imageBase(), "OPTS")));
    Outputs out;
    EXPECT_EQ(0, fetch(out));
    EXPECT_STREQ("", out.status);
    EXPECT_STREQ("OPTS", out.options);
    EXPECT_STREQ("", out.country);
    EXPECT_EQ(0u, requests(tag_ + "-country"));
    EXPECT_EQ("<absent>", policyText("Country"));
    EXPECT_EQ(1u, requests(tag_ + "-image"));
    EXPECT_EQ(imageBytes(), testutil::readFileText(localImage_));
}

// Documents that give nothing: every output is left empty.
struct BadDocument {
    const char* name;
    const char* text;  // null: nothing is served (404)
};

class OnlineOptionsBad : public OnlineOptions, public ::testing::WithParamInterface<BadDocument> {};

// Without a usable document nothing is downloaded, yet the image already in
// the user's folder is checked all the same: kept when it is ours, deleted
// when it is not, so the progress window never decodes an unchecked file.
TEST_P(OnlineOptionsBad, GetOptionsFromXmlIfOnline_AnswersZeroAndChecksTheImageInPlace) {
    if (GetParam().text) {
        serveDocument(GetParam().text);
    } else {
        setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallerXmlURL", servers().httpsUrl("/missing?tag=" + tag_));
    }
    for (const char* folder : {folders_[0].c_str(), folders_[1].c_str(), folders_[2].c_str()})
        CreateDirectoryA(folder, nullptr);
    std::string planted = imageBytes();
    planted[planted.size() / 2] ^= 0x5A;
    const struct { std::string bytes; bool kept; } images[] = {{planted, false}, {imageBytes(), true}};
    for (const auto& image : images) {
        SCOPED_TRACE(image.kept);
        testutil::writeFileBytes(localImage_, image.bytes);
        Outputs out;
        EXPECT_EQ(0, fetch(out));
        EXPECT_STREQ("", out.options);
        EXPECT_STREQ("", out.status);
        EXPECT_STREQ("", out.image);
        EXPECT_EQ(image.kept, testutil::fileExists(localImage_));
    }
    EXPECT_EQ(0u, requests(tag_ + "-image"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnlineOptionsBad,
    ::testing::Values(
        BadDocument{"NotFound", nullptr},
        BadDocument{"OtherRoot", "<tolva-updates><information version=\"1.0\" xml:lang=\"en\">"
                                 "<post-status>https://localhost/x</post-status></information></tolva-updates>"},
        BadDocument{"Truncated", "<tolva-update><information version=\"1.0\" xml:lang=\"en\"><post-st"},
        BadDocument{"Empty", ""}),
    [](const ::testing::TestParamInfo<BadDocument>& info) { return std::string(info.param.name); });

TEST_F(OnlineOptions, OptionsDocumentUrl_VendorValueOverridesTheDownloadServer) {
    EXPECT_EQ(std::string(online_endpoints::kDownloadServerUrl) + "/update/" + kFamilyVersion + "/" + kFullVersion +
                  ".xml",
              OptionsDocumentUrl(kFamilyVersion, kFullVersion));
    setText(HKEY_LOCAL_MACHINE, kVendorKey, "InstallerXmlURL", "https://localhost/own.xml");
    EXPECT_EQ("https://localhost/own.xml", OptionsDocumentUrl(kFamilyVersion, kFullVersion));
}

TEST_F(OnlineOptions, DownloadWelcomeImage_KeptOnlyWhenTheDigestMatches) {
    const std::string remote = imageBase() + "/Tolva3BillDevices_" + langCode() + ".jpg";
    EXPECT_TRUE(DownloadWelcomeImage(remote, localImage_, expectedDigest().c_str()));
    EXPECT_TRUE(testutil::fileExists(localImage_));

    std::string wrong = expectedDigest();
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    EXPECT_FALSE(DownloadWelcomeImage(remote, localImage_, wrong.c_str()));
    EXPECT_FALSE(testutil::fileExists(localImage_));

    // A 160-bit digest can never be the image's SHA-256 digest.
    EXPECT_FALSE(DownloadWelcomeImage(remote, localImage_, expectedDigest().substr(0, 40).c_str()));
    EXPECT_FALSE(testutil::fileExists(localImage_));
    EXPECT_FALSE(DownloadWelcomeImage(remote, localImage_, nullptr));
    EXPECT_FALSE(testutil::fileExists(localImage_));
}

TEST_F(OnlineOptions, DownloadWelcomeImage_StaleImageRemovedWhenTheDownloadFails) {
    CreateDirectoryA(folders_[0].c_str(), nullptr);
    CreateDirectoryA(folders_[1].c_str(), nullptr);
    CreateDirectoryA(folders_[2].c_str(), nullptr);
    testutil::writeFileBytes(localImage_, "an older image");
    EXPECT_FALSE(DownloadWelcomeImage(servers().httpsUrl("/missing?tag=" + tag_), localImage_,
                                      expectedDigest().c_str()));
    EXPECT_FALSE(testutil::fileExists(localImage_));
}

}  // namespace
