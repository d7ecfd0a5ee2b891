#include "config/config_keys.h"

namespace {

// The key table: switch keys, string keys, integer keys, bare switches,
// each group in index order.
const char* const kKeyNames[46] = {
    "INSTALL_SILENT", "STATIC", "AUTO_UPDATE", "SPONSORS", "WEB_TOLVA", "WEB_ANALYTICS", "EULA", "OEMUPDATE",
    "DYNAMICBASELINEOFF", "NO_VERIFY", "REPAIRMODE", "LAUNCHEDFROMVINDEL", "FAMILYUPGRADE", "RUNONCE", "PIP",
    "REINSTALL_NO_PROMPT", "NOSTARTMENU", "TEST_FINAL_DIALOG", "TEST_PROGRESS_DIALOG", "TEST_WELCOME_DIALOG",
    "TEST_CHANGE_DIALOG", "TEST_SETUPERROR_DIALOG", "TEST_ERRORHELP_DIALOG", "TEST_RETRYSPLASH_DIALOG",
    "INSTALLDIR", "INSTALLCFG", "/INSTALLDIRPUBKESSA", "COUNTRYOVERRIDE", "/installurl", "/installmethod",
    "SPONSORPREF", "ADDLOCAL", "REBOOT", "USAGETRACKER_CFG", "DEPLOYMENT_RULE_SET", "MSI_CMDLINE", "CMDLINE",
    "WEB_TOLVA_SECURITY_LEVEL", "/lang", "TEST_CONFIG_FILE_ERRORS",
    "/s", "/h", "-download", "-no_override", "/q", "/l"};

}  // namespace

const char kDefaultConfigText[] =
    "INSTALL_SILENT=Disable\nSTATIC=Disable\nAUTO_UPDATE=Enable\nWEB_ANALYTICS=Enable\nEULA=Disable\n"
    "SPONSORS=Enable\nOEMUPDATE=Disable\n";

const char* switchKeyName(int32_t index) {
    return index >= 0 && index < kSwitchCount ? kKeyNames[index] : nullptr;
}

const char* stringKeyName(int32_t index) {
    return index >= 0 && index < kStringCount ? kKeyNames[kSwitchCount + index] : nullptr;
}

const char* intKeyName(int32_t index) {
    return index >= 0 && index < kIntCount ? kKeyNames[kSwitchCount + kStringCount + index] : nullptr;
}
