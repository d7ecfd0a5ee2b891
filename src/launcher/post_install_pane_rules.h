#pragma once
// What the completion pane shows for a setup-complete record and what its
// buttons leave in the record, apart from the window code so that every
// combination is tested without a window.

#include <windows.h>

#include "launcher/security_prompts.h"

// Controls of the completion pane that the record shows or hides.
struct SetupCompleteLayout {
    bool back = false;           // 1029
    bool plainTitle = false;     // icon 3035, title 3037
    bool firstSponsor = false;   // icon 3052, title 3050
    bool secondSponsor = false;  // icon 3051, title 3049
    bool verifyText = false;     // 3039
    bool securityLevel = false;  // 3045 and its link 3046
    bool restartBox = false;     // 3044 and its note 3043
    bool restartChecked = false; // 3044 starts checked
};

// The layout of record: the plain title without a sponsor; with one, the
// second sponsor layout for "SP10", "SP11", "SP12" and "SP14" (any case),
// else the first.
SetupCompleteLayout ChooseSetupCompleteLayout(const SetupCompleteData& record);

// The string id of the title that control 3037, 3050 or 3049 shows for
// record, or 0 for an empty title (a code without a title of its own, or
// any other control).
UINT SetupCompleteTitleString(int controlId, const SetupCompleteData& record);

// Asks the user whether to restart the browser now; true for OK.
using ConfirmRestartFn = bool (*)(HWND owner);

// restartNow after Close with the restart box in boxChecked: unchanged
// without a pending restart; true when checked; otherwise the answer of
// confirm (asked only then).
bool RestartNowAfterClose(const SetupCompleteData& record, bool boxChecked, ConfirmRestartFn confirm,
                          HWND owner);

// restartNow after Back: the box's state when a restart is pending, else
// unchanged.
bool RestartNowAfterBack(const SetupCompleteData& record, bool boxChecked);
