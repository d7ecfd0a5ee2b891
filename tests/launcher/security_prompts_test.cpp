#include "launcher/security_prompts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "foundation/net_utils_internal.h"
#include "foundation/registry_view_internal.h"
#include "launcher/security_prompts_internal.h"

namespace {

using namespace security_prompts_internal;

const char kVendor[] = "SOFTWARE\\TolvaSoft";
const std::string kVerify = "http://www.tolva.example/verify9/?src=install";

// --- scripted panes ----------------------------------------------------------

// One scripted answer: the result, and what the "user" did to the flow's
// data before pressing the button.
struct Answer {
    INT_PTR result;
    std::function<void(RestoreSecurityChoice&, SetupCompleteData&)> act;
};

// What every pane saw when it was shown, in order.
struct Shown {
    char pane;  // 'P' plug-in, 'R' restore, 'C' complete
    RestoreSecurityChoice choice;
    SetupCompleteData record;
};

struct Script {
    std::deque<Answer> plugin, restore, complete;
    std::vector<Shown> shown;
    RestoreSecurityChoice* choice = nullptr;
    SetupCompleteData* record = nullptr;
    bool throwUnknown = false;

    std::string order() const {
        std::string text;
        for (const Shown& s : shown)
            text += s.pane;
        return text;
    }
};
Script g_script;

class ScriptedPane : public IDialog {
public:
    ScriptedPane(char name, std::deque<Answer>& answers) : name_(name), answers_(answers) {}
    INT_PTR ShowModal() override {
        g_script.shown.push_back({name_, *g_script.choice, *g_script.record});
        // A pane with no answers left is a flow that shows more than the
        // script expects: end it the way a broken dialog would.
        if (answers_.empty())
            return -1;
        Answer answer = answers_.front();
        answers_.pop_front();
        if (answer.act)
            answer.act(*g_script.choice, *g_script.record);
        return answer.result;
    }

private:
    char name_;
    std::deque<Answer>& answers_;
};

PostInstallPanes scriptedPanes(RestoreSecurityChoice& choice, SetupCompleteData& record) {
    if (g_script.throwUnknown)
        throw 42;
    g_script.choice = &choice;
    g_script.record = &record;
    PostInstallPanes panes;
    panes.plugin = std::make_unique<ScriptedPane>('P', g_script.plugin);
    panes.restore = std::make_unique<ScriptedPane>('R', g_script.restore);
    panes.complete = std::make_unique<ScriptedPane>('C', g_script.complete);
    return panes;
}

// --- recorded browser actions ------------------------------------------------

std::vector<std::string> g_browser;
void recordRestart() { g_browser.push_back("restart"); }
void recordChrome() { g_browser.push_back("chrome"); }
void recordFirefox() { g_browser.push_back("firefox"); }
void recordIe() { g_browser.push_back("ie"); }
bool recordDefault(const std::string& address) {
    g_browser.push_back("default " + address);
    return true;
}

BOOL connected(DWORD* flags) {
    *flags = 0;
    return TRUE;
}
BOOL offline(DWORD* flags) {
    *flags = 0;
    return FALSE;
}

bool vendorValueExists(const char* name) { return testutil::registryValueExists(HKEY_LOCAL_MACHINE, kVendor, name); }

// The vendor value in one registry view.
bool vendorValueInView(const char* name, REGSAM view) {
    return testutil::registryValueExists(HKEY_LOCAL_MACHINE, kVendor, name, view);
}

void setVendorValue(const char* name) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendor, name, REG_SZ, "1", 2);
}

