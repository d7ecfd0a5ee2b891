#pragma once
// One key of the installer configuration with the flags that say where it
// goes: the runtime settings file, the msiexec property list, the msiexec
// option string, or a file check.

#include <cstdint>
#include <string>

struct ConfigKeyRecord {
    ConfigKeyRecord(std::string name, uint8_t persist, uint8_t forwardAsMsiProperty, uint8_t passVerbatim)
        : name(std::move(name)), persist(persist), forwardAsMsiProperty(forwardAsMsiProperty),
          passVerbatim(passVerbatim) {}

    // True when the name is exactly one of "/s", "/h", "-download",
    // "-no_override", "/q", "/l".
    bool IsBareSwitch() const;
    // True when the command-line argument names this key: the part before
    // the first "=" or ":" compared without regard to case, whole or (with
    // prefixMatch) as a prefix. An argument with a separator never matches a
    // bare switch; one without matches only bare switches.
    bool Matches(const std::string& argument) const;

    std::string name;
    uint8_t persist;
    uint8_t forwardAsMsiProperty;
    uint8_t passVerbatim;
    uint8_t prefixMatch = 0;
    uint8_t mustBeReadable = 0;
    uint8_t mustBePlainText = 0;
};
