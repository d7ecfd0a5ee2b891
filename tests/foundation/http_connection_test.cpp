// The HTTP client and the connectivity test against the local test server
// (tests/servers/): real WinINet requests over http and https.
#include "foundation/http_connection.h"
#include "foundation/http_connection_internal.h"
#include "foundation/net_utils.h"
#include "foundation/net_utils_internal.h"
#include "foundation/tds_error.h"

#include "common/test_servers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testutil::TestServers;

namespace {

const TestServers& servers() { return TestServers::get(); }

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers().ready()) << "the test server's state file is missing";
        tag_ = testutil::uniqueTag();
    }
    // path + "?tag=..." (or "&tag=..." after a query).
    std::string tagged(const std::string& path) const {
        return path + (path.find('?') == std::string::npos ? "?" : "&") + "tag=" + tag_;
    }
    std::vector<testutil::RecordedRequest> recorded() const { return servers().requestsWith(tag_); }

    std::string tag_;
};

// ---- status handling, over both schemes ----

struct StatusCase {
    const char* label;
    const char* path;
    uint32_t status;  // 200: no error
    bool exportDenied;
};

const StatusCase kStatusCases[] = {
    {"Ok", "/ok", 200, false},
    {"ExportDenied", "/export-denied", 403, true},
    {"Forbidden", "/forbidden", 403, false},
    {"NotFound", "/missing", 404, false},
    {"ProxyAuth", "/proxy-auth", 407, false},
    {"ServerError", "/status/500", 500, false},
};

class HttpStatusTest : public HttpTest,
                       public ::testing::WithParamInterface<std::tuple<bool, StatusCase>> {};

TEST_P(HttpStatusTest, Connect_StatusChecked) {
    const bool secure = std::get<0>(GetParam());
    const StatusCase& c = std::get<1>(GetParam());
    const std::string path = tagged(c.path);
    HttpConnection connection(secure ? servers().httpsUrl(path) : servers().httpUrl(path));
    connection.allowHttp(!secure);
    if (c.status == 200) {
        HttpConnection::Response response = connection.connect(true);
        std::string body;
        response.saveToString(body);
        EXPECT_EQ(body, "hello from the test server");
    } else {
        try {
            connection.connect(true);
            FAIL() << "no error for status " << c.status;
        } catch (const HttpConnection::http_error& e) {
            EXPECT_EQ(e.status(), c.status);
            EXPECT_EQ(dynamic_cast<const HttpConnection::export_compliance_error*>(&e) != nullptr,
                      c.exportDenied);
            EXPECT_THAT(e.what(), StartsWith("http_connection.cpp("));
            EXPECT_THAT(e.what(), HasSubstr(") at HttpConnection::connect(): Http error, status: " +
                                            std::to_string(c.status)));
        }
    }
    const auto requests = recorded();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, path);
    EXPECT_EQ(requests[0].agent, "tolva_installer");
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HttpStatusTest,
    ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kStatusCases)),
    [](const ::testing::TestParamInfo<std::tuple<bool, StatusCase>>& info) {
        return std::string(std::get<0>(info.param) ? "Https" : "Http") + std::get<1>(info.param).label;
    });

TEST_F(HttpTest, Connect_NoStatusCheckReturnsResponse) {
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/missing"))).allowHttp().connect(false);
    EXPECT_EQ(response.getIntHeaderValue(HTTP_QUERY_STATUS_CODE, 0), 404u);
    std::string text;
    response.getHeaderValueOr(text, HTTP_QUERY_STATUS_TEXT, "none");
    EXPECT_EQ(text, "Not Found");
    std::string body;
    response.saveToString(body);
    EXPECT_EQ(body, "missing");
}

// ---- refused before any request ----

TEST_F(HttpTest, Connect_PlainHttpRefusedUnlessAllowed) {
    try {
        HttpConnection(servers().httpUrl(tagged("/ok"))).connect(true);
        FAIL() << "plain http went through";
    } catch (const HttpConnection::network_error&) {
        FAIL() << "refused too late";
    } catch (const HttpConnection::http_error&) {
        FAIL() << "refused too late";
    } catch (const HttpConnection::exception& e) {
        EXPECT_THAT(e.what(), HasSubstr("(): Http is disabled"));
    }
    // allowHttp(false) after allowing refuses again.
    EXPECT_THROW(HttpConnection(servers().httpUrl(tagged("/ok"))).allowHttp().allowHttp(false).connect(true),
                 HttpConnection::exception);
    EXPECT_TRUE(recorded().empty());
}

