#pragma once
// Finding out-of-date runtime versions and removing installed ones for the
// launcher's clean-up after an install.

#include <string>
#include <vector>

#include "scrub/latest_version_document.h"
#include "scrub/version_entry.h"

struct XmlNode;

namespace tscrub {

class TolvaScrub {
public:
    // Uninstalls the runtime version of the given bitness (64 when is64, else
    // 32) and logs the outcome. True on success; false when the version is not
    // registered in that view or its uninstall failed. Throws as
    // TCleaner::getProductGUID for versions below the oldest supported one.
    static bool uninstallKessaVersion(const std::string& version, bool is64);

    // The installed runtimes that the latest-version document calls out of
    // date (older than their family's baseline), the current version never
    // among them, ascending by version; entries inside their family's removal
    // range carry VersionEntry::InRemovalRange. Throws the HttpConnection
    // errors of the download and the version parser's errors for a version
    // text (installed or in the document) that does not parse.
    static std::vector<VersionEntry> getOutOfDateVersions(const std::string& currentVersion);

    // One entry per runtime of Part-1.121's list in both registry views:
    // is64 = 0 for the 32-bit view, else 1; flags = 1. Throws the version
    // parser's errors for a runtime key name that is no version.
    static std::vector<VersionEntry> getInstalledVersions();

    // True when "<Windows folder>\Brask\Tolva\Deployment\DeploymentRuleSet.tlv"
    // exists: an administrator's rule set then decides which runtimes stay.
    static bool isDeploymentRuleSetPresent();

    // The name users know the version by, e.g. "Tolva 8 Update 45 (64-bit)".
    static std::string getDisplayName(const VersionEntry& entry);

    // Downloads the document from the maker's download host over HTTPS
    // (at most 1 MB, no dialogs). Throws the HttpConnection errors; out is
    // then unspecified.
    static void downloadLatestVersionDocument(std::string& out);
    // Fills map from the document text. False when the text holds no XML
    // node (map untouched); true otherwise, with the families read (none
    // when the document has no kessaVersions or family element). Throws the
    // version parser's errors for a version text that does not parse; the
    // parsed tree is freed on every path.
    static bool parseLatestVersionDocument(FamilyMap& map, const std::string& document);
    // Reads a family element's id and version texts with their defaults
    // (baseline and latest default to the id, the range to [id, latest]).
    // False, texts unspecified, when the node has no child node, no
    // attributes or no "id" attribute.
    static bool readFamily(const XmlNode* node, std::string& id, std::string& latest, std::string& baseline,
                           std::string& min, std::string& max);
    // The family whose id is "<major>.<minor>.<micro>" of version; none when
    // the document has no such family.
    static std::optional<FamilyInfo> findFamily(const FamilyMap& map, const TolvaVersion& version);
    // True when version's family exists and its baseline is above version.
    static bool isBelowBaseline(const FamilyMap& map, const std::string& version);
    // True when version's family is missing, or min <= version <= max.
    static bool isInRemovalRange(const FamilyMap& map, const std::string& version);
};

}  // namespace tscrub
