#include "config/settings_config.h"

#include <cstring>

#include "config/config_internal.h"

namespace {

bool& creationFails() {
    static bool fails = false;
    return fails;
}

settings_api fetchApi() {
    settings_api api;
    std::memset(&api, 0, sizeof api);
    settings_get_api(&api);
    return api;
}

}  // namespace

namespace config_internal {

void setContextCreationFailsForTesting(bool fails) { creationFails() = fails; }

}  // namespace config_internal

void checkSettingsStatus(int32_t status) {
    if (status != 0)
        throw settings::Exception(status);
}

SettingsValidator::SettingsValidator() : api_(fetchApi()) {}

SettingsValidator::~SettingsValidator() { reset(nullptr); }

void SettingsValidator::reset(settings_validator* handle) {
    if (handle_ && handle_ != handle)
        api_.validator_destroy(handle_);
    handle_ = handle;
}

SettingsKeyMapper::SettingsKeyMapper() : api_(fetchApi()) {}

SettingsKeyMapper::~SettingsKeyMapper() { reset(nullptr); }

void SettingsKeyMapper::reset(settings_key_mapper* handle) {
    if (handle_ && handle_ != handle)
        api_.key_mapper_destroy(handle_);
    handle_ = handle;
}

SettingsConfig::SettingsConfig() : api_(fetchApi()) {
    // context_create lets settings::Exception 200 through when the system
    // path cannot be formed; a null context means memory ran out.
    if (creationFails())
        throw settings::Exception(200);
    context_ = api_.context_create();
    if (!context_)
        throw settings::Exception(200);
}

SettingsConfig::~SettingsConfig() { api_.context_destroy(context_); }

void SettingsConfig::bind(const SettingsValidator* validator, const SettingsKeyMapper* mapper) {
    validator_ = validator;
    mapper_ = mapper;
}

int32_t SettingsConfig::importFromFile(const std::string& utf8Path) {
    return api_.context_import_from_file(context_, utf8Path.c_str(), validator_ ? validator_->handle() : nullptr,
                                         mapper_ ? mapper_->handle() : nullptr, strict_ ? 1 : 0,
                                         keyOnly_ ? 1 : 0);
}

int32_t SettingsConfig::importFromString(const std::string& utf8Text) {
    return api_.context_import_from_string(context_, utf8Text.c_str(),
                                           validator_ ? validator_->handle() : nullptr,
                                           mapper_ ? mapper_->handle() : nullptr, strict_ ? 1 : 0,
                                           keyOnly_ ? 1 : 0);
}

int32_t SettingsConfig::exportToFile(const std::string& utf8Path) const {
    return api_.context_export_to_file(context_, utf8Path.c_str());
}

int32_t SettingsConfig::eraseKey(const std::string& key) { return api_.context_erase_key(context_, key.c_str()); }

int32_t SettingsConfig::tryGetUtf8(const std::string& key, std::string& out) const {
    const char* value = nullptr;
    const int32_t status = api_.context_get_utf8_value(context_, key.c_str(), &value);
    if (status == 0)
        out = value ? value : "";
    return status;
}

int32_t SettingsConfig::tryGetBoolean(const std::string& key, bool& out) const {
    int value = 0;
    const int32_t status = api_.context_get_boolean_value(context_, key.c_str(), &value);
    if (status == 0)
        out = value != 0;
    return status;
}

int32_t SettingsConfig::tryGetInteger(const std::string& key, int32_t& out) const {
    int32_t value = 0;
    const int32_t status = api_.context_get_integer_value(context_, key.c_str(), &value);
    if (status == 0)
        out = value;
    return status;
}

std::string SettingsConfig::getUtf8(const std::string& key) const {
    std::string value;
    checkSettingsStatus(tryGetUtf8(key, value));
    return value;
}

int32_t SettingsConfig::getInteger(const std::string& key) const {
    int32_t value = 0;
    checkSettingsStatus(tryGetInteger(key, value));
    return value;
}

std::string SettingsConfig::systemConfigFilePath() const {
    const char* path = nullptr;
    checkSettingsStatus(api_.context_get_system_config_file_path(context_, &path));
    return path ? path : "";
}

bool SettingsConfig::isEmpty() const {
    int empty = 0;
    checkSettingsStatus(api_.context_is_empty(context_, &empty));
    return empty != 0;
}

bool SettingsConfig::isEqual(const SettingsConfig& other) const {
    int equal = 0;
    checkSettingsStatus(api_.context_is_equal(context_, other.context_, &equal));
    return equal != 0;
}

std::vector<uint32_t> SettingsConfig::lastImportErrors() const {
    const uint32_t* lines = nullptr;
    uint32_t count = 0;
    checkSettingsStatus(api_.context_get_last_import_errors(context_, &lines, &count));
    if (!lines)
        return std::vector<uint32_t>();
    return std::vector<uint32_t>(lines, lines + count);
}

bool SettingsConfig::isSet(const std::string& key) const {
    std::string text;
    if (tryGetUtf8(key, text) == 0)
        return true;
    bool flag = false;
    return tryGetBoolean(key, flag) == 0;
}
