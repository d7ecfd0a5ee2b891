// Loading, export and restore as a launcher does them, each case in a fresh
// child process (the global configuration only grows). The runtime settings
// file is the real machine-wide one: each case starts without it and the
// file found before the test is put back at the end.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <map>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "foundation/tstrings.h"

namespace {

std::string runtimeFilePath() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    return std::string(folder) + "\\Quorvane\\Tolva\\tolva.settings.cfg";
}

struct ProbeResult {
    std::map<std::string, std::string> values;
    std::vector<std::string> boxes;
    std::string has(const std::string& name) const {
        auto it = values.find(name);
        return it == values.end() ? "(unset)" : it->second;
    }
};

class ConfigLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = runtimeFilePath();
        hadFile_ = testutil::fileExists(path_);
        if (hadFile_)
            saved_ = testutil::readFileText(path_);
        DeleteFileA(path_.c_str());
    }
    void TearDown() override {
        DeleteFileA(path_.c_str());
        if (hadFile_)
            testutil::writeFileBytes(path_, saved_);
    }

    void seedRuntimeFile(const std::string& text) {
        const std::string folder = path_.substr(0, path_.rfind('\\'));
        CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        testutil::writeFileBytes(path_, text);
    }

    ProbeResult probe(const std::string& args, const std::string& action = "",
                      std::map<std::string, std::string> env = {}) {
        env["TMP"] = dir_.path();
        env["TEMP"] = dir_.path();
        if (!action.empty())
            env["CONFIG_PROBE_ACTION"] = action;
        std::string out;
        const auto r = testutil::runProcessCapture(testutil::quote(testutil::besideExe("config_probe.exe")) + " " + args,
                                                   out, 60000, env);
        EXPECT_TRUE(r.started);
        EXPECT_EQ(r.exitCode, 0u);
        ProbeResult result;
        std::vector<std::string> lines;
        tstrings::split(lines, tstrings::replace(out, "\r\n", "\n"), "\n");
        for (const std::string& line : lines) {
            const auto eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string name = line.substr(0, eq);
            const std::string value = line.substr(eq + 1);
            if (name == "box")
                result.boxes.push_back(value);
            else
                result.values[name] = value;
        }
        return result;
    }

    std::string log() const {
        return tstrings::replace(testutil::readFileText(dir_.file("tusched.log")), "\r\n", "\n");
    }
    std::string file(const std::string& name, const std::string& text) {
        testutil::writeFileBytes(dir_.file(name), text);
        return dir_.file(name);
    }

    testutil::ScratchDir dir_{"cfgload"};
    std::string path_;
    bool hadFile_ = false;
    std::string saved_;
};

const char kCaption[] = "Tolva Installation Not Completed|";

