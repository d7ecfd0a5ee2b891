#pragma once
// The removal pages as the launcher shows them: HTML dialogs from the
// program's own resources, in the process UI context.

#include <memory>

#include "scrub_ui/removal_pages.h"
#include "scrub_ui/tolva_scrub_dialogs.h"

namespace tscrub {
namespace ui {

class DialogRemovalPages : public RemovalPages {
public:
    DialogRemovalPages();
    // Destroys the pages' windows.
    ~DialogRemovalPages() override;

    PageResult showMain() override;
    PageResult showVersions(std::vector<SelectableVersion>& rows) override;
    void showProgress() override;
    void setProgressStatus(const std::string& displayName, int number, int total) override;
    PageResult showProgressFinished() override;
    PageResult showComplete(const std::vector<VersionEntry>& removed,
                            const std::vector<VersionEntry>& remaining) override;
    PageResult showRuleSetInfo(const std::vector<VersionEntry>& outOfDate) override;

private:
    // The main and list pages live for the whole sequence, as they may be
    // shown several times; they are made when first needed.
    std::unique_ptr<TolvaScrubDialog> main_;
    std::unique_ptr<TolvaScrubVersionsDialog> versions_;
    std::unique_ptr<TolvaScrubProgressDialog> progress_;
};

}  // namespace ui
}  // namespace tscrub
