#pragma once
// Dotted version texts ("10.2", "1.6.0") parsed into fixed arrays of unsigned
// 32-bit numbers, so that versions compare by their numbers and never as texts.

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace VersionDetails {

// One component, read whole as a decimal number. The text must begin with a
// digit and hold nothing else; a value above 4294967295 is refused too.
// Throws TdsError<std::runtime_error> "Failed to recognize version component in [<text>]".
uint32_t parseComponent(const std::string& text);

// Reads up to `count` leading dot-separated components of `text` into
// `components` (capacity `count`), stopping quietly at the first piece that is
// not a whole number. On return `count` holds how many were stored; answers
// the number of characters left unparsed at the end of the text.
// Throws TdsError<std::runtime_error> "Destination buffer can't be empty" when
// count is 0; nothing is stored then.
struct Parser {
    size_t operator()(const std::string& text, uint32_t* components, size_t& count) const;
    static constexpr const char* kInitFunction = "VersionDetails::Base<N,struct VersionDetails::Parser>::init";
};

// A version of N components parsed with P, plus the text it came from.
// Components the text does not give stay 0. Ordered by the components, first
// to last; the text plays no part in the order.
template <size_t N, class P = Parser>
class Base {
public:
    Base() = default;
    // Parses text; throws as init does.
    explicit Base(const std::string& text) { init(text); }

    // Parses text into this value. Throws TdsError<std::runtime_error>
    // "Failed to parse [<text>] version string completely. Number of
    // unrecognised characters is <n>" when characters are left over, and
    // "Failed to parse [<text>] version string: no version component" when
    // the text holds no component at all; parser errors propagate. The value
    // is left unchanged on failure.
    void init(const std::string& text) {
        uint32_t parsed[N] = {};
        size_t count = N;
        const size_t left = P()(text, parsed, count);
        if (left != 0)
            throw TdsError<std::runtime_error>(
                tstrings::format("Failed to parse [%s] version string completely. "
                                 "Number of unrecognised characters is %d",
                                 text.c_str(), static_cast<int>(left)),
                TDS_HERE(P::kInitFunction));
        if (count == 0)
            throw TdsError<std::runtime_error>(
                tstrings::format("Failed to parse [%s] version string: no version component",
                                 text.c_str()),
                TDS_HERE(P::kInitFunction));
        for (size_t i = 0; i < N; ++i)
            components_[i] = parsed[i];
        source_ = text;
    }

    // Component i (0-based); i must be below N.
    uint32_t operator[](size_t i) const { return components_[i]; }
    static constexpr size_t size() { return N; }
    // The text the value was parsed from (empty for a default value).
    const std::string& source() const { return source_; }

    // Negative, 0 or positive as this sorts before, with or after other.
    int compare(const Base& other) const {
        for (size_t i = 0; i < N; ++i) {
            if (components_[i] != other.components_[i])
                return components_[i] < other.components_[i] ? -1 : 1;
        }
        return 0;
    }
    friend bool operator<(const Base& a, const Base& b) { return a.compare(b) < 0; }
    friend bool operator>(const Base& a, const Base& b) { return a.compare(b) > 0; }
    friend bool operator<=(const Base& a, const Base& b) { return a.compare(b) <= 0; }
    friend bool operator>=(const Base& a, const Base& b) { return a.compare(b) >= 0; }
    friend bool operator==(const Base& a, const Base& b) { return a.compare(b) == 0; }
    friend bool operator!=(const Base& a, const Base& b) { return a.compare(b) != 0; }

private:
    uint32_t components_[N] = {};
    std::string source_;
};

}  // namespace VersionDetails
