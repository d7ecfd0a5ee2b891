// The import of command-line arguments into the installer configuration,
// with the real key records, validators and key mapping:
// - an argument that matches a key and imports stores exactly that key (under
//   its registered name) with the argument's value trimmed of blanks, and
//   nothing else; one that fails stores nothing under its key;
// - an argument passed on to msiexec stores only the option string;
// - the letter case of a key with a value changes nothing;
// - a list of arguments whose every argument imports alone imports too.
//
// Input: the arguments, separated by NUL bytes.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/install_config_data.h"
#include "foundation/logger_internal.h"
#include "fuzz/fuzz_support.h"

namespace {

const char kBlanks[] = " \t";

std::string trimmed(const std::string& text) {
    const size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string::npos)
        return std::string();
    const size_t end = text.find_last_not_of(kBlanks);
    return text.substr(start, end - start + 1);
}

// Every key of the context that names a record, as "name=value" (or
// "name" for a key without value), in registration order.
std::vector<std::string> storedKeys(const InstallConfigData& data, const SettingsConfig& context) {
    std::vector<std::string> keys;
    for (const ConfigKeyRecord& record : data.records()) {
        std::string value;
        bool flag = false;
        if (context.tryGetUtf8(record.name, value) == 0)
            keys.push_back(record.name + "=" + value);
        else if (context.tryGetBoolean(record.name, flag) == 0)
            keys.push_back(record.name);
    }
    return keys;
}

std::string joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys)
        text += fuzz_support::show(key) + " ";
    return text;
}

const ConfigKeyRecord* matchingRecord(const InstallConfigData& data, const std::string& argument) {
    for (const ConfigKeyRecord& record : data.records())
        if (record.Matches(argument))
            return &record;
    return nullptr;
}

struct Import {
    int32_t result;
    std::vector<std::string> keys;
};

// A fresh configuration object; the arguments go into its export context,
// which holds no defaults.
Import importArguments(const std::vector<std::string>& arguments) {
    InstallConfigData data;
    std::vector<std::string> argv = {"kessa-setup.exe"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Import import;
    {
        fuzz_support::QuietStderr quiet;
        import.result = data.ImportArgsConfigSettings(nullptr, data.exportConfig(), argv, true);
    }
    import.keys = storedKeys(data, data.exportConfig());
    return import;
}

// The argument with the letters of its key part (before the first "=" or
// ":") flipped between upper and lower case.
std::string flippedKeyCase(const std::string& argument) {
    std::string out = argument;
    const size_t separator = argument.find_first_of("=:");
    for (size_t i = 0; i < separator && i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (std::isupper(c))
            out[i] = static_cast<char>(std::tolower(c));
        else if (std::islower(c))
            out[i] = static_cast<char>(std::toupper(c));
    }
    return out;
}

// Checks one argument on its own; answers whether it imported.
bool checkOne(const InstallConfigData& table, const std::string& argument) {
    const Import one = importArguments({argument});
    const std::string where = fuzz_support::show(argument) + " gave " + std::to_string(one.result) + ", stored " +
                              joined(one.keys);
    const ConfigKeyRecord* record = matchingRecord(table, argument);
    if (!record) {
        FUZZ_CHECK(one.result == 313 && one.keys.empty(), where);
        return false;
    }
    const bool lineBreak = argument.find_first_of("\r\n") != std::string::npos;
    if (record->passVerbatim) {
        if (record->name == "/l" || lineBreak) {
            // "/l" needs the argument after it.
            FUZZ_CHECK(one.result == 313 && one.keys.empty(), where);
            return false;
        }
        FUZZ_CHECK(one.result == 0, where);
        FUZZ_CHECK(one.keys.empty() || (one.keys.size() == 1 && one.keys[0] == "MSI_CMDLINE=" + trimmed(argument)),
                   where);
        return true;
    }
    if (lineBreak) {
        FUZZ_CHECK(one.result != 0 && one.keys.empty(), where);
        return false;
    }
    if (one.result != 0) {
        for (const std::string& key : one.keys)
            FUZZ_CHECK(key != record->name && key.compare(0, record->name.size() + 1, record->name + "=") != 0,
                       where);
        return false;
    }
    const size_t separator = argument.find_first_of("=:");
    const std::string expected =
        separator == std::string::npos ? record->name : record->name + "=" + trimmed(argument.substr(separator + 1));
    FUZZ_CHECK(one.keys.size() == 1 && one.keys[0] == expected, where + "; expected " + fuzz_support::show(expected));

    if (separator != std::string::npos) {
        const Import flipped = importArguments({flippedKeyCase(argument)});
        FUZZ_CHECK(flipped.result == one.result && flipped.keys == one.keys,
                   where + "; with the key's case flipped: " + std::to_string(flipped.result) + ", " +
                       joined(flipped.keys));
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    LoggerTestAccess::setPath("");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= bytes.size() && arguments.size() < 8) {
        const size_t end = bytes.find('\0', start);
        arguments.push_back(bytes.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }

    static const std::unique_ptr<InstallConfigData> table(new InstallConfigData());
    bool allImport = true;
    bool pairsWithNext = false;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            continue;
        const ConfigKeyRecord* record = matchingRecord(*table, argument);
        pairsWithNext = pairsWithNext || (record && record->name == "/l");
        allImport = checkOne(*table, argument) && allImport;
    }
    // "/l" takes the next argument with it, so alone and in a list differ.
    // (The other direction does not hold: "/S" fails alone, since it is kept
    // as typed and "/s" is then not found, but passes after a "/s".)
    if (!pairsWithNext && allImport) {
        const Import all = importArguments(arguments);
        FUZZ_CHECK(all.result == 0, "the list gave " + std::to_string(all.result) +
                                        " while each of its arguments imports alone");
    }
    return 0;
}
