#pragma once
// One installed runtime as the removal flow sees it, and one row of the
// removal pages.

#include <cstdint>

#include "foundation/tolva_version.h"

namespace tscrub {

struct VersionEntry {
    // Or-ed into flags when the version lies inside its family's removal
    // range: such versions start ticked on the pages.
    static constexpr uint32_t InRemovalRange = 8;

    // The five numbers, and the text they came from (the runtime's key name).
    TolvaVersion version;
    // 1 when found in the 64-bit registry view, 0 for the 32-bit view.
    uint32_t is64 = 0;
    // 1 when made; InRemovalRange may be added. No other bit is read.
    uint32_t flags = 1;
};

struct SelectableVersion {
    bool selected = false;
    VersionEntry entry;
};

}  // namespace tscrub
