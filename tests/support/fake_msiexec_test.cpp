// The scriptable msiexec double: what it logs, the codes it answers, and the
// effects its scripts have on the registry, the operation record and events.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"
#include "support/fake_msiexec_control.h"

namespace {

using tds_test::FakeMsiexec;
using testutil::ChildProcess;
using testutil::quote;

DWORD runFake(const std::wstring& arguments) {
  return testutil::runProcess(quote(FakeMsiexec::exePath()) + arguments, 30000).exitCode;
}

std::wstring uniqueName(const wchar_t* stem) {
  return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(GetTickCount());
}

TEST(FakeMsiexec, Log_RecordsCommandLineVerbatim) {
  FakeMsiexec fake;
  // Doubled and trailing blanks, quotes, and a text outside ASCII all survive.
  const std::wstring args =
      L" /i \"C:\\a b\\kessa9.msi\"  INSTALLDIR=\"C:\\Caf\u00e9 x\\\" TRANSFORMS=:1041 /qn ";
  ASSERT_EQ(runFake(args), 0u);
  ASSERT_EQ(runFake(L" /x {X}"), 0u);
  std::vector<std::string> lines = fake.commandLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], testutil::toUtf8(quote(FakeMsiexec::exePath()) + args));
  EXPECT_EQ(lines[1], testutil::toUtf8(quote(FakeMsiexec::exePath()) + L" /x {X}"));
}

struct ExitCase {
  const char* script;
  DWORD expected;
};

class FakeMsiexecExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(FakeMsiexecExit, Exit_AnswersScriptedCode) {
  FakeMsiexec fake(GetParam().script);
  EXPECT_EQ(runFake(L" /i x.msi /qn"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FakeMsiexecExit,
    ::testing::Values(ExitCase{"", 0}, ExitCase{"exit 1603\n", 1603},
                      ExitCase{"# comment\n\nexit 3010\r\n", 3010}, ExitCase{"exit 1641", 1641},
                      ExitCase{"exit -1\n", 0xFFFFFFFFu}, ExitCase{"exit -80\n", 0xFFFFFFB0u},
                      ExitCase{"exit 0x80070005\n", 0x80070005u},
                      ExitCase{"exit 1\nexit 1618\n", 1618},
                      ExitCase{"bogus command\nexit 7\n", 7}));

TEST(FakeMsiexec, Sections_ChooseLinesByRunAndCommandLine) {
  FakeMsiexec fake(
      "exit 1\n"
      "[run 2]\n"
      "exit 2\n"
      "[contains /X {ABC}]\n"
      "exit 3\n"
      "[all]\n"
      "sleep 1\n");
  EXPECT_EQ(runFake(L" /i a.msi"), 1u);
  EXPECT_EQ(runFake(L" /i a.msi"), 2u);
  EXPECT_EQ(runFake(L" REBOOT=Suppress /x {abc} /qn"), 3u);  // letter case ignored
  EXPECT_EQ(runFake(L" /i a.msi"), 1u);
  EXPECT_EQ(fake.commandLines().size(), 4u);
}

TEST(FakeMsiexec, Log_ScriptLineNamesLogWhenEnvironmentDoesNot) {
  FakeMsiexec fake;
  std::wstring ownLog = tds_test::uniqueTempFile(L"fmo");
  testutil::ScopedEnvironment noLog(L"TDS_FAKE_MSIEXEC_LOG", L"");
  fake.setScript("log " + testutil::toUtf8(ownLog) + "\nexit 4\n");
  EXPECT_EQ(runFake(L" /i one"), 4u);
  std::vector<std::string> lines = testutil::readFileLines(ownLog);
  DeleteFileW(ownLog.c_str());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::EndsWith(" /i one"));
  EXPECT_TRUE(fake.commandLines().empty());
}

class FakeMsiexecRegistry : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str());
    HKEY software32 = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &software32) == ERROR_SUCCESS) {
      RegDeleteTreeW(software32, leaf_.c_str());
      RegCloseKey(software32);
    }
  }
  std::wstring leaf_ = uniqueName(L"TdsFakeMsiexecTest");
  std::wstring key_ = L"SOFTWARE\\" + leaf_;
};

// A REG_SZ or REG_EXPAND_SZ value (not expanded) in the given registry view,
// or "<missing>".
std::wstring readString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS)
    return L"<missing>";
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  LONG rc = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"<missing>";
  return buffer;
}

DWORD readDword(HKEY root, const std::wstring& key, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return 0xFFFFFFFF;
  return value;
}