TEST_F(HttpTest, Connect_BadUrls) {
    try {
        HttpConnection("ftp://localhost/file").allowHttp().connect(true);
        FAIL();
    } catch (const HttpConnection::network_error&) {
        FAIL() << "ftp reached the network";
    } catch (const HttpConnection::exception& e) {
        EXPECT_THAT(e.what(), HasSubstr("(): Invalid scheme"));
    }
    for (const char* url : {"", "not a url", "http//missing-colon"}) {
        try {
            HttpConnection(url).allowHttp().connect(true);
            FAIL() << url;
        } catch (const HttpConnection::network_error& e) {
            EXPECT_THAT(e.what(), HasSubstr("(): InternetCrackUrl failed: system error ")) << url;
        } catch (const HttpConnection::exception& e) {
            ADD_FAILURE() << url << ": " << e.what();
        }
    }
}

// ---- network failures ----

TEST_F(HttpTest, Connect_RefusedConnectionIsNetworkError) {
    try {
        HttpConnection(servers().refusedUrl("/ok")).allowHttp().connect(true);
        FAIL();
    } catch (const HttpConnection::network_error& e) {
        EXPECT_EQ(e.code(), 12029u);  // ERROR_INTERNET_CANNOT_CONNECT
        EXPECT_THAT(e.what(), HasSubstr("(): HttpSendRequest failed: system error 12029 ("));
    }
}

TEST_F(HttpTest, SaveToBuffer_StalledBodyTimesOut) {
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/stall"))).allowHttp().setTimeout(2000).connect(true);
    const DWORD start = GetTickCount();
    std::vector<uint8_t> body;
    try {
        response.saveToBuffer(body);
        FAIL() << "a body that never ends was read to its end";
    } catch (const HttpConnection::network_error& e) {
        // Windows reports ERROR_INTERNET_TIMEOUT; Wine passes on the
        // socket's WSAETIMEDOUT.
        EXPECT_TRUE(e.code() == 12002u || e.code() == 10060u) << e.code();
        EXPECT_THAT(e.what(), HasSubstr("Response::readContent(): InternetReadFile failed: "));
    }
    EXPECT_LT(GetTickCount() - start, 20000u);
}

TEST_F(HttpTest, Connect_TimeoutsDefaultToThirtySeconds) {
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/ok"))).allowHttp().connect(true);
    // Wine answers only the connect time-out on a request handle; that the
    // receive time-out is set shows in the stalled-body test.
    DWORD value = 0;
    DWORD size = sizeof(value);
    ASSERT_TRUE(InternetQueryOptionA(response.requestHandle(), INTERNET_OPTION_CONNECT_TIMEOUT,
                                     &value, &size));
    EXPECT_EQ(value, 30000u);
}

// ---- body size limit ----

struct SizeCase {
    const char* mode;  // how the server marks the end of the body
    uint32_t size;
    const char* error;  // null: accepted
};

