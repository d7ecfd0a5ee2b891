#pragma once
// The vocabulary of the installer configuration, addressed by group and
// index: 24 switch keys, 13 string keys, 3 integer keys, 6 bare switches.

#include <cstdint>

enum SwitchKey : int32_t {
    kSwitchInstallSilent = 0,
    kSwitchStatic = 1,
    kSwitchAutoUpdate = 2,
    kSwitchSponsors = 3,
    kSwitchWebTolva = 4,
    kSwitchWebAnalytics = 5,
    kSwitchEula = 6,
    kSwitchOemUpdate = 7,
    kSwitchDynamicBaselineOff = 8,
    kSwitchNoVerify = 9,
    kSwitchRepairMode = 10,
    kSwitchLaunchedFromVindel = 11,
    kSwitchFamilyUpgrade = 12,
    kSwitchRunOnce = 13,
    kSwitchPip = 14,
    kSwitchReinstallNoPrompt = 15,
    kSwitchNoStartMenu = 16,
    kSwitchTestFinalDialog = 17,
    kSwitchTestProgressDialog = 18,
    kSwitchTestWelcomeDialog = 19,
    kSwitchTestChangeDialog = 20,
    kSwitchTestSetupErrorDialog = 21,
    kSwitchTestErrorHelpDialog = 22,
    kSwitchTestRetrySplashDialog = 23,
    kSwitchCount = 24
};

enum StringKey : int32_t {
    kStringInstallDir = 0,
    kStringInstallCfg = 1,
    kStringInstallDirPubKessa = 2,
    kStringCountryOverride = 3,
    kStringInstallUrl = 4,
    kStringInstallMethod = 5,
    kStringSponsorPref = 6,
    kStringAddLocal = 7,
    kStringReboot = 8,
    kStringUsageTrackerCfg = 9,
    kStringDeploymentRuleSet = 10,
    kStringMsiCmdline = 11,
    kStringCmdline = 12,
    kStringCount = 13
};

enum IntKey : int32_t {
    kIntWebTolvaSecurityLevel = 0,
    kIntLang = 1,
    kIntTestConfigFileErrors = 2,
    kIntCount = 3
};

// The name of a key by group and index; null for an index out of range.
const char* switchKeyName(int32_t index);
const char* stringKeyName(int32_t index);
const char* intKeyName(int32_t index);

// One line per key, each ended by "\n".
extern const char kDefaultConfigText[];
