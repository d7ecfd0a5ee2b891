// res:// addresses as the browser control serves them: the RT_HTML resource
// <NAME> of the module named by the address.
#pragma once

#include <string>

namespace standin {

struct ResUrl {
  std::wstring module;  // decoded module path
  std::wstring name;    // resource name, upper case, without fragment or query
};

// Splits "res://<module path>/<NAME>[#fragment]" (module path percent-encoded);
// false for anything else.
bool parseResUrl(const std::wstring& url, ResUrl* out);

// The address without its "#fragment".
std::wstring stripFragment(const std::wstring& url);

// `relative` resolved against the page address `base`: absolute addresses
// (with "://") stay; "#x" appends to the page; anything else replaces the
// last path segment of the page address.
std::wstring resolveUrl(const std::wstring& base, const std::wstring& relative);

// Reads the RT_HTML resource the address names, as its bytes. false when the
// address is not a res:// one or the module or the resource is missing;
// *bytes untouched then.
bool loadResBytes(const std::wstring& url, std::string* bytes);

// The resource as text (UTF-8 with or without BOM, or UTF-16 with BOM); as
// loadResBytes otherwise.
bool loadResText(const std::wstring& url, std::wstring* text);

// UTF-16 <-> UTF-8.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

}  // namespace standin
