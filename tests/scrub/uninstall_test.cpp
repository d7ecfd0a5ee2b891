// Uninstalling runtime versions: msiexec runs through the stand-in reached by
// the Windows Installer's InstallerLocation, the Uninstall key clean-up per
// registry view, the update scan, and one real install and uninstall through
// the system's msiexec.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "scrub/t_cleaner.h"
#include "scrub/t_cleaner_internal.h"
#include "scrub/tolva_scrub.h"

#ifdef TDS_HAVE_SAMPLE_PACKAGES
#include "sample_packages.h"
#endif

namespace {

using testutil::ScopedRegTree;

const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const char kRuntimeFamily[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool keyExists(const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void createKey(const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

// Points InstallerLocation at a folder for the life of the object, then puts
// the value back as it was.
class InstallerLocation {
public:
    explicit InstallerLocation(const std::string& folder) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallerKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr);
        key_ = key;
        char buffer[1024] = {};
        DWORD size = sizeof(buffer) - 1, type = 0;
        had_ = RegQueryValueExA(key_, "InstallerLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                &size) == ERROR_SUCCESS;
        if (had_) {
            type_ = type;
            old_.assign(buffer, size);
        }
        RegSetValueExA(key_, "InstallerLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
    }
    ~InstallerLocation() {
        if (had_)
            RegSetValueExA(key_, "InstallerLocation", 0, type_, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key_, "InstallerLocation");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    DWORD type_ = REG_SZ;
    std::string old_;
};

struct MsiRun {
    std::string program;
    std::string commandLine;
};

class UninstallTest : public ::testing::Test {
protected:
    void SetUp() override { exitsVar_.unset(); }

    std::vector<MsiRun> runs() const {
        std::vector<MsiRun> out;
        for (const std::string& line : testutil::readFileLines(log_)) {
            const size_t bar = line.find('|');
            out.push_back({line.substr(0, bar), line.substr(bar + 1)});
        }
        return out;
    }
    std::vector<std::string> codesRun() const {
        std::vector<std::string> codes;
        for (const MsiRun& r : runs()) {
            const size_t x = r.commandLine.find(" /x ");
            codes.push_back(r.commandLine.substr(x + 4, 38));
        }
        return codes;
    }

    const std::string fakeDir_ = testutil::besideExe("scrub-msiexec");
    const std::string fake_ = fakeDir_ + "\\msiexec.exe";
    testutil::ScratchDir scratch_{"scrub"};
    const std::string log_ = scratch_.file("runs.log");
    testutil::ScopedEnvironment logVar_{"SCRUB_MSIEXEC_LOG", log_};
    testutil::ScopedEnvironment exitVar_{"SCRUB_MSIEXEC_EXIT", "1603"};
    testutil::ScopedEnvironment exitsVar_{"SCRUB_MSIEXEC_EXITS"};
    InstallerLocation location_{fakeDir_};
};

TEST_F(UninstallTest, UninstallProduct_RunsMsiexecByFullPathAndDeletesKeyOfItsView) {
    const std::string code = "{83F16D29-7C5B-4E17-A2D6-3B96418099F0}";
    ScopedRegTree k64(HKEY_LOCAL_MACHINE, kUninstall + code, KEY_WOW64_64KEY);
    ScopedRegTree k32(HKEY_LOCAL_MACHINE, kUninstall + code, KEY_WOW64_32KEY);
    createKey(kUninstall + code, KEY_WOW64_64KEY);
    createKey(kUninstall + code, KEY_WOW64_32KEY);

    uint32_t exitCode = 0;
    EXPECT_FALSE(tscrub::TCleaner::uninstallProduct(code, 64, exitCode));
    EXPECT_EQ(exitCode, 1603u);
    const std::vector<MsiRun> r = runs();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].commandLine, "\"" + fake_ + "\" REBOOT=Suppress /x " + code + " /qn");
    // Deleted in the product's own view even though msiexec failed; the other
    // view's key of the same name belongs to another product.
    EXPECT_FALSE(keyExists(kUninstall + code, KEY_WOW64_64KEY));
    EXPECT_TRUE(keyExists(kUninstall + code, KEY_WOW64_32KEY));

    EXPECT_FALSE(tscrub::TCleaner::uninstallProduct(code, 32, exitCode));
    EXPECT_FALSE(keyExists(kUninstall + code, KEY_WOW64_32KEY));
}

TEST_F(UninstallTest, UninstallProduct_ExitCodesZeroAnd3010AreSuccess) {
    const struct {
        const char* exit;
        bool ok;
    } cases[] = {{"0", true}, {"3010", true}, {"1605", false}, {"1", false}, {"1641", false}};
    for (const auto& c : cases) {
        exitVar_.set(c.exit);
        uint32_t exitCode = 12345;
        EXPECT_EQ(tscrub::TCleaner::uninstallProduct("{83F16D29-7C5B-4E17-A2D6-3B96418098F0}", 64, exitCode), c.ok)
            << c.exit;
        EXPECT_EQ(exitCode, strtoul(c.exit, nullptr, 10));
    }
}

TEST_F(UninstallTest, UninstallVersion_NotRegisteredRunsNothing) {
    ScopedRegTree v(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.8.0_77", KEY_WOW64_64KEY);
    createKey(std::string(kRuntimeFamily) + "1.8.0_77", KEY_WOW64_64KEY);
    uint32_t exitCode = 4242;
    // Registered in the 64-bit view only: the 32-bit product is not there.
    EXPECT_FALSE(tscrub::TCleaner::uninstallVersion("1.8.0_77", 32, exitCode));
    EXPECT_EQ(exitCode, 4242u);
    EXPECT_TRUE(runs().empty());
    EXPECT_TRUE(tscrub::TCleaner::isVersionRegistered("1.8.0_77", true));
    EXPECT_FALSE(tscrub::TCleaner::isVersionRegistered("1.8.0_77", false));
}

TEST_F(UninstallTest, UninstallVersion_OlderFamilyRunsOnce) {
    ScopedRegTree v(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.6.0_5", KEY_WOW64_32KEY);
    createKey(std::string(kRuntimeFamily) + "1.6.0_5", KEY_WOW64_32KEY);
    uint32_t exitCode = 0;
    EXPECT_FALSE(tscrub::TCleaner::uninstallVersion("1.6.0_5", 32, exitCode));
    EXPECT_EQ(codesRun(), std::vector<std::string>{"{3227C1B3-9E44-12A8-C39D-00C1E2160050}"});
}

TEST_F(UninstallTest, UninstallVersion_NewerFamilyScansDownToFirstSuccess) {
    ScopedRegTree v(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.8.0_3", KEY_WOW64_64KEY);
    createKey(std::string(kRuntimeFamily) + "1.8.0_3", KEY_WOW64_64KEY);
    exitsVar_.set("{83F16D29-7C5B-4E17-A2D6-3B96418001FF}=3010");
    uint32_t exitCode = 0;
    EXPECT_TRUE(tscrub::TCleaner::uninstallVersion("1.8.0_3", 64, exitCode));
    EXPECT_EQ(exitCode, 3010u);
    EXPECT_EQ(codesRun(), (std::vector<std::string>{
                              "{83F16D29-7C5B-4E17-A2D6-3B96418003F0}", "{83F16D29-7C5B-4E17-A2D6-3B96418003FF}",
                              "{83F16D29-7C5B-4E17-A2D6-3B96418002FF}", "{83F16D29-7C5B-4E17-A2D6-3B96418001FF}"}));
}

TEST_F(UninstallTest, UninstallByUpdateScan_TriesUpdateZeroLast) {
    uint32_t exitCode = 0;
    EXPECT_FALSE(tscrub::TCleaner::uninstallByUpdateScan("1.8.0_1", 32, exitCode));
    EXPECT_EQ(codesRun(), (std::vector<std::string>{"{83F16D29-7C5B-4E17-A2D6-3B93218001FF}",
                                                    "{83F16D29-7C5B-4E17-A2D6-3B93218000FF}"}));
}

TEST_F(UninstallTest, UninstallKessaVersion_LogsOutcome) {
    ScopedRegTree ok(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.7.0_20", KEY_WOW64_64KEY);
    ScopedRegTree bad(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.5.0_7", KEY_WOW64_32KEY);
    ScopedRegTree old(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + "1.4.0", KEY_WOW64_32KEY);
    createKey(std::string(kRuntimeFamily) + "1.4.0", KEY_WOW64_32KEY);
    createKey(std::string(kRuntimeFamily) + "1.7.0_20", KEY_WOW64_64KEY);
    createKey(std::string(kRuntimeFamily) + "1.5.0_7", KEY_WOW64_32KEY);
    exitsVar_.set("{83F16D29-7C5B-4E17-A2D6-3B96417020F0}=0");
    EXPECT_TRUE(tscrub::TolvaScrub::uninstallKessaVersion("1.7.0_20", true));
    EXPECT_FALSE(tscrub::TolvaScrub::uninstallKessaVersion("1.5.0_7", false));
    EXPECT_THROW(tscrub::TolvaScrub::uninstallKessaVersion("1.4.0", false), std::runtime_error);

    const std::string logText = testutil::readFileText(Logger::getInstance().path());
    EXPECT_NE(logText.find("tolva_scrub.cpp:118 (tscrub::TolvaScrub::uninstallKessaVersion)]\r\n\tINFO: "
                           "1.7.0_20 64bit successfully uninstalled"),
              std::string::npos)
        << logText;
    EXPECT_NE(logText.find("tolva_scrub.cpp:115 (tscrub::TolvaScrub::uninstallKessaVersion)]\r\n\tERROR: "
                           "Failed to uninstall 1.5.0_7 32bit failed with system error 1603 ("),
              std::string::npos)
        << logText;
}

TEST_F(UninstallTest, UninstallProduct_IgnoresMsiexecPlantedBesideProgram) {
    // The probe and a planted msiexec.exe in one folder: only the stand-in
    // named by InstallerLocation may run.
    testutil::ScratchDir planted("plant");
    ASSERT_TRUE(CopyFileA(testutil::besideExe("scrub_probe.exe").c_str(), planted.file("scrub_probe.exe").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileA(fake_.c_str(), planted.file("msiexec.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(fake_.c_str(), planted.file("MsiExec.exe").c_str(), FALSE) ||
                testutil::fileExists(planted.file("MsiExec.exe")));
    std::string output;
    const auto result = testutil::runProcessCapture(
        testutil::quote(planted.file("scrub_probe.exe")) + " product {83F16D29-7C5B-4E17-A2D6-3B96418097F0} 64",
        output);
    ASSERT_TRUE(result.started);
    EXPECT_NE(output.find("ok=0 exit=1603"), std::string::npos) << output;
    const std::vector<MsiRun> r = runs();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].program, fake_);
}

TEST_F(UninstallTest, RunMsiexec_UnstartableEndsProcessWithMinusOne) {
    InstallerLocation missing(scratch_.file("no-such-folder"));
    const std::string scrubLog = SysInfo::getTempDir() + "\\TolvaScrub.log";
    const std::string before = testutil::fileExists(scrubLog) ? testutil::readFileText(scrubLog) : "";
    std::string output;
    const auto result = testutil::runProcessCapture(
        testutil::quote(testutil::besideExe("scrub_probe.exe")) + " product {83F16D29-7C5B-4E17-A2D6-3B96418096F0} 64",
        output);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0xFFFFFFFFu);
    EXPECT_NE(output.find("Cannot execute misexec.exe"), std::string::npos) << output;
    EXPECT_EQ(output.find("ok="), std::string::npos) << output;
    ASSERT_TRUE(testutil::fileExists(scrubLog));
    EXPECT_EQ(testutil::readFileText(scrubLog), before + "Cannot execute msiexec.exe");
}

TEST(MsiexecPath, FallsBackToSystemFolder) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallerKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    const bool has = RegQueryValueExA(key, "InstallerLocation", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                      &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    const std::string path = tscrub::cleaner_internal::msiexecPath();
    EXPECT_NE(path.find("\\msiexec.exe"), std::string::npos);
    if (!has) {
        EXPECT_EQ(path, SysInfo::getSystem32Dir() + "\\msiexec.exe");
    }
    EXPECT_EQ(path.find("\\\\"), std::string::npos) << path;
}

#ifdef TDS_HAVE_SAMPLE_PACKAGES
// The sample runtime package: installed by the system's msiexec, removed by the
// launcher's uninstall, after which its runtime key, Uninstall key and files
// are gone.
TEST(RealUninstall, UninstallKessaVersion_RemovesInstalledSamplePackage) {
    const std::string version = TDS_SAMPLE_RUNTIME_VERSION;
    const std::string code = tscrub::TCleaner::getProductGUID(version, TDS_SAMPLE_RUNTIME_BITS, false);
    ASSERT_EQ(code, TDS_SAMPLE_RUNTIME_PRODUCT_CODE);
    testutil::ScratchDir home("home");
    const std::string msiexec = SysInfo::getSystem32Dir() + "\\msiexec.exe";
    const auto install = testutil::runProcess(testutil::quote(msiexec) + " /i " +
                                                  testutil::quote(TDS_SAMPLE_RUNTIME_MSI_PATH) + " /qn INSTALLDIR=" +
                                                  testutil::quote(home.path() + "\\"),
                                              240000);
    ASSERT_TRUE(install.started);
    ASSERT_EQ(install.exitCode, 0u);
    const std::string runtimeKey = TDS_SAMPLE_RUNTIME_KEY;
    const std::string program = home.path() + "\\" TDS_SAMPLE_RUNTIME_EXE_SUBPATH;
    ASSERT_TRUE(keyExists(runtimeKey, KEY_WOW64_64KEY));
    ASSERT_TRUE(keyExists(kUninstall + code, KEY_WOW64_64KEY));
    ASSERT_TRUE(testutil::fileExists(program));

    EXPECT_TRUE(tscrub::TolvaScrub::uninstallKessaVersion(version, true));
    EXPECT_FALSE(keyExists(runtimeKey, KEY_WOW64_64KEY));
    EXPECT_FALSE(keyExists(kUninstall + code, KEY_WOW64_64KEY));
    EXPECT_FALSE(testutil::fileExists(program));
    if (HasFailure()) {
        testutil::runProcess(testutil::quote(msiexec) + " /x " + code + " /qn", 240000);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, runtimeKey, KEY_WOW64_64KEY);
    }
}
#endif

}  // namespace
