#include <algorithm>

#include "foundation/file_utils.h"
#include "foundation/installed_runtimes.h"
#include "foundation/sys_info.h"
#include "scrub/tolva_scrub.h"
#include "scrub/tolva_scrub_internal.h"

namespace tscrub {

namespace internal {

std::vector<VersionEntry> getOutOfDateVersionsFrom(const std::string& url, const std::string& currentVersion) {
    std::string document;
    downloadLatestVersionDocumentFrom(url, document);
    FamilyMap families;
    // A document that does not parse leaves no family, so nothing is out of date.
    TolvaScrub::parseLatestVersionDocument(families, document);
    const TolvaVersion current(currentVersion);

    std::vector<VersionEntry> out;
    for (VersionEntry& entry : TolvaScrub::getInstalledVersions()) {
        if (entry.version == current)
            continue;
        const std::string& text = entry.version.source();
        if (!TolvaScrub::isBelowBaseline(families, text))
            continue;
        if (TolvaScrub::isInRemovalRange(families, text))
            entry.flags |= VersionEntry::InRemovalRange;
        out.push_back(entry);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const VersionEntry& a, const VersionEntry& b) { return a.version < b.version; });
    return out;
}

}  // namespace internal

std::vector<VersionEntry> TolvaScrub::getOutOfDateVersions(const std::string& currentVersion) {
    return internal::getOutOfDateVersionsFrom(internal::latestVersionDocumentUrl(), currentVersion);
}

std::vector<VersionEntry> TolvaScrub::getInstalledVersions() {
    const InstalledTolvaVersions installed;
    const TolvaVersionList all = installed.getList(3);
    std::vector<VersionEntry> out;
    out.reserve(all.count());
    for (size_t i = 0; i < all.count(); ++i) {
        VersionEntry entry;
        entry.version.init(all[i].version);
        entry.is64 = all[i].view == 1 ? 0 : 1;
        entry.flags = 1;
        out.push_back(entry);
    }
    return out;
}

bool TolvaScrub::isDeploymentRuleSetPresent() {
    return FileUtils::exists(SysInfo::getWindowsDir() + "\\Brask\\Tolva\\Deployment\\DeploymentRuleSet.tlv");
}

}  // namespace tscrub
