#include "settings/settings_api.h"

#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "settings/config_validator.h"
#include "settings/context.h"
#include "settings/key_mapper.h"

using settings_impl::Context;
using settings_impl::KeyMapperList;
namespace status = settings_impl::status;

namespace {

// The boundary conversions: only the code leaves; nothing is recorded.
int32_t status_from_settings_exception(const char*, const char*, int, const settings::Exception& e) {
    return e.code();
}
int32_t status_from_null_argument(const char*, const char*, int) { return status::kNullArgument; }
int32_t status_from_other_exception(const char*, const char*, int) { return status::kInternal; }

#define SETTINGS_REQUIRE(arg, function) \
    if (!(arg)) return status_from_null_argument(__FILE__, function, __LINE__)

// Runs the operation; every exception becomes its status.
template <class Operation>
int32_t guarded(const char* function, Operation&& operation) {
    try {
        operation();
        return status::kSuccess;
    } catch (const settings::Exception& e) {
        return status_from_settings_exception(__FILE__, function, __LINE__, e);
    } catch (const std::exception&) {
        return status_from_other_exception(__FILE__, function, __LINE__);
    } catch (...) {
        return status_from_other_exception(__FILE__, function, __LINE__);
    }
}

const settings_impl::KeyMapper* asMapper(const settings_key_mapper* handle) {
    return static_cast<const settings_impl::KeyMapper*>(handle);
}

settings_impl::KeyMapperBuilder* asMapperBuilder(settings_key_mapper_builder* handle) {
    return static_cast<settings_impl::KeyMapperBuilder*>(handle);
}

Context* context_create() { return new (std::nothrow) Context(); }

void context_destroy(Context* context) { delete context; }

int32_t context_get_system_config_file_path(Context* context, const char** path) {
    SETTINGS_REQUIRE(context, "context_get_system_config_file_path");
    SETTINGS_REQUIRE(path, "context_get_system_config_file_path");
    return guarded("context_get_system_config_file_path",
                   [&] { *path = context->systemConfigFilePath().c_str(); });
}

int32_t context_import_from_file(Context* context, const char* path, const settings_validator* validator,
                                 const settings_key_mapper* mapper, int strict, int keyOnly) {
    SETTINGS_REQUIRE(context, "context_import_from_file");
    SETTINGS_REQUIRE(path, "context_import_from_file");
    return guarded("context_import_from_file",
                   [&] { context->importFromFile(path, validator, asMapper(mapper), strict != 0, keyOnly != 0); });
}

int32_t context_import_from_string(Context* context, const char* text, const settings_validator* validator,
                                   const settings_key_mapper* mapper, int strict, int keyOnly) {
    SETTINGS_REQUIRE(context, "context_import_from_string");
    SETTINGS_REQUIRE(text, "context_import_from_string");
    return guarded("context_import_from_string",
                   [&] { context->importFromString(text, validator, asMapper(mapper), strict != 0, keyOnly != 0); });
}

int32_t context_import_from_context(Context* context, const Context* source) {
    SETTINGS_REQUIRE(context, "context_import_from_context");
    SETTINGS_REQUIRE(source, "context_import_from_context");
    return guarded("context_import_from_context", [&] { context->importFromContext(*source); });
}

int32_t context_get_last_import_errors(Context* context, const uint32_t** lines, uint32_t* count) {
    SETTINGS_REQUIRE(context, "context_get_last_import_errors");
    SETTINGS_REQUIRE(lines, "context_get_last_import_errors");
    SETTINGS_REQUIRE(count, "context_get_last_import_errors");
    return guarded("context_get_last_import_errors", [&] {
        const std::vector<uint32_t>& errors = context->lastImportErrors();
        *lines = errors.empty() ? nullptr : errors.data();
        *count = static_cast<uint32_t>(errors.size());
    });
}

int32_t context_export_to_file(Context* context, const char* path) {
    SETTINGS_REQUIRE(context, "context_export_to_file");
    SETTINGS_REQUIRE(path, "context_export_to_file");
    return guarded("context_export_to_file", [&] { context->exportToFile(path); });
}

int32_t context_is_empty(Context* context, int* empty) {
    SETTINGS_REQUIRE(context, "context_is_empty");
    SETTINGS_REQUIRE(empty, "context_is_empty");
    return guarded("context_is_empty", [&] {
        const int result = context->isEmpty() ? 1 : 0;
        *empty = result;
    });
}

int32_t context_is_equal(Context* context, const Context* other, int* equal) {
    SETTINGS_REQUIRE(context, "context_is_equal");
    SETTINGS_REQUIRE(other, "context_is_equal");
    SETTINGS_REQUIRE(equal, "context_is_equal");
    return guarded("context_is_equal", [&] {
        const int result = context->isEqual(*other) ? 1 : 0;
        *equal = result;
    });
}

int32_t context_iterate_keys(Context* context, settings_key_callback callback, void* user) {
    SETTINGS_REQUIRE(context, "context_iterate_keys");
    SETTINGS_REQUIRE(callback, "context_iterate_keys");
    return guarded("context_iterate_keys", [&] {
        // Deep copies: the callback may erase keys, which replaces the
        // configuration that the key pointers point into.
        std::vector<std::string> keys;
        for (const char* key : context->config().getKeys()) keys.emplace_back(key);
        const uint32_t count = static_cast<uint32_t>(keys.size());
        for (uint32_t i = 0; i < count; ++i) callback(context, count, i, keys[i].c_str(), user);
    });
}

int32_t context_get_utf8_value(Context* context, const char* key, const char** value) {
    SETTINGS_REQUIRE(context, "context_get_utf8_value");
    SETTINGS_REQUIRE(key, "context_get_utf8_value");
    SETTINGS_REQUIRE(value, "context_get_utf8_value");
    return guarded("context_get_utf8_value", [&] {
        const char* text = context->config().getText(key);
        *value = text;
    });
}

int32_t context_get_boolean_value(Context* context, const char* key, int* value) {
    SETTINGS_REQUIRE(context, "context_get_boolean_value");
    SETTINGS_REQUIRE(key, "context_get_boolean_value");
    SETTINGS_REQUIRE(value, "context_get_boolean_value");
    return guarded("context_get_boolean_value", [&] {
        const settings_impl::IConfig& config = context->config();
        const int result = !config.hasValue(key) || config.getBoolean(key) ? 1 : 0;
        *value = result;
    });
}

int32_t context_get_integer_value(Context* context, const char* key, int32_t* value) {
    SETTINGS_REQUIRE(context, "context_get_integer_value");
    SETTINGS_REQUIRE(key, "context_get_integer_value");
    SETTINGS_REQUIRE(value, "context_get_integer_value");
    return guarded("context_get_integer_value", [&] {
        const int32_t result = context->config().getInteger(key);
        *value = result;
    });
}

int32_t context_get_double_value(Context* context, const char* key, double* value) {
    SETTINGS_REQUIRE(context, "context_get_double_value");
    SETTINGS_REQUIRE(key, "context_get_double_value");
    SETTINGS_REQUIRE(value, "context_get_double_value");
    return guarded("context_get_double_value", [&] {
        const double result = context->config().getDouble(key);
        *value = result;
    });
}

int32_t context_erase_key(Context* context, const char* key) {
    SETTINGS_REQUIRE(context, "context_erase_key");
    SETTINGS_REQUIRE(key, "context_erase_key");
    return guarded("context_erase_key", [&] { context->eraseKey(key); });
}

void validator_destroy(settings_validator* validator) { delete validator; }

settings_validator_builder* validator_builder_create() {
    return new (std::nothrow) settings_impl::ValidatorBuilder();
}

void validator_builder_destroy(settings_validator_builder* builder) { delete builder; }

int32_t validator_builder_create_validator(settings_validator_builder* builder, settings_validator** validator) {
    SETTINGS_REQUIRE(builder, "validator_builder_create_validator");
    SETTINGS_REQUIRE(validator, "validator_builder_create_validator");
    return guarded("validator_builder_create_validator",
                   [&] { *validator = builder->createValidator().release(); });
}

int32_t setTypeRule(const char* function, settings_validator_builder* builder, const char* key, uint32_t type) {
    SETTINGS_REQUIRE(builder, function);
    SETTINGS_REQUIRE(key, function);
    return guarded(function, [&] { builder->setTypeRule(key, type); });
}

int32_t validator_builder_set_utf8_validator(settings_validator_builder* builder, const char* key) {
    return setTypeRule("validator_builder_set_utf8_validator", builder, key, settings_impl::kUtf8Text);
}

int32_t validator_builder_set_integer_validator(settings_validator_builder* builder, const char* key) {
    return setTypeRule("validator_builder_set_integer_validator", builder, key, settings_impl::kInteger);
}

int32_t validator_builder_set_boolean_validator(settings_validator_builder* builder, const char* key) {
    return setTypeRule("validator_builder_set_boolean_validator", builder, key, settings_impl::kBoolean);
}

int32_t validator_builder_set_double_validator(settings_validator_builder* builder, const char* key) {
    return setTypeRule("validator_builder_set_double_validator", builder, key, settings_impl::kDouble);
}

int32_t validator_builder_allow_unknown_keys(settings_validator_builder* builder, int allow) {
    SETTINGS_REQUIRE(builder, "validator_builder_allow_unknown_keys");
    return guarded("validator_builder_allow_unknown_keys", [&] { builder->allowUnknownKeys(allow != 0); });
}

int32_t validator_builder_set_fixed_value_validator(settings_validator_builder* builder, const char* key,
                                                    const FixedValue* values, uint32_t count) {
    SETTINGS_REQUIRE(builder, "validator_builder_set_fixed_value_validator");
    SETTINGS_REQUIRE(key, "validator_builder_set_fixed_value_validator");
    SETTINGS_REQUIRE(values, "validator_builder_set_fixed_value_validator");
    // Every record's text is tested before the first is added, so a bad
    // array leaves the rules as they were.
    for (uint32_t i = 0; i < count; ++i) {
        SETTINGS_REQUIRE(values[i].text, "validator_builder_set_fixed_value_validator");
    }
    return guarded("validator_builder_set_fixed_value_validator", [&] {
        for (uint32_t i = 0; i < count; ++i) {
            builder->addFixedValue(key, {values[i].text, values[i].value, values[i].flags});
        }
    });
}

int32_t validator_builder_set_dirname_validator(settings_validator_builder* builder, const char* key,
                                                int anyText) {
    SETTINGS_REQUIRE(builder, "validator_builder_set_dirname_validator");
    SETTINGS_REQUIRE(key, "validator_builder_set_dirname_validator");
    return guarded("validator_builder_set_dirname_validator",
                   [&] { builder->setDirnameRule(key, anyText != 0); });
}

// Slots 27 and 29: a key mapper and its builder are both owned lists.
void key_mapper_list_destroy(KeyMapperList* list) { delete list; }

settings_key_mapper_builder* key_mapper_builder_create() {
    return new (std::nothrow) settings_impl::KeyMapperBuilder();
}

int32_t key_mapper_builder_create_key_mapper(settings_key_mapper_builder* builder, settings_key_mapper** mapper) {
    SETTINGS_REQUIRE(builder, "key_mapper_builder_create_key_mapper");
    SETTINGS_REQUIRE(mapper, "key_mapper_builder_create_key_mapper");
    return guarded("key_mapper_builder_create_key_mapper",
                   [&] { *mapper = asMapperBuilder(builder)->createKeyMapper().release(); });
}

int32_t key_mapper_builder_map(settings_key_mapper_builder* builder, const char* from, const char* to, int exact) {
    SETTINGS_REQUIRE(builder, "key_mapper_builder_map");
    SETTINGS_REQUIRE(from, "key_mapper_builder_map");
    SETTINGS_REQUIRE(to, "key_mapper_builder_map");
    return guarded("key_mapper_builder_map", [&] { asMapperBuilder(builder)->map(from, to, exact != 0); });
}

}  // namespace

