#include "foundation/tolva_version.h"

#include <cctype>
#include <stdexcept>

namespace TolvaVersionDetails {
namespace {

const char kFunction[] = "TolvaVersionDetails::Parser::operator ()";

// Parses text[pos, end) as one component into *out; false when it is not one.
bool readNumber(const std::string& text, size_t pos, size_t end, uint32_t* out) {
    try {
        *out = VersionDetails::parseComponent(text.substr(pos, end - pos));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

size_t findFrom(const std::string& text, size_t pos, const char* set) {
    const size_t hit = text.find_first_of(set, pos);
    return hit == std::string::npos ? text.size() : hit;
}

// "-b" followed by digits only, up to the next "-" or the end.
bool isBuildSegment(const std::string& text, size_t pos) {
    if (pos + 2 > text.size() || text[pos] != '-' || text[pos + 1] != 'b')
        return false;
    const size_t end = findFrom(text, pos + 1, "-");
    if (end == pos + 2)
        return false;
    for (size_t i = pos + 2; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

void checkProgress(size_t before, size_t after) {
    if (after > before)
        throw TdsError<std::runtime_error>(
            tstrings::format("[%d < %d] failed", static_cast<int>(before), static_cast<int>(after)),
            TDS_HERE(kFunction));
}

}  // namespace

size_t Parser::operator()(const std::string& text, uint32_t* destination, size_t& count) const {
    if (count < kCount)
        throw TdsError<std::length_error>(std::length_error("Insufficient size of destination buffer"),
                                          TDS_HERE(kFunction));
    uint32_t parts[kCount] = {};
    size_t dotted = 3;
    const size_t leftAfterDots = VersionDetails::Parser()(text, parts, dotted);

    size_t stored = dotted;
    size_t pos = text.size() - leftAfterDots;
    if (dotted == 2) {
        // The third piece holds more than a number: micro, then the suffixes.
        size_t left = text.size() - pos;
        const size_t microEnd = findFrom(text, pos, "_-");
        if (readNumber(text, pos, microEnd, &parts[kMicro])) {
            stored = kMicro + 1;
            pos = microEnd;
            checkProgress(left, text.size() - pos);
            left = text.size() - pos;

            if (pos < text.size() && text[pos] == '_') {
                const size_t end = findFrom(text, pos + 1, "-");
                if (readNumber(text, pos + 1, end, &parts[kUpdate])) {
                    stored = kUpdate + 1;
                    pos = end;
                }
                checkProgress(left, text.size() - pos);
                left = text.size() - pos;
            }
            // Tags: dash-led segments that are not a build; skipped, never stored.
            while (pos + 1 < text.size() && text[pos] == '-' && text[pos + 1] != '-' &&
                   !isBuildSegment(text, pos)) {
                pos = findFrom(text, pos + 1, "-");
                checkProgress(left, text.size() - pos);
                left = text.size() - pos;
            }
            if (isBuildSegment(text, pos)) {
                const size_t end = findFrom(text, pos + 1, "-");
                if (readNumber(text, pos + 2, end, &parts[kBuild])) {
                    stored = kBuild + 1;
                    pos = end;
                }
                checkProgress(left, text.size() - pos);
            }
        }
    }
    // The dotted reader counts a separating dot before it knows whether a
    // component follows, so "1.2." would pass as complete: the dot is
    // reported as unrecognised instead.
    if (pos == text.size() && !text.empty() && text.back() == '.')
        pos = text.size() - 1;
    for (size_t i = 0; i < kCount; ++i)
        destination[i] = parts[i];
    count = stored;
    return text.size() - pos;
}

}  // namespace TolvaVersionDetails
