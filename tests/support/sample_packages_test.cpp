// The sample packages installed and removed for real by Wine's own msiexec:
// the files and registry values that the launchers and the removal code rely
// on, the progress reports of the runtime package's custom action, and the
// updater's registration tool. Holds the "machine-install" and
// "operation-record" locks.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"
#include "sample_packages.h"

namespace {

using testutil::environmentValue;
using testutil::fileExists;
using testutil::fromUtf8;
using testutil::quote;

const wchar_t kRuntimeFamilyKey[] = L"SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A REG_SZ value in the given registry view, or "<missing>".
std::wstring readString(const std::wstring& key, const wchar_t* name, REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS)
    return L"<missing>";
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  LONG rc = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return L"<missing>";
  return buffer;
}

bool keyExists(const std::wstring& key, REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &handle) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// Wine's own msiexec, found the way the launchers find it.
std::wstring realMsiexec() {
  std::wstring folder = readString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                   L"InstallerLocation", 0);
  return folder + L"\\msiexec.exe";
}

DWORD msiexec(const std::wstring& arguments) {
  return testutil::runProcess(quote(realMsiexec()) + arguments, 180000).exitCode;
}

const std::wstring kRuntimeCode = fromUtf8(TDS_SAMPLE_RUNTIME_PRODUCT_CODE);
const std::wstring kAuCode = fromUtf8(TDS_SAMPLE_AU_PRODUCT_CODE);
const std::wstring kVersionKey = fromUtf8(TDS_SAMPLE_RUNTIME_KEY);

class SamplePackages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(fromUtf8(TDS_SAMPLE_RUNTIME_MSI_PATH)));
    ASSERT_TRUE(fileExists(fromUtf8(TDS_SAMPLE_AU_MSI_PATH)));
  }
  // A failed test must not leave the products behind for the next one.
  void TearDown() override {
    if (keyExists(kUninstallKey + kRuntimeCode, KEY_WOW64_64KEY))
      msiexec(L" /x " + kRuntimeCode + L" /qn");
    if (keyExists(kUninstallKey + kAuCode, KEY_WOW64_64KEY)) msiexec(L" /x " + kAuCode + L" /qn");
  }
};

TEST(SamplePackageFacts, ProductCode_FollowsTheVersionFamily) {
  // Newer family, 64-bit: prefix, "64", a b c, the update in two digits, "F0".
  std::string version = TDS_SAMPLE_RUNTIME_VERSION;
  std::string digits = version.substr(0, 1) + version.substr(2, 1) + version.substr(4, 1);
  std::string update = version.substr(6);
  if (update.size() == 1) update = "0" + update;
  EXPECT_EQ(std::string(TDS_SAMPLE_RUNTIME_PRODUCT_CODE),
            "{83F16D29-7C5B-4E17-A2D6-3B964" + digits + update + "F0}");
  EXPECT_EQ(std::string(TDS_SAMPLE_RUNTIME_PRODUCT_CODE).size(), 38u);
  EXPECT_EQ(std::string(TDS_SAMPLE_RUNTIME_FULL_VERSION),
            version + "-b" + TDS_SAMPLE_RUNTIME_BUILD_TEXT);
}

// A resource script carries each package byte for byte.
TEST(SamplePackageFacts, Resources_CarryThePackagesWhole) {
  struct Carried {
    int id;
    const char* path;
  };
  for (const Carried& c : {Carried{103, TDS_SAMPLE_RUNTIME_MSI_PATH},
                           Carried{105, TDS_SAMPLE_AU_MSI_PATH}}) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(c.id), L"TOLVA_INSTALLER");
    ASSERT_NE(found, nullptr) << c.id;
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    std::string carried(bytes, SizeofResource(nullptr, found));
    std::string file = testutil::readFileText(fromUtf8(c.path));
    ASSERT_GT(file.size(), 1000u);
    EXPECT_TRUE(carried == file) << c.id << ": " << carried.size() << " vs " << file.size();
  }
}

