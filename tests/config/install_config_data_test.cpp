// The configuration object in this process: validators, key mapping, the
// argument import, accessors and the error messages. Nothing here reads or
// writes the runtime settings file.
#include <gtest/gtest.h>

#include <vector>

#include "common/files.h"
#include "common/test_util.h"
#include "common/window_finder.h"
#include "config/config_error.h"
#include "config/config_internal.h"
#include "config/config_message_ids.h"
#include "config/install_config_data.h"
#include "foundation/logger_internal.h"
#include "foundation/tstrings.h"

namespace {

struct Box {
    std::string caption;
    std::string text;
    UINT flags;
};

class ConfigDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        original_ = Logger::getInstance().path();
        LoggerTestAccess::setPath(dir_.file("tusched.log"));
        config_internal::setMessageBoxHookForTesting(
            [this](const std::string& c, const std::string& t, UINT f) { boxes_.push_back({c, t, f}); });
    }
    void TearDown() override {
        config_internal::setMessageBoxHookForTesting(nullptr);
        LoggerTestAccess::setPath(original_);
    }
    // The log is written in text mode: its line breaks are CR LF.
    std::string log() const { return tstrings::replace(testutil::readFileText(dir_.file("tusched.log")), "\r\n", "\n"); }
    int32_t importArgs(const std::vector<std::string>& args, bool silent = true) {
        std::vector<std::string> argv = {"setup.exe"};
        argv.insert(argv.end(), args.begin(), args.end());
        return data_.ImportArgsConfigSettings(instance_, data_.working(), argv, silent);
    }

    HINSTANCE instance_ = GetModuleHandleW(nullptr);
    testutil::ScratchDir dir_{"cfg"};
    std::string original_;
    std::vector<Box> boxes_;
    InstallConfigData data_;
};

struct ArgCase {
    const char* name;
    const char* argument;
    int32_t result;
    const char* key;      // read back when result is 0
    const char* text;     // expected UTF-8 text, or null
    int32_t integer;      // expected integer when text is null and integer >= 0
};

class ConfigArgTest : public ConfigDataTest, public ::testing::WithParamInterface<ArgCase> {};

