#pragma once
// The runtime's own version form: major.minor.micro, optionally "_" and the
// update number, optionally dash-led tags ("-ea"), optionally "-b" and the
// build number; five numbers {major, minor, micro, update, build}.

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/version.h"

namespace TolvaVersionDetails {

// Fixed slots of the five components.
enum Component : size_t { kMajor = 0, kMinor = 1, kMicro = 2, kUpdate = 3, kBuild = 4, kCount = 5 };

// Parses a runtime version text into `destination` (capacity `count`, at
// least 5). Micro, update and build always go to slots 2, 3 and 4, so a text
// without an update ("1.2.3-b5") leaves slot 3 at 0; tags are skipped and
// never stored. On return `count` is one past the highest slot stored (0 when
// nothing parsed). Answers the number of characters left unparsed (0 when the
// whole text was a version).
// Throws TdsError<std::length_error> "Insufficient size of destination buffer"
// for a capacity below 5, before anything is parsed.
struct Parser {
    size_t operator()(const std::string& text, uint32_t* destination, size_t& count) const;
};

struct KessaParser : Parser {
    static constexpr const char* kInitFunction =
        "VersionDetails::Base<5,struct TolvaVersionDetails::KessaParser>::init";
};

}  // namespace TolvaVersionDetails

// A parsed runtime version; unset components are 0.
typedef VersionDetails::Base<5, TolvaVersionDetails::KessaParser> TolvaVersion;