TEST_F(SamplePackages, Runtime_InstallsReportsProgressAndUninstalls) {
  ASSERT_FALSE(keyExists(kUninstallKey + kRuntimeCode, KEY_WOW64_64KEY))
      << "the sample runtime is installed already";
  // What a watching launcher holds open while the package runs.
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, L"KessaSetupMsiStarted");
  ASSERT_NE(started, nullptr);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                                      L"TdsOperationSequenceSharedMemory");
  ASSERT_NE(mapping, nullptr);
  auto* record = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8));
  ASSERT_NE(record, nullptr);

  ASSERT_EQ(msiexec(L" /i " + quote(fromUtf8(TDS_SAMPLE_RUNTIME_MSI_PATH)) + L" /qn"), 0u);

  EXPECT_EQ(WaitForSingleObject(started, 0), WAIT_OBJECT_0) << "start event not set";
  const unsigned char lastRecord[8] = {7, 0, 0, 0, 3, 0, 0, 0};  // id 7, whole sequence ended
  EXPECT_EQ(std::vector<unsigned char>(record, record + 8),
            std::vector<unsigned char>(lastRecord, lastRecord + 8));
  UnmapViewOfFile(record);
  CloseHandle(mapping);
  CloseHandle(started);

  const std::wstring home = environmentValue(L"ProgramW6432") + L"\\" +
                            fromUtf8(TDS_SAMPLE_RUNTIME_HOME_SUBDIR) + L"\\";
  const REGSAM view64 = KEY_WOW64_64KEY;
  EXPECT_EQ(readString(kVersionKey, L"TolvaHome", view64), home);
  EXPECT_EQ(readString(kVersionKey, L"MicroVersion", view64),
            fromUtf8(TDS_SAMPLE_RUNTIME_MICRO_VERSION));
  EXPECT_EQ(readString(kVersionKey, L"RuntimeLib", view64),
            home + fromUtf8(TDS_SAMPLE_RUNTIME_LIB_SUBPATH));
  EXPECT_EQ(readString(kVersionKey, L"BuildNumber", view64),
            fromUtf8(TDS_SAMPLE_RUNTIME_BUILD_TEXT));
  EXPECT_EQ(readString(kVersionKey + L"\\MSI", L"FullVersion", view64),
            fromUtf8(TDS_SAMPLE_RUNTIME_FULL_VERSION));
  EXPECT_EQ(readString(kVersionKey + L"\\MSI", L"MODE", view64), L"N");
  EXPECT_EQ(readString(kRuntimeFamilyKey, L"CurrentVersion", view64),
            fromUtf8(TDS_SAMPLE_RUNTIME_FAMILY_VERSION));
  EXPECT_FALSE(keyExists(kVersionKey, KEY_WOW64_32KEY)) << "written to the 32-bit view";
  EXPECT_TRUE(keyExists(kUninstallKey + kRuntimeCode, KEY_WOW64_64KEY));

  const std::wstring tolva = home + fromUtf8(TDS_SAMPLE_RUNTIME_EXE_SUBPATH);
  EXPECT_TRUE(fileExists(home + fromUtf8(TDS_SAMPLE_RUNTIME_LIB_SUBPATH)));
  EXPECT_EQ(testutil::runProcess(quote(tolva) + L" -version").exitCode, 0u);

  // The removal code's own command line.
  ASSERT_EQ(
      testutil::runProcess(L"MsiExec.exe REBOOT=Suppress /x " + kRuntimeCode + L" /qn", 180000).exitCode,
      0u);
  EXPECT_FALSE(fileExists(tolva));
  EXPECT_FALSE(keyExists(kVersionKey, KEY_WOW64_64KEY));
  EXPECT_FALSE(keyExists(kUninstallKey + kRuntimeCode, KEY_WOW64_64KEY));
}

