#pragma once
// The local HTTP/HTTPS test server (tests/servers/) as the tests see it: its
// addresses and the requests it has recorded. Test programs that use it
// carry FIXTURES_REQUIRED "net_servers;net_server_process" (see
// tests/foundation/http_servers.cmake), which starts it before them and
// stops it after.

#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

struct RecordedRequest {
    std::string method;
    std::string path;     // with the query
    std::string agent;    // User-Agent
    std::string body;
    std::string headers;  // "Name: value" lines joined by LF
    // The value of the first header of that name (case ignored), or "".
    std::string header(const std::string& name) const;
};

class TestServers {
public:
    // The state that the server wrote beside the test programs; ready() is
    // false when it is absent.
    static const TestServers& get();

    bool ready() const { return httpPort_ != 0 && httpsPort_ != 0; }
    // "http://127.0.0.1:<port>" + pathAndQuery.
    std::string httpUrl(const std::string& pathAndQuery) const;
    // "https://localhost:<port>" + pathAndQuery (the certificate names localhost).
    std::string httpsUrl(const std::string& pathAndQuery) const;
    // An address where nothing listens.
    std::string refusedUrl(const std::string& pathAndQuery) const;
    // Every recorded request whose path contains tag, in arrival order.
    std::vector<RecordedRequest> requestsWith(const std::string& tag) const;
    // The folder whose files the server serves under /files/ (Windows path).
    std::string filesDir() const { return filesDir_; }

private:
    TestServers();
    uint32_t httpPort_ = 0;
    uint32_t httpsPort_ = 0;
    uint32_t refusedPort_ = 0;
    std::string log_;
    std::string filesDir_;
};

// A text unique in this run, to tag requests with ("tag=<it>").
std::string uniqueTag();

}  // namespace testutil
