#pragma once
// The pieces of the install-status ping that need neither network nor
// registry, for tests.

#include <cstddef>
#include <cstdint>
#include <string>

namespace install_ping_internal {

// The whole document, its terminating NUL included.
constexpr size_t kPingCapacity = 2048;

// text with "&", "<" and ">" written as entities.
std::string EscapeXmlText(const std::string& text);

// The request document in a fixed buffer. Room for the closing tag is kept
// back from the start, so the document is always well formed.
class PingDocument {
public:
    PingDocument();
    // Appends <name>value</name> with value escaped. An element that does not
    // fit is left out (logged at ERROR); answers whether it was appended.
    bool add(const char* name, const std::string& value);
    // The same with the value in signed decimal.
    bool add(const char* name, int32_t value);
    // Appends "</request>" once and answers the whole document.
    const char* finish();
    const char* text() const { return buffer_; }

private:
    char buffer_[kPingCapacity];
    bool finished_ = false;
};

// prop20: the production pass for a status URL that contains "https://" and
// begins with the metrics server's URL, the test pass for other https
// status URLs, the plain pass otherwise.
std::string PassValue(const std::string& statusUrl);
// reportsuiteid: a non-empty override, else the text after the status URL's
// first ",", else the default suite.
std::string ReportSuiteId(const std::string& statusUrl, const char* reportSuiteOverride);
// Length of the status URL before its first "," (the whole when none).
size_t PostUrlLength(const std::string& statusUrl);

// The result reported for an install: -128 for 1638, or for 1602/1603 when
// the package reported "exists"; then -139 (a retry is pending) or -138 for
// 1602/1603 when the user cancelled the first install.
int32_t AdjustInstallResult(int32_t result, const std::string& installStatus, bool fiuCancel,
                            bool runOnceRetryPending);

// The products element's text for the (adjusted) result. bitnessText is the
// evar31 text; previousVersion and previous64Version may be null.
std::string ProductsText(int32_t result, const std::string& bitnessText, const char* previousVersion,
                         const std::string& defaultPreviousVersion, const char* previous64Version,
                         const std::string& installStatus);

// "B" + 1/0 for Internet Explorer, Firefox and Chrome + "00".
std::string BrowserFlags(bool ie, bool firefox, bool chrome);

// A new visitor id from "%lx%lx%lx" of the three numbers, padded with "f" to
// 16 characters, split in half by "-".
std::string FormatVisitorId(unsigned long tick, unsigned long seconds, unsigned long processId);
// Whether a stored visitor id (NUL-terminated within capacity) is kept: at
// least 16 characters.
bool IsUsableVisitorId(const char* text, size_t capacity);

// The document with the prop20 value overwritten by "*", for the log.
std::string MaskPass(const std::string& document);

// Forgets the process-wide visitor id and default previous version, so the
// next ping makes them again (each test starts as a new process would).
void ResetProcessValues();

}  // namespace install_ping_internal
