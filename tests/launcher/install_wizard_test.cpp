// The page sequence of an interactive install, with scripted page answers.
#include "launcher/install_wizard.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "common/log_capture.h"

namespace {

using ui::PageResult;

// Plays back scripted answers and records what was shown.
class ScriptedPages : public ui::SetupPages {
public:
    struct Answer {
        Answer(PageResult r, bool box = false, std::string chosen = std::string())
            : result(r), changeFolder(box), folder(std::move(chosen)) {}
        PageResult result;
        bool changeFolder;   // welcome: the box state at Next
        std::string folder;  // folder page: the folder at Next
    };
    std::deque<Answer> script;
    std::vector<std::string> shown;  // "welcome(preset)" / "folder(hideBack)"

    PageResult welcome(HWND, bool& changeFolder) override {
        shown.push_back(std::string("welcome(") + (changeFolder ? "checked" : "clear") + ")");
        const Answer answer = next();
        if (answer.result == PageResult::Next)
            changeFolder = answer.changeFolder;
        return answer.result;
    }
    PageResult changeFolder(HWND, bool hideBack, char* folder, size_t capacity) override {
        shown.push_back(std::string("folder(") + (hideBack ? "noback" : "back") + ")");
        const Answer answer = next();
        if (answer.result == PageResult::Next)
            lstrcpynA(folder, answer.folder.c_str(), static_cast<int>(capacity));
        return answer.result;
    }
    PageResult setupError(HWND, int32_t) override { return next().result; }

private:
    Answer next() {
        if (script.empty()) {
            ADD_FAILURE() << "a page was shown that the script did not expect";
            return Answer(PageResult::Failed);
        }
        Answer answer = script.front();
        script.pop_front();
        return answer;
    }
};

struct WizardCase {
    const char* name;
    bool launchedFromVindel;
    std::vector<ScriptedPages::Answer> script;
    WizardOutcome outcome;
    std::vector<std::string> shown;
    std::string installDir;  // starts as "C:\\Configured"
};

class RunInstallWizardTest : public ::testing::TestWithParam<WizardCase> {};

TEST_P(RunInstallWizardTest, RunInstallWizard_Sequence) {
    const WizardCase& c = GetParam();
    testutil::LogCapture log;
    ScriptedPages pages;
    pages.script.assign(c.script.begin(), c.script.end());
    char installDir[2048] = "C:\\Configured";
    EXPECT_EQ(RunInstallWizard(pages, nullptr, c.launchedFromVindel, installDir, sizeof installDir), c.outcome);
    EXPECT_EQ(pages.shown, c.shown);
    EXPECT_EQ(std::string(installDir), c.installDir);
    EXPECT_TRUE(pages.script.empty()) << "pages the wizard did not show";
    // A welcome page that could not be shown is a failure, told as one.
    const std::string text = log.text();
    const size_t failed = text.find("The welcome page could not be shown");
    EXPECT_EQ(failed != std::string::npos, c.outcome == WizardOutcome::Failed) << text;
    if (failed != std::string::npos) {
        const size_t start = text.rfind('\n', failed);
        const std::string line = text.substr(start == std::string::npos ? 0 : start + 1,
                                             text.find('\n', failed) - (start == std::string::npos ? 0 : start + 1));
        EXPECT_NE(line.find("ERROR"), std::string::npos) << line;
    }
}

const PageResult kNext = PageResult::Next, kCancel = PageResult::Cancel, kBack = PageResult::Back,
                 kFailed = PageResult::Failed;

INSTANTIATE_TEST_SUITE_P(
    Cases, RunInstallWizardTest,
    ::testing::Values(
        WizardCase{"InstallWithoutFolder", false, {{kNext, false}}, WizardOutcome::Install,
                   {"welcome(clear)"}, "C:\\Configured"},
        WizardCase{"WelcomeCancelled", false, {{kCancel}}, WizardOutcome::Declined, {"welcome(clear)"},
                   "C:\\Configured"},
        WizardCase{"WelcomeFailed", false, {{kFailed}}, WizardOutcome::Failed, {"welcome(clear)"},
                   "C:\\Configured"},
        WizardCase{"FolderChosen", false, {{kNext, true}, {kNext, false, "D:\\Apps\\Tolva"}},
                   WizardOutcome::Install, {"welcome(clear)", "folder(back)"}, "D:\\Apps\\Tolva"},
        WizardCase{"FolderCancelled", false, {{kNext, true}, {kCancel}}, WizardOutcome::FolderCancelled,
                   {"welcome(clear)", "folder(back)"}, "C:\\Configured"},
        WizardCase{"BackThenBoxCleared", false, {{kNext, true}, {kBack}, {kNext, false}},
                   WizardOutcome::Install, {"welcome(clear)", "folder(back)", "welcome(checked)"},
                   "C:\\Configured"},
        WizardCase{"BackThenFolderAgain", false,
                   {{kNext, true}, {kBack}, {kNext, true}, {kNext, false, "E:\\T"}}, WizardOutcome::Install,
                   {"welcome(clear)", "folder(back)", "welcome(checked)", "folder(back)"}, "E:\\T"},
        WizardCase{"BackThenWelcomeCancelled", false, {{kNext, true}, {kBack}, {kCancel}},
                   WizardOutcome::Declined, {"welcome(clear)", "folder(back)", "welcome(checked)"},
                   "C:\\Configured"},
        WizardCase{"BackThenWelcomeFailed", false, {{kNext, true}, {kBack}, {kFailed}}, WizardOutcome::Failed,
                   {"welcome(clear)", "folder(back)", "welcome(checked)"}, "C:\\Configured"},
        WizardCase{"FolderFailedKeepsDefault", false, {{kNext, true}, {kFailed}}, WizardOutcome::Install,
                   {"welcome(clear)", "folder(back)"}, "C:\\Configured"},
        WizardCase{"FromKitFolderOnly", true, {{kNext, false, "F:\\Kit"}}, WizardOutcome::Install,
                   {"folder(noback)"}, "F:\\Kit"},
        WizardCase{"FromKitFolderCancelled", true, {{kCancel}}, WizardOutcome::FolderCancelled,
                   {"folder(noback)"}, "C:\\Configured"}),
    [](const ::testing::TestParamInfo<WizardCase>& info) { return std::string(info.param.name); });

TEST(PageResult, ToPageResult_ButtonIds) {
    EXPECT_EQ(ui::toPageResult(1), PageResult::Next);
    EXPECT_EQ(ui::toPageResult(2), PageResult::Cancel);
    EXPECT_EQ(ui::toPageResult(1029), PageResult::Back);
    EXPECT_EQ(ui::toPageResult(-1), PageResult::Failed);
    EXPECT_EQ(ui::toPageResult(0), PageResult::Failed);
}

}  // namespace
