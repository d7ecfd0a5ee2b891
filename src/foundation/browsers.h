#pragma once
// The user's web browsers: the default one, opening an address in it as the
// desktop user, and whether the common browsers are registered.

#include <string>

namespace browsers {

enum BrowserId { INTERNET_EXPLORER = 0, FIREFOX = 1, CHROME = 2 };

// Full path of the program registered for ".html" files. Logs at ERROR and
// throws std::runtime_error "cannot find default browser" when the shell
// cannot say; the probe file it makes in the temporary folder is always removed.
std::string getDefaultBrowserPath();

// Opens address in the default browser, started as the un-elevated desktop
// user. True when the browser was started; never throws: every failure is
// logged at ERROR and gives false.
bool launchDefault(const std::string& address);

// Whether the browser (a BrowserId) is registered under HKLM
// "Software\Clients\StartMenuInternet", in the 32-bit registry view when
// view32 is set, else in the 64-bit view. Never throws: a missing key, an
// unknown id or any other failure is logged and gives false.
bool isInstalled(int browserId, bool view32);

}  // namespace browsers