TEST_F(FakeMsiexecRegistry, Registry_SetsAndDeletesValuesInEachView) {
  std::string key = testutil::toUtf8(key_);
  FakeMsiexec fake("regset HKLM\\" + key + "|InstallStatus|sz|re install\n" +
                   "regset HKLM\\" + key + "|MSIStatusError|dword|1603\n" +
                   "regset HKLM\\" + key + "|MSIStatusExtendedError|dword|0x80070643\n" +
                   "regset HKLM\\" + key + "\\Sub|Path|expand_sz|%TEMP%\\x\n" +
                   "regset HKLM32\\" + key + "|AUVersion|sz|1.2.3.4\n" +
                   "exit 1603\n");
  ASSERT_EQ(runFake(L" /i x"), 1603u);
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key_, L"InstallStatus"), L"re install");
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, key_, L"MSIStatusError"), 1603u);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, key_, L"MSIStatusExtendedError"), 0x80070643u);
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key_ + L"\\Sub", L"Path"), L"%TEMP%\\x");
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key_, L"AUVersion", KEY_WOW64_32KEY),
            L"1.2.3.4");
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key_, L"AUVersion", KEY_WOW64_64KEY),
            L"<missing>");

  fake.setScript("regdel HKLM\\" + key + "|InstallStatus\n" +
                 "regdel HKLM\\" + key + "|NeverThere\n" +
                 "regdelkey HKLM\\" + key + "\\Sub\n");
  ASSERT_EQ(runFake(L" /i x"), 0u);
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, key_, L"InstallStatus"), L"<missing>");
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, key_, L"MSIStatusError"), 1603u);
  HKEY sub = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (key_ + L"\\Sub").c_str(), 0, KEY_READ, &sub),
            ERROR_FILE_NOT_FOUND);
}

// The operation record and the start event have fixed machine-wide names;
// this suite holds the "operation-record" lock.
TEST(FakeMsiexecRecord, Record_WritesEightLittleEndianBytes) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                                      L"TdsOperationSequenceSharedMemory");
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8));
  ASSERT_NE(view, nullptr);
  FakeMsiexec fake("record 258 3\nexit 0\n");
  EXPECT_EQ(runFake(L" /i x"), 0u);
  const unsigned char expected[8] = {0x02, 0x01, 0, 0, 0x03, 0, 0, 0};
  EXPECT_EQ(std::vector<unsigned char>(view, view + 8),
            std::vector<unsigned char>(expected, expected + 8));
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}

TEST(FakeMsiexecRecord, Record_MissingSharedMemoryKeepsScriptedCode) {
  FakeMsiexec fake("record 1 1\nexit 1602\n");
  EXPECT_EQ(runFake(L" /i x"), 1602u);
}

TEST(FakeMsiexec, Events_SetAndWaitByName) {
  std::wstring setName = uniqueName(L"TdsFakeSet");
  std::wstring waitName = uniqueName(L"TdsFakeWait");
  HANDLE setEvent = CreateEventW(nullptr, TRUE, FALSE, setName.c_str());
  HANDLE waitEvent = CreateEventW(nullptr, TRUE, FALSE, waitName.c_str());
  ASSERT_NE(setEvent, nullptr);
  ASSERT_NE(waitEvent, nullptr);

  FakeMsiexec fake("setevent " + testutil::toUtf8(setName) + "\nwaitevent " +
                   testutil::toUtf8(waitName) + "|infinite\nexit 9\n");
  ChildProcess child;
  ASSERT_TRUE(child.start(quote(FakeMsiexec::exePath()) + L" /i x"));
  EXPECT_EQ(WaitForSingleObject(setEvent, 20000), WAIT_OBJECT_0);
  EXPECT_FALSE(child.wait(300)) << "ended before its event was set";
  SetEvent(waitEvent);
  ASSERT_TRUE(child.wait(20000));
  EXPECT_EQ(child.exitCode(), 9u);
  CloseHandle(setEvent);
  CloseHandle(waitEvent);
}

TEST(FakeMsiexec, Events_WaitGivesUpAfterItsTime) {
  FakeMsiexec fake("waitevent " + testutil::toUtf8(uniqueName(L"TdsFakeNever")) +
                   "|200\nexit 5\n");
  DWORD start = GetTickCount();
  EXPECT_EQ(runFake(L" /i x"), 5u);
  EXPECT_GE(GetTickCount() - start, 180u);
}

TEST(FakeMsiexec, Hang_RunsUntilKilled) {
  FakeMsiexec fake("hang\nexit 3\n");
  ChildProcess child;
  ASSERT_TRUE(child.start(quote(FakeMsiexec::exePath()) + L" /i x"));
  EXPECT_FALSE(child.wait(700));
  child.terminate(1);
  ASSERT_TRUE(child.wait(5000));
  EXPECT_EQ(child.exitCode(), 1u);
  EXPECT_EQ(fake.commandLines().size(), 1u);  // logged before it hung
}

// Launcher code finds msiexec.exe as InstallerLocation + "\msiexec.exe".
// Holds the "registry-hklm-installer" lock.
TEST(FakeMsiexecLocation, InstallerLocation_LeadsToTheDouble) {
  FakeMsiexec fake("exit 1603\n");
  std::wstring before = readString(HKEY_LOCAL_MACHINE,
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                   L"InstallerLocation");
  {
    tds_test::InstallerLocationOverride location(FakeMsiexec::folder());
    ASSERT_TRUE(location.ok());
    std::wstring folder = readString(HKEY_LOCAL_MACHINE,
                                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                     L"InstallerLocation");
    EXPECT_EQ(folder, FakeMsiexec::folder());
    EXPECT_EQ(testutil::runProcess(quote(folder + L"\\msiexec.exe") + L" /i x.msi /qn").exitCode,
              1603u);
    EXPECT_EQ(fake.commandLines().size(), 1u);
  }
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE,
                       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                       L"InstallerLocation"),
            before);
}

}  // namespace
