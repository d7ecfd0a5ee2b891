#include "res_url.h"

#include <windows.h>

#include <cwctype>

namespace standin {
namespace {

int hexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// %XX escapes are bytes of UTF-8 text.
std::wstring percentDecode(const std::wstring& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi, lo;
    if (text[i] == L'%' && i + 2 < text.size() &&
        (hi = hexValue(text[i + 1])) >= 0 && (lo = hexValue(text[i + 2])) >= 0) {
      bytes.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      bytes += toUtf8(std::wstring(1, text[i]));
    }
  }
  return fromUtf8(bytes);
}

std::wstring upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

struct LoadedModule {
  HMODULE module = nullptr;
  bool owned = false;
  ~LoadedModule() {
    if (owned) FreeLibrary(module);
  }
};

bool openModule(const std::wstring& path, LoadedModule* out) {
  wchar_t self[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2 && CompareStringOrdinal(self, -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) {
    out->module = GetModuleHandleW(nullptr);
    return true;
  }
  out->module = LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  out->owned = out->module != nullptr;
  return out->module != nullptr;
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  return out;
}

std::wstring fromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring stripFragment(const std::wstring& url) {
  size_t hash = url.find(L'#');
  return hash == std::wstring::npos ? url : url.substr(0, hash);
}

bool parseResUrl(const std::wstring& url, ResUrl* out) {
  const std::wstring scheme = L"res://";
  if (url.size() <= scheme.size() ||
      CompareStringOrdinal(url.c_str(), static_cast<int>(scheme.size()), scheme.c_str(), -1, TRUE) !=
          CSTR_EQUAL)
    return false;
  std::wstring rest = stripFragment(url.substr(scheme.size()));
  size_t query = rest.find(L'?');
  if (query != std::wstring::npos) rest.erase(query);
  size_t firstSlash = rest.find(L'/');
  size_t lastSlash = rest.rfind(L'/');
  if (firstSlash == std::wstring::npos || firstSlash == 0 || lastSlash + 1 >= rest.size()) return false;
  out->module = percentDecode(rest.substr(0, firstSlash));
  out->name = upper(percentDecode(rest.substr(lastSlash + 1)));
  return true;
}

std::wstring resolveUrl(const std::wstring& base, const std::wstring& relative) {
  if (relative.find(L"://") != std::wstring::npos) return relative;
  std::wstring page = stripFragment(base);
  if (!relative.empty() && relative[0] == L'#') return page + relative;
  std::wstring rel = relative;
  while (rel.compare(0, 2, L"./") == 0) rel.erase(0, 2);
  size_t slash = page.rfind(L'/');
  return (slash == std::wstring::npos ? page + L"/" : page.substr(0, slash + 1)) + rel;
}

bool loadResBytes(const std::wstring& url, std::string* bytes) {
  ResUrl res;
  if (!parseResUrl(url, &res)) return false;
  LoadedModule module;
  if (!openModule(res.module, &module)) return false;
  HRSRC found = FindResourceW(module.module, res.name.c_str(), MAKEINTRESOURCEW(23));
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module.module, found);
  DWORD size = SizeofResource(module.module, found);
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!data && size != 0) return false;
  bytes->assign(data ? data : "", size);
  return true;
}

bool loadResText(const std::wstring& url, std::wstring* text) {
  std::string raw;
  if (!loadResBytes(url, &raw)) return false;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
      static_cast<unsigned char>(raw[1]) == 0xFE) {
    text->assign(reinterpret_cast<const wchar_t*>(raw.data() + 2), (raw.size() - 2) / 2);
    return true;
  }
  if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  *text = fromUtf8(raw);
  return true;
}

}  // namespace standin
