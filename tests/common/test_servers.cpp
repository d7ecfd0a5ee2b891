#include "common/test_servers.h"

#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"

#include <windows.h>

#include <atomic>
#include <cctype>
#include <sstream>

namespace testutil {

namespace {

// The server runs natively; its Unix paths are reached through drive Z:.
std::string fromUnixPath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
    std::istringstream lines(headers);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < colon; ++i)
            same = same && std::tolower(static_cast<unsigned char>(line[i])) ==
                               std::tolower(static_cast<unsigned char>(name[i]));
        if (same) {
            size_t value = colon + 1;
            while (value < line.size() && line[value] == ' ')
                ++value;
            return line.substr(value);
        }
    }
    return "";
}

TestServers::TestServers() {
    std::istringstream state(readFileText(besideExe("net_test_servers.txt")));
    std::string line;
    while (std::getline(state, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "http_port")
            httpPort_ = std::stoul(value);
        else if (key == "https_port")
            httpsPort_ = std::stoul(value);
        else if (key == "refused_port")
            refusedPort_ = std::stoul(value);
        else if (key == "log")
            log_ = fromUnixPath(value);
        else if (key == "files")
            filesDir_ = fromUnixPath(value);
    }
}

const TestServers& TestServers::get() {
    static const TestServers servers;
    return servers;
}

std::string TestServers::httpUrl(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(httpPort_) + pathAndQuery;
}

std::string TestServers::httpsUrl(const std::string& pathAndQuery) const {
    return "https://localhost:" + std::to_string(httpsPort_) + pathAndQuery;
}

std::string TestServers::refusedUrl(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(refusedPort_) + pathAndQuery;
}

std::vector<RecordedRequest> TestServers::requestsWith(const std::string& tag) const {
    std::vector<RecordedRequest> out;
    std::istringstream lines(readFileText(log_));
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = splitTabs(line);
        if (f.size() < 5 || f[1].find(tag) == std::string::npos)
            continue;
        out.push_back({f[0], f[1], f[2], fromHex(f[3]), fromHex(f[4])});
    }
    return out;
}

std::string uniqueTag() {
    static std::atomic<unsigned> counter{0};
    return "tag" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount()) +
           "x" + std::to_string(++counter);
}

}  // namespace testutil
