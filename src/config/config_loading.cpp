// Loading the installer configuration: defaults, runtime settings file,
// INSTALLCFG file and command line, and the two msiexec texts.
#include <windows.h>
#include <shellapi.h>

#include <cctype>

#include "config/config_error.h"
#include "config/config_message_ids.h"
#include "config/install_config_data.h"
#include "foundation/file_utils.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

// msiexec refuses the whole command line (exit 2) for a property whose name
// is not a Windows Installer identifier, such as "/installmethod".
bool isMsiPropertyName(const std::string& name) {
    if (name.empty())
        return false;
    const unsigned char first = static_cast<unsigned char>(name[0]);
    if (!(std::isalpha(first) || first == '_'))
        return false;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || u == '_' || u == '.'))
            return false;
    }
    return true;
}

bool runtimeFileExists(const std::string& utf8Path) {
    try {
        const DWORD attributes = GetFileAttributesW(tstrings::toUtf16(utf8Path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int32_t InstallConfigData::LoadConfigSettings(HINSTANCE instance, const std::wstring& commandLine) {
    std::vector<std::string> argv;
    if (!commandLine.empty()) {
        int count = 0;
        LPWSTR* args = CommandLineToArgvW(commandLine.c_str(), &count);
        if (!args) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("InstallConfigData::LoadConfigSettings", "%s failed with %s", "CommandLineToArgvW",
                          formatSystemError(error).c_str());
            return 200;
        }
        try {
            for (int i = 0; i < count; ++i)
                argv.push_back(tstrings::toUtf8(std::wstring(args[i])));
        } catch (const std::exception& e) {
            LocalFree(args);
            TDS_LOG_EXCEPTION("InstallConfigData::LoadConfigSettings", e);
            return 200;
        }
        LocalFree(args);
    }
    try {
        return GetInstallConfigData()._LoadConfigSettings(instance, argv);
    } catch (const settings::Exception& e) {
        TDS_LOG_ERROR("InstallConfigData::LoadConfigSettings", "Loading configuration failed with %d", e.code());
        return e.code() != 0 ? e.code() : 200;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("InstallConfigData::LoadConfigSettings", e);
        return 200;
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("InstallConfigData::LoadConfigSettings");
        return 200;
    }
}

int32_t InstallConfigData::_LoadConfigSettings(HINSTANCE instance, const std::vector<std::string>& argv) {
    logit("-->Loading Important args...");
    InitConfig();
    int32_t result = ImportArgsConfigSettings(instance, working_, argv, false);
    if (result != 0) {
        TDS_LOG_ERROR("InstallConfigData::_LoadConfigSettings",
                      "Error occurred while importing important args. Exiting installer.");
        return result;
    }
    logit(DumpConfig(working_, "Important args config (TMP)"));

    std::string installCfg;
    if (working_.isSet("INSTALLCFG") && working_.tryGetUtf8("INSTALLCFG", installCfg) == 0)
        logit("Path to the install configuration file is set to " + installCfg);

    logit("-->Loading Config...");
    result = LoadConfig(instance, working_, installCfg, argv, IsSilentInstall());
    if (result != 0) {
        TDS_LOG_ERROR("InstallConfigData::_LoadConfigSettings",
                      "Error occurred while importing configuration settings. Exiting installer.");
        return result;
    }

    logit("-->Saving backup...");
    result = ImportRuntimeConfigSettings(instance, backup_, true);
    if (result != 0) {
        TDS_LOG_ERROR("InstallConfigData::_LoadConfigSettings",
                      "Error occurred while importing runtime file for backup.Exiting installer.");
        return result;
    }
    logit(DumpConfig(backup_, "Config to backup"));

    logit("-->Loading export config...");
    result = LoadConfig(instance, exportConfig_, installCfg, argv, true);
    if (result != 0) {
        TDS_LOG_ERROR("InstallConfigData::_LoadConfigSettings",
                      "Error occurred while importing configuration files without defaults. Exiting installer.");
        return result;
    }

    logit("-->Adding CMDLINE to config...");
    const std::string props = AppendMsiProperties(exportConfig_);
    if (!props.empty()) {
        const int32_t imported = working_.importFromString("CMDLINE=" + props);
        if (imported != 0)
            TDS_LOG_ERROR("InstallConfigData::_LoadConfigSettings", "Adding CMDLINE failed with %d", imported);
    }

    logit("-->Normalizing Export...");
    NormalizeExport(exportConfig_);
    logit(DumpConfig(exportConfig_, "Config to export"));
    logit(DumpConfig(working_, "!!!!Working config!!!!"));
    return 0;
}

int32_t InstallConfigData::LoadConfig(HINSTANCE instance, SettingsConfig& context, const std::string& installCfgPath,
                                      const std::vector<std::string>& argv, bool silent) {
    int32_t result = ImportRuntimeConfigSettings(instance, context, silent);
    if (result == 0 && !installCfgPath.empty())
        result = ImportInstallConfigSettings(instance, context, installCfgPath, silent);
    if (result == 0)
        result = ImportArgsConfigSettings(instance, context, argv, silent);
    if (result == 0)
        result = CheckParams(instance, context, silent);
    return result;
}

int32_t InstallConfigData::ImportRuntimeConfigSettings(HINSTANCE instance, SettingsConfig& context, bool silent) {
    logit("...Importing runtime configuration file...");
    const std::string path = context.systemConfigFilePath();
    logit(tstrings::format("Runtime config file path is %s", path.c_str()));
    const int32_t result = context.importFromFile(path);
    // 304 means only "cannot open": a file that exists but is held open by
    // another program must not pass for a missing one, or the restore after
    // a failed install would delete it.
    if (result == 304 && !runtimeFileExists(path)) {
        logit("Runtime configuration file doesn't exist. It will be created later by settings_api.");
        return 0;
    }
    if (!ReportConfigError(instance, context, result, path, silent))
        TDS_LOG_ERROR("InstallConfigData::ImportRuntimeConfigSettings",
                      "Runtime configuration file import failed with %d", result);
    return result;
}

int32_t InstallConfigData::ImportInstallConfigSettings(HINSTANCE instance, SettingsConfig& context,
                                                       const std::string& path, bool silent) {
    logit("...Importing Install Configuration file");
    const int32_t result = context.importFromFile(path);
    if (result == 300) {
        TDS_LOG_WARNING("InstallConfigData::ImportInstallConfigSettings",
                        "Install Configuration file path is empty. Ignore it and continue installation.");
        return 0;
    }
    if (!ReportConfigError(instance, context, result, path, silent))
        TDS_LOG_ERROR("InstallConfigData::ImportInstallConfigSettings",
                      "Install Configuration file import failed with %d", result);
    return result;
}

int32_t InstallConfigData::CheckParams(HINSTANCE instance, SettingsConfig& context, bool silent) {
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__, "InstallConfigData::CheckParams",
                         "InstallConfigData::CheckParams");
    for (const ConfigKeyRecord& record : records_) {
        if (!record.mustBeReadable)
            continue;
        std::string value;
        if (context.tryGetUtf8(record.name, value) != 0)
            continue;
        TDS_LOG_TRACE("InstallConfigData::CheckParams", "Checking if file is accessible for read...");
        std::string ansi;
        try {
            ansi = tstrings::toAcp(value);
        } catch (const std::exception&) {
            ansi.clear();
        }
        int32_t code = (!ansi.empty() && FileUtils::isReadable(ansi)) ? 0 : 307;
        if (record.mustBePlainText)
            TDS_LOG_TRACE("InstallConfigData::CheckParams", "Checking if file is a plain text...");
        if (!ReportConfigError(instance, context, code, value, silent)) {
            TDS_LOG_ERROR("InstallConfigData::CheckParams", "CheckParams failed with %d", code);
            return code;
        }
    }
    return 0;
}

std::string InstallConfigData::AppendMsiProperties(const SettingsConfig& context) const {
    // UTF-8 throughout: the value reaches the ANSI code page once, when the
    // launcher reads CMDLINE, since the settings library takes only UTF-8.
    std::string props;
    for (const ConfigKeyRecord& record : records_) {
        if (!record.forwardAsMsiProperty || !isMsiPropertyName(record.name))
            continue;
        std::string value;
        if (context.tryGetUtf8(record.name, value) == 0)
            props += " " + record.name + "=\"" + value + "\"";
    }
    return props;
}

void InstallConfigData::NormalizeExport(SettingsConfig& context) const {
    for (const ConfigKeyRecord& record : records_)
        if (!record.persist)
            context.eraseKey(record.name);
}

std::string InstallConfigData::DumpConfig(const SettingsConfig& context, const std::string& title) const {
    std::string text = "|------" + title + "--------|\n\n";
    for (const ConfigKeyRecord& record : records_) {
        std::string value;
        bool flag = false;
        if (context.tryGetUtf8(record.name, value) == 0)
            text += record.name + " = " + value + "\n";
        else if (context.tryGetBoolean(record.name, flag) == 0)
            text += record.name + " = " + (flag ? "1" : "0") + "\n";
    }
    text += "|-------------------------------------|\n";
    return text;
}
