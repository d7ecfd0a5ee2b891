#pragma once
// The maker's servers the launchers talk to. Hosts lie in the maker's
// domains of trusted_sites.h, so IsTrustedUrl accepts them.

#include <cstdint>

namespace online_endpoints {

// Start of every production status address; a status URL that begins with
// it carries the production pass.
constexpr const char* kMetricsServerUrl = "https://metrics.tolva.example/b/ss/";
// The production pass is this number written in lower-case hexadecimal at
// run time, so the text itself appears nowhere in the program.
constexpr uint32_t kProductionPassNumber = 0x7a3c91e5u;
// Pass of every other https status address.
constexpr const char* kTestPass = "quillfernstok";
// Pass of an address without "https://" (never sent).
constexpr const char* kPlainPass = "brambleoxwhirl";

// Report suite of the install-status ping unless the status URL names one.
constexpr const char* kReportSuite = "braskinstallstat";

// The options document's server when the vendor value InstallerXmlURL is
// missing: <kDownloadServerUrl>/update/<family>/<full version>.xml.
constexpr const char* kDownloadServerUrl = "https://download.tolva.example";

}  // namespace online_endpoints