TEST_F(ConfigLoadTest, Load_SilentInstallWithLogPathAndFeatures) {
    const ProbeResult r =
        probe("/s install_silent=1 INSTALLDIR=C:\\x \"/l*v\" \"C:\\My Logs\\x.log\" ADDLOCAL=ToolsFeature");
    EXPECT_EQ(r.has("result"), "0");
    EXPECT_EQ(r.has("silent"), "1");
    EXPECT_EQ(r.has("MSI_CMDLINE"), "/l*v \"C:\\My Logs\\x.log\" ADDLOCAL=ToolsFeature");
    EXPECT_EQ(r.has("CMDLINE"), "INSTALL_SILENT=\"1\" INSTALLDIR=\"C:\\x\"");
    EXPECT_EQ(r.has("string.INSTALLDIR"), "C:\\x");
    EXPECT_EQ(r.has("switch.INSTALL_SILENT"), "1");
    EXPECT_EQ(r.has("switch.AUTO_UPDATE"), "1");
    EXPECT_TRUE(r.boxes.empty());
    const std::string text = log();
    for (const char* line : {"-->Loading Important args...", "|------Important args config (TMP)--------|",
                             "-->Loading Config...", "-->Saving backup...", "|------Config to backup--------|",
                             "-->Loading export config...", "-->Adding CMDLINE to config...",
                             "-->Normalizing Export...", "|------Config to export--------|\n\nINSTALL_SILENT = 1\n|---",
                             "|------!!!!Working config!!!!--------|", "Runtime configuration file doesn't exist."})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(ConfigLoadTest, Load_UnsupportedArgumentAndDanglingLogSwitch) {
    const ProbeResult r = probe("/s foo=1 /l");
    EXPECT_EQ(r.has("result"), "313");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(log().find("arg foo=1 is not supported"), std::string::npos);
    EXPECT_NE(log().find("arg /l is incorrect"), std::string::npos);
    EXPECT_NE(log().find("Error occurred while importing important args. Exiting installer."), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_NotSilentShowsTheArgumentList) {
    const ProbeResult r = probe("foo=1 AUTO_UPDATE=maybe");
    EXPECT_EQ(r.has("result"), "313");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0], std::string(kCaption) +
                              "Unable to install Tolva\\n\\nThere are errors in the following command line switches:"
                              "\\n\"foo=1\";\"AUTO_UPDATE=maybe\";.\\n\\nCheck that the commands are valid and try again.");
    EXPECT_NE(log().find("Loading arg AUTO_UPDATE=maybe failed with 313"), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_ContextCannotBeCreatedAnswers200) {
    const ProbeResult r = probe("/s", "", {{"CONFIG_PROBE_FAIL_CONTEXT", "1"}});
    EXPECT_EQ(r.has("result"), "200");
}

TEST_F(ConfigLoadTest, Load_PrecedenceDefaultsRuntimeFileInstallCfgCommandLine) {
    seedRuntimeFile("EULA=Enable\nSPONSORS=Disable\nSTATIC=1\n");
    const std::string cfg = file("install.cfg", "# admin settings\r\nSTATIC=0\r\nAUTO_UPDATE=Disable\r\nPIP=1\r\n");
    const ProbeResult r = probe("INSTALLCFG=" + testutil::quote(cfg) + " PIP=0 /s");
    EXPECT_EQ(r.has("result"), "0");
    EXPECT_EQ(r.has("switch.EULA"), "1");          // runtime file over the default
    EXPECT_EQ(r.has("switch.SPONSORS"), "0");      // runtime file over the default
    EXPECT_EQ(r.has("switch.STATIC"), "0");        // INSTALLCFG over the runtime file
    EXPECT_EQ(r.has("switch.AUTO_UPDATE"), "0");   // INSTALLCFG over the default
    EXPECT_EQ(r.has("switch.PIP"), "0");           // command line over INSTALLCFG
    EXPECT_EQ(r.has("switch.WEB_ANALYTICS"), "1"); // default
    EXPECT_NE(log().find("Path to the install configuration file is set to " + cfg), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_InstallCfgWithFaultyLineNamesTheLine) {
    const std::string cfg = file("bad.cfg", "AUTO_UPDATE=Enable\nfoo=1\nEULA=1\n");
    const ProbeResult r = probe("INSTALLCFG=" + cfg);
    EXPECT_EQ(r.has("result"), "313");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0], std::string(kCaption) + "Unable to install Tolva\\n\\nConfiguration file " + cfg +
                              " is malformed in line 2.\\nCheck data and formatting of the file.");
    EXPECT_NE(log().find("Install Configuration file import failed with 313"), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_InstallCfgKeyWithoutValueFailsOnlyTheSilentExportStep) {
    const std::string cfg = file("keyonly.cfg", "/s\nAUTO_UPDATE=Enable\n");
    const ProbeResult r = probe("INSTALLCFG=" + cfg);
    EXPECT_EQ(r.has("result"), "313");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(log().find("Error occurred while importing configuration files without defaults. Exiting installer."),
              std::string::npos);
    EXPECT_EQ(log().find("Error occurred while importing configuration settings."), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_InstallCfgMissingOrHeldOpen) {
    const std::string missing = dir_.file("none.cfg");
    ProbeResult r = probe("INSTALLCFG=" + missing);
    EXPECT_EQ(r.has("result"), "304");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find("Unable to open file " + missing + "."), std::string::npos);

    const std::string held = file("held.cfg", "AUTO_UPDATE=Enable\n");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "ConfigLoadTestHeld");
    testutil::ChildProcess holder;
    ASSERT_TRUE(holder.start(testutil::quote(testutil::besideExe("file_holder.exe")) +
                             " --share none --ready-event ConfigLoadTestHeld " + testutil::quote(held)));
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    r = probe("INSTALLCFG=" + held);
    EXPECT_EQ(r.has("result"), "304");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find("Unable to open file " + held + "."), std::string::npos);

    // USAGETRACKER_CFG must name a readable file.
    r = probe("USAGETRACKER_CFG=" + held);
    EXPECT_EQ(r.has("result"), "307");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find("An error occurred while reading file " + held + "."), std::string::npos);
    EXPECT_NE(log().find("CheckParams failed with 307"), std::string::npos);
    holder.terminate();
    CloseHandle(ready);

    r = probe("USAGETRACKER_CFG=" + held + " DEPLOYMENT_RULE_SET=" + missing);
    EXPECT_EQ(r.has("result"), "307");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find("reading file " + missing + "."), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_RuntimeFileHeldOpenIsNotTakenForMissing) {
    seedRuntimeFile("AUTO_UPDATE=Disable\n");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "ConfigLoadTestRuntimeHeld");
    testutil::ChildProcess holder;
    ASSERT_TRUE(holder.start(testutil::quote(testutil::besideExe("file_holder.exe")) +
                             " --share none --disposition existing --ready-event ConfigLoadTestRuntimeHeld " +
                             testutil::quote(path_)));
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    const ProbeResult r = probe("AUTO_UPDATE=Enable", "export-restore");
    holder.terminate();
    holder.wait(5000);
    CloseHandle(ready);
    EXPECT_EQ(r.has("result"), "304");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find("Unable to open file "), std::string::npos);
    EXPECT_EQ(testutil::readFileText(path_), "AUTO_UPDATE=Disable\n");
}