class HttpSizeTest : public HttpTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(HttpSizeTest, SaveToBuffer_LimitIsOneMegabyte) {
    const SizeCase& c = GetParam();
    HttpConnection::Response response =
        HttpConnection(servers().httpsUrl(tagged("/size/" + std::to_string(c.size) + "?mode=" + c.mode)))
            .connect(true);
    std::vector<uint8_t> body;
    if (!c.error) {
        response.saveToBuffer(body);
        EXPECT_EQ(body.size(), c.size);
        EXPECT_EQ(std::count(body.begin(), body.end(), 'x'), static_cast<long>(c.size));
        return;
    }
    try {
        response.saveToBuffer(body);
        FAIL() << "accepted " << c.size << " bytes";
    } catch (const HttpConnection::content_is_too_big& e) {
        EXPECT_THAT(e.what(), HasSubstr("Response::saveToBuffer(): " + std::string(c.error)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HttpSizeTest,
    ::testing::Values(
        SizeCase{"length", 1048576, nullptr}, SizeCase{"close", 1048576, nullptr},
        SizeCase{"chunked", 1048576, nullptr}, SizeCase{"length", 0, nullptr},
        SizeCase{"close", 70000, nullptr},
        SizeCase{"length", 1048577,
                 "Content size exceeds maximum size (1 MB), size is 1048577 bytes"},
        SizeCase{"close", 1048577, "Content size exceeds maximum size (1 MB), size is unknown"},
        SizeCase{"chunked", 1048577, "Content size exceeds maximum size (1 MB), size is unknown"}),
    [](const ::testing::TestParamInfo<SizeCase>& info) {
        return std::string(info.param.mode) + std::to_string(info.param.size);
    });

// ---- what is sent ----

TEST_F(HttpTest, Connect_PostSendsBodyAndAgent) {
    const std::string sent("<ping a=\"1\">\0binary\xff</ping>", 27);
    HttpConnection::Response first = HttpConnection(servers().httpsUrl(tagged("/echo")))
                                         .setMethod(HttpConnection::POST)
                                         .setBody(sent.data(), sent.size())
                                         .setAgent("tupdate")
                                         .connect(true);
    HttpConnection::Response response = std::move(first);  // the handles move with it
    std::string echoed;
    response.saveToString(echoed);
    EXPECT_EQ(echoed, sent);
    const auto requests = recorded();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].agent, "tupdate");
    EXPECT_EQ(requests[0].body, sent);
    EXPECT_EQ(requests[0].header("Content-Length"), std::to_string(sent.size()));
}

TEST_F(HttpTest, Connect_HeadHasNoBody) {
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/ok"))).allowHttp().setMethod(HttpConnection::HEAD).connect(true);
    EXPECT_EQ(response.getIntHeaderValue(HTTP_QUERY_CONTENT_LENGTH, 0), 26u);
    std::string body;
    response.saveToString(body);
    EXPECT_EQ(body, "");
    const auto requests = recorded();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "HEAD");
}

TEST_F(HttpTest, Connect_EmptyPathRequestsRoot) {
    // No path at all, only a query: the request goes to "/".
    EXPECT_THROW(HttpConnection(servers().httpUrl("?tag=" + tag_)).allowHttp().connect(true),
                 HttpConnection::http_error);
    const auto requests = recorded();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/?tag=" + tag_);
}

// ---- headers ----

TEST_F(HttpTest, GetCustomHeaderValue_ReadsNamedHeader) {
    HttpConnection::Response response =
        HttpConnection(servers().httpsUrl(tagged("/country?value=SE"))).connect(true);
    std::string country;
    response.getCustomHeaderValue(country, "COUNTRY", "YY");
    EXPECT_EQ(country, "SE");
    std::string absent;
    response.getCustomHeaderValue(absent, "X-Not-There", "default");
    EXPECT_EQ(absent, "default");
    EXPECT_EQ(response.getIntHeaderValue(HTTP_QUERY_CONTENT_LENGTH, 0), 7u);
    EXPECT_EQ(response.getIntHeaderValue(HTTP_QUERY_CUSTOM, 99), 99u);
}

TEST_F(HttpTest, GetHeaderValue_GrowsForLongValues) {
    const std::string longValue(3000, 'Q');
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/country?value=" + longValue))).allowHttp().connect(true);
    std::vector<uint8_t> raw;
    ASSERT_TRUE(response.getHeaderValue(HTTP_QUERY_CUSTOM, raw, "COUNTRY"));
    EXPECT_EQ(std::string(raw.begin(), raw.end()), longValue);
    ASSERT_TRUE(response.getHeaderValue(HTTP_QUERY_RAW_HEADERS_CRLF, raw));
    EXPECT_THAT(std::string(raw.begin(), raw.end()), HasSubstr("COUNTRY: " + longValue));
}

// ---- dialogs: only when interactive and not silent, one resend ----

std::vector<DWORD> gDialogErrors;
DWORD gDialogAnswer = ERROR_SUCCESS;

DWORD scriptedDialog(HINTERNET, DWORD error) {
    gDialogErrors.push_back(error);
    return gDialogAnswer;
}

class HttpDialogTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        gDialogErrors.clear();
        gDialogAnswer = ERROR_INTERNET_FORCE_RETRY;
        previous_ = http_internal::setErrorDialogForTesting(&scriptedDialog);
    }
    void TearDown() override {
        http_internal::setErrorDialogForTesting(previous_);
        HttpConnection::setSilent(false);
    }
    http_internal::ErrorDialogFn previous_ = nullptr;
};

