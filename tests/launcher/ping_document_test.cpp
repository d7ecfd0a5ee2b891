#include "launcher/install_ping_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/files.h"
#include "common/test_util.h"
#include "foundation/logger.h"
#include "foundation/online_endpoints.h"

using namespace install_ping_internal;

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <request> ";

TEST(PingDocument, Add_EscapesValuesAndKeepsOrder) {
    PingDocument doc;
    EXPECT_TRUE(doc.add("evar42", "a&b<c>d"));
    EXPECT_TRUE(doc.add("evar24", -1603));
    const std::string expected =
        kHeader + "<evar42>a&amp;b&lt;c&gt;d</evar42><evar24>-1603</evar24></request>";
    EXPECT_EQ(expected, std::string(doc.finish()));
    // finish() is idempotent and closes the document for good.
    EXPECT_FALSE(doc.add("late", "x"));
    EXPECT_EQ(expected, std::string(doc.finish()));
}

TEST(PingDocument, Add_ElementThatDoesNotFitIsLeftOutAndLogged) {
    PingDocument doc;
    const std::string big(900, 'v');
    EXPECT_TRUE(doc.add("a", big));
    EXPECT_TRUE(doc.add("b", big));
    const size_t logBefore = testutil::readFileText(Logger::getInstance().path()).size();
    // Escaping grows the value past what is left: "&" takes five characters.
    EXPECT_FALSE(doc.add("c", std::string(60, '&')));
    EXPECT_NE(std::string::npos,
              testutil::readFileText(Logger::getInstance().path()).substr(logBefore).find("<c>"));
    EXPECT_TRUE(doc.add("d", "small"));
    const std::string text = doc.finish();
    EXPECT_LT(text.size(), kPingCapacity);
    EXPECT_EQ(std::string::npos, text.find("<c>"));
    EXPECT_EQ("<d>small</d></request>", text.substr(text.size() - 22));
}

TEST(PingDocument, Finish_FooterAlwaysFitsAFullDocument) {
    PingDocument doc;
    while (doc.add("x", "0123456789")) {
    }
    // Fill the last bytes one character at a time.
    for (int n = 20; n >= 0; --n)
        doc.add("y", std::string(n, 'z'));
    const std::string text = doc.finish();
    EXPECT_LE(text.size(), kPingCapacity - 1);
    EXPECT_EQ("</request>", text.substr(text.size() - 10));
}

struct PassCase {
    std::string url;
    std::string pass;
};

class Pass : public ::testing::TestWithParam<PassCase> {};

TEST_P(Pass, PassValue_ByStatusUrl) { EXPECT_EQ(GetParam().pass, PassValue(GetParam().url)); }

INSTANTIATE_TEST_SUITE_P(
    Urls, Pass,
    ::testing::Values(PassCase{std::string(online_endpoints::kMetricsServerUrl) + "s2", "7a3c91e5"},
                      PassCase{"https://metrics.tolva.example/b/ss/,suite", "7a3c91e5"},
                      // Case-sensitive: an upper-case host is not the production one.
                      PassCase{"https://METRICS.tolva.example/b/ss/", "quillfernstok"},
                      PassCase{"https://stats.tolva.example/b/ss/", "quillfernstok"},
                      PassCase{"http://metrics.tolva.example/b/ss/", "brambleoxwhirl"},
                      PassCase{"", "brambleoxwhirl"}));

TEST(PingUrl, ReportSuiteAndPostLength_SplitAtTheFirstComma) {
    EXPECT_EQ("braskinstallstat", ReportSuiteId("https://m.tolva.example/p", nullptr));
    EXPECT_EQ("suite,more", ReportSuiteId("https://m.tolva.example/p,suite,more", nullptr));
    EXPECT_EQ("mine", ReportSuiteId("https://m.tolva.example/p,suite", "mine"));
    EXPECT_EQ("suite", ReportSuiteId("https://m.tolva.example/p,suite", ""));
    EXPECT_EQ(25u, PostUrlLength("https://m.tolva.example/p,suite,more"));
    EXPECT_EQ(25u, PostUrlLength("https://m.tolva.example/p"));
}

struct ResultCase {
    int32_t result;
    const char* status;
    bool fiuCancel;
    bool retryPending;
    int32_t reported;
};

