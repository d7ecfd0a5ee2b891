#include <windows.h>

#include <exception>

#include "foundation/http_connection.h"
#include "foundation/online_endpoints.h"
#include "foundation/registry_key.h"
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
    try {
        if (RegistryKey::localMachine.hasSubkey("SOFTWARE\\TolvaSoft")) {
            const RegistryKey vendor(RegistryKey::localMachine, "SOFTWARE\\TolvaSoft");
            DWORD type = 0;
            if (vendor.hasValue("LatestVersionXmlURL", &type) && type == REG_SZ) {
                const std::string configured = vendor.getString("LatestVersionXmlURL");
                if (!configured.empty())
                    return configured;
            }
        }
    } catch (const std::exception&) {
        // An unreadable value leaves the maker's address.
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
