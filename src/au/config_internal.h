#pragma once
// The state behind au::Config, shared with au::RegData.

#include <cstdint>

class RegistryKey;

namespace au {

struct ConfigImpl {
    explicit ConfigImpl(int32_t level) : level(level) {}
    ~ConfigImpl();
    ConfigImpl(const ConfigImpl&) = delete;
    ConfigImpl& operator=(const ConfigImpl&) = delete;

    int32_t level;
    // Per location: the key for writing, then the key for reading; null until
    // first used.
    RegistryKey* keys[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
};

}  // namespace au
