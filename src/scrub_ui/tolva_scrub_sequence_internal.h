#pragma once
// The removal sequence over pages and steps that tests replace.

#include <functional>
#include <string>
#include <vector>

#include "scrub_ui/removal_pages.h"
#include "scrub/version_entry.h"

namespace tscrub {
namespace ui {

struct SequenceSteps {
    // The out-of-date list for the current version text.
    std::function<std::vector<VersionEntry>(const std::string&)> outOfDateVersions;
    std::function<bool()> ruleSetPresent;
    // Uninstalls a version text of a bitness (is64); true on success.
    std::function<bool(const std::string&, bool)> uninstall;
};

// The steps of the real system (the document, the rule-set file, msiexec).
SequenceSteps realSequenceSteps();

// runSequence for currentVersion with these pages and steps.
void runSequenceWith(const std::string& currentVersion, RemovalPages& pages, const SequenceSteps& steps);

// The page sequence for an out-of-date list; exceptions propagate.
void showSequence(const std::vector<VersionEntry>& outOfDate, RemovalPages& pages,
                  const std::function<bool(const std::string&, bool)>& uninstall);

}  // namespace ui
}  // namespace tscrub
