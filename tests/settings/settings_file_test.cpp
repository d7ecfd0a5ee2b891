// Imports from and exports to real files through the table: byte-exact
// content, line ends, size limits, failures of the file layer.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/file_storage.h"
#include "settings_api_fixture.h"
#include "settings_test_files.h"

#ifdef _WIN32
#include <windows.h>

#include "common/child_process.h"
#include "common/program_folder.h"
#else
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using settings_test::readBytes;
using settings_test::SettingsApiTest;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

class SettingsFileTest : public SettingsApiTest {
protected:
    int32_t exportTo(settings_context* c, const std::string& path) {
        return api_.context_export_to_file(c, path.c_str());
    }
    int32_t importFrom(settings_context* c, const std::string& path, int strict = 1, int keyOnly = 1) {
        return api_.context_import_from_file(c, path.c_str(), nullptr, nullptr, strict, keyOnly);
    }

    TempFolder folder_;
};

TEST_F(SettingsFileTest, Export_NewFileLfRewrittenFileCrLf) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "B=2\nA=1\nC", nullptr, nullptr, 1, 1));
    const std::string path = folder_.file("out.cfg");
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("A=1\nB=2\nC\n", readBytes(path));
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("A=1\r\nB=2\r\nC\r\n", readBytes(path));
    // The rewrite truncates: fewer entries leave nothing of the old text.
    ASSERT_EQ(0, api_.context_erase_key(c, "B"));
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("A=1\r\nC\r\n", readBytes(path));
    // The context is unchanged by exports.
    EXPECT_EQ((std::vector<std::string>{"A=1", "C|"}), entries(c));
}

TEST_F(SettingsFileTest, Export_EmptyContextWritesOneSpace) {
    settings_context* c = newContext();
    const std::string path = folder_.file("empty.cfg");
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ(" ", readBytes(path));
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ(" ", readBytes(path));
}

TEST_F(SettingsFileTest, Export_ValuesWrittenAsRead) {
    settings_validator_builder* vb = newValidatorBuilder();
    api_.validator_builder_set_integer_validator(vb, "N");
    const FixedValue records[] = {{"Enable", 1, 0}};
    api_.validator_builder_set_fixed_value_validator(vb, "S", records, 1);
    api_.validator_builder_allow_unknown_keys(vb, 1);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "N = 0x10 \nS=ENABLE\nT=caf\xC3\xA9 a=b", validatorOf(vb)));
    const std::string path = folder_.file("values.cfg");
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("N=0x10\nS=ENABLE\nT=caf\xC3\xA9 a=b\n", readBytes(path));
}

TEST_F(SettingsFileTest, Export_CreatesMissingFolders) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "A=1"));
    const std::string path = folder_.path() + "\\one\\two/three\\out.cfg";
    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("A=1\n", readBytes(path));
}

TEST_F(SettingsFileTest, ExportThenImport_RoundTrip) {
    settings_context* a = newContext();
    ASSERT_EQ(0, importText(a, "K1=v 1\nK2\nK3=#x", nullptr, nullptr, 1, 1));
    const std::string path = folder_.file("round.cfg");
    ASSERT_EQ(0, exportTo(a, path));
    ASSERT_EQ(0, exportTo(a, path));  // CR LF this time
    settings_context* b = newContext();
    ASSERT_EQ(0, importFrom(b, path));
    int equal = 0;
    ASSERT_EQ(0, api_.context_is_equal(a, b, &equal));
    EXPECT_EQ(1, equal);
}

