#include <windows.h>

#include "foundation/http_connection.h"
#include "launcher/online_endpoints.h"
#include "scrub/tolva_scrub.h"
#include "scrub/tolva_scrub_internal.h"

namespace tscrub {
namespace {

const char kDocumentPath[] = "/update/tolvaLatestVersion.xml";
const char kAgent[] = "TolvaScrub";

}  // namespace

namespace internal {

std::string latestVersionDocumentUrl() {
#ifdef TDS_TEST_BUILD
    // Test builds fetch the document from a local server when the vendor key
    // names one; shipped builds have no such switch.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char configured[512] = {};
        DWORD size = sizeof configured - 1;
        DWORD type = 0;
        const LONG read = RegQueryValueExA(key, "LatestVersionXmlURL", nullptr, &type,
                                           reinterpret_cast<BYTE*>(configured), &size);
        RegCloseKey(key);
        if (read == ERROR_SUCCESS && type == REG_SZ && configured[0] != '\0')
            return configured;
    }
#endif
    return std::string(online_endpoints::kDownloadServerUrl) + kDocumentPath;
}

void downloadLatestVersionDocumentFrom(const std::string& url, std::string& out) {
    HttpConnection connection(url);
    connection.setAgent(kAgent).allowHttp(false).setInteractive(false).setMethod(HttpConnection::GET);
    // The response closes its handles when it goes out of scope, also when
    // the body is too big.
    HttpConnection::Response response = connection.connect(true);
    response.saveToString(out);
}

}  // namespace internal

void TolvaScrub::downloadLatestVersionDocument(std::string& out) {
    internal::downloadLatestVersionDocumentFrom(internal::latestVersionDocumentUrl(), out);
}

}  // namespace tscrub
