#pragma once
// Seams of the configuration for tests: a hook that receives message boxes
// (caption, text, flags; UTF-8) in place of MessageBoxA, and a switch that
// makes creating a settings context fail as it does on a machine without a
// common application-data folder.

#include "config/platform_types.h"

#include <functional>
#include <string>

namespace config_internal {

using MessageBoxHook = std::function<void(const std::string& caption, const std::string& text, UINT flags)>;
// nullptr restores the real message box.
void setMessageBoxHookForTesting(MessageBoxHook hook);

// While set, every new SettingsConfig throws settings::Exception 200.
void setContextCreationFailsForTesting(bool fails);

}  // namespace config_internal
