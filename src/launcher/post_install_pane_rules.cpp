#include "launcher/post_install_pane_rules.h"

#include <string>

#include "foundation/tstrings.h"

namespace {

bool codeIs(const SetupCompleteData& record, const char* code) {
    return tstrings::equals(record.sponsorCode, code, 1);
}

bool codeIsAnyOf(const SetupCompleteData& record, std::initializer_list<const char*> codes) {
    for (const char* code : codes)
        if (codeIs(record, code))
            return true;
    return false;
}

}  // namespace

SetupCompleteLayout ChooseSetupCompleteLayout(const SetupCompleteData& record) {
    SetupCompleteLayout layout;
    layout.back = record.showBack;
    if (!record.hasSponsor)
        layout.plainTitle = true;
    else if (codeIsAnyOf(record, {"SP12", "SP14", "SP10", "SP11"}))
        layout.secondSponsor = true;
    else
        layout.firstSponsor = true;
    layout.verifyText = record.showVerifyText;
    layout.securityLevel = record.showSecurityLevelText;
    layout.restartBox = record.restartBrowser;
    layout.restartChecked = record.restartBrowser && record.restartNow;
    return layout;
}

UINT SetupCompleteTitleString(int controlId, const SetupCompleteData& record) {
    if (controlId == 3037 || (controlId == 3050 && !record.hasSponsor))
        return 2056;
    if (controlId == 3050) {
        if (codeIs(record, "SP1"))
            return 2060;
        if (codeIs(record, "SP4"))
            return 2058;
        if (codeIsAnyOf(record, {"SP8", "SP9"}))
            return 2057;
        return 0;
    }
    if (controlId == 3049) {
        if (codeIs(record, "SP10"))
            return 2059;
        if (codeIs(record, "SP11"))
            return 2064;
        if (codeIsAnyOf(record, {"SP12", "SP13", "SP14", "SP15"}))
            return 2065;
    }
    return 0;
}

bool RestartNowAfterClose(const SetupCompleteData& record, bool boxChecked, ConfirmRestartFn confirm,
                          HWND owner) {
    if (!record.restartBrowser)
        return record.restartNow;
    if (boxChecked)
        return true;
    return confirm && confirm(owner);
}

bool RestartNowAfterBack(const SetupCompleteData& record, bool boxChecked) {
    return record.restartBrowser ? boxChecked : record.restartNow;
}
