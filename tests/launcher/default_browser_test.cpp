// The default-browser code from seeded association state.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_util.h"
#include "launcher/default_browser.h"
#include "launcher/default_browser_internal.h"

namespace {

const char kUserChoice[] = "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";

struct BrowserCase {
    int osClass;
    const char* progId;   // null: no UserChoice key
    const char* command;  // null: no command value
    const char* dde;      // null: no ddeexec key
    int code;
};

class DefaultBrowserTest : public ::testing::TestWithParam<BrowserCase> {
protected:
    void SetUp() override {
        classes_.clear();
        userClasses_.clear();
        choice_.clear();
    }
    testutil::ScopedRegBackup classes_{HKEY_LOCAL_MACHINE, "Software\\Classes\\http"};
    testutil::ScopedRegBackup userClasses_{HKEY_CURRENT_USER, "Software\\Classes\\http"};
    testutil::ScopedRegBackup choice_{HKEY_CURRENT_USER, kUserChoice};
};

void setText(HKEY root, const std::string& path, const char* name, const char* text) {
    testutil::setRawValue(root, path, name ? name : "", REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

TEST_P(DefaultBrowserTest, CodeFromAssociations) {
    const BrowserCase& c = GetParam();
    if (c.progId)
        setText(HKEY_CURRENT_USER, kUserChoice, "Progid", c.progId);
    if (c.command)
        setText(HKEY_LOCAL_MACHINE, "Software\\Classes\\http\\shell\\open\\command", nullptr, c.command);
    if (c.dde)
        setText(HKEY_LOCAL_MACHINE, "Software\\Classes\\http\\shell\\open\\ddeexec\\Application", nullptr, c.dde);
    EXPECT_EQ(default_browser_internal::defaultBrowserCode(c.osClass), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DefaultBrowserTest,
    ::testing::Values(
        BrowserCase{5, "FirefoxURL", nullptr, nullptr, 2}, BrowserCase{5, "IE.HTTP", nullptr, nullptr, 1},
        BrowserCase{5, "ChromeHTML", nullptr, "IExplore", 3},
        BrowserCase{5, nullptr, "\"C:\\g\\chrome.exe\" -- \"%1\"", "IExplore", 3},
        BrowserCase{5, nullptr, "iexplore.exe", "IExplore", 1}, BrowserCase{5, nullptr, nullptr, "Firefox", 2},
        BrowserCase{5, nullptr, nullptr, "Opera", 3}, BrowserCase{5, nullptr, "x.exe", nullptr, 2},
        // Before Vista the per-user choice is not asked and a missing DDE key is unknown.
        BrowserCase{1, "FirefoxURL", nullptr, "IExplore", 1}, BrowserCase{1, nullptr, nullptr, nullptr, 0},
        BrowserCase{1, nullptr, "chrome.exe", nullptr, 3}));

}  // namespace