// The flow with everything around it under the test's control: scripted
// panes and browsers, the system's bitness and connection, the vendor key
// cleared (and put back afterwards), and a runtime home whose "bin" holds
// the stand-in deployment library.
class SecurityPromptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_script = Script();
        g_browser.clear();
        setPaneFactoryForTesting(&scriptedPanes);
        setBrowserActionsForTesting({&recordRestart, &recordChrome, &recordFirefox, &recordIe, &recordDefault});
        net_internal::setConnectedStateForTesting(&connected);
        registry_view_internal::setRunning32BitForTesting(1);
        vendor_.clear();
        vendor32_.clear();
        CreateDirectoryA(home_.file("bin").c_str(), nullptr);
    }
    void TearDown() override {
        setPaneFactoryForTesting(nullptr);
        setBrowserActionsForTesting({});
        net_internal::setConnectedStateForTesting(nullptr);
        net_internal::setProbeUrlForTesting("");
        registry_view_internal::setRunning32BitForTesting(-1);
        for (const char* name : {"stager.dll", "msvcr100.dll"})
            DeleteFileA(home_.file("bin\\" + std::string(name)).c_str());
        RemoveDirectoryA(home_.file("bin").c_str());
    }

    void installDeployLibrary() {
        for (const char* name : {"stager.dll", "msvcr100.dll"}) {
            const std::string source = testutil::besideExe(std::string("deploy-doubles\\") + name);
            ASSERT_TRUE(CopyFileA(source.c_str(), home_.file("bin\\" + std::string(name)).c_str(), FALSE))
                << source;
        }
    }
    std::string stagerLog() const { return logDir_.file("stager.log"); }
    // The question words (request bytes 24 to 40) of every library call.
    std::vector<std::string> stagerQuestions() const {
        std::vector<std::string> questions;
        if (!testutil::fileExists(stagerLog()))
            return questions;
        const std::string text = testutil::readFileText(stagerLog());
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = text.substr(start, end - start);
            // "request=w0,...,w10 result=..."
            std::string words = line.substr(8, line.find(' ') - 8);
            size_t comma = 0;
            for (int i = 0; i < 6; ++i)
                comma = words.find(',', comma) + 1;
            questions.push_back(words.substr(comma));
        }
        return questions;
    }

    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, kVendor};
    testutil::ScopedRegBackup vendor32_{HKEY_LOCAL_MACHINE, kVendor, KEY_WOW64_32KEY};
    testutil::ScratchDir home_{"home"};
    testutil::ScratchDir logDir_{"stager"};
    testutil::ScopedEnvironment stagerLogVar_{"TDS_STAGER_LOG", stagerLog()};
    testutil::ScopedEnvironment stagerAnswer_{"TDS_STAGER_ANSWER", "1"};
    testutil::LogCapture log_;
};

const char kAskPlugin[] = "1,0,0,0,0";
const char kAskDecisions[] = "0,1,0,0,30";
const char kClear[] = "0,0,1,0,30";
const char kReset[] = "0,0,0,1,0";

Answer next() { return {kPaneNext, nullptr}; }
Answer back() { return {kPaneBack, nullptr}; }
Answer cancel() { return {kPaneCancel, nullptr}; }
Answer uncheckAnd(INT_PTR result) {
    return {result, [](RestoreSecurityChoice& c, SetupCompleteData&) { c.restoreChecked = false; }};
}

// --- the pane sequence -------------------------------------------------------

struct SequenceCase {
    const char* name;
    bool pluginDisabled;
    bool previousDecisions;
    std::vector<Answer> plugin, restore, complete;
    const char* order;           // panes in the order shown
    const char* restoreAction;   // the library's last call, "" for none
};

class PaneSequenceTest : public SecurityPromptsTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(PaneSequenceTest, RunPostInstallPanes_ShowsAndActs) {
    const SequenceCase& c = GetParam();
    installDeployLibrary();
    g_script.plugin.assign(c.plugin.begin(), c.plugin.end());
    g_script.restore.assign(c.restore.begin(), c.restore.end());
    g_script.complete.assign(c.complete.begin(), c.complete.end());

    RunPostInstallPanes(home_.path(), {c.pluginDisabled, c.previousDecisions}, false, false, "", 0);

