#pragma once
// The removal pages behind one small interface, so the removal sequence runs
// with scripted answers in tests and with the HTML pages in the launcher.

#include <cstdint>
#include <string>
#include <vector>

#include "scrub/version_entry.h"

namespace tscrub {
namespace ui {

// How a page ended; the values of the HTML dialog's results.
enum class PageResult : uint32_t {
    None = 0,
    Closed = 1,  // close box, or the page's cancel/back button
    Next = 2,
    Back = 3,
    Link = 4,    // the page's own link (the version list, the final list)
};

class RemovalPages {
public:
    virtual ~RemovalPages() = default;

    // The main page offering to remove the out-of-date versions; Link opens
    // the version list.
    virtual PageResult showMain() = 0;
    // The version list with one check box per row. After Next, rows holds the
    // user's ticks; after any other result its contents are unspecified.
    virtual PageResult showVersions(std::vector<SelectableVersion>& rows) = 0;
    // Shows the progress page without waiting (its close box greyed).
    virtual void showProgress() = 0;
    // "Removing <name> (<number> of <total>)" on the progress page.
    virtual void setProgressStatus(const std::string& displayName, int number, int total) = 0;
    // Hides the progress page, switches it to its finished view and shows it
    // until the user leaves it; Link opens the final list.
    virtual PageResult showProgressFinished() = 0;
    // The final list of removed and remaining versions.
    virtual PageResult showComplete(const std::vector<VersionEntry>& removed,
                                    const std::vector<VersionEntry>& remaining) = 0;
    // The information page shown instead of a removal when a deployment rule
    // set decides which runtimes stay.
    virtual PageResult showRuleSetInfo(const std::vector<VersionEntry>& outOfDate) = 0;
};

}  // namespace ui
}  // namespace tscrub