TEST_F(ConfigLoadTest, Load_FaultyRuntimeFileIsReported) {
    seedRuntimeFile("foo=1\n");
    const ProbeResult r = probe("");
    EXPECT_EQ(r.has("result"), "313");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_NE(r.boxes[0].find(" is malformed in line 1."), std::string::npos);
    EXPECT_NE(log().find("Runtime configuration file import failed with 313"), std::string::npos);
}

TEST_F(ConfigLoadTest, Load_NonAsciiValueStillForwarded) {
    const std::string utf8Dir = "C:\\\xC3\x9C" "bung";
    const std::string acpDir = tstrings::toAcp(utf8Dir);
    // The child's command line is built in UTF-16 from the ANSI text.
    const ProbeResult r = probe("INSTALLDIR=" + acpDir + " /installmethod=web /INSTALLDIRPUBKESSA=C:\\p");
    EXPECT_EQ(r.has("result"), "0");
    EXPECT_EQ(r.has("string.INSTALLDIR"), acpDir);
    EXPECT_EQ(r.has("CMDLINE"), "INSTALLDIR=\"" + acpDir + "\"");
    EXPECT_EQ(log().find("Adding CMDLINE failed"), std::string::npos);
}

TEST_F(ConfigLoadTest, Export_PersistentKeyCreatesFileAndRestoreRemovesIt) {
    ProbeResult r = probe("AUTO_UPDATE=Disable", "export");
    EXPECT_EQ(r.has("result"), "0");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_EQ(testutil::readFileText(path_), "AUTO_UPDATE=Disable\n");
    DeleteFileA(path_.c_str());

    r = probe("AUTO_UPDATE=Disable", "export-restore");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_EQ(r.has("restore"), "done");
    EXPECT_FALSE(testutil::fileExists(path_));
    EXPECT_NE(log().find("Removing runtime config file IF EXIST."), std::string::npos);
}

TEST_F(ConfigLoadTest, Export_NothingPersistentWritesNothing) {
    const ProbeResult r = probe("INSTALLDIR=C:\\x STATIC=1", "export");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_FALSE(testutil::fileExists(path_));
    EXPECT_NE(log().find("Nothing new to export to runtime."), std::string::npos);
}

