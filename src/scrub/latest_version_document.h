#pragma once
// The maker's latest-version document: per version family a baseline
// (installed versions older than it are out of date) and a removal range
// (out-of-date versions inside it start ticked for removal).

#include <map>
#include <optional>
#include <string>

#include "foundation/tolva_version.h"

namespace tscrub {

struct FamilyInfo {
    TolvaVersion family;
    TolvaVersion latestVersion;
    TolvaVersion baselineVersion;
    TolvaVersion minVersion;
    TolvaVersion maxVersion;
};

// Family id text ("9.1.4") to its facts, ordered by the id's bytes.
typedef std::map<std::string, FamilyInfo> FamilyMap;

}  // namespace tscrub
