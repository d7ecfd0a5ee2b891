#pragma once
// Removal of installed runtime versions for the launcher's clean-up.

#include <string>

namespace tscrub {

class TolvaScrub {
public:
    // Uninstalls the runtime version of the given bitness (64 when is64, else
    // 32) and logs the outcome. True on success; false when the version is not
    // registered in that view or its uninstall failed. Throws as
    // TCleaner::getProductGUID for versions below the oldest supported one.
    static bool uninstallKessaVersion(const std::string& version, bool is64);
};

}  // namespace tscrub
