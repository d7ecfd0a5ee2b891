#pragma once
// Where the HTML dialogs find their pages and which language they speak:
// the res:// base URL of the program's own HTML resources and the one
// process-wide UI context handed to every dialog.

#include <string>

namespace ui {

struct UiContext {
    // Name of the preferred supported UI locale ("en", "de", "pt_BR", ...).
    std::string localeName;
    // When not empty, used in page URLs instead of the resource base URL.
    std::string pageBase;
};

// The process-wide context, built on first use: the preferred locale's name
// and an empty page base. Callers on one thread may change it before the
// first dialog is built; dialogs copy what they need at construction.
UiContext& getUiContext();

// "res://" + modulePath + "/" with every "\" replaced by "%5C", then every
// blank by "%20"; no other character is escaped.
std::string makeResourceBaseUrl(const std::string& modulePath);

// The base URL of the running program's own module (its ANSI path), worked
// out on first use and kept for the life of the process. Throws
// std::runtime_error when the module path cannot be read.
const std::string& resourceBaseUrl();

// The context's page base when it is not empty, else resourceBaseUrl(),
// followed by name.
std::string makePageUrl(const UiContext& context, const std::string& name);

}  // namespace ui
