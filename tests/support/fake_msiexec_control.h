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

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"

namespace tds_test {

// A unique file name in the temporary folder (the file is created empty).
inline std::wstring uniqueTempFile(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD got = GetTempPathW(MAX_PATH + 1, folder);
  if (got == 0 || got > MAX_PATH) return {};
  if (GetTempFileNameW(folder, prefix, 0, name) == 0) return {};
  return name;
}

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
  bool setScript(const std::string& script) { return testutil::writeFileBytes(scriptPath_, script); }

  // The double's folder (no trailing backslash), as "InstallerLocation" holds it.
  static std::wstring folder() { return testutil::besideExe(L"fake-msiexec"); }
  static std::wstring exePath() { return folder() + L"\\msiexec.exe"; }

  // The command lines of the runs so far, oldest first.
  std::vector<std::string> commandLines() const { return testutil::readFileLines(logPath_); }
  const std::wstring& logPath() const { return logPath_; }
  const std::wstring& scriptPath() const { return scriptPath_; }

 private:
  std::wstring scriptPath_;
  std::wstring logPath_;
  testutil::ScopedEnvironment scriptVar_;
  testutil::ScopedEnvironment logVar_;
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
