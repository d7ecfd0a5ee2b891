#include "config/install_config_data.h"

#include <memory>

#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace {

// Builders are destroyed on every path, also when a registration throws.
struct ValidatorBuilderHolder {
    const settings_api& api;
    settings_validator_builder* handle;
    ~ValidatorBuilderHolder() { api.validator_builder_destroy(handle); }
};

struct KeyMapperBuilderHolder {
    const settings_api& api;
    settings_key_mapper_builder* handle;
    ~KeyMapperBuilderHolder() { api.key_mapper_builder_destroy(handle); }
};

const FixedValue kSwitchValues[] = {{"Enable", 1, 1}, {"Disable", 0, 1}, {"1", 1, 1}, {"0", 0, 1}};

const FixedValue kSecurityLevels[] = {{"1", 1, 1}, {"2", 2, 1}, {"3", 3, 1}, {"4", 4, 1},
                                      {"L", 1, 1}, {"M", 2, 1}, {"H", 3, 1}, {"VH", 4, 1}};

const char* requireName(const char* name) {
    // An index outside its group names no key: a caller's fault, reported
    // like any other null argument of the library.
    if (!name)
        throw settings::Exception(300);
    return name;
}

}  // namespace

InstallConfigData::InstallConfigData() {
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__,
                         "InstallConfigData::InstallConfigData", "InstallConfigData::InstallConfigData");
    defaultsLoaded_ = false;
    RegisterKeys();

    settings_api api;
    settings_get_api(&api);
    ValidatorBuilderHolder validators{api, api.validator_builder_create()};
    KeyMapperBuilderHolder mappers{api, api.key_mapper_builder_create()};
    if (!validators.handle || !mappers.handle)
        throw settings::Exception(200);

    for (int32_t i = 0; i < kSwitchCount; ++i) {
        checkSettingsStatus(api.validator_builder_set_fixed_value_validator(validators.handle, switchKeyName(i),
                                                                            kSwitchValues, 4));
        checkSettingsStatus(api.key_mapper_builder_map(mappers.handle, switchKeyName(i), switchKeyName(i), 0));
    }
    for (int32_t i = 0; i < kIntCount; ++i) {
        checkSettingsStatus(api.validator_builder_set_integer_validator(validators.handle, intKeyName(i)));
        checkSettingsStatus(api.key_mapper_builder_map(mappers.handle, intKeyName(i), intKeyName(i), 0));
    }
    checkSettingsStatus(api.validator_builder_set_fixed_value_validator(
        validators.handle, intKeyName(kIntWebTolvaSecurityLevel), kSecurityLevels, 8));
    for (int32_t i = 0; i < kStringCount; ++i) {
        checkSettingsStatus(api.validator_builder_set_utf8_validator(validators.handle, stringKeyName(i)));
        checkSettingsStatus(api.key_mapper_builder_map(mappers.handle, stringKeyName(i), stringKeyName(i), 0));
    }
    for (int32_t i : {kStringInstallDir, kStringInstallCfg, kStringInstallDirPubKessa, kStringUsageTrackerCfg,
                      kStringDeploymentRuleSet})
        checkSettingsStatus(api.validator_builder_set_dirname_validator(validators.handle, stringKeyName(i), 0));
    checkSettingsStatus(api.validator_builder_allow_unknown_keys(validators.handle, 0));

    settings_validator* validator = nullptr;
    checkSettingsStatus(api.validator_builder_create_validator(validators.handle, &validator));
    validator_.reset(validator);
    settings_key_mapper* mapper = nullptr;
    checkSettingsStatus(api.key_mapper_builder_create_key_mapper(mappers.handle, &mapper));
    keyMapper_.reset(mapper);

    for (SettingsConfig* context : {&working_, &exportConfig_, &backup_})
        context->bind(&validator_, &keyMapper_);
}

void InstallConfigData::AddKey(const char* name, uint8_t persist, uint8_t forward, uint8_t verbatim) {
    records_.emplace_back(name, persist, forward, verbatim);
}

