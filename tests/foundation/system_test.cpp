// Error texts, files, libraries and COM initialisation on the real system.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <stdexcept>

#include "common/files.h"
#include "common/test_util.h"
#include "foundation/dll.h"
#include "foundation/file_utils.h"
#include "foundation/file_utils_internal.h"
#include "foundation/logger.h"
#include "foundation/logger_internal.h"
#include "foundation/ole_initializer.h"
#include "foundation/sys_info.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

TEST(SystemErrorText, DescriptionIsOneLineWithoutFinalDot) {
    const std::string text = getSystemErrorDescription(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(getSystemErrorDescription(0x2FFFFFFF), "No description available");
    EXPECT_EQ(formatSystemError(2), "system error 2 (" + text + ")");
}

TEST(SystemErrorText, ComErrorOfWin32FacilityUsesLowWord) {
    EXPECT_EQ(formatComError(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)),
              "COM error 0x80070005 (" + getSystemErrorDescription(5) + ")");
    EXPECT_EQ(formatComError(static_cast<HRESULT>(0x8000FFFFu)),
              "COM error 0x8000FFFF (" + getSystemErrorDescription(0x8000FFFFu) + ")");
}

TEST(CatchLoggers, WriteAtErrorWithCatchSite) {
    testutil::ScratchDir dir("catch");
    const std::string original = Logger::getInstance().path();
    LoggerTestAccess::setPath(dir.file("log.txt"));
    logException(SourceLocation("C:\\x\\site.cpp", "Site::catcher", 77), std::runtime_error("boom"));
    logUnknownException(SourceLocation("site.cpp", "Site::other", 78));
    LoggerTestAccess::setPath(original);
    const std::string text = testutil::readFileText(dir.file("log.txt"));
    EXPECT_NE(text.find("site.cpp:77 (Site::catcher)]\r\n\tERROR: Exception with message 'boom' caught\r\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find("site.cpp:78 (Site::other)]\r\n\tERROR: Unknown exception caught\r\n"), std::string::npos);
}

class FileUtilsTest : public ::testing::Test {
protected:
    void TearDown() override { fileutils_internal::setTickCountHookForTesting(nullptr); }
    testutil::ScratchDir dir_{"files"};
};

TEST_F(FileUtilsTest, CreateTempFile_SkipsTakenNames) {
    fileutils_internal::setTickCountHookForTesting([] { return 1000u; });
    testutil::writeFileBytes(dir_.file("tds1000.html"), "taken");
    const std::string path = FileUtils::createTempFile("tds", "html", dir_.path() + "\\");
    EXPECT_EQ(path, dir_.file("tds1001.html"));
    EXPECT_TRUE(testutil::readFileBytes(path).empty());
    EXPECT_EQ(testutil::readFileText(dir_.file("tds1000.html")), "taken");
}

TEST_F(FileUtilsTest, CreateTempFile_TickCountPastSignedRangeIsNegative) {
    fileutils_internal::setTickCountHookForTesting([] { return 0x80000005u; });
    EXPECT_EQ(FileUtils::createTempFile("p", "tmp", dir_.path()), dir_.file("p-2147483643.tmp"));
}

TEST_F(FileUtilsTest, CreateTempFile_Failures) {
    EXPECT_THROW(FileUtils::createTempFile("p", "tmp", dir_.file("missing")), std::runtime_error);
    // No folder at all must not put the file at the root of the drive.
    fileutils_internal::setTickCountHookForTesting([] { return 4242u; });
    EXPECT_THROW(FileUtils::createTempFile("tdsroot", "tmp", ""), std::runtime_error);
    EXPECT_THROW(FileUtils::createTempFile("tdsroot", "tmp", "\\"), std::runtime_error);
    EXPECT_FALSE(testutil::fileExists("\\tdsroot4242.tmp"));
}

TEST_F(FileUtilsTest, ExistsReadableDelete) {
    const std::string file = dir_.file("a.txt");
    EXPECT_FALSE(FileUtils::exists(file));
    EXPECT_FALSE(FileUtils::isReadable(file));
    testutil::writeFileBytes(file, "x");
    EXPECT_TRUE(FileUtils::exists(file));
    EXPECT_TRUE(FileUtils::exists(dir_.path()));
    EXPECT_TRUE(FileUtils::isReadable(file));
    {
        // A writer that shares nothing keeps readers out.
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(FileUtils::isReadable(file));
        EXPECT_FALSE(FileUtils::tryDeleteFile(file));
        CloseHandle(h);
    }
    EXPECT_TRUE(FileUtils::tryDeleteFile(file));
    EXPECT_FALSE(FileUtils::exists(file));
    EXPECT_THROW(FileUtils::deleteFile(file), std::runtime_error);
}

TEST(DllTest, SystemLibraryComesFromSystemFolder) {
    const Dll kernel(L"kernel32.dll", Dll::System{});
    EXPECT_EQ(kernel.handle(), GetModuleHandleA("kernel32.dll"));
    EXPECT_NE(kernel.getFunction("GetTickCount", true), nullptr);
    EXPECT_EQ(kernel.getFunction("NoSuchFunctionHere", false), nullptr);
    try {
        kernel.getFunction("NoSuchFunctionHere", true);
        FAIL();
    } catch (const SysError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(") at Dll::getFunction(): GetProcAddress("), std::string::npos) << text;
        EXPECT_NE(text.find("kernel32.dll, NoSuchFunctionHere) failed. System error [127]"), std::string::npos) << text;
        EXPECT_NE(text.find(SysInfo::getSystem32Dir()), std::string::npos) << text;
    }
}

