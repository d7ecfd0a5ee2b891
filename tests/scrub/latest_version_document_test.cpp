// The latest-version document's families: defaults, element texts, skipped
// families and the two version tests. Portable: also runs natively under the
// sanitizers, whose leak check covers the parse that ends in an error.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "scrub/tolva_scrub.h"

namespace {

using tscrub::FamilyMap;
using tscrub::TolvaScrub;

// The five versions of the family "1.8.0" after parsing doc, as
// "family latest baseline min max"; "none" without that family.
std::string family(const std::string& doc) {
    FamilyMap map;
    TolvaScrub::parseLatestVersionDocument(map, doc);
    const auto f = TolvaScrub::findFamily(map, TolvaVersion("1.8.0_33"));
    if (!f)
        return "none";
    return f->family.source() + " " + f->latestVersion.source() + " " + f->baselineVersion.source() + " " +
           f->minVersion.source() + " " + f->maxVersion.source();
}

TEST(LatestVersionDocumentTest, ParseLatestVersionDocument_DefaultsAndTexts) {
    const struct {
        const char* doc;
        const char* expected;
    } cases[] = {
        {"<kessaVersions><family id=\"1.8.0\">x</family></kessaVersions>", "1.8.0 1.8.0 1.8.0 1.8.0 1.8.0"},
        {"<kessaVersions><family id=\"1.8.0\"><latestVersion>1.8.0_60</latestVersion></family></kessaVersions>",
         "1.8.0 1.8.0_60 1.8.0 1.8.0 1.8.0_60"},
        {"<kessaVersions><family id=\"1.8.0\"><ranges><range><maxVersion>1.8.0_9</maxVersion></range></ranges>"
         "<latestVersion>1.8.0_60</latestVersion></family></kessaVersions>",
         "1.8.0 1.8.0_60 1.8.0 1.8.0 1.8.0_9"},
        // Only a text node is an element's text: markup inside leaves the default.
        {"<kessaVersions><family id=\"1.8.0\"><baselineVersion><b>1.8.0_50</b></baselineVersion>"
         "<latestVersion></latestVersion></family></kessaVersions>",
         "1.8.0 1.8.0 1.8.0 1.8.0 1.8.0"},
        // A family without children or without an id is skipped; other
        // elements among the families are not families.
        {"<kessaVersions><family id=\"1.8.0\"/></kessaVersions>", "none"},
        {"<kessaVersions><family><latestVersion>1.8.0_60</latestVersion></family></kessaVersions>", "none"},
        {"<kessaVersions><family id=\"1.7.0\">x</family><other id=\"1.8.0\">x</other></kessaVersions>", "none"},
        {"<kessaVersions><note/><family id=\"1.8.0\">x</family></kessaVersions>", "1.8.0 1.8.0 1.8.0 1.8.0 1.8.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(family(c.doc), c.expected) << c.doc;
}

TEST(LatestVersionDocumentTest, ParseLatestVersionDocument_ResultAndBadVersionTexts) {
    FamilyMap map;
    EXPECT_FALSE(TolvaScrub::parseLatestVersionDocument(map, ""));
    EXPECT_TRUE(TolvaScrub::parseLatestVersionDocument(map, "<kessaVersions/>"));
    EXPECT_TRUE(map.empty());
    // A version text that is no version ends the parse with the parser's error.
    EXPECT_THROW(TolvaScrub::parseLatestVersionDocument(
                     map, "<kessaVersions><family id=\"1.8.0\"><baselineVersion>1.8.x</baselineVersion>"
                          "</family></kessaVersions>"),
                 std::runtime_error);
}

TEST(LatestVersionDocumentTest, VersionTests_BaselineAndRange) {
    FamilyMap map;
    TolvaScrub::parseLatestVersionDocument(
        map, "<kessaVersions><family id=\"1.8.0\"><baselineVersion>1.8.0_50</baselineVersion><ranges><range>"
             "<minVersion>1.8.0_10</minVersion><maxVersion>1.8.0_40</maxVersion></range></ranges></family>"
             "</kessaVersions>");
    const struct {
        const char* version;
        bool below;
        bool inRange;
    } cases[] = {
        {"1.8.0_9", true, false},   {"1.8.0_10", true, true},   {"1.8.0_40", true, true},
        {"1.8.0_41", true, false},  {"1.8.0_49", true, false},  {"1.8.0_50", false, false},
        {"1.8.0_50-b3", false, false}, {"1.8.0_49-b99", true, false}, {"1.7.0_1", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TolvaScrub::isBelowBaseline(map, c.version), c.below) << c.version;
        EXPECT_EQ(TolvaScrub::isInRemovalRange(map, c.version), c.inRange) << c.version;
    }
}

}  // namespace
