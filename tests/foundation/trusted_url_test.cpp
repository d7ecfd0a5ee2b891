#include <gtest/gtest.h>

#include "foundation/trusted_sites.h"
#include "foundation/trusted_url.h"

namespace {

struct UrlCase {
    const char* address;
    bool trusted;
};

class IsTrustedUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(IsTrustedUrlTest, JudgesTheHostOnly) {
    EXPECT_EQ(IsTrustedUrl(GetParam().address), GetParam().trusted) << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, IsTrustedUrlTest,
    ::testing::Values(
        // Exact hosts, plain http.
        UrlCase{"http://www.tolva.example/ping", true}, UrlCase{"http://tolva.example/", true},
        UrlCase{"HTTP://Download.Tolva.Example/x", true},
        // Hosts below the maker domains, with or without a four-character port.
        UrlCase{"https://status.tolva.example/s", true}, UrlCase{"https://a.b.tolvasoft.example/", true},
        UrlCase{"https://status.tolva.example:8443/s", true},
        UrlCase{"https://status.tolva.example:84/s", false},
        UrlCase{"https://status.tolva.example:84430/s", false},
        // The company domain, without a port.
        UrlCase{"https://www.brask.example/a", true}, UrlCase{"https://www.brask.example:8443/a", false},
        // A trusted address inside the path or query of another host.
        UrlCase{"https://attacker.test/?u=http://www.tolva.example/", false},
        UrlCase{"https://attacker.test/x.brask.example/", false},
        UrlCase{"http://attacker.test/http://tolva.example/", false},
        // Look-alike hosts.
        UrlCase{"https://eviltolva.example/", false}, UrlCase{"https://tolva.example.attacker.test/", false},
        UrlCase{"http://www.tolva.example@attacker.test/", false},
        UrlCase{"https://x.tolva.example?.attacker.test/", false},
        // No path, other schemes, nothing.
        UrlCase{"https://status.tolva.example", false}, UrlCase{"ftp://www.tolva.example/", false},
        UrlCase{"www.tolva.example/", false}, UrlCase{"", false}));

TEST(IsTrustedUrl_Null, IsFalse) { EXPECT_FALSE(IsTrustedUrl(nullptr)); }

TEST(IsTrustedUrl_Localhost, TrustedOnlyInTestBuilds) {
    EXPECT_EQ(IsTrustedUrl("https://localhost:54321/ping"), trusted_sites::kTrustLocalhost);
    EXPECT_EQ(IsTrustedUrl("http://localhost/ping"), trusted_sites::kTrustLocalhost);
    EXPECT_FALSE(IsTrustedUrl("http://localhost.attacker.test/ping"));
    EXPECT_FALSE(IsTrustedUrl("http://localhost:80x/ping"));
}

}  // namespace
