// Package path, package writing (byte-exact, in chunks, the fatal box),
// the install-folder property and msiexec runs with a recording stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "common/window_finder.h"
#include "foundation/shell_utils.h"
#include "launcher/msi_package.h"
#include "launcher/msi_package_internal.h"
#include "launcher/policy_registry.h"
#include "launcher/product_identity.h"

namespace {

using testutil::besideExe;

std::vector<uint8_t> payload(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 131 + 7) ^ (i >> 8));
    return bytes;
}

class CarrierTest : public ::testing::Test {
protected:
    void SetUp() override {
        carrier_ = LoadLibraryExA(besideExe("tds_resource_carrier.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(carrier_, nullptr);
    }
    void TearDown() override {
        msi_package_internal::setWriteHookForTesting(nullptr);
        FreeLibrary(carrier_);
    }
    HMODULE carrier_ = nullptr;
    testutil::ScratchDir dir_{"pkg"};
};

struct ResourceCase {
    int id;
    size_t size;
    std::vector<DWORD> chunks;
};

class ExtractResourceTest : public CarrierTest, public ::testing::WithParamInterface<ResourceCase> {};

TEST_P(ExtractResourceTest, WritesByteExactIn8KChunks) {
    std::vector<DWORD> chunks;
    msi_package_internal::setWriteHookForTesting([&](HANDLE f, const void* d, DWORD n, DWORD* w) {
        chunks.push_back(n);
        return WriteFile(f, d, n, w, nullptr);
    });
    const std::string path = dir_.file("out.msi");
    testutil::writeFileBytes(path, "old content that must go");
    ASSERT_EQ(ExtractResourceToFile(carrier_, GetParam().id, "TOLVA_INSTALLER", path.c_str()), 1);
    EXPECT_EQ(testutil::readFileBytes(path), payload(GetParam().size));
    if (!GetParam().chunks.empty()) {
        EXPECT_EQ(chunks, GetParam().chunks);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExtractResourceTest,
                         ::testing::Values(ResourceCase{200, 0, {}}, ResourceCase{201, 8192, {8192}},
                                           ResourceCase{202, 8193, {8192, 1}},
                                           ResourceCase{203, 100000, {}}));

TEST_F(CarrierTest, ExtractResourceToFile_ShortWritesContinueWhereTheyEnded) {
    // Each write takes at most 1000 bytes of the chunk offered.
    msi_package_internal::setWriteHookForTesting([](HANDLE f, const void* d, DWORD n, DWORD* w) {
        return WriteFile(f, d, n < 1000 ? n : 1000, w, nullptr);
    });
    const std::string path = dir_.file("short.msi");
    ASSERT_EQ(ExtractResourceToFile(carrier_, 203, "TOLVA_INSTALLER", path.c_str()), 1);
    EXPECT_EQ(testutil::readFileBytes(path), payload(100000));
}

TEST_F(CarrierTest, ExtractResourceToFile_MissingResourceAnswersZero) {
    const std::string path = dir_.file("none.msi");
    EXPECT_EQ(ExtractResourceToFile(carrier_, 103, "TOLVA_INSTALLER", path.c_str()), 0);
    EXPECT_EQ(ExtractResourceToFile(carrier_, 201, "OTHER_TYPE", path.c_str()), 0);
    EXPECT_FALSE(testutil::fileExists(path));
}

// Static texts of a message box, joined.
BOOL CALLBACK collectText(HWND child, LPARAM param) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof text);
        *reinterpret_cast<std::string*>(param) += text;
    }
    return TRUE;
}

// Starts the driver, waits for its "Error" box, reads it, presses OK.
struct FatalRun {
    std::string boxText;
    DWORD exitCode = 0;
    bool boxSeen = false;
};

FatalRun runFatal(const std::string& args) {
    FatalRun run;
    testutil::ChildProcess child;
    if (!child.start(testutil::quote(besideExe("tds_extract_driver.exe")) + " " +
                     testutil::quote(besideExe("tds_resource_carrier.exe")) + " " + args))
        return run;
    run.boxSeen = testutil::waitFor([&] {
        for (HWND box : testutil::findWindows(testutil::dialogsOf(child.pid(), "Error"))) {
            // The box window exists before its text control is made and
            // filled: read it only once it is shown with its text.
            std::string text;
            EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&text));
            if (text.empty())
                continue;
            run.boxText = text;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return true;
        }
        return false;
    }, 20000);
    if (!child.wait(20000))
        child.terminate();
    run.exitCode = child.exitCode();
    return run;
}

