#pragma once
// The online options document: where the install-status ping goes, where the
// user's country is looked up, and the base of the welcome image's address.

#include <cstddef>

// Fetches the options document (vendor value InstallerXmlURL, else the
// download server's document for this version) and takes its values; when
// it named a status URL, finds the country. Then, whatever the document
// gave, downloads the welcome image when it named an image address and
// checks the local image: it is kept only when its SHA-256 digest matches
// string 4008, else deleted.
// options, postStatusUrl and imageBaseUrl hold capacity characters, country
// 20. Returns 1 when the document named a status URL, else 0 (no network, an
// HTTP error or a malformed document: logged, outputs empty). Never throws.
int GetOptionsFromXmlIfOnline(char* options, size_t capacity, char* postStatusUrl,
                              char* imageBaseUrl, char* country);

// Takes the values of the options document text for the user's preferred
// UI language, "en" values standing in for a language the document lacks.
// options, postStatusUrl and imageBaseUrl hold capacity characters,
// countryLookupUrl 256; each is written only when the document names it,
// cut to fit. Returns 1 when a status URL (other than "0") was taken.
int ParseOptionsXml(const char* documentText, char* options, size_t capacity, char* postStatusUrl,
                    char* countryLookupUrl, char* imageBaseUrl);
