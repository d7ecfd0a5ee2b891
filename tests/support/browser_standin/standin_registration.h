// Registers the stand-in web browser control (browser_standin.dll) as
// CLSID_WebBrowser for the running Wine prefix, and puts back what was
// registered before. Tests that use it carry the CTest RESOURCE_LOCK
// "browser_standin". Wine reads in-process servers from HKLM only (it ignores
// HKCU for this class), so the machine-wide key is the one to change.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

namespace browser_standin_detail {

inline const wchar_t* serverKeyPath() {
  return L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";
}

struct SavedServer {
  bool saved = false;
  bool keyExisted = false;
  bool hadPath = false;
  std::wstring path;
  DWORD pathType = REG_SZ;
  bool hadModel = false;
  std::wstring model;
};

inline SavedServer& savedServer() {
  static SavedServer saved;
  return saved;
}

// A string value; false when it is missing or not text.
inline bool readText(HKEY key, const wchar_t* name, std::wstring* text, DWORD* type) {
  DWORD kind = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &kind, nullptr, &size) != ERROR_SUCCESS) return false;
  if (kind != REG_SZ && kind != REG_EXPAND_SZ) return false;
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS)
    return false;
  buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
  *text = buffer;
  if (type) *type = kind;
  return true;
}

inline bool writeText(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace browser_standin_detail

// browser_standin.dll beside the running program.
inline std::wstring BrowserStandinPath() {
  wchar_t self[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring path(self, (n > 0 && n < MAX_PATH * 4) ? n : 0);
  size_t slash = path.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"browser_standin.dll";
}

// Points CLSID_WebBrowser's InprocServer32 (64-bit view) at dllPath with
// ThreadingModel "Apartment", remembering what was there the first time.
// false when the key cannot be written (nothing is then changed).
inline bool RegisterBrowserStandin(const std::wstring& dllPath) {
  using namespace browser_standin_detail;
  SavedServer& saved = savedServer();
  HKEY key = nullptr;
  if (!saved.saved) {
    SavedServer before;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serverKeyPath(), 0, KEY_READ | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
      before.keyExisted = true;
      before.hadPath = readText(key, nullptr, &before.path, &before.pathType);
      before.hadModel = readText(key, L"ThreadingModel", &before.model, nullptr);
      RegCloseKey(key);
    }
    before.saved = true;
    saved = before;
  }
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, serverKeyPath(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = writeText(key, nullptr, dllPath) && writeText(key, L"ThreadingModel", L"Apartment");
  RegCloseKey(key);
  return ok;
}

// Puts back the registration that RegisterBrowserStandin found (deleting the
// key when there was none). Does nothing when nothing was registered.
inline void UnregisterBrowserStandin() {
  using namespace browser_standin_detail;
  SavedServer& saved = savedServer();
  if (!saved.saved) return;
  if (!saved.keyExisted) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, serverKeyPath(), KEY_WOW64_64KEY, 0);
  } else {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serverKeyPath(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
      if (saved.hadPath)
        writeText(key, nullptr, saved.path, saved.pathType);
      else
        RegDeleteValueW(key, nullptr);
      if (saved.hadModel)
        writeText(key, L"ThreadingModel", saved.model);
      else
        RegDeleteValueW(key, L"ThreadingModel");
      RegCloseKey(key);
    }
  }
  saved = SavedServer();
}

// The stand-in's class factory straight from the dll (for
// CoRegisterClassObject inside the thread that hosts the control). The dll
// stays loaded. S_OK, or the failing call's HRESULT with *factory null.
inline HRESULT BrowserStandinClassFactory(IClassFactory** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  HMODULE module = LoadLibraryW(BrowserStandinPath().c_str());
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!get) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  const CLSID webBrowser = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};
  return get(webBrowser, IID_IClassFactory, reinterpret_cast<void**>(factory));
}
