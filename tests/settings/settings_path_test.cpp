// Settings paths: checks, canonical form, parent folders and the access list
// text of new files.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "settings/file_storage.h"
#include "settings/settings_exception.h"
#include "status_code.h"
#include "settings/settings_path.h"
#include "settings_test_files.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#include "settings/file_storage_internal.h"
#endif

using namespace settings_impl;

namespace {

using settings_test::codeOf;

struct PathCase {
    std::string path;
    int32_t checkCode;       // of checkPath
    std::string canonical;   // expected canonical text when checkCode is 0 and canonicalCode is 0
    int32_t canonicalCode;
};

class PathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTest, CheckAndCanonical_Table) {
    const PathCase& c = GetParam();
    EXPECT_EQ(c.checkCode, codeOf([&] { checkPath(c.path); })) << c.path;
    if (c.checkCode != 0) return;
    SettingsPath result;
    EXPECT_EQ(c.canonicalCode, codeOf([&] { result = canonicalPath(checkPath(c.path)); })) << c.path;
    if (c.canonicalCode != 0) return;
    EXPECT_EQ(c.canonical, result.text);
    EXPECT_TRUE(result.canonical);
    EXPECT_EQ(toUtf16(c.canonical), result.wide);
    // A canonical record comes back as it is.
    EXPECT_EQ(result.text, canonicalPath(result).text);
}

const std::string k259 = "C:\\" + std::string(256, 'a');

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTest,
    ::testing::Values(PathCase{"C:\\Data\\.\\x\\..\\app.cfg", 0, "C:/Data/app.cfg", 0},
                      PathCase{"c:/a//b/./c.cfg", 0, "c:/a/b/c.cfg", 0},
                      PathCase{"C:\\..\\x.cfg", 0, "", 311}, PathCase{"C:\\a\\..\\..\\x.cfg", 0, "", 311},
                      PathCase{"C:\\dir\\CON", 311, "", 0}, PathCase{"C:\\dir\\LPT9", 311, "", 0},
                      PathCase{"C:\\dir\\con", 0, "C:/dir/con", 0},
                      PathCase{"C:\\dir\\CON.txt", 0, "C:/dir/CON.txt", 0},
                      PathCase{"C:\\dir\\COM0", 0, "C:/dir/COM0", 0}, PathCase{"C:\\dir\\a?b", 311, "", 0},
                      PathCase{"C:\\dir\\a<b", 311, "", 0}, PathCase{"C:\\dir\\a\"b", 311, "", 0},
                      PathCase{"C:\\dir\\a*b", 311, "", 0}, PathCase{"C:\\dir\\a|b", 311, "", 0},
                      PathCase{"C:\\dir\\a:b", 311, "", 0}, PathCase{"C:\\dir\\a\tb", 311, "", 0},
                      PathCase{"C:\\d\\C:", 311, "", 0}, PathCase{"", 311, "", 0}, PathCase{"\\/\\.", 311, "", 0},
                      PathCase{"C:", 0, "C:", 0}, PathCase{"C:\\", 0, "C:", 0},
                      PathCase{k259, 0, "C:/" + std::string(256, 'a'), 0}, PathCase{k259 + "b", 310, "", 0},
                      PathCase{"C:\\dir\\\xFF", 312, "", 0}, PathCase{std::string(300, '\xFF'), 312, "", 0},
                      PathCase{"C:\\d\\caf\xC3\xA9.cfg", 0, "C:/d/caf\xC3\xA9.cfg", 0}));

// Relative paths, also those that start with separators but have no drive,
// are taken from the current directory.
TEST(CanonicalPathTest, Relative_JoinedOntoCurrentDirectory) {
    const SettingsPath cwd = canonicalPath(checkPath(currentDirectory()));
    EXPECT_EQ(cwd.text + "/settings.cfg", canonicalPath(checkPath("settings.cfg")).text);
    EXPECT_EQ(cwd.text + "/server/share/a.cfg", canonicalPath(checkPath("\\\\server\\share\\a.cfg")).text);
    EXPECT_EQ(cwd.text + "/x.cfg", canonicalPath(checkPath("\\x.cfg")).text);
    std::string parent = cwd.text.substr(0, cwd.text.rfind('/'));
    if (parent.size() == 2) parent = cwd.text.substr(0, 2);
    EXPECT_EQ(parent + "/y.cfg", canonicalPath(checkPath("..\\y.cfg")).text);
}

TEST(CanonicalPathTest, CanonicalTooLongAfterJoining_Is310) {
    const SettingsPath cwd = canonicalPath(checkPath(currentDirectory()));
    const std::string name(kMaxPathBytes - 5, 'n');  // fits alone, not after the folder
    EXPECT_EQ(0, codeOf([&] { checkPath(name); }));
    EXPECT_EQ(310, codeOf([&] { canonicalPath(checkPath(name)); }));
}

