// Importing the command-line arguments into a configuration context: each
// argument is matched to its key record and imported as one settings line,
// or passed on to msiexec as it stands. Portable, so that it builds natively too.
#include "config/config_error.h"
#include "config/config_message_ids.h"
#include "config/install_config_data.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace {

// One argument is one line of the settings text; a line break inside it
// would smuggle further keys in.
bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The splitter removed the user's quotes; msiexec needs them back around a
// log path with blanks.
std::string quotedIfBlank(const std::string& argument) {
    if (argument.find_first_of(" \t") == std::string::npos)
        return argument;
    return "\"" + argument + "\"";
}

}  // namespace

int32_t InstallConfigData::ImportArgsConfigSettings(HINSTANCE instance, SettingsConfig& context,
                                                    const std::vector<std::string>& argv, bool silent) {
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__,
                         "InstallConfigData::ImportArgsConfigSettings", "InstallConfigData::ImportArgsConfigSettings");
    logit("...Importing command line arguments");
    context.setKeyOnly(true);
    int32_t result = 0;
    std::string options;
    std::string errors;
    const auto fail = [&](const std::string& argument, int32_t code) {
        result = code;
        errors += "\"" + argument + "\";";
    };
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& argument = argv[i];
        if (argument.empty())
            continue;
        const ConfigKeyRecord* record = FindRecord(argument);
        if (!record) {
            TDS_LOG_ERROR("InstallConfigData::ImportArgsConfigSettings", "arg %s is not supported", argument.c_str());
            fail(argument, 313);
            continue;
        }
        if (hasLineBreak(argument)) {
            TDS_LOG_ERROR("InstallConfigData::ImportArgsConfigSettings", "arg %s is incorrect", argument.c_str());
            fail(argument, 313);
            continue;
        }
        if (record->passVerbatim) {
            if (record->name == "/l") {
                if (i + 1 < argv.size() && !hasLineBreak(argv[i + 1])) {
                    options += " " + argument + " " + quotedIfBlank(argv[i + 1]);
                    ++i;
                } else {
                    TDS_LOG_ERROR("InstallConfigData::ImportArgsConfigSettings", "arg %s is incorrect",
                                  argument.c_str());
                    fail(argument, 313);
                    if (i + 1 < argv.size())
                        ++i;
                }
            } else {
                options += " " + argument;
            }
            continue;
        }
        int32_t code = context.importFromString(record->prefixMatch ? record->name : argument);
        if (code == 0 && !context.isSet(record->name))
            code = 313;
        if (code != 0) {
            TDS_LOG_ERROR("InstallConfigData::ImportArgsConfigSettings", "Loading arg %s failed with %d",
                          argument.c_str(), code);
            fail(argument, code);
        }
    }
    if (!options.empty()) {
        TDS_LOG_INFO("InstallConfigData::ImportArgsConfigSettings", "...adding MSICMDLINE to settingsConfig");
        const int32_t imported = context.importFromString("MSI_CMDLINE=" + options);
        if (imported != 0)
            TDS_LOG_ERROR("InstallConfigData::ImportArgsConfigSettings", "Adding MSI_CMDLINE failed with %d",
                          imported);
    }
    if (result != 0)
        ShowErrorMessage(instance, IDS_CONFIG_ERROR_CAPTION, IDS_ERROR_COMMAND_LINE, silent || IsSilentInstall(),
                         errors);
    return result;
}