TEST_F(SettingsFileTest, ImportFile_TwoFaultyLines) {
    const std::string path = folder_.file("faulty.cfg");
    writeBytes(path, "A=1\r\nbroken\r\n# comment\r\n: x\r\nB=2\r\n");
    settings_context* c = newContext();
    testing::internal::CaptureStderr();
    EXPECT_EQ(313, importFrom(c, path, 0, 0));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=2"}), entries(c));
    EXPECT_EQ((std::vector<uint32_t>{1, 3}), lastErrors(c));
    // Exactly these two lines (a text-mode stderr may add CR before LF).
    std::string lines;
    for (char ch : err) {
        if (ch != '\r') lines += ch;
    }
    EXPECT_EQ(
        "Error reading config file: \"Key without value\" at line 2; char 1\n"
        "Error reading config file: \"Empty key\" at line 4; char 1\n",
        lines);

    settings_context* strict = newContext();
    ASSERT_EQ(0, importText(strict, "KEEP=1"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(313, importFrom(strict, path, 1, 0));
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::vector<std::string>{"KEEP=1"}, entries(strict));
    EXPECT_EQ(std::vector<uint32_t>{1}, lastErrors(strict));
}

// Files padded with NULs (a truncated copy, a preallocated file) reach the
// reader with NULs inside keys. Each such line is faulty; the rest is kept.
TEST_F(SettingsFileTest, ImportFile_NulInKeyIsFaultyLine) {
    const std::string path = folder_.file("padded.cfg");
    writeBytes(path, std::string("A=1\r\nK\0EY=2\r\nB=2\r\n\0\0\0\0", 22));
    for (int keyOnly : {0, 1}) {
        SCOPED_TRACE(keyOnly);
        settings_context* c = newContext();
        testing::internal::CaptureStderr();
        EXPECT_EQ(313, importFrom(c, path, 0, keyOnly));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ((std::vector<std::string>{"A=1", "B=2"}), entries(c));
        EXPECT_EQ((std::vector<uint32_t>{1, 3}), lastErrors(c));
        EXPECT_NE(std::string::npos, err.find("\"Invalid key\" at line 2; char 1")) << err;
        EXPECT_EQ(std::string::npos, err.find("Unknown")) << err;
    }
}

// Content of exactly the given size whose only entry is K=v.
std::string contentOfSize(size_t size) {
    std::string text = "K=v\n#";
    text.append(size - text.size(), 'x');
    return text;
}

TEST_F(SettingsFileTest, ImportFile_SizeLimit) {
    struct Case {
        size_t size;
        int32_t status;
    };
    for (const Case& c : {Case{1048575, 0}, Case{1048576, 315}, Case{1048577, 315}, Case{2000000, 315}}) {
        const std::string path = folder_.file("size" + std::to_string(c.size) + ".cfg");
        writeBytes(path, contentOfSize(c.size));
        settings_context* ctx = newContext();
        EXPECT_EQ(c.status, importFrom(ctx, path)) << c.size;
        EXPECT_EQ(c.status == 0 ? std::vector<std::string>{"K=v"} : std::vector<std::string>{}, entries(ctx));
    }
}

TEST_F(SettingsFileTest, ImportFile_Failures) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "KEEP=1"));
    const std::string notPlain = folder_.file("binary.cfg");
    writeBytes(notPlain, std::string("A=1\nB=\xFF\n", 8));
    EXPECT_EQ(314, importFrom(c, notPlain));
    EXPECT_EQ(304, importFrom(c, folder_.file("missing.cfg")));
    EXPECT_EQ(304, importFrom(c, folder_.path()));  // a folder
    EXPECT_EQ(311, importFrom(c, ""));
    EXPECT_EQ(311, importFrom(c, "C:\\..\\x.cfg"));
    EXPECT_EQ(312, importFrom(c, "C:\\\xFF.cfg"));
    EXPECT_EQ(310, importFrom(c, "C:\\" + std::string(300, 'a')));
    EXPECT_EQ(std::vector<std::string>{"KEEP=1"}, entries(c));
}

