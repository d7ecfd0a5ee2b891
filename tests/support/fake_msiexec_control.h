// Driving the scriptable msiexec.exe double (fake_msiexec.cpp, whose header
// comment gives the script language) from a test: header only, plain Win32.
//
//   tds_test::FakeMsiexec fake("[run 1]\nexit 1603\n");
//   tds_test::InstallerLocationOverride location(fake.folder());
//   ... run launcher code that starts msiexec.exe ...
//   EXPECT_EQ(fake.commandLines().at(0), "\"...\\msiexec.exe\" /i ...");
//
// The override changes a machine-wide value: tests that use it carry the
// CTest RESOURCE_LOCK "registry-hklm-installer".
#ifndef TDS_TESTS_SUPPORT_FAKE_MSIEXEC_CONTROL_H
#define TDS_TESTS_SUPPORT_FAKE_MSIEXEC_CONTROL_H

#include <windows.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace tds_test {


// The whole content of a file, or empty when it cannot be read.
inline std::string readFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(file);
  return out;
}

inline bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// The lines of a log written by the doubles (CR LF line ends removed).
inline std::vector<std::string> readLogLines(const std::wstring& path) {
  std::string text = readFileBytes(path);
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A unique file name in the temporary folder (the file is created empty).
inline std::wstring uniqueTempFile(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD got = GetTempPathW(MAX_PATH + 1, folder);
  if (got == 0 || got > MAX_PATH) return {};
  if (GetTempFileNameW(folder, prefix, 0, name) == 0) return {};
  return name;
}

// Sets an environment variable of this process (inherited by the children it
// starts from now on) and puts the old value back when it goes.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size != 0) {
      std::wstring old(size, L'\0');
      DWORD got = GetEnvironmentVariableW(name, &old[0], size);
      had_ = got < size;
      old.resize(got);
      old_ = old;
    }
    SetEnvironmentVariableW(name, value.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// One scripted msiexec for the length of a test: the script and the log are
// fresh temporary files, named to the double through TDS_FAKE_MSIEXEC_SCRIPT
// and TDS_FAKE_MSIEXEC_LOG in this process's environment, and deleted at the
// end.
class FakeMsiexec {
 public:
  explicit FakeMsiexec(const std::string& script = std::string())
      : scriptPath_(uniqueTempFile(L"fms")),
        logPath_(uniqueTempFile(L"fml")),
        scriptVar_(L"TDS_FAKE_MSIEXEC_SCRIPT", scriptPath_),
        logVar_(L"TDS_FAKE_MSIEXEC_LOG", logPath_) {
    setScript(script);
  }
  FakeMsiexec(const FakeMsiexec&) = delete;
  FakeMsiexec& operator=(const FakeMsiexec&) = delete;
  ~FakeMsiexec() {
    DeleteFileW(scriptPath_.c_str());
    DeleteFileW(logPath_.c_str());
  }

  // Replaces the script; answers false when it cannot be written.
  bool setScript(const std::string& script) { return writeFileBytes(scriptPath_, script); }

  // The double's folder (no trailing backslash), as "InstallerLocation" holds it.
  static std::wstring folder() { return moduleFolder() + L"fake-msiexec"; }
  static std::wstring exePath() { return folder() + L"\\msiexec.exe"; }

  // The command lines of the runs so far, oldest first.
  std::vector<std::string> commandLines() const { return readLogLines(logPath_); }
  const std::wstring& logPath() const { return logPath_; }
  const std::wstring& scriptPath() const { return scriptPath_; }

 private:
  std::wstring scriptPath_;
  std::wstring logPath_;
  ScopedEnvironment scriptVar_;
  ScopedEnvironment logVar_;
};

// Points HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer
// "InstallerLocation" at `folder` and puts the old value back (or removes the
// value when there was none) when it goes. `ok()` tells whether it was set.
class InstallerLocationOverride {
 public:
  explicit InstallerLocationOverride(const std::wstring& folder) {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, kValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      old_.resize(size);
      if (RegQueryValueExW(key_, kValue, nullptr, &type, old_.data(), &size) == ERROR_SUCCESS) {
        old_.resize(size);
        oldType_ = type;
        hadOld_ = true;
      }
    }
    ok_ = RegSetValueExW(key_, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) ==
          ERROR_SUCCESS;
  }
  InstallerLocationOverride(const InstallerLocationOverride&) = delete;
  InstallerLocationOverride& operator=(const InstallerLocationOverride&) = delete;
  ~InstallerLocationOverride() {
    if (key_ == nullptr) return;
    if (hadOld_)
      RegSetValueExW(key_, kValue, 0, oldType_, old_.data(), static_cast<DWORD>(old_.size()));
    else
      RegDeleteValueW(key_, kValue);
    RegCloseKey(key_);
  }
  bool ok() const { return ok_; }

 private:
  static constexpr const wchar_t* kKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
  static constexpr const wchar_t* kValue = L"InstallerLocation";
  HKEY key_ = nullptr;
  std::vector<BYTE> old_;
  DWORD oldType_ = REG_SZ;
  bool hadOld_ = false;
  bool ok_ = false;
};

}  // namespace tds_test

#endif