TEST_P(ConfigArgTest, ImportArgs_ValidatesAndStoresUnderRegisteredName) {
    const ArgCase& c = GetParam();
    EXPECT_EQ(importArgs({c.argument}), c.result);
    if (c.result != 0) {
        EXPECT_NE(log().find(c.argument), std::string::npos);
        return;
    }
    if (c.text) {
        EXPECT_EQ(data_.working().getUtf8(c.key), c.text);
    } else if (c.integer >= 0) {
        EXPECT_EQ(data_.working().getInteger(c.key), c.integer);
    } else {
        EXPECT_TRUE(data_.IsKeySet(c.key));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfigArgTest,
    ::testing::Values(
        ArgCase{"SwitchAnyCaseKey", "install_silent=Enable", 0, "INSTALL_SILENT", nullptr, 1},
        ArgCase{"SwitchTextKept", "install_silent=Enable", 0, "INSTALL_SILENT", "Enable", -1},
        ArgCase{"SwitchOne", "AUTO_UPDATE=1", 0, "AUTO_UPDATE", nullptr, 1},
        ArgCase{"SwitchColon", "AUTO_UPDATE:Disable", 0, "AUTO_UPDATE", nullptr, 0},
        ArgCase{"SwitchLowerCaseValue", "AUTO_UPDATE=enable", 313, nullptr, nullptr, -1},
        ArgCase{"SwitchOther", "STATIC=yes", 313, nullptr, nullptr, -1},
        ArgCase{"LevelVH", "WEB_TOLVA_SECURITY_LEVEL=VH", 0, "WEB_TOLVA_SECURITY_LEVEL", nullptr, 4},
        ArgCase{"LevelDigit", "web_tolva_security_level=2", 0, "WEB_TOLVA_SECURITY_LEVEL", nullptr, 2},
        ArgCase{"LevelFive", "WEB_TOLVA_SECURITY_LEVEL=5", 313, nullptr, nullptr, -1},
        ArgCase{"LevelLowerCase", "WEB_TOLVA_SECURITY_LEVEL=vh", 313, nullptr, nullptr, -1},
        ArgCase{"Lang", "/lang=1041", 0, "/lang", nullptr, 1041},
        ArgCase{"LangNotNumber", "/lang=abc", 313, nullptr, nullptr, -1},
        ArgCase{"InstallDir", "installdir=C:\\x", 0, "INSTALLDIR", "C:\\x", -1},
        ArgCase{"InstallDirSlash", "INSTALLDIR=d:/Apps", 0, "INSTALLDIR", "d:/Apps", -1},
        ArgCase{"InstallDirRelative", "INSTALLDIR=apps\\x", 313, nullptr, nullptr, -1},
        ArgCase{"InstallDirEmpty", "INSTALLDIR=", 313, nullptr, nullptr, -1},
        ArgCase{"CountryText", "COUNTRYOVERRIDE=de", 0, "COUNTRYOVERRIDE", "de", -1},
        ArgCase{"KeyWithoutValue", "INSTALL_SILENT", 313, nullptr, nullptr, -1},
        ArgCase{"BareSwitchOtherCase", "/S", 313, nullptr, nullptr, -1},
        ArgCase{"BareSwitchWithValue", "/s=1", 313, nullptr, nullptr, -1},
        ArgCase{"Unknown", "foo=1", 313, nullptr, nullptr, -1},
        ArgCase{"LineBreakInValue", "INSTALLDIR=C:\\x\nAUTO_UPDATE=Disable", 313, nullptr, nullptr, -1},
        ArgCase{"Download", "-download", 0, "-download", nullptr, -1},
        ArgCase{"Silent", "/s", 0, "/s", nullptr, -1}),
    [](const ::testing::TestParamInfo<ArgCase>& i) { return std::string(i.param.name); });

TEST_F(ConfigDataTest, ImportArgs_UnknownArgumentsAreListedInOneMessage) {
    EXPECT_EQ(importArgs({"foo=1", "AUTO_UPDATE=1", "bar"}, false), 313);
    EXPECT_NE(log().find("arg foo=1 is not supported"), std::string::npos);
    EXPECT_NE(log().find("arg bar is not supported"), std::string::npos);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Tolva Installation Not Completed");
    EXPECT_EQ(boxes_[0].text,
              "Unable to install Tolva\n\nThere are errors in the following command line switches:\n"
              "\"foo=1\";\"bar\";.\n\nCheck that the commands are valid and try again.");
    EXPECT_EQ(boxes_[0].flags, static_cast<UINT>(MB_ICONERROR));
    // The good argument was still imported.
    EXPECT_EQ(data_.working().getInteger("AUTO_UPDATE"), 1);
}

TEST_F(ConfigDataTest, ImportArgs_SilentSwitchSuppressesTheBox) {
    EXPECT_EQ(importArgs({"/s", "foo=1"}, false), 313);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_NE(log().find("There are errors in the following command line switches"), std::string::npos);
}

TEST_F(ConfigDataTest, ImportArgs_VerbatimArgumentsGoToTheOptionString) {
    EXPECT_EQ(importArgs({"ADDLOCAL=ToolsFeature", "REBOOT=ReallySuppress", "/qn", "/l", "log.txt"}), 0);
    EXPECT_EQ(data_.working().getUtf8("MSI_CMDLINE"), "ADDLOCAL=ToolsFeature REBOOT=ReallySuppress /qn /l log.txt");
    EXPECT_FALSE(data_.IsKeySet("ADDLOCAL"));
    EXPECT_FALSE(data_.IsKeySet("REBOOT"));
}

TEST_F(ConfigDataTest, ImportArgs_LogPathWithBlanksIsQuoted) {
    EXPECT_EQ(importArgs({"/l*v", "C:\\My Logs\\x.log"}), 0);
    EXPECT_EQ(data_.working().getUtf8("MSI_CMDLINE"), "/l*v \"C:\\My Logs\\x.log\"");
}

TEST_F(ConfigDataTest, ImportArgs_LogSwitchWithoutPathFails) {
    EXPECT_EQ(importArgs({"/qn", "/l"}), 313);
    EXPECT_NE(log().find("arg /l is incorrect"), std::string::npos);
    EXPECT_EQ(data_.working().getUtf8("MSI_CMDLINE"), "/qn");
}

TEST_F(ConfigDataTest, Accessors_AbsentSwitchAndDefaults) {
    EXPECT_FALSE(data_.IsSwitchEnabled(kSwitchNoVerify));
    EXPECT_TRUE(data_.IsSwitchEnabled(kSwitchAutoUpdate));
    EXPECT_FALSE(data_.IsSilentInstall());
    try {
        data_.working().getInteger("NO_VERIFY");
        ADD_FAILURE() << "no exception";
    } catch (const settings::Exception& e) {
        EXPECT_EQ(e.code(), 303);
    }
    // The global instance answers the same way.
    EXPECT_FALSE(GetSwitchValue(kSwitchStatic));
    EXPECT_TRUE(GetSwitchValue(kSwitchAutoUpdate));
    EXPECT_THROW(GetSwitchValue(kSwitchNoVerify), settings::Exception);
    EXPECT_FALSE(IsSwitchEnabled(kSwitchNoVerify));
    EXPECT_FALSE(IsStringValueSet(kStringInstallDir));
    EXPECT_THROW(GetStringValue(kStringInstallDir), settings::Exception);
    EXPECT_THROW(GetIntValue(kIntLang), settings::Exception);
    EXPECT_THROW(GetSwitchValue(kSwitchCount), settings::Exception);
}

TEST_F(ConfigDataTest, IsSilentInstall_AnyOfTheThreeWays) {
    for (const char* arg : {"/s", "-download", "INSTALL_SILENT=1"}) {
        InstallConfigData data;
        EXPECT_FALSE(data.IsSilentInstall());
        EXPECT_EQ(data.ImportArgsConfigSettings(instance_, data.working(), {"setup.exe", arg}, true), 0);
        EXPECT_TRUE(data.IsSilentInstall()) << arg;
    }
}

TEST_F(ConfigDataTest, DumpConfig_FramesTheDefaults) {
    data_.InitConfig();
    EXPECT_EQ(data_.DumpConfig(data_.working(), "T"),
              "|------T--------|\n\nINSTALL_SILENT = Disable\nSTATIC = Disable\nAUTO_UPDATE = Enable\n"
              "SPONSORS = Enable\nWEB_ANALYTICS = Enable\nEULA = Disable\nOEMUPDATE = Disable\n"
              "|-------------------------------------|\n");
    EXPECT_EQ(importArgs({"/s"}), 0);
    EXPECT_NE(data_.DumpConfig(data_.working(), "T").find("/s = 1\n"), std::string::npos);
}

TEST_F(ConfigDataTest, AppendMsiProperties_OnlyValidPropertyNamesInUtf8) {
    SettingsConfig& context = data_.exportConfig();
    EXPECT_EQ(data_.ImportArgsConfigSettings(instance_, context,
                                             {"setup.exe", "/installmethod=web", "/INSTALLDIRPUBKESSA=C:\\p",
                                              "INSTALLDIR=C:\\\xC3\x9C" "bung", "STATIC=1", "COUNTRYOVERRIDE=de"},
                                             true),
              0);
    EXPECT_EQ(data_.AppendMsiProperties(context), " STATIC=\"1\" INSTALLDIR=\"C:\\\xC3\x9C" "bung\"");
}

TEST_F(ConfigDataTest, NormalizeExport_KeepsOnlyPersistentKeys) {
    SettingsConfig& context = data_.exportConfig();
    EXPECT_EQ(data_.ImportArgsConfigSettings(instance_, context,
                                             {"setup.exe", "EULA=1", "STATIC=1", "INSTALLDIR=C:\\x", "/s", "/qn"},
                                             true),
              0);
    data_.NormalizeExport(context);
    EXPECT_EQ(data_.DumpConfig(context, "E"), "|------E--------|\n\nEULA = 1\n|-------------------------------------|\n");
}

struct ReportCase {
    int32_t code;
    UINT message;        // 0: no box
    const char* logged;  // text that must reach the log
};

class ReportTest : public ConfigDataTest, public ::testing::WithParamInterface<ReportCase> {};

std::string loaded(UINT id) {
    wchar_t buffer[1024];
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 1024);
    return tstrings::toUtf8(std::wstring(buffer, n > 0 ? n : 0));
}