TEST(DllTest, MissingLibraryThrowsWithPathAndCode) {
    try {
        Dll missing(L"C:\\nowhere\\tds-missing.dll");
        FAIL();
    } catch (const SysError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(") at Dll::Dll(): LoadLibraryW(C:\\nowhere\\tds-missing.dll) failed. System error ["),
                  std::string::npos) << text;
    }
}

TEST(OleInitializerTest, NestedInitialisationUninitialisesOnce) {
    {
        OleInitializer outer;
        EXPECT_TRUE(outer.initialized());
        {
            OleInitializer inner;  // S_FALSE still counts
            EXPECT_TRUE(inner.initialized());
        }
        // The outer one still holds the apartment.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
    }
    // Both released: a new initialisation is a first one again.
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    OleUninitialize();
}

TEST(SysInfoTest, FoldersAndModulePath) {
    EXPECT_EQ(FileUtils::basename(SysInfo::getProcessModulePath()), "foundation_system_test.exe");
    for (const std::string& dir : {SysInfo::getTempDir(), SysInfo::getCommonAppDataDir(), SysInfo::getSystem32Dir(),
                                   SysInfo::getWindowsDir(), SysInfo::getProgramFilesCommonX86Dir()}) {
        ASSERT_FALSE(dir.empty());
        EXPECT_NE(dir.back(), '\\');
        EXPECT_TRUE(FileUtils::exists(dir)) << dir;
    }
    EXPECT_EQ(SysInfo::getArchitecture(), "amd64");
    EXPECT_FALSE(SysInfo::isWow64());
    EXPECT_FALSE(SysInfo::is32BitProcessOrSystem());
}

}  // namespace

namespace {

TEST(TstringsAcp, ConvertsThroughTheAnsiCodePage) {
    const std::string utf8 = "C:\\\xC3\x9C" "bung";  // C:\Übung
    const std::string acp = tstrings::toAcp(utf8);
    EXPECT_EQ(acp.size(), 8u);  // one byte for Ü in every Western code page
    EXPECT_EQ(tstrings::fromAcp(acp), utf8);
    EXPECT_EQ(tstrings::toAcp(""), "");
    EXPECT_THROW(tstrings::toAcp("\xC0\xAF"), std::range_error);
}

}  // namespace
