// kessa-setup's removal of out-of-date runtimes from end to end: two older
// runtimes really installed through Wine's msiexec, a latest-version document
// on the local HTTPS server that calls them out of date, an interactive run
// whose HTML pages are clicked through by the stand-in browser control's
// script, and the state the run leaves: the chosen runtime gone, the other
// one still there, the new one installed, the logs, the exit code.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "common/child_process.h"
#include "common/dialog_closer.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "launcher_run.h"
#include "sample_packages.h"
#include "support/browser_standin/standin_registration.h"

namespace {

using e2e::keyExists;
using e2e::kVendorKey;
using e2e::valueExists;

const char kRuntimeFamily[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct OlderRuntime {
    const char* version;
    const char* productCode;
    const char* msi;
};
const OlderRuntime kInRange = {TDS_OLDER_RUNTIME_IN_RANGE, TDS_OLDER_RUNTIME_IN_RANGE_CODE,
                               TDS_OLDER_RUNTIME_IN_RANGE_MSI};
const OlderRuntime kOutOfRange = {TDS_OLDER_RUNTIME_OUT_RANGE, TDS_OLDER_RUNTIME_OUT_RANGE_CODE,
                                  TDS_OLDER_RUNTIME_OUT_RANGE_MSI};

std::string programFiles() {
    char path[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramW6432%", path, MAX_PATH);
    return path;
}
std::string homeOf(const char* version) { return programFiles() + "\\Tolva\\kessa" + version + "\\"; }

bool installed(const OlderRuntime& r) {
    return keyExists(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + r.version) &&
           testutil::fileExists(homeOf(r.version) + "bin\\tolva.exe");
}

std::string familyOf(const char* version) {
    const std::string text = version;
    return text.substr(0, text.find('_'));
}

void msiexec(const std::string& arguments) {
    const testutil::ProcessResult r = testutil::runProcess("msiexec.exe " + arguments + " /qn", 180000);
    EXPECT_TRUE(r.started) << "msiexec did not start: CreateProcess failed with " << r.startError;
    EXPECT_EQ(r.exitCode, 0u) << arguments;
}

class KessaSetupRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testutil::TestServers::get().ready()) << "the local test servers did not start";
        e2e::clearVendorState();
        for (const OlderRuntime* r : {&kInRange, &kOutOfRange}) {
            msiexec(std::string("/i \"") + r->msi + "\"");
            ASSERT_TRUE(installed(*r)) << r->version;
        }
        // The document: the carried version is the latest of its family and
        // earlier updates of it are pre-selected; the family before is out
        // of date as a whole, but outside its removal range.
        const std::string inFamily = familyOf(kInRange.version);
        const std::string outFamily = familyOf(kOutOfRange.version);
        const std::string document =
            "<?xml version=\"1.0\"?>\n<kessaVersions>\n"
            "  <family id=\"" + inFamily + "\">\n"
            "    <latestVersion>" TDS_SAMPLE_RUNTIME_VERSION "</latestVersion>\n"
            "    <baselineVersion>" TDS_SAMPLE_RUNTIME_VERSION "</baselineVersion>\n"
            "  </family>\n"
            "  <family id=\"" + outFamily + "\">\n"
            "    <latestVersion>" + outFamily + "_99</latestVersion>\n"
            "    <baselineVersion>" + outFamily + "_99</baselineVersion>\n"
            "    <ranges><range><minVersion>" + outFamily + "_50</minVersion></range></ranges>\n"
            "  </family>\n</kessaVersions>\n";
        const std::string name = "latest-" + testutil::uniqueTag() + ".xml";
        testutil::writeFileBytes(testutil::TestServers::get().filesDir() + "\\" + name, document);
        const std::string url = testutil::TestServers::get().httpsUrl("/files/" + name);
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendorKey, "LatestVersionXmlURL", REG_SZ, url.c_str(),
                              static_cast<DWORD>(url.size() + 1), KEY_WOW64_64KEY);
        ASSERT_TRUE(RegisterBrowserStandin(BrowserStandinPath()));
        registered_ = true;
    }

    void TearDown() override {
        if (registered_)
            UnregisterBrowserStandin();
        for (const OlderRuntime* r : {&kInRange, &kOutOfRange})
            if (keyExists(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + r->version))
                msiexec(std::string("/x ") + r->productCode);
        if (keyExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_RUNTIME_KEY))
            msiexec(std::string("/x ") + TDS_SAMPLE_RUNTIME_PRODUCT_CODE);
        if (keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Auto Update", KEY_WOW64_32KEY))
            msiexec(std::string("/x ") + TDS_SAMPLE_AU_PRODUCT_CODE);
        RemoveDirectoryA(ruleSetDir().c_str());
        e2e::clearVendorState();
    }

    static std::string ruleSetDir() {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\Brask\\Tolva\\Deployment";
    }

    // One interactive run of kessa-setup with the stand-in clicking through
    // the removal pages by script; the launcher's own dialog boxes are
    // answered as a person would (Next on the welcome page, then Close).
    struct Run {
        int exitCode = -999;
        std::string log;
        std::string scrubLog;
        std::string pagesLog;
    };
    Run run(const std::string& clicks) {
        testutil::ScratchDir temp("removal");
        testutil::writeFileBytes(temp.file("clicks.txt"), clicks);
        testutil::ChildProcess launcher;
        Run r;
        if (!launcher.start(testutil::quote(testutil::besideExe("kessa-setup.exe")),
                            {{"TMP", temp.path()},
                             {"TEMP", temp.path()},
                             {"BROWSER_STANDIN_SCRIPT", temp.file("clicks.txt")},
                             {"BROWSER_STANDIN_LOG", temp.file("pages.log")}})) {
            ADD_FAILURE() << "kessa-setup did not start: CreateProcess failed with " << launcher.startError();
            return r;
        }
        {
            testutil::DialogCloser closer(launcher.pid(), IDCANCEL, "Welcome");
            if (!launcher.wait(400000)) {
                launcher.terminate();
                ADD_FAILURE() << "kessa-setup did not end; pages: "
                              << testutil::readFileText(temp.file("pages.log"));
            } else {
                r.exitCode = static_cast<int>(launcher.exitCode());
            }
        }
        r.log = testutil::readFileText(temp.file("tusched.log"));
        if (testutil::fileExists(temp.file("TolvaScrub.log")))
            r.scrubLog = testutil::readFileText(temp.file("TolvaScrub.log"));
        if (testutil::fileExists(temp.file("pages.log")))
            r.pagesLog = testutil::readFileText(temp.file("pages.log"));
        return r;
    }

    bool registered_ = false;
};

