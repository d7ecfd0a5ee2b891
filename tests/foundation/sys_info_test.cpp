// The OS class and names, from the pure rules and from what Wine reports when
// told to be another Windows version.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/child_process.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "foundation/sys_info_internal.h"

namespace {

TEST(SysInfoRules, ClassAndNameTable) {
    struct Case { unsigned major, minor, sp; bool server; int cls; const char* name; };
    const Case cases[] = {
        {4, 0, 0, false, 0, "win32"},    {5, 0, 0, false, 0, "win32"},      {5, 0, 4, true, 0, "win32-sp4"},
        {5, 1, 3, false, 1, "winxp-sp3"}, {5, 2, 0, true, 1, "win2003"},    {5, 2, 2, false, 1, "winxp-sp2"},
        {6, 0, 0, false, 2, "winvista"}, {6, 0, 2, true, 2, "winlong-sp2"}, {6, 1, 1, false, 3, "win7-sp1"},
        {6, 1, 0, true, 3, "win2008R2"}, {6, 2, 0, false, 4, "win8"},       {6, 2, 0, true, 4, "win2012"},
        {6, 3, 0, false, 5, "6.3"},      {6, 3, 0, true, 5, "6.3"},         {10, 0, 0, false, 5, "10.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sysinfo_internal::classify(c.major, c.minor), c.cls) << c.major << "." << c.minor;
        sysinfo_internal::VersionFacts f;
        f.major = c.major; f.minor = c.minor; f.servicePackMajor = c.sp; f.server = c.server;
        EXPECT_EQ(sysinfo_internal::osName(f), c.name);
    }
}

class SysInfoUnderWine : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

// Wine reports the version named under AppDefaults\<exe>\Version; with our
// manifest, 8.1 and 10 report themselves too.
TEST_P(SysInfoUnderWine, ReportsConfiguredVersion) {
    const std::string key = "Software\\Wine\\AppDefaults\\sysinfo_probe.exe";
    testutil::ScopedRegTree cleanup(HKEY_CURRENT_USER, key);
    const std::string version = GetParam().first;
    if (!version.empty())
        testutil::setRawValue(HKEY_CURRENT_USER, key, "Version", REG_SZ, version.c_str(),
                              static_cast<DWORD>(version.size() + 1));
    std::string text;
    const testutil::ProcessResult r =
        testutil::runProcessCapture(testutil::quote(testutil::besideExe("sysinfo_probe.exe")), text);
    ASSERT_TRUE(r.started);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    EXPECT_EQ(text, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Versions, SysInfoUnderWine,
                         ::testing::Values(std::make_pair("winxp64", "class=1 name=winxp-sp2 server=0"),
                                           std::make_pair("vista", "class=2 name=winvista-sp2 server=0"),
                                           std::make_pair("win8", "class=4 name=win8 server=0"),
                                           std::make_pair("win81", "class=5 name=6.3 server=0"),
                                           std::make_pair("win10", "class=5 name=10.0 server=0"),
                                           // Debian's Wine 8 defaults to Windows 7 SP1.
                                           std::make_pair("", "class=3 name=win7-sp1 server=0")));

}  // namespace
