#pragma once
// Whether a web address belongs to the maker's sites (trusted_sites.h).

// True when address (NUL-terminated) starts with "http://" or "https://"
// (any case) and its host, the text up to the first "/", "?", "#" or "\",
// is trusted and followed by a "/":
//  - one of trusted_sites::kHosts exactly, over http, without a port;
//  - a host ending in "." + kCompanyDomain, without a port;
//  - a host ending in "." + one of kMakerDomains, without a port or with a
//    port of exactly four characters;
//  - in test builds, "localhost" with or without a port.
// Host names compare without regard to case. Addresses with user
// information ("@") in the host part are never trusted. Null: false.
bool IsTrustedUrl(const char* address);
