#pragma once
// Client-side owners of settings-library handles. Each keeps its own copy of
// the library's function table; every status other than 0 that a throwing
// operation meets is raised as settings::Exception carrying that status.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_api.h"

// Owns one validator handle (destroyed with validator_destroy).
class SettingsValidator {
public:
    SettingsValidator();
    ~SettingsValidator();
    SettingsValidator(const SettingsValidator&) = delete;
    SettingsValidator& operator=(const SettingsValidator&) = delete;

    // Takes ownership of the handle, destroying the one held before.
    void reset(settings_validator* handle);
    const settings_validator* handle() const { return handle_; }
    const settings_api& api() const { return api_; }

private:
    settings_api api_;
    settings_validator* handle_ = nullptr;
};

// Owns one key-mapper handle (destroyed with key_mapper_destroy).
class SettingsKeyMapper {
public:
    SettingsKeyMapper();
    ~SettingsKeyMapper();
    SettingsKeyMapper(const SettingsKeyMapper&) = delete;
    SettingsKeyMapper& operator=(const SettingsKeyMapper&) = delete;

    void reset(settings_key_mapper* handle);
    const settings_key_mapper* handle() const { return handle_; }

private:
    settings_api api_;
    settings_key_mapper* handle_ = nullptr;
};

// Owns one settings context. Imports use the bound validator and key mapper
// (none until bind) and the strict and keyOnly flags.
class SettingsConfig {
public:
    // Throws settings::Exception 200 when the context cannot be created (no
    // common application-data folder, or no memory).
    SettingsConfig();
    ~SettingsConfig();
    SettingsConfig(const SettingsConfig&) = delete;
    SettingsConfig& operator=(const SettingsConfig&) = delete;

    void bind(const SettingsValidator* validator, const SettingsKeyMapper* mapper);
    void setKeyOnly(bool keyOnly) { keyOnly_ = keyOnly; }
    void setStrict(bool strict) { strict_ = strict; }
    bool keyOnly() const { return keyOnly_; }
    bool strict() const { return strict_; }

    // Statuses of the library (0 success); the context is left as the
    // library leaves it (a non-strict import keeps its good lines).
    int32_t importFromFile(const std::string& utf8Path);
    int32_t importFromString(const std::string& utf8Text);
    int32_t exportToFile(const std::string& utf8Path) const;
    int32_t eraseKey(const std::string& key);
    // Reads; out untouched unless the status is 0.
    int32_t tryGetUtf8(const std::string& key, std::string& out) const;
    int32_t tryGetBoolean(const std::string& key, bool& out) const;
    int32_t tryGetInteger(const std::string& key, int32_t& out) const;

    // Throwing forms.
    std::string getUtf8(const std::string& key) const;
    int32_t getInteger(const std::string& key) const;
    // The runtime settings file's UTF-8 path.
    std::string systemConfigFilePath() const;
    bool isEmpty() const;
    bool isEqual(const SettingsConfig& other) const;
    // Zero-based line indices of the last import's faulty lines.
    std::vector<uint32_t> lastImportErrors() const;

    // True when the key reads as UTF-8 text or else as a boolean (a key
    // without value reads as true); never throws for a library status.
    bool isSet(const std::string& key) const;

private:
    settings_api api_;
    settings_context* context_ = nullptr;
    bool keyOnly_ = false;
    bool strict_ = true;
    const SettingsValidator* validator_ = nullptr;
    const SettingsKeyMapper* mapper_ = nullptr;
};

// Raises settings::Exception(status) unless status is 0.
void checkSettingsStatus(int32_t status);
