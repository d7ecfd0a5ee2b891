// file_holder.exe and cmdline_logger.exe: the share modes a held file
// enforces, and the command lines, exit codes and pauses of the logger.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"
#include "support/fake_msiexec_control.h"

namespace {

using testutil::besideExe;
using testutil::ChildProcess;
using testutil::quote;

std::wstring holderExe() { return quote(besideExe(L"file_holder.exe")); }
std::wstring loggerExe() { return quote(besideExe(L"cmdline_logger.exe")); }

std::wstring uniqueName(const wchar_t* stem) {
  static int counter = 0;
  return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(++counter);
}

// Starts file_holder with `options` on `path` and waits until it holds it.
bool holdFile(ChildProcess& child, const std::wstring& path, const std::wstring& options) {
  std::wstring eventName = uniqueName(L"TdsHolderReady");
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  if (ready == nullptr) return false;
  bool ok = child.start(holderExe() + L" " + options + L" --ready-event " + eventName + L" " +
                        quote(path)) &&
            WaitForSingleObject(ready, 20000) == WAIT_OBJECT_0;
  CloseHandle(ready);
  return ok;
}

// The error of opening `path` with `access` while sharing everything: 0 when
// the open succeeds.
DWORD openError(const std::wstring& path, DWORD access) {
  HANDLE file = CreateFileW(path.c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return 0;
}

struct ShareCase {
  const wchar_t* share;
  DWORD readError;
  DWORD writeError;
};

class FileHolderShare : public ::testing::TestWithParam<ShareCase> {};

TEST_P(FileHolderShare, Hold_EnforcesShareMode) {
  std::wstring path = tds_test::uniqueTempFile(L"fho");
  ChildProcess child;
  ASSERT_TRUE(holdFile(child, path, std::wstring(L"--share ") + GetParam().share));
  EXPECT_EQ(openError(path, GENERIC_READ), GetParam().readError);
  EXPECT_EQ(openError(path, GENERIC_WRITE), GetParam().writeError);
  child.terminate();
  EXPECT_EQ(openError(path, GENERIC_WRITE), 0u) << "the file stays held after the kill";
  DeleteFileW(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileHolderShare,
    ::testing::Values(ShareCase{L"none", ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
                      ShareCase{L"r", 0, ERROR_SHARING_VIOLATION},
                      ShareCase{L"w", ERROR_SHARING_VIOLATION, 0}, ShareCase{L"rwd", 0, 0}));

TEST(FileHolder, Hold_DeleteOnCloseRemovesFileWhenKilled) {
  std::wstring path = tds_test::uniqueTempFile(L"fhd");
  DeleteFileW(path.c_str());
  ChildProcess child;
  ASSERT_TRUE(holdFile(child, path, L"--disposition new --delete-on-close"));
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  // The launchers' lock test: deleting a held lock file fails with a sharing error.
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  child.terminate();
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileHolder, Hold_EndsAfterGivenSeconds) {
  std::wstring path = tds_test::uniqueTempFile(L"fhs");
  ChildProcess child;
  ASSERT_TRUE(holdFile(child, path, L"--seconds 1"));
  ASSERT_TRUE(child.wait(10000));
  EXPECT_EQ(child.exitCode(), 0u);
  EXPECT_EQ(openError(path, GENERIC_WRITE), 0u);
  DeleteFileW(path.c_str());
}

TEST(FileHolder, Start_FailuresAnswerTheirCodes) {
  EXPECT_EQ(testutil::runProcess(holderExe()).exitCode, 2u);
  EXPECT_EQ(testutil::runProcess(holderExe() + L" --share q C:\\x").exitCode, 2u);
  EXPECT_EQ(testutil::runProcess(holderExe() + L" --disposition existing " +
                                 quote(besideExe(L"no such file.bin")))
                .exitCode,
            3u);
}

class CmdlineLogger : public ::testing::Test {
 protected:
  void TearDown() override { DeleteFileW(log_.c_str()); }
  std::wstring log_ = tds_test::uniqueTempFile(L"cll");
  testutil::ScopedEnvironment logVar_{L"TDS_CMDLINE_LOG", log_};
};

TEST_F(CmdlineLogger, Log_RecordsEachCommandLineVerbatim) {
  const std::wstring first = loggerExe() + L" -r kessa \"a b\"  \"\" x\\\"y ";
  const std::wstring second = loggerExe();
  ASSERT_EQ(testutil::runProcess(first).exitCode, 0u);
  ASSERT_EQ(testutil::runProcess(second).exitCode, 0u);
  std::vector<std::string> lines = testutil::readFileLines(log_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], testutil::toUtf8(first));
  EXPECT_EQ(lines[1], testutil::toUtf8(second));
}

TEST_F(CmdlineLogger, Exit_CodeFromArgumentOrEnvironment) {
  EXPECT_EQ(testutil::runProcess(loggerExe() + L" --exit-code=1627").exitCode, 1627u);
  EXPECT_EQ(testutil::runProcess(loggerExe() + L" --exit-code=-1").exitCode, 0xFFFFFFFFu);
  {
    testutil::ScopedEnvironment code(L"TDS_CMDLINE_EXIT_CODE", L"0x80004005");
    EXPECT_EQ(testutil::runProcess(loggerExe() + L" a").exitCode, 0x80004005u);
    EXPECT_EQ(testutil::runProcess(loggerExe() + L" --exit-code=3").exitCode, 3u);  // the argument wins
  }
  EXPECT_EQ(testutil::runProcess(loggerExe() + L" a").exitCode, 0u);
}

TEST_F(CmdlineLogger, Sleep_PausesOrRunsUntilKilled) {
  DWORD start = GetTickCount();
  EXPECT_EQ(testutil::runProcess(loggerExe() + L" --sleep-ms=400 --exit-code=4").exitCode, 4u);
  EXPECT_GE(GetTickCount() - start, 380u);

  ChildProcess child;
  ASSERT_TRUE(child.start(loggerExe() + L" --sleep-ms=infinite"));
  EXPECT_FALSE(child.wait(500));
  child.terminate(1);
  ASSERT_TRUE(child.wait(5000));
  EXPECT_EQ(child.exitCode(), 1u);
}

}  // namespace
