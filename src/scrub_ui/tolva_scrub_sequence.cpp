#include "scrub_ui/tolva_scrub_sequence.h"

#include <cstdint>
#include <exception>

#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tolva_version.h"
#include "foundation/tstrings.h"
#include "launcher/current_runtime.h"
#include "scrub/tolva_scrub.h"
#include "scrub_ui/dialog_removal_pages.h"
#include "scrub_ui/tolva_scrub_sequence_internal.h"

namespace tscrub {
namespace ui {
namespace {

const char kShowSequence[] = "tscrub::ui::`anonymous-namespace'::showSequence";
const char kRunSequence[] = "tscrub::ui::runSequence";
// The source lines that log readers know these lines by.
const uint32_t kUninstallSuccessLine = 76;
const uint32_t kUninstallErrorLine = 80;
const uint32_t kRemovedLine = 95;
const uint32_t kRemainingLine = 99;
const uint32_t kDetectedLine = 115;
const uint32_t kRuleSetLine = 119;
const int32_t kCaughtLine = 125;

void log(int32_t level, uint32_t line, const char* function, const std::string& text) {
    const Logger& logger = Logger::getInstance();
    if (logger.isEnabled(level))
        logger.write(level, __FILE__, line, function, text);
}

}  // namespace

void showSequence(const std::vector<VersionEntry>& outOfDate, RemovalPages& pages,
                  const std::function<bool(const std::string&, bool)>& uninstall) {
    std::vector<SelectableVersion> initial;
    for (const VersionEntry& entry : outOfDate)
        initial.push_back(SelectableVersion{(entry.flags & VersionEntry::InRemovalRange) != 0, entry});
    std::vector<SelectableVersion> working = initial;

    for (;;) {
        const PageResult main = pages.showMain();
        if (main == PageResult::Next)
            break;
        if (main != PageResult::Link)
            return;
        std::vector<SelectableVersion> edited = working;
        if (pages.showVersions(edited) == PageResult::Next) {
            working = edited;
            break;
        }
        // Back (or the close box) on the list discards its ticks.
        working = initial;
    }

    int total = 0;
    for (const SelectableVersion& row : working)
        total += row.selected ? 1 : 0;
    if (total < 1)
        return;

    pages.showProgress();
    int number = 1;
    for (SelectableVersion& row : working) {
        if (!row.selected)
            continue;
        pages.setProgressStatus(TolvaScrub::getDisplayName(row.entry), number, total);
        ++number;
        const std::string& version = row.entry.version.source();
        if (uninstall(version, row.entry.is64 == 1)) {
            log(Logger::INFO, kUninstallSuccessLine, kShowSequence, "Out-of-date Tolva uninstall success: " + version);
        } else {
            // A version that stays installed counts as remaining.
            row.selected = false;
            log(Logger::ERROR_LEVEL, kUninstallErrorLine, kShowSequence, "Out-of-date Tolva uninstall error: " + version);
        }
    }
    if (pages.showProgressFinished() != PageResult::Link)
        return;

    std::vector<VersionEntry> removed, remaining;
    for (const SelectableVersion& row : working) {
        const std::string& version = row.entry.version.source();
        if (row.selected) {
            removed.push_back(row.entry);
            log(Logger::INFO, kRemovedLine, kShowSequence, "Out-of-date Tolva removed: " + version);
        } else {
            remaining.push_back(row.entry);
            log(Logger::INFO, kRemainingLine, kShowSequence, "Out-of-date Tolva remaining: " + version);
        }
    }
    pages.showComplete(removed, remaining);
}

SequenceSteps realSequenceSteps() {
    SequenceSteps steps;
    steps.outOfDateVersions = &TolvaScrub::getOutOfDateVersions;
    steps.ruleSetPresent = &TolvaScrub::isDeploymentRuleSetPresent;
    steps.uninstall = &TolvaScrub::uninstallKessaVersion;
    return steps;
}

void runSequenceWith(const std::string& currentVersion, RemovalPages& pages, const SequenceSteps& steps) {
    try {
        const TolvaVersion current(currentVersion);
        const std::vector<VersionEntry> outOfDate = steps.outOfDateVersions(current.source());
        log(Logger::INFO, kDetectedLine, kRunSequence,
            tstrings::format("Out-of-date Tolva versions detected: %d", static_cast<int>(outOfDate.size())));
        if (outOfDate.empty())
            return;
        if (steps.ruleSetPresent()) {
            pages.showRuleSetInfo(outOfDate);
            log(Logger::INFO, kRuleSetLine, kRunSequence, "DRS detected, skipping out-of-date Tolva uninstall");
            return;
        }
        showSequence(outOfDate, pages, steps.uninstall);
    } catch (const std::exception& e) {
        logException(SourceLocation(__FILE__, kRunSequence, kCaughtLine), e);
    } catch (...) {
        logUnknownException(SourceLocation(__FILE__, kRunSequence, kCaughtLine));
    }
}

void runSequence() {
    // The pages (and with them the HTML UI thread) go when the sequence ends.
    DialogRemovalPages pages;
    runSequenceWith(kCurrentRuntimeVersion, pages, realSequenceSteps());
}

}  // namespace ui
}  // namespace tscrub
