#pragma once
// Parts of the out-of-date detection that tests drive with their own
// document address.

#include <string>
#include <vector>

#include "scrub/version_entry.h"

namespace tscrub {
namespace internal {

// "https://<the maker's download host>/update/tolvaLatestVersion.xml".
std::string latestVersionDocumentUrl();

// downloadLatestVersionDocument from url.
void downloadLatestVersionDocumentFrom(const std::string& url, std::string& out);

// getOutOfDateVersions with the document at url.
std::vector<VersionEntry> getOutOfDateVersionsFrom(const std::string& url, const std::string& currentVersion);

}  // namespace internal
}  // namespace tscrub
