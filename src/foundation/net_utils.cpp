#include "foundation/net_utils.h"

#include "foundation/http_connection.h"
#include "foundation/logger.h"
#include "foundation/net_utils_internal.h"
#include "foundation/tstrings.h"

#include <wininet.h>

#include <atomic>
#include <mutex>

namespace {

BOOL realConnectedState(DWORD* flags) { return InternetGetConnectedState(flags, 0); }

std::atomic<net_internal::ConnectedStateFn> gConnectedState{&realConnectedState};

std::mutex& probeMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& probeUrl() {
    static std::string url = net_internal::kProbeUrl;
    return url;
}

}  // namespace

namespace net_internal {

ConnectedStateFn setConnectedStateForTesting(ConnectedStateFn fn) {
    return gConnectedState.exchange(fn ? fn : &realConnectedState);
}

std::string setProbeUrlForTesting(const std::string& url) {
    std::lock_guard<std::mutex> lock(probeMutex());
    std::string previous = probeUrl();
    probeUrl() = url.empty() ? std::string(kProbeUrl) : url;
    return previous;
}

}  // namespace net_internal

bool NetUtils::isConnected() {
    DWORD flags = 0;
    if (gConnectedState.load()(&flags) || (flags & INTERNET_CONNECTION_CONFIGURED))
        return true;
    std::string url;
    {
        std::lock_guard<std::mutex> lock(probeMutex());
        url = probeUrl();
    }
    try {
        HttpConnection::Response response = HttpConnection(url)
                                                .allowHttp(true)
                                                .setInteractive(false)
                                                .setMethod(HttpConnection::HEAD)
                                                .connect(false);
        const uint32_t status = response.getIntHeaderValue(HTTP_QUERY_STATUS_CODE, 0xFFFFFFFFu);
        return status == HTTP_STATUS_OK || status == HTTP_STATUS_PROXY_AUTH_REQ;
    } catch (const HttpConnection::exception& e) {
        TDS_LOG_INFO("NetUtils::isConnected", "not connected: %s", e.what());
        return false;
    }
}
