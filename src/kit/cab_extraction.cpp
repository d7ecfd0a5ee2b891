#include "kit/cab_extraction.h"

#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "foundation/registry_view.h"
#include "foundation/shell_utils.h"
#include "foundation/version_split.h"
#include "launcher/msi_package.h"
#include "launcher/product_identity.h"

const char kCabExtractEventName[] = "BraskVindelCabExtractWaitEvent";

const KitCabinet kKitCabinets[4] = {
    {"ss", "TOLVA_CAB9", 110},
    {"st", "TOLVA_CAB10", 111},
    {"sj", "TOLVA_CAB7", 108},
    {"sz", "TOLVA_CAB11", 112},
};

std::string GetCabinetFileName(const char* prefix, const char* version) {
    char major[64], minor[64], micro[64], update[64];
    SplitVersionString(version, major, minor, micro, update, sizeof major);
    return std::string(prefix) + major + minor + micro + update + "0.cab";
}

std::string GetKitPackageFolder(bool is64Bit) {
    char base[MAX_PATH] = {};
    if (!GetAppDataLowDir(base))
        return std::string();
    std::string folder = std::string(base) + "\\Brask\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "Tolva\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += std::string("vindel") + GetCurrentRuntimeVersion() + (is64Bit ? "_x64" : "");
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

int ExtractCabinets(HMODULE module) {
    const std::string folder = GetKitPackageFolder(!IsRunning32Bit());
    int written = 0;
    if (folder.empty()) {
        TDS_LOG_ERROR("ExtractCabsThreadProc", "The package folder for the cabinets is not known");
    } else {
        for (const KitCabinet& cab : kKitCabinets) {
            const std::string path = folder + "\\" + GetCabinetFileName(cab.prefix, GetCurrentRuntimeVersion());
            // Not the fatal writer of the package: ending the process here
            // would release the lock while msiexec is still installing.
            const int result = TryExtractResourceToFile(module, cab.id, cab.type, path.c_str());
            if (result == 1)
                ++written;
            else if (result == 0)
                TDS_LOG_INFO("ExtractCabsThreadProc", "Cabinet resource %s %d not found", cab.type, cab.id);
        }
    }
    // Set also after a failure: the package waits for it and then finds out
    // for itself which cabinet it lacks.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, kCabExtractEventName);
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    } else {
        TDS_LOG_ERROR("ExtractCabsThreadProc", "CreateEvent(%s) failed: %d", kCabExtractEventName,
                      static_cast<int>(GetLastError()));
    }
    return written;
}

DWORD WINAPI ExtractCabsThreadProc(LPVOID module) {
    try {
        ExtractCabinets(static_cast<HMODULE>(module));
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("ExtractCabsThreadProc", "%s", e.what());
    } catch (...) {
        TDS_LOG_ERROR("ExtractCabsThreadProc", "unknown exception");
    }
    return 1;
}