TEST_F(SettingsFileTest, ImportFile_EmptyFileAndRelativePath) {
    settings_context* c = newContext();
    const std::string empty = folder_.file("empty.cfg");
    writeBytes(empty, "");
    EXPECT_EQ(0, importFrom(c, empty));
#ifdef _WIN32
    const std::string name = "settings-relative-" + std::to_string(GetCurrentProcessId()) + ".cfg";
#else
    const std::string name = "settings-relative-" + std::to_string(getpid()) + ".cfg";
#endif
    ASSERT_EQ(0, importText(c, "R=1"));
    ASSERT_EQ(0, exportTo(c, name));  // into the working directory
    settings_context* d = newContext();
    EXPECT_EQ(0, importFrom(d, ".\\" + name));
    EXPECT_EQ(std::vector<std::string>{"R=1"}, entries(d));
    std::remove(name.c_str());
}

TEST_F(SettingsFileTest, Export_PathFailures) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "A=1"));
    EXPECT_EQ(311, exportTo(c, ""));
    EXPECT_EQ(311, exportTo(c, folder_.file("a?b.cfg")));
    EXPECT_EQ(311, exportTo(c, folder_.file("NUL")));
    EXPECT_EQ(312, exportTo(c, folder_.file("\xC3")));
    EXPECT_EQ(310, exportTo(c, folder_.file(std::string(260, 'n'))));
    // A plain file where a folder is needed.
    writeBytes(folder_.file("plain"), "x");
    EXPECT_EQ(311, exportTo(c, folder_.file("plain\\sub\\out.cfg")));
    EXPECT_EQ("x", readBytes(folder_.file("plain")));
    // A folder where the file should be: it opens for reading on neither
    // platform and cannot be created.
    EXPECT_EQ(304, exportTo(c, folder_.path()));
}

// The names in a folder, sorted; "." and ".." left out.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    std::string native = folder.substr(2);  // "C:/tmp/x" is /tmp/x
    DIR* dir = opendir(native.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
#endif
    std::sort(names.begin(), names.end());
    return names;
}

// Stores the first half of the text and fails: a disk that fills up while
// the export writes.
bool halfThenDiskFull(int fd, const std::string& text) {
    settings_impl::writeDescriptor(fd, text.substr(0, text.size() / 2));
    return false;
}

class ContentWriterOverride {
public:
    explicit ContentWriterOverride(settings_impl::ContentWriter writer) {
        settings_impl::setContentWriterForTesting(writer);
    }
    ~ContentWriterOverride() { settings_impl::setContentWriterForTesting(nullptr); }
    ContentWriterOverride(const ContentWriterOverride&) = delete;
    ContentWriterOverride& operator=(const ContentWriterOverride&) = delete;
};

// An administrator's settings must survive an export that cannot finish:
// the launchers end on the failure, and nothing else would put them back.
TEST_F(SettingsFileTest, Export_FailedPartWayLeavesTheOldFileAsItWas) {
    const std::string path = folder_.file("tolva.settings.cfg");
    const std::string before = "AUTO_UPDATE=Disable\r\nEULA=Enable\r\n";
    writeBytes(path, before);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "AUTO_UPDATE=Enable\nEULA=Enable\nWEB_ANALYTICS=Disable"));
    {
        ContentWriterOverride full(&halfThenDiskFull);
        EXPECT_EQ(306, exportTo(c, path));
        EXPECT_EQ(306, exportTo(c, folder_.file("new.cfg")));
    }
    EXPECT_EQ(before, readBytes(path));
    // Neither a cut new file nor the file written beside the old one stays.
    EXPECT_EQ(std::vector<std::string>{"tolva.settings.cfg"}, namesIn(folder_.path()));

    ASSERT_EQ(0, exportTo(c, path));
    EXPECT_EQ("AUTO_UPDATE=Enable\r\nEULA=Enable\r\nWEB_ANALYTICS=Disable\r\n", readBytes(path));
    EXPECT_EQ(std::vector<std::string>{"tolva.settings.cfg"}, namesIn(folder_.path()));
}