void expectLines(const std::string& text, std::initializer_list<std::string> lines) {
    for (const std::string& line : lines)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n---\n" << text;
}

TEST_F(KessaSetupRemoval, InteractiveInstall_RemovesTheChosenOutOfDateRuntime) {
    // The list keeps its pre-selection (the earlier update only); the
    // progress page is reloaded for its finished view when the uninstall is
    // done, which stops its wait, so the click meets the finished view.
    const Run r = run(
        "TOLVASCRUB.HTML click manageListLink\n"
        "TOLVASCRUB_VERSIONS.HTML click nextBtnCtrl\n"
        "TOLVASCRUB_PROGRESS.HTML wait 20000\n"
        "TOLVASCRUB_PROGRESS.HTML click viewListLink\n"
        "TOLVASCRUB_COMPLETE.HTML click closeBtnCtrl\n");
    EXPECT_EQ(r.exitCode, 0) << r.log;

    // Declared state: the ticked runtime is gone (runtime key, Uninstall key,
    // files), the unticked one is still installed, the new one is installed.
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kRuntimeFamily) + kInRange.version));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + kInRange.productCode));
    EXPECT_FALSE(testutil::fileExists(homeOf(kInRange.version) + "bin\\tolva.exe"));
    EXPECT_TRUE(installed(kOutOfRange));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_RUNTIME_KEY, "TolvaHome"));

    const std::string v = kInRange.version, rest = kOutOfRange.version;
    expectLines(r.log, {"INFO: Out-of-date Tolva versions detected: 2",
                        "INFO: " + v + " 64bit successfully uninstalled",
                        "INFO: Out-of-date Tolva uninstall success: " + v,
                        "INFO: Out-of-date Tolva removed: " + v,
                        "INFO: Out-of-date Tolva remaining: " + rest});
    EXPECT_EQ(r.log.find("Out-of-date Tolva uninstall error"), std::string::npos);
    // msiexec started, so the removal log has nothing to say.
    EXPECT_EQ(r.scrubLog.find("Cannot execute msiexec.exe"), std::string::npos) << r.scrubLog;
    expectLines(r.pagesLog, {"complete TOLVASCRUB.HTML", "click TOLVASCRUB.HTML manageListLink",
                             "complete TOLVASCRUB_VERSIONS.HTML", "click TOLVASCRUB_VERSIONS.HTML nextBtnCtrl",
                             "click TOLVASCRUB_PROGRESS.HTML viewListLink",
                             "click TOLVASCRUB_COMPLETE.HTML closeBtnCtrl"});
    EXPECT_EQ(r.pagesLog.find("script-error"), std::string::npos) << r.pagesLog;
}

TEST_F(KessaSetupRemoval, InteractiveInstall_RuleSetShowsInformationAndRemovesNothing) {
    SHCreateDirectoryExA(nullptr, ruleSetDir().c_str(), nullptr);
    const std::string ruleSet = ruleSetDir() + "\\DeploymentRuleSet.tlv";
    testutil::writeFileBytes(ruleSet, "rules");
    const Run r = run("TOLVASCRUB_DRS.HTML click nextBtnCtrl\n");
    DeleteFileA(ruleSet.c_str());
    EXPECT_EQ(r.exitCode, 0) << r.log;
    EXPECT_TRUE(installed(kInRange));
    EXPECT_TRUE(installed(kOutOfRange));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_RUNTIME_KEY, "TolvaHome"));
    expectLines(r.log, {"INFO: Out-of-date Tolva versions detected: 2",
                        "INFO: DRS detected, skipping out-of-date Tolva uninstall"});
    EXPECT_EQ(r.log.find("successfully uninstalled"), std::string::npos);
    expectLines(r.pagesLog, {"complete TOLVASCRUB_DRS.HTML", "click TOLVASCRUB_DRS.HTML nextBtnCtrl"});
    EXPECT_EQ(r.pagesLog.find("TOLVASCRUB.HTML"), std::string::npos) << r.pagesLog;
}

}  // namespace