void settings_init_api(settings_api* api) {
    std::memset(api, 0, sizeof(*api));
    api->context_create = context_create;
    api->context_destroy = context_destroy;
    api->context_get_system_config_file_path = context_get_system_config_file_path;
    api->context_import_from_file = context_import_from_file;
    api->context_import_from_string = context_import_from_string;
    api->context_import_from_context = context_import_from_context;
    api->context_get_last_import_errors = context_get_last_import_errors;
    api->context_export_to_file = context_export_to_file;
    api->context_is_empty = context_is_empty;
    api->context_is_equal = context_is_equal;
    api->context_iterate_keys = context_iterate_keys;
    api->context_get_utf8_value = context_get_utf8_value;
    api->context_get_boolean_value = context_get_boolean_value;
    api->context_get_integer_value = context_get_integer_value;
    api->context_get_double_value = context_get_double_value;
    api->context_erase_key = context_erase_key;
    api->validator_destroy = validator_destroy;
    api->validator_builder_create = validator_builder_create;
    api->validator_builder_destroy = validator_builder_destroy;
    api->validator_builder_create_validator = validator_builder_create_validator;
    api->validator_builder_set_utf8_validator = validator_builder_set_utf8_validator;
    api->validator_builder_set_integer_validator = validator_builder_set_integer_validator;
    api->validator_builder_set_boolean_validator = validator_builder_set_boolean_validator;
    api->validator_builder_set_double_validator = validator_builder_set_double_validator;
    api->validator_builder_allow_unknown_keys = validator_builder_allow_unknown_keys;
    api->validator_builder_set_fixed_value_validator = validator_builder_set_fixed_value_validator;
    api->validator_builder_set_dirname_validator = validator_builder_set_dirname_validator;
    api->key_mapper_destroy = key_mapper_list_destroy;
    api->key_mapper_builder_create = key_mapper_builder_create;
    api->key_mapper_builder_destroy = key_mapper_list_destroy;
    api->key_mapper_builder_create_key_mapper = key_mapper_builder_create_key_mapper;
    api->key_mapper_builder_map = key_mapper_builder_map;
}

void settings_get_api(settings_api* api) {
    if (!api) return;
    settings_api fresh;
    settings_init_api(&fresh);
    std::memcpy(api, &fresh, sizeof(fresh));
}