TEST(CreateParentFoldersTest, CreatesEveryMissingFolder) {
    settings_test::TempFolder folder;
    const SettingsPath file = canonicalPath(checkPath(folder.file("a\\b\\c\\settings.cfg")));
    createParentFolders(file);
    EXPECT_TRUE(settings_test::fileExists(folder.file("a\\b\\c")));
    EXPECT_FALSE(settings_test::fileExists(folder.file("a\\b\\c\\settings.cfg")));
    createParentFolders(file);  // all there: nothing to do
    // A plain file where a folder must be created.
    settings_test::writeBytes(folder.file("plain"), "x");
    EXPECT_EQ(311, codeOf([&] { createParentFolders(canonicalPath(checkPath(folder.file("plain\\sub\\f.cfg")))); }));
}

TEST(CreateParentFoldersTest, NotCanonical_IsLogicError) {
    try {
        createParentFolders(checkPath("C:\\a\\b.cfg"));
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("canonicalized file name expected", e.what());
    }
}

TEST(ConversionTest, Utf16_RoundTripAndFailures) {
    const std::string text = "C:\\caf\xC3\xA9\\\xF0\x9F\x98\x80";
    const std::u16string wide = toUtf16(text);
    EXPECT_EQ(u"C:\\caf\u00E9\\\U0001F600", wide);
    EXPECT_EQ(text, toUtf8(wide));
    EXPECT_EQ(u"", toUtf16(""));
    EXPECT_EQ("", toUtf8(u""));
    // Plain text by lead bytes, yet no character: a five-byte form.
    EXPECT_EQ(200, codeOf([] { toUtf16("\xF8\x88\x80\x80\x80"); }));
    EXPECT_EQ(200, codeOf([] { checkPath("C:\\\xF8\x88\x80\x80\x80"); }));
}

TEST(ProtectedFileSddlTest, TextForGroupAndFallback) {
    const std::string group = "S-1-5-21-1-2-3-513";
    EXPECT_EQ("D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-1-2-3-513)(A;;FR;;;WD)", protectedFileSddl(&group));
    EXPECT_EQ("D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)", protectedFileSddl(nullptr));
}

#ifdef _WIN32
class SidHolder {
public:
    explicit SidHolder(const wchar_t* text) { EXPECT_TRUE(ConvertStringSidToSidW(text, &sid_)); }
    ~SidHolder() { LocalFree(sid_); }
    PSID get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

struct OwnerCase {
    const wchar_t* owner;
    const char* sddl;
};

class OwnerSddlTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(OwnerSddlTest, ProtectedFileSddlForOwner_Table) {
    SidHolder owner(GetParam().owner);
    EXPECT_EQ(GetParam().sddl, protectedFileSddlForOwner(owner.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OwnerSddlTest,
    ::testing::Values(
        OwnerCase{L"S-1-5-21-1004336348-1177238915-682003330-1001",
                  "D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-1004336348-1177238915-682003330-513)(A;;FR;;;WD)"},
        OwnerCase{L"S-1-5-21-1-2-3-500", "D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-1-2-3-513)(A;;FR;;;WD)"},
        // LocalSystem, LocalService and a built-in group: no account domain.
        OwnerCase{L"S-1-5-18", "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)"},
        OwnerCase{L"S-1-5-19", "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)"},
        OwnerCase{L"S-1-5-32-544", "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)"}));

TEST(FileOwnerSidTest, IsTheProcessUser) {
    std::vector<BYTE> sid = fileOwnerSid();
    ASSERT_EQ(kSidBufferBytes, sid.size());
    ASSERT_TRUE(IsValidSid(sid.data()));
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
    CloseHandle(token);
    EXPECT_TRUE(EqualSid(sid.data(), reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid));
    // The access list the library builds for this account converts.
    const std::string sddl = protectedFileSddlForOwner(sid.data());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring wide(sddl.begin(), sddl.end());
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(wide.c_str(), SDDL_REVISION_1, &descriptor,
                                                                     nullptr));
    LocalFree(descriptor);
}
#endif

TEST(CreateProtectedFileTest, ExistingFileFails) {
    settings_test::TempFolder folder;
    const SettingsPath path = canonicalPath(checkPath(folder.file("new.cfg")));
    int fd = createProtectedFile(path);
    ASSERT_NE(-1, fd);
    EXPECT_TRUE(writeDescriptor(fd, "a\nb"));
    EXPECT_EQ(0, closeDescriptor(fd));
    EXPECT_EQ("a\nb", settings_test::readBytes(folder.file("new.cfg")));
    EXPECT_EQ(-1, createProtectedFile(path));
    EXPECT_EQ("a\nb", settings_test::readBytes(folder.file("new.cfg")));
}

}  // namespace