// The same with a real limit: natively a file-size limit makes the system
// take only part of the write, as a full disk does. There is no such limit
// for a program under Wine.
TEST_F(SettingsFileTest, Export_FileSizeLimitReachedPartWayIs306AndKeepsTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "no file-size limit under Wine";
#else
    const std::string path = folder_.file("limited.cfg");
    const std::string before = "A=old\r\n";
    writeBytes(path, before);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "A=a value longer than the limit\nB=2"));
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    // Past the limit the system sends SIGXFSZ; ignored, the write is short.
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 16;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    const int32_t status = exportTo(c, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(306, status);
    EXPECT_EQ(before, readBytes(path));
    EXPECT_EQ(std::vector<std::string>{"limited.cfg"}, namesIn(folder_.path()));
#endif
}

#ifdef _WIN32
// A real full disk under Wine: a small file system that the test run mounts
// beside the test programs (settings-full-disk) and that the test fills.
// Writing the new content fails there, and the old file stays as it was.
// (Wine's fclose answers 0 when its own flush fails, so a write that ends in
// a buffered stream would count as done.)
TEST_F(SettingsFileTest, Export_FullDiskIs306AndKeepsTheOldFile) {
    char self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::string disk(self, length);
    disk = disk.substr(0, disk.find_last_of('\\')) + "\\settings-full-disk";
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExA((disk + "\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > 1024 * 1024)
        GTEST_SKIP() << "no size-limited file system at " << disk << " (mounting one needs root)";
    const std::string target = disk + "\\out.cfg";
    const std::string filler = disk + "\\filler";
    const std::string before = "AUTO_UPDATE=Disable\r\n";
    writeBytes(target, before);
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'f');
    DWORD written = 0;
    for (size_t size = block.size(); size > 0; size /= 2) {
        while (WriteFile(file, block.data(), static_cast<DWORD>(size), &written, nullptr) && written == size) {
        }
    }
    CloseHandle(file);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "AUTO_UPDATE=Enable\nEULA=Enable\nWEB_ANALYTICS=Disable"));
    EXPECT_EQ(306, exportTo(c, target)) << "a write to a full disk counted as written";
    EXPECT_EQ(before, readBytes(target));
    DeleteFileA(filler.c_str());
    EXPECT_EQ(std::vector<std::string>{"out.cfg"}, namesIn(disk));
    DeleteFileA(target.c_str());
}
#endif

#ifdef _WIN32
// Starts the holder on a path and waits until it holds the file.
class FileHolder {
public:
    explicit FileHolder(const std::string& path) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter_);
        const std::wstring readyName = L"SettingsHolderReady-" + tag;
        const std::wstring releaseName = L"SettingsHolderRelease-" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
        const std::wstring exe = testutil::besideExe(L"settings_file_holder.exe");
        const std::wstring widePath(path.begin(), path.end());  // ASCII test paths
        if (holder_.start(testutil::quote(exe) + L" " + testutil::quote(widePath) + L" " + readyName + L" " +
                          releaseName)) {
            HANDLE both[] = {ready_, holder_.handle()};
            held_ = WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
        }
    }
    // A holder that has not let go 30 s after its release is ended.
    ~FileHolder() {
        SetEvent(release_);
        holder_.wait(30000);
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    bool held() const { return held_; }

private:
    static inline int counter_ = 0;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    testutil::ChildProcess holder_;
    bool held_ = false;
};

TEST_F(SettingsFileTest, HeldWithoutSharing_ImportAndExportAre304) {
    const std::string path = folder_.file("held.cfg");
    writeBytes(path, "A=1\n");
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "B=2"));
    {
        FileHolder holder(path);
        ASSERT_TRUE(holder.held());
        EXPECT_EQ(304, importFrom(c, path));
        EXPECT_EQ(304, exportTo(c, path));
    }
    EXPECT_EQ("A=1\n", readBytes(path));
    EXPECT_EQ(std::vector<std::string>{"B=2"}, entries(c));
    // Released: the rewrite works and uses CR LF.
    EXPECT_EQ(0, exportTo(c, path));
    EXPECT_EQ("B=2\r\n", readBytes(path));
}
#endif

}  // namespace
