#include "scrub_ui/dialog_removal_pages.h"

#include <stdexcept>

#include "htmlui/ui_context.h"

namespace tscrub {
namespace ui {

DialogRemovalPages::DialogRemovalPages() = default;
DialogRemovalPages::~DialogRemovalPages() = default;

PageResult DialogRemovalPages::showMain() {
    if (!main_)
        main_.reset(new TolvaScrubDialog(::ui::getUiContext()));
    return static_cast<PageResult>(main_->showModal());
}

PageResult DialogRemovalPages::showVersions(std::vector<SelectableVersion>& rows) {
    if (!versions_)
        versions_.reset(new TolvaScrubVersionsDialog(::ui::getUiContext()));
    versions_->list = rows;
    const PageResult result = static_cast<PageResult>(versions_->showModal());
    rows = versions_->list;
    return result;
}

void DialogRemovalPages::showProgress() {
    progress_.reset(new TolvaScrubProgressDialog(::ui::getUiContext()));
    progress_->show();
}

void DialogRemovalPages::setProgressStatus(const std::string& displayName, int number, int total) {
    if (!progress_)
        throw std::logic_error("the progress page is not shown");
    progress_->setStatus(displayName, number, total);
}

PageResult DialogRemovalPages::showProgressFinished() {
    if (!progress_)
        throw std::logic_error("the progress page is not shown");
    progress_->hide();
    progress_->setFinished(true);
    return static_cast<PageResult>(progress_->showModal());
}

PageResult DialogRemovalPages::showComplete(const std::vector<VersionEntry>& removed,
                                            const std::vector<VersionEntry>& remaining) {
    TolvaScrubCompleteDialog complete(removed, remaining, ::ui::getUiContext());
    return static_cast<PageResult>(complete.showModal());
}

PageResult DialogRemovalPages::showRuleSetInfo(const std::vector<VersionEntry>& outOfDate) {
    TolvaScrubDRSDialog info(outOfDate, ::ui::getUiContext());
    return static_cast<PageResult>(info.showModal());
}

}  // namespace ui
}  // namespace tscrub
