#pragma once
// The maker's web sites: the one place that names them. Addresses the
// launchers send data to (the status ping) or open must belong to these.

namespace trusted_sites {

// Hosts trusted by exact name (plain http, no port).
constexpr const char* kHosts[] = {"tolva.example", "www.tolva.example", "download.tolva.example"};
// The company's domain: any host below it, plain path, no port.
constexpr const char* kCompanyDomain = "brask.example";
// The maker's domains: any host below them, without a port or with a port
// of exactly four characters.
constexpr const char* kMakerDomains[] = {"tolva.example", "tolvasoft.example"};

#ifdef TDS_TEST_BUILD
// Test builds talk to local servers on any port.
constexpr bool kTrustLocalhost = true;
#else
constexpr bool kTrustLocalhost = false;
#endif

}  // namespace trusted_sites
