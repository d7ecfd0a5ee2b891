// A stand-in for a program that a package installs and a launcher starts
// (the updater's registration tool "taureg.exe", the kit's runtime installer
// "kessa.exe"). It installs nothing: it records how it was called and answers
// a chosen exit code, so a whole launcher run can be checked afterwards:
//
//   - appends one line to RECORDER_LOG_NAME beside this program (or to the
//     file that the environment variable RECORDER_LOG_VARIABLE names): the
//     arguments as they follow the program name on the command line, leading
//     blanks removed, UTF-8, CR LF;
//   - exits with the decimal number in RECORDER_EXIT_CODE_VARIABLE, else 0.
//
// The three names are given by the build, one set per program.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring environmentValue(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD got = GetEnvironmentVariableW(name, &value[0], size);
  if (got == 0 || got >= size) return {};
  value.resize(got);
  return value;
}

std::wstring ownFolder() {
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

// The command line after the program name, split the way the C runtime
// splits argv[0]: a quoted name ends at the next quote, a bare one at a blank.
std::wstring argumentsText() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<std::string::size_type>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

void appendLine(const std::wstring& path, const std::string& line) {
  // Shared opening with a few retries: two registrations may run at once.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      std::string data = line + "\r\n";
      DWORD written = 0;
      WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
      CloseHandle(file);
      return;
    }
    Sleep(20);
  }
}

}  // namespace

int wmain() {
  std::wstring logPath = environmentValue(RECORDER_LOG_VARIABLE);
  if (logPath.empty()) logPath = ownFolder() + RECORDER_LOG_NAME;
  appendLine(logPath, toUtf8(argumentsText()));

  std::wstring code = environmentValue(RECORDER_EXIT_CODE_VARIABLE);
  if (code.empty()) return 0;
  return static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
