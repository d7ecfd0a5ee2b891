#pragma once
// Which browser the user has chosen for web addresses.

// 0 unknown, 1 Internet Explorer, 2 Firefox, 3 another browser.
int GetDefaultBrowserCode();
