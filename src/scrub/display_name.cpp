#include "foundation/tstrings.h"
#include "scrub/tolva_scrub.h"

namespace tscrub {

std::string TolvaScrub::getDisplayName(const VersionEntry& entry) {
    const uint32_t minor = entry.version[TolvaVersionDetails::kMinor];
    const uint32_t micro = entry.version[TolvaVersionDetails::kMicro];
    const uint32_t update = entry.version[TolvaVersionDetails::kUpdate];
    std::string name;
    if (minor <= 4) {
        name = "Tolva Classic Runtime Environment v" + entry.version.source();
    } else {
        if (minor == 5)
            name = "Tolva Standard Runtime Environment 5.0";
        else if (minor == 6 && micro == 0 && update < 2)
            name = "Tolva(TM) Runtime Environment 6";
        else if (minor == 6 || (minor == 7 && micro == 0 && update < 6))
            name = tstrings::format("Tolva(TM) %u", minor);
        else
            name = tstrings::format("Tolva %u", minor);
        if (update >= 1)
            name += tstrings::format(" Update %u", update);
    }
    if (entry.is64 == 1)
        name += " (64-bit)";
    return name;
}

}  // namespace tscrub
