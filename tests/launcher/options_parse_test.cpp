#include "launcher/online_options_internal.h"

#include <gtest/gtest.h>

#include <string>

using online_options_internal::ParseOptionsXmlFor;

namespace {

struct Outputs {
    char options[256] = "o";
    char status[256] = "s";
    char lookup[256] = "l";
    char image[256] = "i";
};

int parse(const std::string& lang, const std::string& doc, Outputs& out, size_t capacity = 256) {
    return ParseOptionsXmlFor(lang, doc.c_str(), out.options, capacity, out.status, out.lookup, out.image);
}

const char kTwoLanguages[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- options -->\n"
    "<tolva-update>\n"
    "  <information version=\"1.0\" xml:lang=\"en\">\n"
    "    <offline-options>EN-OPTS</offline-options>\n"
    "    <post-status>https://metrics.tolva.example/b/ss/,suite-en\n</post-status>\n"
    "    <cntry-lookup>https://www.tolva.example/country</cntry-lookup>\n"
    "    <msi-url>https://download.tolva.example/img/en</msi-url>\n"
    "  </information>\n"
    "  <information version=\"1.0\" xml:lang=\"de\">\n"
    "    <post-status>https://metrics.tolva.example/b/ss/,suite-de</post-status>\n"
    "    <msi-url>https://download.tolva.example/img/de</msi-url>\n"
    "  </information>\n"
    "</tolva-update>\n";

TEST(OptionsParse, ParseOptionsXml_OwnLanguageReplacesEnglish) {
    Outputs out;
    EXPECT_EQ(1, parse("de", kTwoLanguages, out));
    EXPECT_STREQ("https://metrics.tolva.example/b/ss/,suite-de", out.status);
    EXPECT_STREQ("https://download.tolva.example/img/de", out.image);
    // What the German element lacks stays as the English one gave it.
    EXPECT_STREQ("EN-OPTS", out.options);
    EXPECT_STREQ("https://www.tolva.example/country", out.lookup);
}

TEST(OptionsParse, ParseOptionsXml_EnglishForAnotherLanguageTrimmed) {
    Outputs out;
    EXPECT_EQ(1, parse("ja", kTwoLanguages, out));
    // The line break before the end tag is not part of the address.
    EXPECT_STREQ("https://metrics.tolva.example/b/ss/,suite-en", out.status);
    EXPECT_STREQ("https://download.tolva.example/img/en", out.image);
}

TEST(OptionsParse, ParseOptionsXml_ValuesCutToCapacity) {
    Outputs out;
    EXPECT_EQ(1, parse("ja", kTwoLanguages, out, 9));
    EXPECT_STREQ("https://", out.status);
    EXPECT_STREQ("EN-OPTS", out.options);
    // The lookup address has a capacity of its own.
    EXPECT_STREQ("https://www.tolva.example/country", out.lookup);
}

struct Doc {
    const char* name;
    std::string lang;
    std::string text;
    int answer;
    const char* status;
};

class Documents : public ::testing::TestWithParam<Doc> {};

TEST_P(Documents, ParseOptionsXml_Table) {
    Outputs out;
    EXPECT_EQ(GetParam().answer, parse(GetParam().lang, GetParam().text, out));
    EXPECT_STREQ(GetParam().status, out.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Documents,
    ::testing::Values(
        Doc{"Empty", "en", "", 0, "s"},
        Doc{"OtherRoot", "en",
            "<other><information version=\"1.0\" xml:lang=\"en\"><post-status>https://a</post-status>"
            "</information></other>",
            0, "s"},
        Doc{"StatusZero", "en",
            "<tolva-update><information version=\"1.0\" xml:lang=\"en\"><post-status>0</post-status>"
            "</information></tolva-update>",
            0, "s"},
        Doc{"WrongVersion", "en",
            "<tolva-update><information version=\"2.0\" xml:lang=\"en\"><post-status>https://a</post-status>"
            "</information></tolva-update>",
            0, "s"},
        Doc{"NoLang", "en",
            "<tolva-update><information version=\"1.0\"><post-status>https://a</post-status>"
            "</information></tolva-update>",
            0, "s"},
        Doc{"LaterElementWithoutStatus", "pt_BR",
            "<tolva-update><information version=\"1.0\" xml:lang=\"en\"><post-status>https://a</post-status>"
            "</information><information version=\"1.0\" xml:lang=\"pt_BR\"><msi-url>x</msi-url>"
            "</information></tolva-update>",
            0, "https://a"},
        Doc{"EntitiesDecoded", "zh",
            "<tolva-update><information version=\"1.0\" xml:lang=\"zh\">"
            "<post-status>https://a/?x=1&amp;y=2</post-status></information></tolva-update>",
            1, "https://a/?x=1&y=2"},
        Doc{"Truncated", "en", "<tolva-update><information version=\"1.0\" xml:lang=\"en\"><post-st", 0,
            "s"}),
    [](const ::testing::TestParamInfo<Doc>& info) { return std::string(info.param.name); });

TEST(OptionsParse, ParseOptionsXml_EveryPrefixOfTheDocumentIsSafe) {
    const std::string doc = kTwoLanguages;
    for (size_t n = 0; n <= doc.size(); ++n) {
        Outputs out;
        const int answer = parse("de", doc.substr(0, n), out);
        EXPECT_TRUE(answer == 0 || answer == 1);
    }
}

TEST(OptionsParse, ImagePaths_FollowTheNamingScheme) {
    EXPECT_EQ("https://d.tolva.example/img/Tolva3BillDevices_pt_BR.jpg",
              online_options_internal::WelcomeImageUrl("https://d.tolva.example/img", "pt_BR"));
    EXPECT_EQ("C:\\data\\Brask\\Tolva\\kessa3.2.1_15\\Tolva3BillDevices.jpg",
              online_options_internal::WelcomeImagePath("C:\\data", "3.2.1_15"));
}

}  // namespace
