// DPAPI and Base64 helpers of the update policy.
#include <gtest/gtest.h>

#include <stdexcept>

#include "au/data_protection.h"

namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

struct Base64Case {
    std::vector<uint8_t> bytes;
    std::string text;
};

class Base64Test : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Test, BothDirections_MatchKnownText) {
    EXPECT_EQ(au::binary2string(GetParam().bytes), GetParam().text);
    EXPECT_EQ(au::string2binary(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Vectors, Base64Test,
                         ::testing::Values(Base64Case{{}, ""}, Base64Case{{0x01, 0x02, 0x03}, "AQID"},
                                           Base64Case{{0xFF}, "/w=="}, Base64Case{{0, 0, 0, 0}, "AAAAAA=="}));

TEST(DataProtection, Base64OfLongData_HasNoLineBreaks) {
    const std::vector<uint8_t> bytes(300, 0xAB);
    const std::string text = au::binary2string(bytes);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(text.size(), 400u);
    EXPECT_EQ(au::string2binary(text), bytes);
}

TEST(DataProtection, String2BinaryOfInvalidText_FailsWithCode) {
    EXPECT_EQ(errorOf([] { au::string2binary("!!!!"); }).rfind("string2binary (phase1) failed, sysError=", 0), 0u);
}

TEST(DataProtection, DwordRoundTrip_BothScopes) {
    for (uint32_t value : {0u, 1u, 0x01020304u, 0xFFFFFFFFu}) {
        const std::vector<uint8_t> blob = au::encryptDword(value);
        EXPECT_GT(blob.size(), 4u);
        EXPECT_EQ(au::decryptDword(blob), value);
        const std::string text = au::encryptDwordToString(value);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(au::decryptDwordFromString(text), value);
    }
}

TEST(DataProtection, BlobOfEightBytes_IsWrongSize) {
    const std::vector<uint8_t> eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::string text = au::binary2string(au::protectData(eight, au::kMachineScope));
    EXPECT_EQ(au::unprotectData(au::string2binary(text)), eight);
    EXPECT_EQ(errorOf([&] { au::decryptDwordFromString(text); }), "decrypted data has wrong size");
    EXPECT_EQ(errorOf([&] { au::decryptDword(au::protectData({1, 2, 3}, au::kUserScope)); }),
              "decrypted data has wrong size");
}

TEST(DataProtection, GarbageBlob_FailsDecryption) {
    EXPECT_EQ(errorOf([] { au::decryptDword({1, 2, 3, 4, 5, 6, 7, 8, 9}); }).rfind("decryption failed, sysError=", 0),
              0u);
}

}  // namespace
