#include "scrub_ui/tolva_scrub_dialogs.h"

#include <exception>
#include <functional>

#include "foundation/tds_error.h"
#include "scrub/tolva_scrub.h"
#include "scrub_ui/page_calls.h"

namespace tscrub {
namespace ui {
namespace {

// Runs a page's fill, then marks the page loaded whatever happened: a fill
// that throws must not leave the thread in show() waiting for a page that
// never finishes loading.
void fillThenLoaded(::ui::Dialog& dialog, const char* function, const std::function<void()>& fill) {
    try {
        fill();
    } catch (const std::exception& e) {
        logException(TDS_HERE(function), e);
    } catch (...) {
        logUnknownException(TDS_HERE(function));
    }
    dialog.::ui::Dialog::onLoadComplete();
}

bool isLink(const std::string& name, const ::ui::EventValues& values, const char* target) {
    return name == "a" && !values.empty() && values[0] == target;
}

}  // namespace

TolvaScrubDialog::TolvaScrubDialog(const ::ui::UiContext& context) : Dialog("tolvascrub.html", context) {}
TolvaScrubDialog::~TolvaScrubDialog() = default;

void TolvaScrubDialog::onEvent(const std::string& name, const ::ui::EventValues& values) {
    if (isLink(name, values, "manageListLink"))
        setResult(Link);
    else
        Dialog::onEvent(name, values);
}

TolvaScrubVersionsDialog::TolvaScrubVersionsDialog(const ::ui::UiContext& context)
    : Dialog("tolvascrub_versions.html", context) {}
TolvaScrubVersionsDialog::~TolvaScrubVersionsDialog() = default;

void TolvaScrubVersionsDialog::onLoadComplete() {
    fillThenLoaded(*this, "tscrub::ui::TolvaScrubVersionsDialog::onLoadComplete", [this] {
        for (size_t i = 0; i < list.size(); ++i)
            getWindow().execJScript(versionRowCall(static_cast<int>(i), TolvaScrub::getDisplayName(list[i].entry)));
        if (!list.empty())
            getWindow().execJScript(updateListItemsCall(tickString(list)));
    });
}

void TolvaScrubVersionsDialog::onEvent(const std::string& name, const ::ui::EventValues& values) {
    if (name == "checkbox_clicked")
        applyTickString(::ui::getParam(values, 0), list);
    Dialog::onEvent(name, values);
}

TolvaScrubProgressDialog::TolvaScrubProgressDialog(const ::ui::UiContext& context)
    : Dialog("tolvascrub_progress.html", context) {}
TolvaScrubProgressDialog::~TolvaScrubProgressDialog() = default;

void TolvaScrubProgressDialog::onLoadComplete() {
    fillThenLoaded(*this, "tscrub::ui::TolvaScrubProgressDialog::onLoadComplete",
                   [this] { getWindow().execJScript(showProgressViewCall(finished_)); });
}

void TolvaScrubProgressDialog::onEvent(const std::string& name, const ::ui::EventValues& values) {
    if (isLink(name, values, "viewListLink"))
        setResult(Link);
    else
        Dialog::onEvent(name, values);
}

void TolvaScrubProgressDialog::setStatus(const std::string& displayName, int number, int total) {
    getWindow().execJScript(setStatusCall(displayName, number, total));
}

TolvaScrubCompleteDialog::TolvaScrubCompleteDialog(const std::vector<VersionEntry>& removed,
                                                   const std::vector<VersionEntry>& remaining,
                                                   const ::ui::UiContext& context)
    : Dialog("tolvascrub_complete.html", context), removed_(removed), remaining_(remaining) {}
TolvaScrubCompleteDialog::~TolvaScrubCompleteDialog() = default;

void TolvaScrubCompleteDialog::onLoadComplete() {
    fillThenLoaded(*this, "tscrub::ui::TolvaScrubCompleteDialog::onLoadComplete", [this] {
        for (const VersionEntry& entry : removed_)
            getWindow().execJScript(completeItemCall("uninstalledList", TolvaScrub::getDisplayName(entry)));
        for (const VersionEntry& entry : remaining_)
            getWindow().execJScript(completeItemCall("remainingList", TolvaScrub::getDisplayName(entry)));
    });
}

TolvaScrubDRSDialog::TolvaScrubDRSDialog(const std::vector<VersionEntry>& outOfDate, const ::ui::UiContext& context)
    : Dialog("tolvascrub_drs.html", context), outOfDate_(outOfDate) {}
TolvaScrubDRSDialog::~TolvaScrubDRSDialog() = default;

void TolvaScrubDRSDialog::onLoadComplete() {
    fillThenLoaded(*this, "tscrub::ui::TolvaScrubDRSDialog::onLoadComplete", [this] {
        for (const VersionEntry& entry : outOfDate_)
            getWindow().execJScript(ruleSetItemCall(TolvaScrub::getDisplayName(entry)));
    });
}

}  // namespace ui
}  // namespace tscrub