    EXPECT_EQ(g_script.order(), c.order);
    const std::vector<std::string> calls = stagerQuestions();
    if (*c.restoreAction) {
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], c.restoreAction);
    } else {
        EXPECT_TRUE(calls.empty());
    }
    // Back is offered exactly where another pane precedes.
    for (const Shown& s : g_script.shown) {
        if (s.pane == 'R') {
            EXPECT_EQ(s.choice.restoreShowBack, c.pluginDisabled);
        }
        if (s.pane == 'C') {
            EXPECT_EQ(s.record.showBack, c.pluginDisabled || c.previousDecisions);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaneSequenceTest,
    ::testing::Values(
        SequenceCase{"Neither", false, false, {}, {}, {cancel()}, "C", ""},
        SequenceCase{"OnlyDecisions", false, true, {}, {next()}, {cancel()}, "RC", kClear},
        SequenceCase{"OnlyPlugin", true, false, {next()}, {}, {cancel()}, "PC", ""},
        SequenceCase{"BothWithBackFromComplete", true, true, {next()}, {next(), next()}, {back(), cancel()},
                     "PRCRC", kClear},
        SequenceCase{"UncheckedThenBackKeepsChoice", true, true, {next(), next()}, {uncheckAnd(kPaneBack), next()},
                     {cancel()}, "PRPRC", kReset},
        SequenceCase{"BackFromFirstPaneEnds", false, true, {}, {back()}, {}, "R", kClear},
        SequenceCase{"CancelOnFirstPaneEnds", true, true, {cancel()}, {}, {}, "P", kClear},
        SequenceCase{"UnknownResultShowsAgain", false, false, {}, {}, {{7, nullptr}, cancel()}, "CC", ""},
        // A sequence cut short by a pane that cannot be shown is no answer
        // of the user's: the earlier decisions stay as they are.
        SequenceCase{"PaneThatCannotShowEnds", false, true, {}, {{-1, nullptr}}, {cancel()}, "R", ""},
        SequenceCase{"PluginPaneThatCannotShowSkipsRestore", true, true, {{-1, nullptr}}, {next()}, {cancel()}, "P",
                     ""},
        SequenceCase{"RestorePaneWithNoOwnerSkipsRestore", false, true, {}, {{0, nullptr}}, {cancel()}, "R", ""},
        SequenceCase{"CompletionThatCannotShowSkipsRestore", false, true, {}, {next()}, {{-1, nullptr}}, "RC", ""},
        SequenceCase{"PaneWithNoOwnerEnds", false, false, {}, {}, {{0, nullptr}}, "C", ""}),
    [](const ::testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.name); });

TEST_F(SecurityPromptsTest, RunPostInstallPanes_BackFromCompleteShowsRestoreAsLeft) {
    installDeployLibrary();
    g_script.restore = {uncheckAnd(kPaneNext), next()};
    g_script.complete = {back(), cancel()};
    RunPostInstallPanes(home_.path(), {false, true}, false, false, "", 0);
    ASSERT_EQ(g_script.order(), "RCRC");
    EXPECT_TRUE(g_script.shown[0].choice.restoreChecked);
    EXPECT_FALSE(g_script.shown[2].choice.restoreChecked);
    EXPECT_EQ(stagerQuestions(), std::vector<std::string>{kReset});
    EXPECT_TRUE(log_.contains("Checkbox for restoreSecurityPrompts is NOT selected. Calling deploy to "
                              "doResetUserPreviousDecisions..."));
}

TEST_F(SecurityPromptsTest, RunPostInstallPanes_PluginDisabledNeverOpensVerifyPage) {
    g_script.plugin = {next()};
    g_script.complete = {cancel()};
    RunPostInstallPanes(home_.path(), {true, false}, true, false, "", 0);
    ASSERT_EQ(g_script.order(), "PC");
    EXPECT_FALSE(g_script.shown[1].record.showVerifyText);
    EXPECT_TRUE(g_browser.empty());
}