class Results : public ::testing::TestWithParam<ResultCase> {};

TEST_P(Results, AdjustInstallResult_Mapping) {
    const ResultCase& c = GetParam();
    EXPECT_EQ(c.reported, AdjustInstallResult(c.result, c.status, c.fiuCancel, c.retryPending));
}

INSTANTIATE_TEST_SUITE_P(Cases, Results,
                         ::testing::Values(ResultCase{0, "", false, false, 0},
                                           ResultCase{1638, "", false, false, -128},
                                           ResultCase{1638, "", true, true, -128},
                                           ResultCase{1603, "exists", false, false, -128},
                                           ResultCase{1602, "exists", true, false, -128},
                                           ResultCase{1603, "", false, false, 1603},
                                           ResultCase{1602, "", true, false, -138},
                                           ResultCase{1603, "", true, true, -139},
                                           ResultCase{1618, "", true, true, 1618},
                                           ResultCase{-20, "", true, true, -20}));

struct ProductsCase {
    int32_t result;
    std::string bitness;
    const char* previous;
    const char* previous64;
    std::string status;
    std::string text;
};

class Products : public ::testing::TestWithParam<ProductsCase> {};

TEST_P(Products, ProductsText_Forms) {
    const ProductsCase& c = GetParam();
    EXPECT_EQ(c.text, ProductsText(c.result, c.bitness, c.previous, "3.1.0_9", c.previous64, c.status));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Products,
    ::testing::Values(
        ProductsCase{0, "64bit", nullptr, nullptr, "", ";kessa|0;;;;evar3=XX|evar32=64bit"},
        ProductsCase{-128, "64bit", "3.0.0_1", "2.9.0_4", "exists",
                     ";kessa|-128;;;;evar3=2.9.0_4|evar32=64bit"},
        ProductsCase{0, "32bit", "3.0.0_1", nullptr, "", ";kessa|0;;;;evar3=3.0.0_1|evar32=32bit"},
        ProductsCase{0, "32bit", "NA", nullptr, "", ";kessa|0;;;;evar3=3.1.0_9|evar32=32bit"},
        ProductsCase{0, "32bit", "X", nullptr, "", ";kessa|0;;;;evar3=3.1.0_9|evar32=32bit"},
        ProductsCase{1603, "32bit,64bit", nullptr, "", "custom",
                     ";kessa|1603;;;;evar3=3.1.0_9|evar32=32bit,;kessa|1603;;;;evar3=XX|evar32=64bit"
                     "custom"}));

TEST(PingValues, BrowserFlags_OneDigitPerBrowser) {
    EXPECT_EQ("B00000", BrowserFlags(false, false, false));
    EXPECT_EQ("B10100", BrowserFlags(true, false, true));
}

TEST(VisitorId, FormatVisitorId_PaddedToSixteenAndSplitInHalf) {
    EXPECT_EQ("123fffff-ffffffff", FormatVisitorId(1, 2, 3));
    EXPECT_EQ("ffffffff5-f37ee11a2c", FormatVisitorId(0xffffffffUL, 0x5f37ee1UL, 0x1a2cUL));
}

TEST(VisitorId, IsUsableVisitorId_SixteenCharactersOrMore) {
    EXPECT_FALSE(IsUsableVisitorId("0123456-89abcde", 32));  // 15
    EXPECT_TRUE(IsUsableVisitorId("01234567-89abcde", 32));  // 16
    EXPECT_FALSE(IsUsableVisitorId("", 32));
    EXPECT_FALSE(IsUsableVisitorId(nullptr, 32));
    const char unterminated[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                   '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    EXPECT_FALSE(IsUsableVisitorId(unterminated, sizeof unterminated));
}

TEST(PingLog, MaskPass_HidesOnlyThePassValue) {
    const std::string doc = kHeader + "<prop21>id</prop21><prop20>7a3c91e5</prop20><pagename>ic</pagename></request>";
    const std::string masked = MaskPass(doc);
    EXPECT_EQ(std::string::npos, masked.find("7a3c91e5"));
    EXPECT_NE(std::string::npos, masked.find("<prop20>********</prop20><pagename>ic</pagename>"));
    EXPECT_EQ(doc.size(), masked.size());
    EXPECT_EQ("no pass", MaskPass("no pass"));
}

}  // namespace
