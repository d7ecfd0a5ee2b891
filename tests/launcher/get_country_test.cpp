// The country lookup against the local HTTPS server and the prefix's real
// Policy key (copied first and put back afterwards).
#include "launcher/file_digest.h"

#include "common/test_servers.h"
#include "common/test_util.h"
#include "foundation/http_connection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";

std::string storedCountry() {
    char value[16] = {};
    DWORD size = sizeof(value) - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kPolicyKey, "Country", RRF_RT_REG_SZ | RRF_NOEXPAND,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return "";
    return value;
}

class GetCountryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testutil::TestServers::get().ready());
        tag_ = testutil::uniqueTag();
        policy_.clear();
        // A silent run never waits on a WinINet dialog.
        HttpConnection::setSilent(true);
    }
    void TearDown() override { HttpConnection::setSilent(false); }
    testutil::ScopedRegBackup policy_{HKEY_LOCAL_MACHINE, kPolicyKey};
    // The test server's certificate names localhost, a trusted host in test builds.
    std::string url(const std::string& value) const {
        return testutil::TestServers::get().httpsUrl("/country?value=" + value + "&tag=" + tag_);
    }
    size_t requests() const { return testutil::TestServers::get().requestsWith(tag_).size(); }
    std::string tag_;
};

TEST_F(GetCountryTest, GetCountry_HeaderStoredInPolicy) {
    char out[3] = {};
    EXPECT_TRUE(GetCountry(url("SE").c_str(), out));
    EXPECT_STREQ(out, "SE");
    EXPECT_EQ(storedCountry(), "SE");
    const auto sent = testutil::TestServers::get().requestsWith(tag_);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "HEAD");
    EXPECT_EQ(sent[0].agent, "tucheck");
}

TEST_F(GetCountryTest, GetCountry_StoredValueSendsNoRequest) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kPolicyKey, "Country", REG_SZ, "NO", 2);
    char out[3] = {};
    EXPECT_TRUE(GetCountry(url("SE").c_str(), out));
    EXPECT_STREQ(out, "NO");
    EXPECT_EQ(requests(), 0u);
}

TEST_F(GetCountryTest, GetCountry_StoredValueTooLongIsLookedUpAgain) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kPolicyKey, "Country", REG_SZ, "SWE", 3);
    char out[3] = {};
    EXPECT_TRUE(GetCountry(url("SE").c_str(), out));
    EXPECT_STREQ(out, "SE");
    EXPECT_EQ(storedCountry(), "SE");
    EXPECT_EQ(requests(), 1u);
}

TEST_F(GetCountryTest, GetCountry_RejectedAnswersLeaveYY) {
    for (const char* value : {"USA", "", "S"}) {
        char out[3] = {};
        EXPECT_FALSE(GetCountry(url(value).c_str(), out)) << value;
        EXPECT_STREQ(out, "YY");
        EXPECT_EQ(storedCountry(), "");
    }
    char out[3] = {};
    EXPECT_FALSE(GetCountry(testutil::TestServers::get().httpsUrl("/missing?tag=" + tag_).c_str(), out));
    EXPECT_STREQ(out, "YY");
}

TEST_F(GetCountryTest, GetCountry_UntrustedOrEmptyUrlSendsNothing) {
    char out[3] = {};
    const std::string untrusted =
        testutil::TestServers::get().httpUrl("/country?value=SE&tag=" + tag_);  // 127.0.0.1
    EXPECT_FALSE(GetCountry(untrusted.c_str(), out));
    EXPECT_STREQ(out, "YY");
    EXPECT_FALSE(GetCountry("", out));
    EXPECT_FALSE(GetCountry(nullptr, out));
    EXPECT_EQ(requests(), 0u);
}

}  // namespace
