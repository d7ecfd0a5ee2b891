#pragma once
// The three post-install pages of the runtime launcher, each a modal dialog
// behind the IDialog interface of the post-install flow.

#include <windows.h>

#include <string>

#include "launcher/post_install_pane_rules.h"
#include "launcher/security_prompts.h"
#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/pane_look.h"

// "Tolva content is disabled in web browsers" (dialog 119). Next ends it
// with 1; Escape and the greyed Close do nothing.
class CTolvaPluginDialog : public ui::DialogImpl<CTolvaPluginDialog>, public IDialog {
public:
    enum { IDD = 119 };
    INT_PTR ShowModal() override;

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    void onDestroy() override;

private:
    ui::PaneLook look_;
};

// "Restore Tolva security prompts" (dialog 120) over the flow's choice:
// Next (1) and Back (1029) store the check box in choice->restoreChecked.
// The "More information" link opens string 6006 in the default browser.
class CRestoreSecurityDialog : public ui::DialogImpl<CRestoreSecurityDialog>, public IDialog {
public:
    enum { IDD = 120 };
    explicit CRestoreSecurityDialog(RestoreSecurityChoice* choice) : choice_(choice) {}
    INT_PTR ShowModal() override;

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    bool onNotify(int id, NMHDR* header, LRESULT& result) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    void onDestroy() override;

private:
    void endWith(int result);

    RestoreSecurityChoice* choice_;
    std::string moreInfoUrl_;
    ui::PaneLook look_;
};

// "Tolva Setup - Complete" (dialog 117) over the setup-complete record.
// Close (2; also Escape and the close box) applies the restart rule, asking
// for confirmation when a pending restart was unchecked; Back (1029) keeps
// the restart box's state.
class CSetupComplete : public ui::DialogImpl<CSetupComplete>, public IDialog {
public:
    enum { IDD = 117 };
    explicit CSetupComplete(SetupCompleteData* record, ConfirmRestartFn confirm = &ConfirmBrowserRestart)
        : record_(record), confirm_(confirm) {}
    INT_PTR ShowModal() override;

    // The confirmation box of a pending restart: text string 2062, caption
    // string 2061, OK/Cancel with Cancel the default. True for OK.
    static bool ConfirmBrowserRestart(HWND owner);

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    bool onSetCursor(HWND window, UINT hitTest, UINT mouseMessage) override;
    void onDestroy() override;

private:
    void close();
    bool visible(int id) const;

    SetupCompleteData* record_;
    ConfirmRestartFn confirm_;
    char updateSettingsUrl_[256] = {};
    ui::PaneLook look_;
};

// The security-level page behind "More information" on the completion page.
extern const char kSecurityLevelUrl[];  // "http://www.tolva.example/securityminvalue/"
