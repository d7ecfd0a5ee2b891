#pragma once
// The removal of out-of-date runtimes that kessa-setup offers after a
// successful interactive install.

namespace tscrub {
namespace ui {

// Finds the out-of-date runtimes and, unless a deployment rule set is
// present (then only an information page), lets the user choose which to
// uninstall through the removal pages. Never throws and never ends the
// process, except that a failure to start msiexec for an uninstall does.
void runSequence();

}  // namespace ui
}  // namespace tscrub
