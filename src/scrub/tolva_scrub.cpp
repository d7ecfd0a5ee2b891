#include "scrub/tolva_scrub.h"

#include <cstdint>

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"
#include "scrub/t_cleaner.h"

namespace tscrub {
namespace {
const char kFunction[] = "tscrub::TolvaScrub::uninstallKessaVersion";
// The source lines that log readers know these outcomes by.
const uint32_t kFailureLine = 115;
const uint32_t kSuccessLine = 118;
}  // namespace

bool TolvaScrub::uninstallKessaVersion(const std::string& version, bool is64) {
    const int bits = is64 ? 64 : 32;
    uint32_t exitCode = 0;
    const bool ok = TCleaner::uninstallVersion(version, bits, exitCode);
    const Logger& logger = Logger::getInstance();
    if (ok) {
        if (logger.isEnabled(Logger::INFO))
            logger.write(Logger::INFO, __FILE__, kSuccessLine, kFunction,
                         tstrings::format("%s %dbit successfully uninstalled", version.c_str(), bits));
    } else if (logger.isEnabled(Logger::ERROR_LEVEL)) {
        const std::string what = tstrings::format("Failed to uninstall %s %dbit", version.c_str(), bits);
        logger.write(Logger::ERROR_LEVEL, __FILE__, kFailureLine, kFunction,
                     tstrings::format("%s failed with %s", what.c_str(), formatSystemError(exitCode).c_str()));
    }
    return ok;
}

}  // namespace tscrub
