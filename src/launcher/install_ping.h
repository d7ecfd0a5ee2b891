#pragma once
// The install-status ping: at the end of an install run the launcher posts
// an XML "request" document with the run's results, machine facts and the
// metrics counters to the status URL of the options document.

#include <cstddef>
#include <cstdint>

// SendHeadRequest with evar30 = -1. Pointers may be null where a value is
// optional (method, previous and second versions, deploy status, the
// 64-bit previous version, the bitness text, the report suite override);
// arg8, arg15 and arg16 are reserved and not sent.
int SendInstallPing(const char* statusUrl, const char* method, const char* pageCode,
                    const char* country, const char* version, const char* previousVersion,
                    const char* version2, const char* arg8, int32_t installResult, int32_t auResult,
                    const char* installedAUVersion, const char* packagedAUVersion,
                    const char* previous64Version, const char* bitnessText, const char* arg15,
                    const char* arg16, const char* reportSuiteOverride, const char* deployStatus,
                    int32_t msiStatusError, int32_t msiStatusExtendedError);

// Builds and posts the ping. Answers 1 when the document was posted and a
// response read, 0 when posting failed, and 1 when the ping is skipped (pings
// switched off, no or an untrusted status URL, a "reinstall" or "decline"
// status) without any network traffic. For the page code "ic" it consumes
// the InstallStatus value, the offered-sponsor count and the cancel flag,
// updates the metrics counters and, after a failure or a decline, removes
// the Policy values VisitorId and Method. Never throws.
int SendHeadRequest(const char* statusUrl, const char* method, const char* pageCode,
                    const char* country, const char* version, const char* previousVersion,
                    const char* version2, const char* arg8, int32_t installResult, int32_t auResult,
                    const char* installedAUVersion, const char* packagedAUVersion, int32_t evar30,
                    const char* previous64Version, const char* bitnessText, const char* arg15,
                    const char* arg16, const char* reportSuiteOverride, const char* deployStatus,
                    int32_t msiStatusError, int32_t msiStatusExtendedError);

// Posts document (agent "tupdate", https only) to the first urlLength
// characters of statusUrl and reads the response. 1 on success, 0 on any
// failure (logged). Logs the document with LogHeadRequestBuffer in every case.
int SendHeadRequest(const char* statusUrl, size_t urlLength, const char* document);

// Logs "Ping Values: " and the document at INFO, its prop20 value hidden.
void LogHeadRequestBuffer(const char* document);

// Keeps the Policy value VisitorId when it holds at least 16 characters,
// else makes a new id; the id is left in buffer (capacity characters, at
// least 32) and written to the Policy value. Answers the write's result.
bool MakeVisitorId(char* buffer, size_t capacity);