TEST_P(ReportTest, ReportConfigError_ShowsOrLogsByCode) {
    const ReportCase& c = GetParam();
    EXPECT_EQ(ReportConfigError(instance_, data_.working(), c.code, "C:\\p.cfg", false), c.code == 0);
    if (c.message) {
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].caption, "Tolva Installation Not Completed");
        EXPECT_EQ(boxes_[0].flags, static_cast<UINT>(MB_ICONERROR));
        const std::string format = loaded(c.message);
        ASSERT_FALSE(format.empty());
        const std::string expected = tstrings::replace(format, "%s", "C:\\p.cfg");
        if (c.code != 313) {
            EXPECT_EQ(boxes_[0].text, format.find("%s") != std::string::npos ? expected : format);
        }
        EXPECT_NE(log().find(boxes_[0].text.substr(0, 40)), std::string::npos);
    } else {
        EXPECT_TRUE(boxes_.empty());
    }
    if (c.logged) {
        EXPECT_NE(log().find(c.logged), std::string::npos) << log();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ReportTest,
    ::testing::Values(ReportCase{0, 0, nullptr}, ReportCase{200, IDS_ERROR_INTERNAL, "An internal error occurred."},
                      ReportCase{300, 0, "IDS_ERROR_INVALID_PARAMETER"},
                      ReportCase{301, 0, "Unknown Error code 301"}, ReportCase{303, 0, "Unknown Error code 303"},
                      ReportCase{304, IDS_ERROR_OPEN_FILE, "Unable to open file C:\\p.cfg."},
                      ReportCase{305, IDS_ERROR_PERMISSIONS, "Cannot read configuration file C:\\p.cfg due"},
                      ReportCase{306, IDS_ERROR_WRITE_RUNTIME, "Writing to the runtime configuration file failed."},
                      ReportCase{307, IDS_ERROR_READ_FILE, "An error occurred while reading file C:\\p.cfg."},
                      ReportCase{308, 0, "IDS_ERROR_RENAME_MESSAGE"}, ReportCase{309, 0, "IDS_ERROR_REMOVE_MESSAGE"},
                      ReportCase{310, IDS_ERROR_PATH_TOO_LONG, "is too long."},
                      ReportCase{311, IDS_ERROR_INVALID_PATH, "is invalid."},
                      ReportCase{312, IDS_ERROR_PATH_NOT_PLAIN_TEXT, "is not in plain text."},
                      ReportCase{313, IDS_ERROR_MALFORMED, "is malformed in line <line number>."},
                      ReportCase{314, IDS_ERROR_NOT_PLAIN_TEXT, "Configuration file C:\\p.cfg is not in plain text."},
                      ReportCase{315, IDS_ERROR_FILE_TOO_LONG, "Configuration file C:\\p.cfg is too long."},
                      ReportCase{199, 0, "Unknown Error code 199"}, ReportCase{316, 0, "Unknown Error code 316"},
                      ReportCase{-1, 0, "Unknown Error code -1"}),
    [](const ::testing::TestParamInfo<ReportCase>& i) {
        return "Code" + std::to_string(i.param.code < 0 ? 0 : i.param.code) + (i.param.code < 0 ? "Negative" : "");
    });