TEST_F(HttpDialogTest, Connect_RetryAfterAuthenticationDialogSendsOnceMore) {
    HttpConnection::Response response =
        HttpConnection(servers().httpUrl(tagged("/proxy-auth"))).allowHttp().setInteractive(true).connect(false);
    EXPECT_EQ(gDialogErrors, std::vector<DWORD>{12014u});  // ERROR_INTERNET_INCORRECT_PASSWORD
    EXPECT_EQ(recorded().size(), 2u);
    EXPECT_EQ(response.getIntHeaderValue(HTTP_QUERY_STATUS_CODE, 0), 407u);
}

TEST_F(HttpDialogTest, Connect_CancelledAuthenticationDialogSendsNothingMore) {
    gDialogAnswer = ERROR_CANCELLED;
    EXPECT_THROW(HttpConnection(servers().httpUrl(tagged("/proxy-auth"))).allowHttp().setInteractive(true).connect(true),
                 HttpConnection::http_error);
    EXPECT_EQ(gDialogErrors.size(), 1u);
    EXPECT_EQ(recorded().size(), 1u);
}

TEST_F(HttpDialogTest, Connect_NoDialogWhenSilentOrNotInteractive) {
    HttpConnection::setSilent(true);
    EXPECT_THROW(HttpConnection(servers().httpUrl(tagged("/proxy-auth"))).allowHttp().setInteractive(true).connect(true),
                 HttpConnection::http_error);
    HttpConnection::setSilent(false);
    EXPECT_THROW(HttpConnection(servers().httpUrl(tagged("/proxy-auth"))).allowHttp().connect(true),
                 HttpConnection::http_error);
    EXPECT_THROW(HttpConnection(servers().refusedUrl("/ok")).allowHttp().connect(true),
                 HttpConnection::network_error);
    EXPECT_TRUE(gDialogErrors.empty());
    EXPECT_EQ(recorded().size(), 2u);
}

TEST_F(HttpDialogTest, Connect_SendFailureRetriedOnce) {
    try {
        HttpConnection(servers().refusedUrl("/ok")).allowHttp().setInteractive(true).connect(true);
        FAIL();
    } catch (const HttpConnection::network_error& e) {
        EXPECT_EQ(e.code(), 12029u);
    }
    EXPECT_EQ(gDialogErrors, std::vector<DWORD>{12029u});
}

// ---- connectivity ----

DWORD gConnectedFlags = 0;
BOOL gConnectedAnswer = FALSE;

BOOL scriptedConnectedState(DWORD* flags) {
    *flags = gConnectedFlags;
    return gConnectedAnswer;
}

class NetUtilsTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        gConnectedFlags = 0;
        gConnectedAnswer = FALSE;
        previous_ = net_internal::setConnectedStateForTesting(&scriptedConnectedState);
    }
    void TearDown() override {
        net_internal::setConnectedStateForTesting(previous_);
        net_internal::setProbeUrlForTesting("");
    }
    bool probe(const std::string& url) {
        net_internal::setProbeUrlForTesting(url);
        return NetUtils::isConnected();
    }
    net_internal::ConnectedStateFn previous_ = nullptr;
};

TEST_F(NetUtilsTest, IsConnected_ProbeStatusDecides) {
    EXPECT_TRUE(probe(servers().httpUrl(tagged("/ok"))));
    EXPECT_TRUE(probe(servers().httpUrl(tagged("/proxy-auth"))));
    EXPECT_FALSE(probe(servers().httpUrl(tagged("/missing"))));
    EXPECT_FALSE(probe(servers().refusedUrl("/ok")));
    const auto requests = recorded();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "HEAD");
        EXPECT_EQ(r.agent, "tolva_installer");
    }
}

TEST_F(NetUtilsTest, IsConnected_SystemAnswerNeedsNoProbe) {
    gConnectedAnswer = TRUE;
    EXPECT_TRUE(probe(servers().httpUrl(tagged("/missing"))));
    gConnectedAnswer = FALSE;
    gConnectedFlags = INTERNET_CONNECTION_CONFIGURED;
    EXPECT_TRUE(probe(servers().httpUrl(tagged("/missing"))));
    EXPECT_TRUE(recorded().empty());
}

TEST(NetUtils, IsConnected_RealSystemAnswer) {
    // Wine always reports a connection, so this asks nothing of the network.
    EXPECT_TRUE(NetUtils::isConnected());
}

}  // namespace
