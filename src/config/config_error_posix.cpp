// The native stand-in of the configuration's messages, used only where the
// portable configuration code is built natively: there is no string table
// and no message box, so a message is logged by its string ids and its
// arguments.
#include "config/config_error.h"

#include "foundation/logger.h"
#include "foundation/tstrings.h"

void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, UINT flags, bool silent,
                      const std::string& first, const std::string& second) {
    logit(tstrings::format("message %u (caption %u): \"%s\" \"%s\"", formatId, captionId, first.c_str(),
                           second.c_str()));
}

void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, bool silent, const std::string& first) {
    ShowErrorMessage(instance, captionId, formatId, 0, silent, first, std::string());
}