TEST_F(ConfigLoadTest, Export_CommandLineOverridesFileAndRestorePutsItBack) {
    seedRuntimeFile("AUTO_UPDATE=Disable\nEULA=Enable\n");
    ProbeResult r = probe("AUTO_UPDATE=Enable", "export");
    EXPECT_EQ(r.has("switch.AUTO_UPDATE"), "1");
    EXPECT_EQ(r.has("export"), "0");
    // An existing file is rewritten through a text-mode stream.
    EXPECT_EQ(testutil::readFileText(path_), "AUTO_UPDATE=Enable\r\nEULA=Enable\r\n");

    seedRuntimeFile("AUTO_UPDATE=Disable\nEULA=Enable\n");
    r = probe("AUTO_UPDATE=Enable", "export-restore");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_EQ(tstrings::replace(testutil::readFileText(path_), "\r\n", "\n"), "AUTO_UPDATE=Disable\nEULA=Enable\n");
}

TEST_F(ConfigLoadTest, Export_OnlyNonPersistentKeysInFileDeletesItAndRestoreWritesItBack) {
    seedRuntimeFile("STATIC=Enable\n");
    ProbeResult r = probe("", "export");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_FALSE(testutil::fileExists(path_));

    seedRuntimeFile("STATIC=Enable\n");
    r = probe("", "export-restore");
    EXPECT_EQ(tstrings::replace(testutil::readFileText(path_), "\r\n", "\n"), "STATIC=Enable\n");
}

// A common data folder whose name the ANSI code page cannot spell (the
// probe's HKLM names it; the machine's stays as it is): the runtime settings
// file there is read, and deleted when nothing persistent is left in it.
TEST_F(ConfigLoadTest, Export_DeletesTheRuntimeFileUnderADataFolderOutsideTheAnsiCodePage) {
    const std::string base = dir_.path();
    const std::wstring folder = std::wstring(base.begin(), base.end()) + L"\\\u0414\u0430\u043d\u043d\u044b\u0435";
    const std::wstring file = folder + L"\\Quorvane\\Tolva\\tolva.settings.cfg";
    // The ANSI clean-up of the scratch folder cannot reach these names.
    struct WideTree {
        const std::wstring& folder;
        ~WideTree() {
            DeleteFileW((folder + L"\\Quorvane\\Tolva\\tolva.settings.cfg").c_str());
            RemoveDirectoryW((folder + L"\\Quorvane\\Tolva").c_str());
            RemoveDirectoryW((folder + L"\\Quorvane").c_str());
            RemoveDirectoryW(folder.c_str());
        }
    } cleanUp{folder};
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\Quorvane").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\Quorvane\\Tolva").c_str(), nullptr));
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char text[] = "STATIC=Enable\n";
    DWORD written = 0;
    WriteFile(h, text, sizeof text - 1, &written, nullptr);
    CloseHandle(h);

    const std::string machine = "Software\\TdsConfigLoadMachine";
    testutil::ScopedRegTree machineKey(HKEY_CURRENT_USER, machine);
    HKEY folders = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                              (machine + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders").c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &folders, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(folders, L"Common AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(folders);

    const ProbeResult r = probe("", "export", {{"CONFIG_PROBE_MACHINE_KEY", machine}});
    EXPECT_EQ(r.has("result"), "0");
    EXPECT_EQ(r.has("switch.STATIC"), "1") << "the runtime file was not read there";
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << log();
    EXPECT_NE(log().find("Removing runtime config file IF EXIST."), std::string::npos);
}

TEST_F(ConfigLoadTest, Export_SameKeysAsFileLeavesItUntouched) {
    seedRuntimeFile("EULA=Enable\n");
    const ProbeResult r = probe("INSTALLDIR=C:\\x", "export");
    EXPECT_EQ(r.has("export"), "0");
    EXPECT_EQ(testutil::readFileText(path_), "EULA=Enable\n");
    EXPECT_NE(log().find("Nothing new to export to runtime."), std::string::npos);
}

}  // namespace
