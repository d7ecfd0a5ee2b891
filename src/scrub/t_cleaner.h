#pragma once
// Removal of one installed runtime version through the Windows Installer:
// product codes computed from the version alone, silent msiexec runs, and
// clean-up of the product's Add/Remove Programs entry.

#include <cstdint>
#include <string>

namespace tscrub {

class TCleaner {
public:
    // The product code, with braces, of the runtime package of `version` for
    // `bits` (32 or 64); the scan form is the code the update scan looks for.
    // Throws TdsError<std::runtime_error> "Tolva version less than <oldest> is
    // not supported" below the oldest supported version, the version parser's
    // errors for a malformed text, and "Unsupported bitness <n>" for bits
    // other than 32 and 64.
    static std::string getProductGUID(const std::string& version, int bits, bool scanForm);

    // Uninstalls the version when its runtime key exists in the view of
    // `bits`; true when it was removed. exitCode gets the last msiexec exit
    // code and is left untouched when nothing ran. Throws as getProductGUID.
    static bool uninstallVersion(const std::string& version, int bits, uint32_t& exitCode);

    // Tries the scan-form codes of the version's own update down to 0 (at
    // most from 999: higher updates have no code of GUID length) and stops at
    // the first that uninstalls; true then. Throws as getProductGUID.
    static bool uninstallByUpdateScan(const std::string& version, int bits, uint32_t& exitCode);

    // Runs "<msiexec> REBOOT=Suppress /x <code> /qn" and then deletes the
    // product's Uninstall key in the registry view of `bits`, whatever the
    // exit code. True for exit codes 0 and 3010. A command line over 1,023
    // characters is not run: exitCode is then 1639 (invalid command line).
    static bool uninstallProduct(const std::string& productCode, int bits, uint32_t& exitCode);

    // Starts the command line, waits for it without limit and stores its exit
    // code. When the process cannot be started, notes it in the removal log
    // and on the standard error stream and ends this process with exit code -1.
    static void runMsiexec(const std::string& commandLine, uint32_t& exitCode);

    // True when HKLM "Software\TolvaSoft\Tolva Runtime Environment\<version>"
    // exists in the 64-bit view (is64) or the 32-bit view.
    static bool isVersionRegistered(const std::string& version, bool is64);
};

}  // namespace tscrub