TEST_F(SecurityPromptsTest, RunPostInstallPanes_LogsPanesAndSequence) {
    g_script.plugin = {next()};
    g_script.restore = {next()};
    g_script.complete = {cancel()};
    installDeployLibrary();
    RunPostInstallPanes(home_.path(), {true, true}, false, false, "", 0);
    const std::string text = log_.text();
    for (const char* line :
         {"Adding TolvaPlugin pane. It will be shown.", "Adding  RestoreSecurity pane. It will be shown.",
          "The installer will display the Setup Complete dialog", "ShowDialogs: pane index is 2",
          "Cancel is pushed, exit ShowDialogs", "The Setup Complete dialog is closed",
          "Checkbox for restoreSecurityPrompts is selected. Calling deploy to doClearUserPreviousDecisions..."})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

// --- the deployment library's answers ----------------------------------------

TEST_F(SecurityPromptsTest, Finish_PluginOffShowsPluginPaneOnly) {
    installDeployLibrary();
    stagerAnswer_.set("0");  // plug-in status 0: off; no earlier decisions
    g_script.plugin = {next()};
    g_script.complete = {cancel()};
    FinishUIInstallationWithSecurityPrompts(home_.path(), false, false, "", 0);
    EXPECT_EQ(g_script.order(), "PC");
    EXPECT_EQ(stagerQuestions(), (std::vector<std::string>{kAskPlugin, kAskDecisions}));
}

TEST_F(SecurityPromptsTest, Finish_EarlierDecisionsShowRestorePaneAndClear) {
    installDeployLibrary();
    g_script.restore = {next()};
    g_script.complete = {cancel()};
    FinishUIInstallationWithSecurityPrompts(home_.path(), false, false, "", 0);
    EXPECT_EQ(g_script.order(), "RC");
    EXPECT_EQ(stagerQuestions(), (std::vector<std::string>{kAskPlugin, kAskDecisions, kClear}));
}

TEST_F(SecurityPromptsTest, Finish_LibraryMissingShowsOnlyCompletion) {
    g_script.complete = {cancel()};
    FinishUIInstallationWithSecurityPrompts(home_.path(), false, false, "", 0);
    EXPECT_EQ(g_script.order(), "C");
    EXPECT_FALSE(g_script.shown[0].record.showBack);
    EXPECT_TRUE(log_.contains("DeployLibLoaderError in DeployLibLoader constructor Failed to load Deploy library"));
}

TEST_F(SecurityPromptsTest, Finish_NoHomeRegisteredShowsOnlyCompletion) {
    g_script.complete = {cancel()};
    FinishUIInstallationWithSecurityPrompts("", false, false, "", 0);
    EXPECT_EQ(g_script.order(), "C");
    EXPECT_TRUE(log_.contains("Cannot determine TolvaHome"));
    EXPECT_TRUE(log_.contains("DeployLibLoaderError in DeployLibLoader constructor tolvaHome is empty"));
}

TEST_F(SecurityPromptsTest, Finish_UnexpectedErrorDoesNotEscape) {
    g_script.throwUnknown = true;
    EXPECT_NO_THROW(FinishUIInstallationWithSecurityPrompts(home_.path(), false, false, "", 0));
    EXPECT_TRUE(log_.contains("Unknown exception caught"));
}

// --- the setup-complete record -----------------------------------------------

struct RecordCase {
    const char* name;
    bool firefoxValue, ieValue, running32, online, showVerifyPage;
    int sponsors;
    bool restartBrowser, showVerifyText, hasSponsor;
    const char* sponsorCode;
};

class RecordTest : public SecurityPromptsTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTest, InitSetupCompleteData_Fills) {
    const RecordCase& c = GetParam();
    if (c.firefoxValue)
        setVendorValue("FIREFOXRESTART");
    if (c.ieValue)
        setVendorValue("IERESTART");
    registry_view_internal::setRunning32BitForTesting(c.running32 ? 1 : 0);
    if (!c.online) {
        net_internal::setConnectedStateForTesting(&offline);
        net_internal::setProbeUrlForTesting("http://127.0.0.1:9/");
    }
    SetupCompleteData record;
    record.restartNow = false;
    record.sponsorCode = "stale";
    InitSetupCompleteData(record, true, c.showVerifyPage, true, c.sponsors);

