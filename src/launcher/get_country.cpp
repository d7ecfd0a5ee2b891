#include "launcher/file_digest.h"

#include "foundation/http_connection.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "foundation/trusted_url.h"
#include "launcher/policy_registry.h"

#include <cstring>
#include <stdexcept>
#include <string>

bool GetCountry(const char* url, char* out) {
    if (!out)
        return false;
    std::memcpy(out, "YY", 3);
    if (!url || !*url || !IsTrustedUrl(url))
        return false;

    char stored[3] = {};
    DWORD size = sizeof(stored);
    if (GetPolicyValue(nullptr, "Country", stored, &size)) {
        // The value may lack its terminator; only its first two characters count.
        stored[2] = '\0';
        std::memcpy(out, stored, 3);
        return true;
    }

    std::string country;
    try {
        // Interactive unless the run is silent: HttpConnection drops the
        // dialogs itself while setSilent(true) holds.
        HttpConnection::Response response = HttpConnection(url)
                                                .setAgent("tucheck")
                                                .allowHttp(true)
                                                .setInteractive(true)
                                                .setMethod(HttpConnection::HEAD)
                                                .connect(true);
        response.getCustomHeaderValue(country, "COUNTRY", "");
        if (country.size() != 2)
            throw TdsError<std::runtime_error>("Invalid country value : '" + country + "'",
                                               TDS_HERE("GetCountry"));
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("GetCountry", e);
        return false;
    }
    std::memcpy(out, country.c_str(), 3);
    if (SetPolicyValue(nullptr, "Country", out))
        TDS_LOG_INFO("GetCountry", "Save Country Code %s after GetCountry()", out);
    return true;
}