TEST_F(ConfigDataTest, ReportConfigError_MalformedNamesTheFirstFaultyLine) {
    SettingsConfig& context = data_.backup();
    context.setStrict(false);
    EXPECT_EQ(context.importFromString("EULA=1\n# note\nfoo=2\nAUTO_UPDATE=x\n"), 313);
    EXPECT_FALSE(ReportConfigError(instance_, context, 313, "C:\\cfg.txt", false));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text,
              "Unable to install Tolva\n\nConfiguration file C:\\cfg.txt is malformed in line 3.\n"
              "Check data and formatting of the file.");
}

TEST_F(ConfigDataTest, ReportConfigError_SilentOnlyLogs) {
    EXPECT_FALSE(ReportConfigError(instance_, data_.working(), 304, "C:\\q.cfg", true));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_NE(log().find("Unable to open file C:\\q.cfg."), std::string::npos);
}

TEST_F(ConfigDataTest, ShowErrorMessage_CutsAt1023Bytes) {
    ShowErrorMessage(instance_, IDS_CONFIG_ERROR_CAPTION, IDS_ERROR_OPEN_FILE, false, std::string(2000, 'x'));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.size(), 1023u);
    // A cut inside a multi-byte character drops the partial character.
    std::string wide;
    for (int i = 0; i < 600; ++i)
        wide += "\xC3\x9C";
    ShowErrorMessage(instance_, IDS_CONFIG_ERROR_CAPTION, IDS_ERROR_OPEN_FILE, false, wide);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_LE(boxes_[1].text.size(), 1023u);
    EXPECT_NO_THROW(tstrings::toUtf16(boxes_[1].text));
}

}  // namespace

namespace {

struct FoundBox {
    std::wstring text;
    bool found = false;
};

// Waits for the box, reads its text and presses OK.
void answerBox(FoundBox& found) {
    testutil::WindowQuery box;
    box.title = "Tolva Installation Not Completed";
    box.visibleOnly = false;
    HWND window = testutil::waitForWindow(box, 10000);
    if (!window)
        return;
    wchar_t text[2048] = {};
    // The message text is the static control with id 0xFFFF.
    GetDlgItemTextW(window, 0xFFFF, text, 2048);
    found.text = text;
    found.found = true;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
}

TEST(ShowErrorMessageBox, RealBox_ShowsUtf8TextCorrectly) {
    // A box the user sees, under Xvfb: a UTF-8 path must not reach
    // MessageBoxA as raw bytes.
    FoundBox found;
    HANDLE watcher = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            answerBox(*static_cast<FoundBox*>(p));
            return 0;
        },
        &found, 0, nullptr);
    ShowErrorMessage(GetModuleHandleW(nullptr), IDS_CONFIG_ERROR_CAPTION, IDS_ERROR_OPEN_FILE, false,
                     "C:\\\xC3\x9C" "bung\\a.cfg");
    EXPECT_EQ(WaitForSingleObject(watcher, 15000), WAIT_OBJECT_0);
    CloseHandle(watcher);
    ASSERT_TRUE(found.found) << "the box did not show";
    EXPECT_NE(found.text.find(L"Unable to open file C:\\\u00DCbung\\a.cfg."), std::wstring::npos);
}

}  // namespace
