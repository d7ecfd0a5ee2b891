#pragma once
// The settings library's only entry: a table of 32 plain functions over
// opaque handles. Every function that can fail answers a status (0 success,
// else the codes of settings_impl::status); out arguments are written only on
// success. Texts crossing the table are NUL-terminated UTF-8.

#include <cstdint>

#include "settings/settings_exception.h"

namespace settings_impl {
class Context;
class ConfigValidator;
class ValidatorBuilder;
class KeyMapperList;
}  // namespace settings_impl

// One record of an allowed-value rule (16 bytes): the text (never null), the
// integer it stands for, and flags (bit 0: match case exactly; bit 1: store
// the record's text instead of the text read).
struct FixedValue {
    const char* text;
    int32_t value;
    uint32_t flags;
};
static_assert(sizeof(FixedValue) == 16 || sizeof(void*) != 8, "FixedValue is 16 bytes on x64");

using settings_context = settings_impl::Context;
using settings_validator = settings_impl::ConfigValidator;
using settings_validator_builder = settings_impl::ValidatorBuilder;
// A key mapper and a key-mapper builder share one handle type, their common
// base, so that one destroy function serves both (slots 27 and 29) without
// the client seeing either class.
using settings_key_mapper = settings_impl::KeyMapperList;
using settings_key_mapper_builder = settings_impl::KeyMapperList;

// Called once per key, in key order; the result is ignored.
using settings_key_callback = int (*)(settings_context* context, uint32_t count, uint32_t index,
                                      const char* key, void* user);

struct settings_api {
    // 0: a new empty context, or null when memory runs out. A settings::Exception
    // 200 passes out when the system settings path cannot be formed.
    settings_context* (*context_create)();
    // 1: null is ignored.
    void (*context_destroy)(settings_context* context);
    // 2: the system settings file's path; valid while the context lives.
    int32_t (*context_get_system_config_file_path)(settings_context* context, const char** path);
    // 3, 4: parse a file or a text into the context. 313 after a non-strict
    // import that dropped faulty lines (the good ones are kept); every other
    // failure leaves the entries as they were.
    int32_t (*context_import_from_file)(settings_context* context, const char* path,
                                        const settings_validator* validator, const settings_key_mapper* mapper,
                                        int strict, int keyOnly);
    int32_t (*context_import_from_string)(settings_context* context, const char* text,
                                          const settings_validator* validator, const settings_key_mapper* mapper,
                                          int strict, int keyOnly);
    // 5: merges the source's entries in (the source wins per key).
    int32_t (*context_import_from_context)(settings_context* context, const settings_context* source);
    // 6: zero-based line indices of the last import's faulty lines; the
    // pointer is null when there are none. Valid until the next import.
    int32_t (*context_get_last_import_errors)(settings_context* context, const uint32_t** lines,
                                              uint32_t* count);
    // 7: writes every entry in key order; never changes the context.
    int32_t (*context_export_to_file)(settings_context* context, const char* path);
    // 8, 9: 1 or 0.
    int32_t (*context_is_empty)(settings_context* context, int* empty);
    int32_t (*context_is_equal)(settings_context* context, const settings_context* other, int* equal);
    // 10: visits a copy of the key list, so the callback may erase keys.
    int32_t (*context_iterate_keys)(settings_context* context, settings_key_callback callback, void* user);
    // 11: the stored text; valid until the context changes.
    int32_t (*context_get_utf8_value)(settings_context* context, const char* key, const char** value);
    // 12: 1 for a key without value.
    int32_t (*context_get_boolean_value)(settings_context* context, const char* key, int* value);
    int32_t (*context_get_integer_value)(settings_context* context, const char* key, int32_t* value);
    int32_t (*context_get_double_value)(settings_context* context, const char* key, double* value);
    // 15: 303 when the key is missing.
    int32_t (*context_erase_key)(settings_context* context, const char* key);
    // 16 to 26: validators.
    void (*validator_destroy)(settings_validator* validator);
    settings_validator_builder* (*validator_builder_create)();
    void (*validator_builder_destroy)(settings_validator_builder* builder);
    int32_t (*validator_builder_create_validator)(settings_validator_builder* builder,
                                                  settings_validator** validator);
    int32_t (*validator_builder_set_utf8_validator)(settings_validator_builder* builder, const char* key);
    int32_t (*validator_builder_set_integer_validator)(settings_validator_builder* builder, const char* key);
    int32_t (*validator_builder_set_boolean_validator)(settings_validator_builder* builder, const char* key);
    int32_t (*validator_builder_set_double_validator)(settings_validator_builder* builder, const char* key);
    int32_t (*validator_builder_allow_unknown_keys)(settings_validator_builder* builder, int allow);
    // 25: 300 when any record's text is null, before any record is added.
    int32_t (*validator_builder_set_fixed_value_validator)(settings_validator_builder* builder, const char* key,
                                                           const FixedValue* values, uint32_t count);
    int32_t (*validator_builder_set_dirname_validator)(settings_validator_builder* builder, const char* key,
                                                       int anyText);
    // 27 and 29 are one function.
    void (*key_mapper_destroy)(settings_key_mapper* mapper);
    settings_key_mapper_builder* (*key_mapper_builder_create)();
    void (*key_mapper_builder_destroy)(settings_key_mapper_builder* builder);
    int32_t (*key_mapper_builder_create_key_mapper)(settings_key_mapper_builder* builder,
                                                    settings_key_mapper** mapper);
    int32_t (*key_mapper_builder_map)(settings_key_mapper_builder* builder, const char* from, const char* to,
                                      int exact);
};
static_assert(sizeof(settings_api) == 32 * sizeof(void*), "32 slots");

// Fills a fresh table and copies it into the buffer; a null buffer is ignored.
void settings_get_api(settings_api* api);

// Zeroes the table, then stores every slot.
void settings_init_api(settings_api* api);
