#include "foundation/version.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace VersionDetails {

uint32_t parseComponent(const std::string& text) {
    // strtoull would accept a sign or leading blanks; a component is digits
    // only, and all of them.
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
        // A component above 4294967295 is refused rather than wrapped.
        if (end == text.c_str() + text.size() && errno != ERANGE && value <= UINT32_MAX)
            return static_cast<uint32_t>(value);
    }
    throw TdsError<std::runtime_error>(
        tstrings::format("Failed to recognize version component in [%s]", text.c_str()),
        TDS_HERE("VersionDetails::parseComponent"));
}

size_t Parser::operator()(const std::string& text, uint32_t* components, size_t& count) const {
    if (count == 0)
        throw TdsError<std::runtime_error>("Destination buffer can't be empty",
                                           TDS_HERE("VersionDetails::Parser::operator ()"));
    std::vector<std::string> pieces;
    tstrings::split(pieces, text, ".");
    const size_t limit = pieces.size() < count ? pieces.size() : count;

    std::vector<uint32_t> numbers;
    size_t consumed = 0;
    for (size_t i = 0; i < limit; ++i) {
        try {
            numbers.push_back(parseComponent(pieces[i]));
        } catch (const std::exception&) {
            break;
        }
        consumed += pieces[i].size();
        if (i + 1 < limit)
            consumed += 1;
    }
    if (consumed > text.size())
        throw TdsError<std::runtime_error>(
            tstrings::format("[%d < %d] failed", static_cast<int>(consumed),
                             static_cast<int>(text.size())),
            TDS_HERE("VersionDetails::Parser::operator ()"));
    for (size_t i = 0; i < numbers.size(); ++i)
        components[i] = numbers[i];
    count = numbers.size();
    return text.size() - consumed;
}

}  // namespace VersionDetails