TEST_F(SamplePackages, Runtime_StaticInstallToChosenFolderWithoutProgressWindow) {
  // No start event and no record exist: a silent run must still succeed.
  wchar_t temp[MAX_PATH + 1];
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring home = std::wstring(temp) + L"tds sample home " +
                            std::to_wstring(GetCurrentProcessId()) + L"\\";
  ASSERT_EQ(msiexec(L" /i " + quote(fromUtf8(TDS_SAMPLE_RUNTIME_MSI_PATH)) +
                    L" STATIC=\"1\" INSTALLDIR=\"" + home + L"\" /qn /qn"),
            0u);
  EXPECT_EQ(readString(kVersionKey, L"TolvaHome", KEY_WOW64_64KEY), home);
  EXPECT_EQ(readString(kVersionKey + L"\\MSI", L"MODE", KEY_WOW64_64KEY), L"S");
  EXPECT_TRUE(fileExists(home + fromUtf8(TDS_SAMPLE_RUNTIME_EXE_SUBPATH)));

  ASSERT_EQ(msiexec(L" /x " + kRuntimeCode + L" /qn"), 0u);
  EXPECT_FALSE(fileExists(home + fromUtf8(TDS_SAMPLE_RUNTIME_EXE_SUBPATH)));
  EXPECT_FALSE(keyExists(kVersionKey, KEY_WOW64_64KEY));
  RemoveDirectoryW((home + L"bin").c_str());
  RemoveDirectoryW((home + L"setup").c_str());
  RemoveDirectoryW(home.c_str());
}

TEST_F(SamplePackages, AutoUpdate_InstallsRegistrationToolAndVersion) {
  ASSERT_EQ(msiexec(L" /i " + quote(fromUtf8(TDS_SAMPLE_AU_MSI_PATH)) +
                    L" DISABLE=1 ALLUSERS=1 /qn"),
            0u);
  const std::wstring auKey = fromUtf8(TDS_SAMPLE_AU_KEY);
  EXPECT_EQ(readString(auKey, L"AUVersion", KEY_WOW64_32KEY), fromUtf8(TDS_SAMPLE_AU_VERSION));
  EXPECT_EQ(readString(auKey, L"AUVersion", KEY_WOW64_64KEY), L"<missing>");
  EXPECT_EQ(readString(auKey + L"\\Install Properties", L"DISABLE", KEY_WOW64_32KEY), L"1");

  const std::wstring taureg = environmentValue(L"CommonProgramFiles(x86)") + L"\\" +
                              fromUtf8(TDS_SAMPLE_AU_TAUREG_SUBPATH);
  ASSERT_TRUE(fileExists(taureg)) << testutil::toUtf8(taureg);
  const std::wstring log = taureg.substr(0, taureg.find_last_of(L'\\') + 1) +
                           fromUtf8(TDS_SAMPLE_AU_TAUREG_LOG_NAME);
  // The tool's log outlives the package: launcher runs of other tests may
  // have left their lines in it.
  DeleteFileW(log.c_str());
  {
    testutil::ScopedEnvironment code(L"TDS_TAUREG_EXIT_CODE", L"5");
    const std::wstring registration = L" -r kessa " + fromUtf8(TDS_SAMPLE_RUNTIME_FULL_VERSION);
    EXPECT_EQ(testutil::runProcess(quote(taureg) + registration).exitCode, 5u);
  }
  EXPECT_EQ(testutil::runProcess(quote(taureg) + L"  -u").exitCode, 0u);
  EXPECT_THAT(testutil::readFileLines(log),
              ::testing::ElementsAre(std::string("-r kessa ") + TDS_SAMPLE_RUNTIME_FULL_VERSION,
                                     "-u"));
  DeleteFileW(log.c_str());

  ASSERT_EQ(msiexec(L" /x " + kAuCode + L" /qn"), 0u);
  EXPECT_FALSE(fileExists(taureg));
  EXPECT_EQ(readString(auKey, L"AUVersion", KEY_WOW64_32KEY), L"<missing>");
}

}  // namespace
