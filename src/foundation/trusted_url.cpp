#include "foundation/trusted_url.h"

#include <cctype>
#include <cstring>
#include <string>

#include "foundation/trusted_sites.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool startsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix)))
            return false;
    return true;
}

bool endsWithLabel(const std::string& host, const char* domain) {
    const std::string suffix = std::string(".") + domain;
    return host.size() > suffix.size() &&
           host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool IsTrustedUrl(const char* address) {
    if (!address)
        return false;
    bool plainHttp = false;
    const char* rest = nullptr;
    if (startsWithNoCase(address, "http://")) {
        plainHttp = true;
        rest = address + 7;
    } else if (startsWithNoCase(address, "https://")) {
        rest = address + 8;
    } else {
        return false;
    }
    // Only the host part decides: an address that merely mentions a trusted
    // host in its path or query belongs to whoever serves its own host.
    const size_t authorityLength = strcspn(rest, "/?#\\");
    if (rest[authorityLength] != '/')
        return false;
    const std::string authority = lower(std::string(rest, authorityLength));
    if (authority.empty() || authority.find('@') != std::string::npos)
        return false;

    std::string host = authority;
    std::string port;
    bool hasPort = false;
    const size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        hasPort = true;
    }
    if (host.empty())
        return false;

    if (trusted_sites::kTrustLocalhost && host == "localhost") {
        for (char c : port)
            if (!isdigit(static_cast<unsigned char>(c)))
                return false;
        return true;
    }
    if (!hasPort) {
        if (plainHttp)
            for (const char* trusted : trusted_sites::kHosts)
                if (host == trusted)
                    return true;
        if (endsWithLabel(host, trusted_sites::kCompanyDomain))
            return true;
    }
    if (hasPort && port.size() != 4)
        return false;
    for (const char* domain : trusted_sites::kMakerDomains)
        if (endsWithLabel(host, domain))
            return true;
    return false;
}
