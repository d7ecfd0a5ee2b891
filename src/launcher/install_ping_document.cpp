#include "launcher/install_ping_internal.h"

#include <windows.h>

#include <cstring>

#include "foundation/logger.h"
#include "foundation/online_endpoints.h"
#include "foundation/tstrings.h"
#include "foundation/xml_append.h"

namespace install_ping_internal {

namespace {

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <request> ";
const char kFooter[] = "</request>";

bool isFailedInstall(int32_t result) { return result == 1602 || result == 1603; }

}  // namespace

std::string EscapeXmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
    return out;
}

PingDocument::PingDocument() {
    static_assert(sizeof kHeader + sizeof kFooter < kPingCapacity, "ping header and footer fit");
    std::memcpy(buffer_, kHeader, sizeof kHeader);
}

bool PingDocument::add(const char* name, const std::string& value) {
    if (finished_)
        return false;
    // The footer's room is held back: AppendXmlElement sees a smaller buffer.
    return AppendXmlElement(buffer_, kPingCapacity - (sizeof kFooter - 1), name,
                            EscapeXmlText(value).c_str());
}

bool PingDocument::add(const char* name, int32_t value) { return add(name, tstrings::toString(value)); }

const char* PingDocument::finish() {
    if (!finished_) {
        const size_t length = std::strlen(buffer_);
        std::memcpy(buffer_ + length, kFooter, sizeof kFooter);
        finished_ = true;
    }
    return buffer_;
}

std::string PassValue(const std::string& statusUrl) {
    if (statusUrl.find("https://") == std::string::npos)
        return online_endpoints::kPlainPass;
    const std::string production = online_endpoints::kMetricsServerUrl;
    if (statusUrl.compare(0, production.size(), production) == 0) {
        char pass[16];
        wsprintfA(pass, "%x", static_cast<unsigned>(online_endpoints::kProductionPassNumber));
        return pass;
    }
    return online_endpoints::kTestPass;
}

std::string ReportSuiteId(const std::string& statusUrl, const char* reportSuiteOverride) {
    if (reportSuiteOverride && *reportSuiteOverride)
        return reportSuiteOverride;
    const size_t comma = statusUrl.find(',');
    if (comma != std::string::npos)
        return statusUrl.substr(comma + 1);
    return online_endpoints::kReportSuite;
}

size_t PostUrlLength(const std::string& statusUrl) {
    const size_t comma = statusUrl.find(',');
    return comma == std::string::npos ? statusUrl.size() : comma;
}

int32_t AdjustInstallResult(int32_t result, const std::string& installStatus, bool fiuCancel,
                            bool runOnceRetryPending) {
    if ((installStatus == "exists" && isFailedInstall(result)) || result == 1638)
        result = -128;
    if (fiuCancel && isFailedInstall(result))
        result = runOnceRetryPending ? -139 : -138;
    return result;
}

std::string ProductsText(int32_t result, const std::string& bitnessText, const char* previousVersion,
                         const std::string& defaultPreviousVersion, const char* previous64Version,
                         const std::string& installStatus) {
    const char* kEntry = ";kessa|%d;;;;%s=%s|%s=%s";
    const std::string previous64 =
        previous64Version && *previous64Version ? previous64Version : "XX";
    std::string text;
    if (bitnessText.find("32bit") != std::string::npos) {
        const bool ownPrevious = previousVersion && std::strlen(previousVersion) >= 2 &&
                                 std::strcmp(previousVersion, "NA") != 0;
        const std::string previous = ownPrevious ? previousVersion : defaultPreviousVersion;
        text = tstrings::format(kEntry, result, "evar3", previous.c_str(), "evar32", "32bit");
        if (bitnessText.find("64bit") != std::string::npos)
            text += "," + tstrings::format(kEntry, result, "evar3", previous64.c_str(), "evar32", "64bit");
    } else {
        text = tstrings::format(kEntry, result, "evar3", previous64.c_str(), "evar32", "64bit");
    }
    if (!installStatus.empty() && installStatus != "exists")
        text += installStatus;
    return text;
}

std::string BrowserFlags(bool ie, bool firefox, bool chrome) {
    return std::string("B") + (ie ? "1" : "0") + (firefox ? "1" : "0") + (chrome ? "1" : "0") + "00";
}

std::string FormatVisitorId(unsigned long tick, unsigned long seconds, unsigned long processId) {
    std::string raw = tstrings::format("%lx%lx%lx", tick, seconds, processId);
    if (raw.size() < 16)
        raw.append(16 - raw.size(), 'f');
    const size_t half = raw.size() / 2;
    return raw.substr(0, half) + "-" + raw.substr(half);
}

bool IsUsableVisitorId(const char* text, size_t capacity) {
    // Counted in characters: Wine and Windows report the stored byte count of
    // a value written without its NUL differently.
    return text && strnlen(text, capacity) >= 16 && strnlen(text, capacity) < capacity;
}

std::string MaskPass(const std::string& document) {
    std::string masked = document;
    const std::string open = "<prop20>";
    const size_t start = masked.find(open);
    if (start == std::string::npos)
        return masked;
    const size_t from = start + open.size();
    const size_t end = masked.find("</prop20>", from);
    const size_t to = end == std::string::npos ? masked.size() : end;
    masked.replace(from, to - from, to - from, '*');
    return masked;
}

}  // namespace install_ping_internal
