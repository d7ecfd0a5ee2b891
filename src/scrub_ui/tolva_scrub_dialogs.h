#pragma once
// The five removal pages as HTML dialogs: each names its page, fills it once
// it has loaded and turns the page's own events into dialog results.

#include <string>
#include <vector>

#include "htmlui/dialog.h"
#include "htmlui/ui_context.h"
#include "scrub/version_entry.h"

namespace tscrub {
namespace ui {

// The offer to remove the out-of-date versions. Its link "manageListLink"
// gives Link.
class TolvaScrubDialog : public ::ui::Dialog {
public:
    explicit TolvaScrubDialog(const ::ui::UiContext& context);
    ~TolvaScrubDialog() override;
    void onEvent(const std::string& name, const ::ui::EventValues& values) override;
};

// The version list with a check box per row. The flow sets list before each
// showing and reads the user's ticks back from it afterwards.
class TolvaScrubVersionsDialog : public ::ui::Dialog {
public:
    explicit TolvaScrubVersionsDialog(const ::ui::UiContext& context);
    ~TolvaScrubVersionsDialog() override;
    void onLoadComplete() override;
    void onEvent(const std::string& name, const ::ui::EventValues& values) override;

    std::vector<SelectableVersion> list;
};

// Progress of the uninstalls, shown modelessly while they run, then its
// finished view modally; its link "viewListLink" gives Link.
class TolvaScrubProgressDialog : public ::ui::Dialog {
public:
    explicit TolvaScrubProgressDialog(const ::ui::UiContext& context);
    ~TolvaScrubProgressDialog() override;
    void onLoadComplete() override;
    void onEvent(const std::string& name, const ::ui::EventValues& values) override;

    // "Uninstalling <name> (<number> of <total>)"; from the main thread while
    // the page is shown. Throws the engine's script errors.
    void setStatus(const std::string& displayName, int number, int total);
    // The view the next loading of the page shows.
    void setFinished(bool finished) { finished_ = finished; }

private:
    bool finished_ = false;
};

// The removed and the remaining versions after the removal.
class TolvaScrubCompleteDialog : public ::ui::Dialog {
public:
    TolvaScrubCompleteDialog(const std::vector<VersionEntry>& removed, const std::vector<VersionEntry>& remaining,
                             const ::ui::UiContext& context);
    ~TolvaScrubCompleteDialog() override;
    void onLoadComplete() override;

private:
    std::vector<VersionEntry> removed_;
    std::vector<VersionEntry> remaining_;
};

// The out-of-date versions that a deployment rule set keeps.
class TolvaScrubDRSDialog : public ::ui::Dialog {
public:
    TolvaScrubDRSDialog(const std::vector<VersionEntry>& outOfDate, const ::ui::UiContext& context);
    ~TolvaScrubDRSDialog() override;
    void onLoadComplete() override;

private:
    std::vector<VersionEntry> outOfDate_;
};

}  // namespace ui
}  // namespace tscrub