void InstallConfigData::RegisterKeys() {
    records_.clear();
    AddKey("INSTALL_SILENT", 1, 1, 0);
    AddKey("STATIC", 0, 1, 0);
    AddKey("AUTO_UPDATE", 1, 1, 0);
    AddKey("SPONSORS", 1, 1, 0);
    AddKey("WEB_TOLVA", 0, 1, 0);
    AddKey("WEB_ANALYTICS", 1, 1, 0);
    AddKey("EULA", 1, 1, 0);
    AddKey("OEMUPDATE", 0, 1, 0);
    AddKey("DYNAMICBASELINEOFF", 0, 0, 0);
    AddKey("NO_VERIFY", 0, 0, 0);
    AddKey("REPAIRMODE", 0, 1, 0);
    AddKey("LAUNCHEDFROMVINDEL", 0, 0, 0);
    AddKey("FAMILYUPGRADE", 0, 0, 0);
    AddKey("RUNONCE", 0, 0, 0);
    AddKey("PIP", 0, 1, 0);
    AddKey("REINSTALL_NO_PROMPT", 0, 1, 0);
    AddKey("TEST_FINAL_DIALOG", 0, 0, 0);
    AddKey("TEST_PROGRESS_DIALOG", 0, 0, 0);
    AddKey("TEST_WELCOME_DIALOG", 0, 0, 0);
    AddKey("TEST_CHANGE_DIALOG", 0, 0, 0);
    AddKey("TEST_SETUPERROR_DIALOG", 0, 0, 0);
    AddKey("TEST_ERRORHELP_DIALOG", 0, 0, 0);
    AddKey("TEST_RETRYSPLASH_DIALOG", 0, 0, 0);
    AddKey("NOSTARTMENU", 0, 1, 0);
    AddKey("INSTALLDIR", 0, 1, 0);
    AddKey("/INSTALLDIRPUBKESSA", 0, 1, 0);
    AddKey("INSTALLCFG", 0, 1, 0);
    AddKey("COUNTRYOVERRIDE", 0, 0, 0);
    AddKey("/installurl", 0, 0, 0);
    AddKey("/installmethod", 0, 1, 0);
    AddKey("SPONSORPREF", 0, 0, 0);
    AddKey("ADDLOCAL", 0, 0, 1);
    AddKey("REBOOT", 0, 0, 1);
    AddKey("USAGETRACKER_CFG", 0, 1, 0);
    records_.back().mustBeReadable = 1;
    records_.back().mustBePlainText = 1;
    AddKey("DEPLOYMENT_RULE_SET", 0, 1, 0);
    records_.back().mustBeReadable = 1;
    AddKey("MSI_CMDLINE", 0, 0, 0);
    AddKey("CMDLINE", 0, 0, 0);
    AddKey("WEB_TOLVA_SECURITY_LEVEL", 0, 1, 0);
    AddKey("/lang", 0, 0, 0);
    AddKey("TEST_CONFIG_FILE_ERRORS", 0, 0, 0);
    AddKey("/s", 0, 0, 0);
    AddKey("/h", 0, 0, 0);
    AddKey("-download", 0, 0, 0);
    AddKey("-no_override", 0, 0, 0);
    AddKey("/q", 0, 0, 1);
    records_.back().prefixMatch = 1;
    AddKey("/l", 0, 0, 1);
    records_.back().prefixMatch = 1;
}

void InstallConfigData::InitConfig() {
    if (defaultsLoaded_)
        return;
    checkSettingsStatus(working_.importFromString(kDefaultConfigText));
    defaultsLoaded_ = true;
    TDS_LOG_INFO("InstallConfigData::InitConfig", "Default config settings are: \n%s", kDefaultConfigText);
}

bool InstallConfigData::IsKeySet(const std::string& key) {
    InitConfig();
    return working_.isSet(key);
}

bool InstallConfigData::IsSwitchEnabled(int32_t index) {
    InitConfig();
    const char* name = requireName(switchKeyName(index));
    if (!working_.isSet(name))
        return false;
    return working_.getInteger(name) != 0;
}

bool InstallConfigData::IsSilentInstall() {
    InitConfig();
    return working_.isSet("/s") || IsKeySet("-download") || IsSwitchEnabled(kSwitchInstallSilent);
}

const ConfigKeyRecord* InstallConfigData::FindRecord(const std::string& argument) const {
    for (const ConfigKeyRecord& record : records_)
        if (record.Matches(argument))
            return &record;
    return nullptr;
}

InstallConfigData& GetInstallConfigData() {
    // Built on first use, never by a static constructor; a failed build
    // leaves nothing behind and the next call tries again.
    static std::unique_ptr<InstallConfigData> instance;
    if (!instance)
        instance.reset(new InstallConfigData());
    return *instance;
}

SettingsConfig& GetSettingsConfig() {
    InstallConfigData& data = GetInstallConfigData();
    data.InitConfig();
    return data.working();
}

bool GetSwitchValue(int32_t switchIndex) {
    return GetSettingsConfig().getInteger(requireName(switchKeyName(switchIndex))) != 0;
}

bool IsSwitchEnabled(int32_t switchIndex) { return GetInstallConfigData().IsSwitchEnabled(switchIndex); }

int32_t GetIntValue(int32_t intIndex) { return GetSettingsConfig().getInteger(requireName(intKeyName(intIndex))); }

bool IsIntValueSet(int32_t intIndex) { return GetSettingsConfig().isSet(requireName(intKeyName(intIndex))); }

bool IsStringValueSet(int32_t stringIndex) {
    return GetSettingsConfig().isSet(requireName(stringKeyName(stringIndex)));
}

#ifdef _WIN32
std::string GetStringValue(int32_t stringIndex) {
    const std::string utf8 = GetSettingsConfig().getUtf8(requireName(stringKeyName(stringIndex)));
    try {
        return tstrings::toAcp(utf8);
    } catch (const std::exception&) {
        // The library holds only well-formed UTF-8; this is not reached.
        throw settings::Exception(200);
    }
}
#endif

bool IsSilentInstall() { return GetInstallConfigData().IsSilentInstall(); }
