// Product codes of the runtime packages, per version band, bitness and form.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "foundation/product_versions.h"
#include "scrub/t_cleaner.h"

namespace {

struct CodeCase {
    const char* version;
    int bits;
    bool scan;
    const char* code;
};

class ProductCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ProductCodeTest, GetProductGUID_FollowsTheFamilyOfTheBand) {
    const CodeCase& c = GetParam();
    const std::string code = tscrub::TCleaner::getProductGUID(c.version, c.bits, c.scan);
    EXPECT_EQ(code, c.code) << c.version << " " << c.bits << (c.scan ? " scan" : "");
    EXPECT_EQ(code.size(), 38u) << "not of GUID length: " << code;
}

// Bands: [1.4.2, 1.6.0) older family; [1.6.0, 1.6.0_10) bitness + older tail;
// from 1.6.0_10 the newer family, short prefix from update 100.
INSTANTIATE_TEST_SUITE_P(
    Bands, ProductCodeTest,
    ::testing::Values(
        CodeCase{"1.4.2", 32, false, "{5D27C1B3-9E44-12A8-C39D-00C1E2142000}"},
        CodeCase{"1.5.0_5", 64, false, "{5D27C1B3-9E44-12A8-C39D-00C1E2150050}"},
        CodeCase{"1.5.9_99-b12", 32, false, "{5D27C1B3-9E44-12A8-C39D-00C1E2159990}"},
        CodeCase{"1.6.0", 64, false, "{6427C1B3-9E44-12A8-C39D-00C1E2160000}"},
        CodeCase{"1.6.0_9", 32, false, "{3227C1B3-9E44-12A8-C39D-00C1E2160090}"},
        CodeCase{"1.6.0_10", 64, false, "{83F16D29-7C5B-4E17-A2D6-3B96416010F0}"},
        CodeCase{"1.6.0_10", 32, true, "{83F16D29-7C5B-4E17-A2D6-3B93216010FF}"},
        CodeCase{"1.8.0_5-b3", 32, false, "{83F16D29-7C5B-4E17-A2D6-3B93218005F0}"},
        CodeCase{"1.8.0_25", 64, false, "{83F16D29-7C5B-4E17-A2D6-3B96418025F0}"},
        CodeCase{"1.8.0_100", 64, false, "{83F16D29-7C5B-4E17-A2D6-3B64180100F0}"},
        CodeCase{"1.8.0_100", 32, true, "{83F16D29-7C5B-4E17-A2D6-3B32180100FF}"},
        CodeCase{"2.0", 64, false, "{83F16D29-7C5B-4E17-A2D6-3B96420000F0}"}));

TEST(ProductCode, GetProductGUID_BelowOldestSupportedThrows) {
    try {
        tscrub::TCleaner::getProductGUID("1.4.1_99", 64, false);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "t_cleaner.cpp(38) at tscrub::TCleaner::getProductGUID(): "
                  "Tolva version less than 1.4.2 is not supported");
    }
}

TEST(ProductCode, GetProductGUID_RefusesMalformedTextsAndBitness) {
    EXPECT_THROW(tscrub::TCleaner::getProductGUID("1.8.x", 64, false), std::runtime_error);
    EXPECT_THROW(tscrub::TCleaner::getProductGUID("", 64, false), std::runtime_error);
    EXPECT_THROW(tscrub::TCleaner::getProductGUID("1.8.0", 16, false), std::runtime_error);
}

TEST(ProductCode, BuildConstantsAreOrdered) {
    EXPECT_LT(tscrub::TCleaner::getProductGUID(OldestSupportedVersion, 64, false).size(), 39u);
    EXPECT_NE(tscrub::TCleaner::getProductGUID(BitnessPrefixVersion, 64, false),
              tscrub::TCleaner::getProductGUID(BitnessPrefixVersion, 32, false));
}

}  // namespace
