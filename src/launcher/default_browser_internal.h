#pragma once
// GetDefaultBrowserCode for a given OS class, for tests.
namespace default_browser_internal {
int defaultBrowserCode(int osClass);
}
