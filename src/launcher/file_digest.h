#pragma once
// File digests with the Windows CryptoAPI, and the user's country code from
// the update policy or the maker's server.

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>

// Writes the digest of file (algorithm CALG_SHA1, CALG_SHA_256, ...) to out
// as lower-case hexadecimal, 2 * digestLength digits and a terminating zero.
// Returns nonzero on success. Returns 0, with out untouched, when outSize is
// not above 2 * digestLength (before the file is opened), when the file
// cannot be opened or read, when a CryptoAPI step fails, or when the
// algorithm's digest is not digestLength bytes long; each failure is logged.
int getCheckSum(const char* file, char* out, size_t outSize, ALG_ID algorithm, DWORD digestLength);

// True when the digest of file equals expected (exactly, case included, and
// of the same length). False for a null expected, a failed digest or a
// mismatch (logged at ERROR with both digests).
bool verifyCheckSum(const char* file, const char* expected, ALG_ID algorithm, DWORD digestLength);

// Writes the user's two-letter country code to out (room for at least 3
// characters): the update policy's "Country" value, or else the "COUNTRY"
// header of a HEAD request to url, which is then stored in the policy.
// Returns false with out "YY" when url is empty or untrusted, or the request
// or the answer fails. The request shows WinINet dialogs only when the run
// is not silent (HttpConnection::setSilent).
bool GetCountry(const char* url, char* out);
