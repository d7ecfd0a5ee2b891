#include "config/config_key_record.h"

#include <cctype>

namespace {

const char* const kBareSwitches[] = {"/s", "/h", "-download", "-no_override", "/q", "/l"};

std::string lowered(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool ConfigKeyRecord::IsBareSwitch() const {
    for (const char* bare : kBareSwitches)
        if (name == bare)
            return true;
    return false;
}

bool ConfigKeyRecord::Matches(const std::string& argument) const {
    const std::string::size_type separator = argument.find_first_of("=:");
    const bool hasSeparator = separator != std::string::npos;
    const std::string key = lowered(hasSeparator ? argument.substr(0, separator) : argument);
    if (hasSeparator == IsBareSwitch())
        return false;
    const std::string own = lowered(name);
    if (!prefixMatch)
        return key == own;
    return key.size() >= own.size() && key.compare(0, own.size(), own) == 0;
}
