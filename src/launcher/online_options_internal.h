#pragma once
// Parts of the options document handling that tests drive directly.

#include <cstddef>
#include <string>

namespace online_options_internal {

constexpr size_t kCountryLookupCapacity = 256;

// ParseOptionsXml for the given language code instead of the preferred one.
int ParseOptionsXmlFor(const std::string& langCode, const char* documentText, char* options,
                       size_t capacity, char* postStatusUrl, char* countryLookupUrl,
                       char* imageBaseUrl);

// The document's address: the vendor value InstallerXmlURL when set, else
// <download server>/update/<familyVersion>/<fullVersion>.xml.
std::string OptionsDocumentUrl(const std::string& familyVersion, const std::string& fullVersion);

// "<imageBaseUrl>/Tolva3BillDevices_<langCode>.jpg".
std::string WelcomeImageUrl(const std::string& imageBaseUrl, const std::string& langCode);
// "<userDataDir>\Brask\Tolva\kessa<runtimeVersion>\Tolva3BillDevices.jpg".
std::string WelcomeImagePath(const std::string& userDataDir, const std::string& runtimeVersion);

// Downloads the image into localPath (creating its folder first) and keeps
// it only when its SHA-256 digest equals expectedDigest (64 lower-case hex
// digits); otherwise the file is deleted. Answers whether the image is kept.
bool DownloadWelcomeImage(const std::string& remoteUrl, const std::string& localPath,
                          const char* expectedDigest);

}  // namespace online_options_internal