    EXPECT_EQ(record.firefoxRestart, c.firefoxValue);
    EXPECT_EQ(record.ieRestart, c.ieValue);
    EXPECT_TRUE(record.showBack);
    EXPECT_TRUE(record.showSecurityLevelText);
    EXPECT_EQ(record.restartBrowser, c.restartBrowser);
    EXPECT_TRUE(record.restartNow);
    EXPECT_EQ(record.showVerifyText, c.showVerifyText);
    EXPECT_EQ(record.hasSponsor, c.hasSponsor);
    EXPECT_EQ(record.sponsorCode, c.sponsorCode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordTest,
    ::testing::Values(RecordCase{"Plain32BitOnline", false, false, true, true, true, 0, false, true, false, ""},
                      RecordCase{"NotAsked", false, false, true, true, false, 0, false, false, false, ""},
                      RecordCase{"SixtyFourBit", false, false, false, true, true, 0, false, false, false, ""},
                      RecordCase{"Offline", false, false, true, false, true, 0, false, false, false, ""},
                      RecordCase{"IeRestartDropsVerify", false, true, true, true, true, 0, true, false, false, ""},
                      RecordCase{"FirefoxRestart", true, false, true, true, false, 0, true, false, false, ""},
                      RecordCase{"Sponsor", false, false, true, true, false, 13, false, false, true, "SP13"},
                      RecordCase{"NegativeSponsorIgnored", false, false, true, true, false, -4, false, false,
                                 false, ""}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// --- the browser action ------------------------------------------------------

struct ActionCase {
    const char* name;
    bool restartBrowser, restartNow, ieRestart, firefoxRestart, showVerifyText;
    const char* method;
    std::vector<std::string> actions;
    bool ieValueLeft, firefoxValueLeft;
};

class ActionTest : public SecurityPromptsTest, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(ActionTest, ProcessSetupCompleteData_Acts) {
    const ActionCase& c = GetParam();
    setVendorValue("IERESTART");
    setVendorValue("FIREFOXRESTART");
    SetupCompleteData record;
    record.restartBrowser = c.restartBrowser;
    record.restartNow = c.restartNow;
    record.ieRestart = c.ieRestart;
    record.firefoxRestart = c.firefoxRestart;
    record.showVerifyText = c.showVerifyText;
    ProcessSetupCompleteData(record, c.method);
    EXPECT_EQ(g_browser, c.actions);
    EXPECT_EQ(vendorValueExists("IERESTART"), c.ieValueLeft);
    EXPECT_EQ(vendorValueExists("FIREFOXRESTART"), c.firefoxValueLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ActionTest,
    ::testing::Values(
        ActionCase{"RestartWanted", true, true, true, true, false, "", {"restart"}, true, true},
        ActionCase{"RestartDeclinedDeletesIe", true, false, true, false, false, "", {}, false, true},
        ActionCase{"RestartDeclinedDeletesBoth", true, false, true, true, false, "", {}, false, false},
        ActionCase{"NoRestartPendingKeepsValues", false, true, false, false, false, "", {}, true, true},
        ActionCase{"VerifyInChrome", false, true, false, false, true, "tchrome", {"chrome"}, true, true},
        ActionCase{"VerifyInFirefox", false, true, false, false, true, "TXPI", {"firefox"}, true, true},
        ActionCase{"VerifyInIeAnyCase", false, true, false, false, true, "TCAB", {"ie"}, true, true},
        ActionCase{"VerifyInDefault", false, true, false, false, true, "tjnlp", {"default " + kVerify}, true, true},
        ActionCase{"VerifyWithoutMethod", false, true, false, false, true, "", {"default " + kVerify}, true,
                   true}),
    [](const ::testing::TestParamInfo<ActionCase>& info) { return std::string(info.param.name); });

// A package that writes to the 32-bit view leaves the flags there, and they
// are read from there when the 64-bit vendor key is missing. Deleted in the
// 64-bit view only, they would come back at every later install: the restart
// offered again, ticked, and the user's browser closed again.
TEST_F(SecurityPromptsTest, RestartDeclined_FlagsFoundInThe32BitViewAreDeletedThere) {
    for (const char* name : {"IERESTART", "FIREFOXRESTART"})
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendor, name, REG_SZ, "1", 2, KEY_WOW64_32KEY);
    SetupCompleteData record;
    InitSetupCompleteData(record, false, false, false, 0);
    ASSERT_TRUE(record.restartBrowser);
    ASSERT_TRUE(record.ieRestart && record.firefoxRestart);
    record.restartNow = false;  // the user clears the restart box
    ProcessSetupCompleteData(record, "");
    EXPECT_TRUE(g_browser.empty());
    for (const char* name : {"IERESTART", "FIREFOXRESTART"})
        EXPECT_FALSE(vendorValueInView(name, KEY_WOW64_32KEY)) << name;

    SetupCompleteData next;
    InitSetupCompleteData(next, false, false, false, 0);
    EXPECT_FALSE(next.restartBrowser) << "the next install offers the restart again";
}

// --- the TEST_FINAL_DIALOG entry ---------------------------------------------

TEST_F(SecurityPromptsTest, ShowFinalDialogForTest_ShowsCompletionWithBack) {
    g_script.complete = {cancel()};
    ShowFinalDialogForTest(true, true);
    ASSERT_EQ(g_script.order(), "C");
    const SetupCompleteData& shown = g_script.shown[0].record;
    EXPECT_TRUE(shown.showBack);
    EXPECT_TRUE(shown.showVerifyText);
    EXPECT_TRUE(shown.showSecurityLevelText);
    EXPECT_FALSE(shown.hasSponsor);
    EXPECT_EQ(g_browser, std::vector<std::string>{"default " + kVerify});
}

}  // namespace
