#pragma once
// Small text and environment helpers of the test doubles: header only, plain
// Win32, so the doubles build without the project's libraries.

#include <windows.h>

#include <string>

namespace tds_test {

// The folder of the running program, with a trailing backslash; empty when
// the module name cannot be read.
inline std::wstring moduleFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (got == 0) return {};
    if (got < path.size()) {
      path.resize(got);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::wstring::size_type slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// An environment variable's value; empty when it is not set.
inline std::wstring environmentValue(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD got = GetEnvironmentVariableW(name, &value[0], size);
  if (got == 0 || got >= size) return {};
  value.resize(got);
  return value;
}

inline std::string wideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<std::string::size_type>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

// Appends line and CR LF to the file, retrying briefly while a reader holds
// it. False when the file could not be opened.
inline bool appendLogLine(const std::wstring& path, const std::string& line) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      std::string data = line + "\r\n";
      DWORD written = 0;
      WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
      CloseHandle(file);
      return true;
    }
    Sleep(10);
  }
  return false;
}

}  // namespace tds_test
