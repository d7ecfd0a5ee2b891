#include "launcher/install_ping.h"

#include <string>

#include "foundation/http_connection.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "launcher/install_ping_internal.h"

int SendHeadRequest(const char* statusUrl, size_t urlLength, const char* document) {
    int answer = 0;
    try {
        const std::string url = std::string(statusUrl ? statusUrl : "").substr(0, urlLength);
        const std::string body = document ? document : "";
        // Interactive lets WinINet ask about certificates or a proxy password;
        // HttpConnection never shows a dialog while the run is silent.
        HttpConnection connection(url);
        connection.setAgent("tupdate")
            .setMethod(HttpConnection::POST)
            .setBody(body.data(), body.size())
            .setInteractive(true);
        HttpConnection::Response response = connection.connect(true);
        std::string reply;
        response.saveToString(reply);
        answer = 1;
    } catch (const std::exception& e) {
        logException(TDS_HERE("SendHeadRequest"), e);
    } catch (...) {
        logUnknownException(TDS_HERE("SendHeadRequest"));
    }
    LogHeadRequestBuffer(document);
    return answer;
}

void LogHeadRequestBuffer(const char* document) {
    if (!document)
        return;
    TDS_LOG_INFO("LogHeadRequestBuffer", "Ping Values: %s",
                 install_ping_internal::MaskPass(document).c_str());
}
