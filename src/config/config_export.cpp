// Export of the persistent keys to the runtime settings file before the
// package runs, and its restore when the package fails.
#include <cstdio>

#include "config/config_error.h"
#include "config/install_config_data.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

// The path is UTF-8; the narrow remove() would read it in the ANSI code page.
void removeRuntimeFile(const std::string& utf8Path) {
    logit("Removing runtime config file IF EXIST.");
    try {
        _wremove(tstrings::toUtf16(utf8Path).c_str());
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("InstallConfigData::removeRuntimeFile", e);
    }
}

}  // namespace

int32_t InstallConfigData::ExportToRuntimeConfig(HINSTANCE instance) {
    logit("...Exporting config settings");
    if (backup_.isEqual(exportConfig_)) {
        logit("Nothing new to export to runtime.");
        return 0;
    }
    if (!exportConfig_.isEmpty())
        return ExportConfigSettings(instance, exportConfig_, false);
    removeRuntimeFile(working_.systemConfigFilePath());
    return 0;
}

int32_t InstallConfigData::RestoreRuntimeConfig(HINSTANCE instance) {
    logit("...Restoring config settings");
    if (backup_.isEqual(exportConfig_))
        return 0;
    if (!backup_.isEmpty())
        return ExportConfigSettings(instance, backup_, true);
    removeRuntimeFile(working_.systemConfigFilePath());
    return 0;
}

int32_t InstallConfigData::ExportConfigSettings(HINSTANCE instance, SettingsConfig& context, bool silent) {
    logit("...Exporting config settings");
    if (context.isEmpty()) {
        logit("Config is empty: don't do export");
        return 0;
    }
    logit("Writing to the runtime config file.");
    const std::string path = context.systemConfigFilePath();
    const int32_t result = context.exportToFile(path);
    if (!ReportConfigError(instance, context, result, path, silent || IsSilentInstall()))
        TDS_LOG_ERROR("InstallConfigData::ExportConfigSettings", "Fails on writing to the runtime config file.");
    return result;
}

int32_t ExportInstallConfig(HINSTANCE instance) {
    try {
        return GetInstallConfigData().ExportToRuntimeConfig(instance);
    } catch (const settings::Exception& e) {
        TDS_LOG_ERROR("ExportInstallConfig", "Export failed with %d", e.code());
        return e.code() != 0 ? e.code() : 200;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ExportInstallConfig", e);
        return 200;
    }
}

void RestoreInstallConfig(HINSTANCE instance) {
    try {
        GetInstallConfigData().RestoreRuntimeConfig(instance);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("RestoreInstallConfig", e);
    }
}