TEST(ExtractResourceToFile_Fatal, CreateFailureShowsBoxAndExitsWithError) {
    const FatalRun run = runFatal("201 C:\\tds-no-such-dir\\sub\\x.msi");
    ASSERT_TRUE(run.boxSeen);
    EXPECT_EQ(run.boxText.rfind("Installer : Wrapper.CreateFile  failed with error 3: ", 0), 0u) << run.boxText;
    EXPECT_EQ(run.exitCode, 3u);
}

TEST(ExtractResourceToFile_Fatal, WriteFailureShowsBoxAndExitsWithError) {
    testutil::ScratchDir dir("fatal");
    const FatalRun run = runFatal("201 " + testutil::quote(dir.file("x.msi")) + " writefail");
    ASSERT_TRUE(run.boxSeen);
    EXPECT_EQ(run.boxText.rfind("Installer : Wrapper.WriteFile (In small chunks)  failed with error 112: ", 0), 0u)
        << run.boxText;
    EXPECT_EQ(run.exitCode, 112u);
    EXPECT_FALSE(testutil::fileExists(dir.file("x.msi"))) << "a cut package stayed behind";
}

struct DirCase {
    const char* commandLine;
    const char* folder;
    const char* result;
};

class AppendInstallDirTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(AppendInstallDirTest, QuotesOnce) {
    char line[2048];
    lstrcpynA(line, GetParam().commandLine, sizeof line);
    AppendInstallDirProperty(line, sizeof line, GetParam().folder);
    EXPECT_STREQ(line, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AppendInstallDirTest,
    ::testing::Values(DirCase{"x /qn", "C:\\Tolva", "x /qn INSTALLDIR=\"C:\\Tolva\" "},
                      DirCase{"x", "\"C:\\My Tolva\"", "x INSTALLDIR=\"C:\\My Tolva\" "},
                      DirCase{"x", "\"C:\\My Tolva", "x INSTALLDIR=\"\"C:\\My Tolva\" "},
                      DirCase{"x", "\"C:\\a\" b", "x INSTALLDIR=\"\"C:\\a\" b\" "},
                      // A lone quote is not a quoted folder.
                      DirCase{"x", "\"", "x INSTALLDIR=\"\"\" "}, DirCase{"x", nullptr, "x"}));

TEST(AppendInstallDirProperty_Capacity, RefusesWhatDoesNotFitWithoutCutting) {
    char line[40 + 8];
    memset(line, 'G', sizeof line);
    lstrcpyA(line, "abc");
    // " INSTALLDIR=\"C:\Program Files\Tolva\" " is 37 characters: 40 holds 39.
    EXPECT_FALSE(AppendInstallDirProperty(line, 40, "C:\\Program Files\\Tolva"));
    EXPECT_STREQ(line, "abc");
    EXPECT_EQ(std::string(line + 40, 8), std::string(8, 'G'));
    EXPECT_TRUE(AppendInstallDirProperty(line, 41, "C:\\Program Files\\Tolva"));
    EXPECT_STREQ(line, "abc INSTALLDIR=\"C:\\Program Files\\Tolva\" ");
    EXPECT_TRUE(AppendInstallDirProperty(line, 41, nullptr));
}

class InstallerLocationTest : public ::testing::Test {
protected:
    testutil::ScopedRegBackup installer_{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer"};
    void setLocation(const std::string& value) {
        testutil::setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                              "InstallerLocation", REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
};

TEST_F(InstallerLocationTest, GetMsiexecPath_AppendsWithinCapacity) {
    setLocation("C:\\tds\\installer");
    char buffer[64] = {};
    ASSERT_EQ(GetMsiexecPath(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "C:\\tds\\installer\\msiexec.exe");
    // 16 characters of location, 12 appended, one NUL: 29 fit, 28 do not.
    char exact[29];
    EXPECT_EQ(GetMsiexecPath(exact, sizeof exact), 1);
    EXPECT_STREQ(exact, "C:\\tds\\installer\\msiexec.exe");
    char small[28];
    EXPECT_EQ(GetMsiexecPath(small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

TEST_F(InstallerLocationTest, GetMsiexecPath_MissingValueAnswersZero) {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                       "InstallerLocation");
    char buffer[64] = "x";
    EXPECT_EQ(GetMsiexecPath(buffer, sizeof buffer), 0);
}

TEST(GetMsiFilePath, FolderPerKindVersionAndBitness) {
    char base[MAX_PATH] = {};
    ASSERT_TRUE(GetAppDataLowDir(base));
    const std::string version = GetCurrentRuntimeVersion();
    for (bool is64 : {true, false}) {
        char path[MAX_PATH] = {};
        ASSERT_TRUE(GetMsiFilePath(path, is64));
        const std::string folder = std::string(base) + "\\Brask\\Tolva\\kessa" + version + (is64 ? "_x64" : "");
        EXPECT_EQ(std::string(path), folder + "\\kessa" + version + ".msi");
        EXPECT_TRUE(testutil::fileExists(folder));
        RemoveDirectoryA(folder.c_str());
    }
    SetProductKind("vindel");
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetMsiFilePath(path, false));
    SetProductKind("kessa");
    EXPECT_EQ(std::string(path), std::string(base) + "\\Brask\\Tolva\\vindel" + version + "\\vindel" + version + ".msi");
    RemoveDirectoryA((std::string(base) + "\\Brask\\Tolva\\vindel" + version).c_str());
}

// Without a place for the package the caller ends the run; the log must
// say why, as the run itself ends without a box.
TEST(GetMsiFilePath, NoPathLoggedWithItsReason) {
    testutil::ScratchDir deep("deep");
    // A folder that fits MAX_PATH, but not with the package path below it.
    const std::string longFolder = deep.path() + "\\" + std::string(220 - deep.path().size(), 'd');
    const struct { const char* name; bool found; std::string folder; const char* logged; } cases[] = {
        {"no data folder", false, "", "the user data folder for the package was not found"},
        {"too long", true, longFolder, "does not fit 260 characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        msi_package_internal::setUserDataFolderForTesting([&c](char* buffer) {
            lstrcpynA(buffer, c.folder.c_str(), MAX_PATH);
            return c.found;
        });
        testutil::LogCapture log;
        char path[MAX_PATH] = "stale";
        EXPECT_FALSE(GetMsiFilePath(path, true));
        msi_package_internal::setUserDataFolderForTesting(nullptr);
        EXPECT_STREQ(path, "");
        EXPECT_TRUE(log.contains("ERROR: GetMsiFilePath: ")) << log.text();
        EXPECT_TRUE(log.contains(c.logged)) << log.text();
    }
    // The levels made on the way go again.
    const std::string made = longFolder + "\\Brask\\Tolva\\kessa" + GetCurrentRuntimeVersion() + "_x64";
    for (const std::string& folder : {made, longFolder + "\\Brask\\Tolva", longFolder + "\\Brask", longFolder})
        RemoveDirectoryA(folder.c_str());
}

class RunMsiInstallTest : public ::testing::Test {
protected:
    void SetUp() override { policy_.clear(); }
    testutil::ScopedRegBackup policy_{HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy"};
    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft"};
    testutil::ScratchDir dir_{"run"};
    std::string log_ = dir_.file("msiexec.log");
    testutil::ScopedEnvironment logVar_{"TDS_CMDLOG_FILE", log_};
    testutil::ScopedEnvironment exitVar_{"TDS_CMDLOG_EXIT"};
};

TEST_F(RunMsiInstallTest, RunsTheCommandLineWholeAndAnswersTheExitCode) {
    ASSERT_TRUE(SetPolicyValue(nullptr, "PostStatusUrl", "https://status.tolva.example/p"));
    ASSERT_TRUE(SetPolicyValue(nullptr, "Country", "SE"));
    const std::string msiexec = besideExe("tds_cmdlog_helper.exe");
    const std::string line = "\"" + msiexec + "\" /i \"C:\\p\\kessa.msi\" /qn  /qn  SKIPLICENSE=1";
    for (DWORD code : {0u, 1603u, 3010u, 0xC0000005u}) {
        exitVar_.set(std::to_string(code));
        EXPECT_EQ(static_cast<DWORD>(RunMsiInstall(msiexec.c_str(), line.c_str())), code);
    }
    EXPECT_EQ(testutil::readFileText(log_).substr(0, line.size() + 1), line + "\n");
    char buffer[64];
    DWORD size = sizeof buffer;
    EXPECT_FALSE(GetPolicyValue(nullptr, "PostStatusUrl", buffer, &size));
    size = sizeof buffer;
    ASSERT_TRUE(GetPolicyValue(nullptr, "Country", buffer, &size));
    EXPECT_STREQ(buffer, "SE");
}

TEST_F(RunMsiInstallTest, MissingProgramAnswersStartErrorEmptyAnswers1627) {
    EXPECT_EQ(RunMsiInstall(besideExe("no-msiexec.exe").c_str(), "/i x.msi"), 2);
    EXPECT_EQ(RunMsiInstall("  ", "/i x.msi"), 1627);
}

}  // namespace
