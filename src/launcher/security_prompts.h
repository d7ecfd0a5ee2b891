#pragma once
// The end of an interactive install: the post-install panes (browser plug-in
// disabled, restore security prompts, setup complete) and what the user's
// answers do: the deployment library clears or resets the user's earlier
// security decisions, browsers are restarted, the verify page is opened.

#include <windows.h>

#include <string>
#include <vector>

// What the completion pane shows and what the user chose on it.
struct SetupCompleteData {
    bool firefoxRestart = false;         // vendor value "FIREFOXRESTART" is present
    bool ieRestart = false;              // vendor value "IERESTART" is present
    bool showBack = false;               // another pane precedes the completion pane
    bool showVerifyText = false;         // the verify page will open
    bool showSecurityLevelText = false;  // the "minimum value of High" sentence and link
    bool restartBrowser = false;         // a browser restart is pending: show the check box
    bool restartNow = true;              // state of the restart check box
    bool hasSponsor = false;             // a sponsor offer was installed
    std::string sponsorCode;             // "SP<n>", else empty
};

// The restore pane's choice, owned by the flow.
struct RestoreSecurityChoice {
    bool restoreChecked = true;   // "Restore Tolva security prompts" is checked
    bool restoreShowBack = false; // the plug-in pane comes first: show Back
};

// Ending button ids of the post-install panes.
enum PaneResult : INT_PTR {
    kPaneCannotShow = -1,
    kPaneNext = IDOK,    // 1
    kPaneCancel = IDCANCEL,  // 2
    kPaneBack = 1029,
};

// One post-install pane.
class IDialog {
public:
    // Shows the pane modally with the active window as parent. Answers the
    // id of the button that ended it (a PaneResult), -1 when the pane could
    // not be created.
    virtual INT_PTR ShowModal() = 0;
    virtual ~IDialog() = default;
};

// Runs the post-install panes for the runtime in home (empty: the current
// version's registered home) and acts on the answers. sponsors > 0 names an
// installed sponsor offer. Never throws: every failure is logged, and the
// user then sees at least the completion pane.
void FinishUIInstallationWithSecurityPrompts(const std::string& home, bool showVerifyPage,
                                             bool showSecurityLevelText, const std::string& method,
                                             int sponsors);

// The home folder of the runtime version this launcher carries; empty (and
// "Cannot determine TolvaHome" logged at ERROR) when it is not registered.
std::string GetDefaultKessaInstallLocation();

// Fills record from the arguments, the vendor values "FIREFOXRESTART" and
// "IERESTART", the system's bitness, the connection and the sponsor number.
// A pending browser restart, a 64-bit system or a missing connection drops
// the verify page.
void InitSetupCompleteData(SetupCompleteData& record, bool showBack, bool showVerifyPage,
                           bool showSecurityLevelText, int sponsors);

// Shows panes from the first: Next goes forward, Back goes back, Cancel ends;
// the run ends when the index leaves the list (Back on the first pane
// included), and when a pane cannot be shown at all. True when the user
// ended the run; false when a pane that cannot be shown cut it short.
bool ShowDialogs(const std::vector<IDialog*>& panes);

// Clears (restoreChecked) or resets the user's earlier security decisions
// through the deployment library of home. A library that does not load is
// logged at ERROR; nothing else happens then.
void ProcessRestoreSecurityData(const std::string& home, bool restoreChecked);

// Restarts the browsers when a restart is pending and wanted (otherwise
// removes the vendor restart values that are set, each in the registry view
// it was read from), then opens the verify
// page when record asks for it, in the browser that method names ("tchrome",
// "txpi", "tcab", any case) or else the default browser.
void ProcessSetupCompleteData(const SetupCompleteData& record, const std::string& method);

// The TEST_FINAL_DIALOG switch: the completion pane alone, with Back shown
// and no sponsor, then its browser actions with no install method.
void ShowFinalDialogForTest(bool showVerifyPage, bool showSecurityLevelText);
