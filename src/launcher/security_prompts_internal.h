#pragma once
// Seams of the post-install flow for tests: the panes and the browser
// actions are replaced by scripted ones, and the deployment library's
// answers can be given directly.

#include <memory>
#include <string>

#include "launcher/security_prompts.h"

namespace security_prompts_internal {

// The three panes over the flow's data; any may be null only in tests that
// never show it.
struct PostInstallPanes {
    std::unique_ptr<IDialog> plugin;    // browser plug-in disabled
    std::unique_ptr<IDialog> restore;   // restore security prompts, over choice
    std::unique_ptr<IDialog> complete;  // setup complete, over record
};
using PaneFactory = PostInstallPanes (*)(RestoreSecurityChoice& choice, SetupCompleteData& record);

// The real panes (the launcher's dialogs).
PostInstallPanes CreatePostInstallPanes(RestoreSecurityChoice& choice, SetupCompleteData& record);

// Replaces the pane maker; null restores the real one. Returns the previous.
PaneFactory setPaneFactoryForTesting(PaneFactory factory);

// The browser routines the completion step calls.
struct BrowserActions {
    void (*restart)();
    void (*chrome)();
    void (*firefox)();
    void (*ie)();
    bool (*launchDefault)(const std::string& address);
};
// Replaces them; a null member restores the real routine.
void setBrowserActionsForTesting(const BrowserActions& actions);

// The deployment library's answers, as the flow asks them first.
struct SecurityFacts {
    bool pluginDisabled = false;
    bool previousDecisions = false;
};

// Asks the deployment library of home both questions. A library that cannot
// be opened or asked (a std::exception) is logged at ERROR and gives two
// false answers.
SecurityFacts AskSecurityFacts(const std::string& home);

// Everything after the questions: panes, restore action, browser action.
void RunPostInstallPanes(const std::string& home, const SecurityFacts& facts, bool showVerifyPage,
                         bool showSecurityLevelText, const std::string& method, int sponsors);

}  // namespace security_prompts_internal
