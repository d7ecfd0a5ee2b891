// Loads the configuration from its own command line, the way a launcher
// does, and prints what the launcher would read, one "name=value" per line:
//   result, silent, MSI_CMDLINE, CMDLINE, string.<KEY>, switch.<KEY>, int.<KEY>
// Message boxes are printed as "box=<caption>|<text>" (line breaks as \n).
// CONFIG_PROBE_ACTION=export, restore or export-restore runs those steps
// after the load and prints export=<code> / restore=done.
// CONFIG_PROBE_FAIL_CONTEXT=1 makes building the configuration fail.
// CONFIG_PROBE_MACHINE_KEY=<HKCU subkey> sends this process's HKLM there
// (RegOverridePredefKey), so a test can name the shell folders, the common
// data folder among them, without touching the machine's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/config_internal.h"
#include "config/install_config_data.h"
#include "foundation/tstrings.h"

namespace {

std::string oneLine(const std::string& text) { return tstrings::replace(text, "\n", "\\n"); }

void print(const std::string& name, const std::string& value) {
    std::printf("%s=%s\n", name.c_str(), oneLine(value).c_str());
}

template <class F>
std::string guarded(F f) {
    try {
        return f();
    } catch (const settings::Exception& e) {
        return "error " + tstrings::toString(e.code());
    }
}

}  // namespace

int main() {
    config_internal::setMessageBoxHookForTesting([](const std::string& caption, const std::string& text, UINT) {
        print("box", caption + "|" + text);
    });
    if (std::getenv("CONFIG_PROBE_FAIL_CONTEXT"))
        config_internal::setContextCreationFailsForTesting(true);
    if (const char* machine = std::getenv("CONFIG_PROBE_MACHINE_KEY")) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, machine, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) {
            print("result", "machine key not usable");
            return 0;
        }
        RegCloseKey(key);
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int32_t result = InstallConfigData::LoadConfigSettings(instance, GetCommandLineW());
    print("result", tstrings::toString(result));
    if (result != 0)
        return 0;
    print("silent", IsSilentInstall() ? "1" : "0");
    for (int32_t i = 0; i < kStringCount; ++i) {
        const std::string name = stringKeyName(i);
        if (IsStringValueSet(i))
            print(i == kStringMsiCmdline || i == kStringCmdline ? name : "string." + name,
                  guarded([&] { return GetStringValue(i); }));
    }
    for (int32_t i = 0; i < kSwitchCount; ++i)
        print(std::string("switch.") + switchKeyName(i),
              guarded([&] { return std::string(IsSwitchEnabled(i) ? "1" : "0"); }));
    for (int32_t i = 0; i < kIntCount; ++i)
        if (IsIntValueSet(i))
            print(std::string("int.") + intKeyName(i), guarded([&] { return tstrings::toString(GetIntValue(i)); }));
    const char* action = std::getenv("CONFIG_PROBE_ACTION");
    const std::string todo = action ? action : "";
    if (todo == "export" || todo == "export-restore")
        print("export", tstrings::toString(ExportInstallConfig(instance)));
    if (todo == "restore" || todo == "export-restore") {
        RestoreInstallConfig(instance);
        print("restore", "done");
    }
    std::fflush(stdout);
    return 0;
}
