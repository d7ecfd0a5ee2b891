#pragma once
// A copy of the settings table and owners of the handles a test creates.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_api.h"

namespace settings_test {

class SettingsApiTest : public ::testing::Test {
protected:
    SettingsApiTest() { settings_get_api(&api_); }
    ~SettingsApiTest() override {
        for (settings_context* c : contexts_) api_.context_destroy(c);
        for (settings_validator* v : validators_) api_.validator_destroy(v);
        for (settings_validator_builder* b : validatorBuilders_) api_.validator_builder_destroy(b);
        for (settings_key_mapper* m : mappers_) api_.key_mapper_destroy(m);
        for (settings_key_mapper_builder* b : mapperBuilders_) api_.key_mapper_builder_destroy(b);
    }

    settings_context* newContext() {
        settings_context* c = api_.context_create();
        EXPECT_NE(nullptr, c);
        contexts_.push_back(c);
        return c;
    }
    settings_validator_builder* newValidatorBuilder() {
        settings_validator_builder* b = api_.validator_builder_create();
        EXPECT_NE(nullptr, b);
        validatorBuilders_.push_back(b);
        return b;
    }
    settings_validator* validatorOf(settings_validator_builder* builder) {
        settings_validator* v = nullptr;
        EXPECT_EQ(0, api_.validator_builder_create_validator(builder, &v));
        validators_.push_back(v);
        return v;
    }
    settings_key_mapper_builder* newMapperBuilder() {
        settings_key_mapper_builder* b = api_.key_mapper_builder_create();
        EXPECT_NE(nullptr, b);
        mapperBuilders_.push_back(b);
        return b;
    }
    settings_key_mapper* mapperOf(settings_key_mapper_builder* builder) {
        settings_key_mapper* m = nullptr;
        EXPECT_EQ(0, api_.key_mapper_builder_create_key_mapper(builder, &m));
        mappers_.push_back(m);
        return m;
    }

    int32_t importText(settings_context* c, const std::string& text, const settings_validator* v = nullptr,
                       const settings_key_mapper* m = nullptr, int strict = 0, int keyOnly = 0) {
        return api_.context_import_from_string(c, text.c_str(), v, m, strict, keyOnly);
    }

    // Entries as "key=value" or "key|" (no value), in key order.
    std::vector<std::string> entries(settings_context* c) {
        struct Visit {
            SettingsApiTest* self;
            std::vector<std::string> keys;
        } visit{this, {}};
        EXPECT_EQ(0, api_.context_iterate_keys(
                         c,
                         [](settings_context*, uint32_t, uint32_t, const char* key, void* user) {
                             static_cast<Visit*>(user)->keys.emplace_back(key);
                             return 0;
                         },
                         &visit));
        std::vector<std::string> out;
        for (const std::string& key : visit.keys) {
            const char* value = nullptr;
            const int32_t status = api_.context_get_utf8_value(c, key.c_str(), &value);
            out.push_back(status == 0 ? key + "=" + value : key + "|");
        }
        return out;
    }

    std::vector<uint32_t> lastErrors(settings_context* c) {
        const uint32_t* lines = reinterpret_cast<const uint32_t*>(1);
        uint32_t count = 99;
        EXPECT_EQ(0, api_.context_get_last_import_errors(c, &lines, &count));
        if (count == 0) {
            EXPECT_EQ(nullptr, lines);
            return {};
        }
        return std::vector<uint32_t>(lines, lines + count);
    }

    settings_api api_;

private:
    std::vector<settings_context*> contexts_;
    std::vector<settings_validator*> validators_;
    std::vector<settings_validator_builder*> validatorBuilders_;
    std::vector<settings_key_mapper*> mappers_;
    std::vector<settings_key_mapper_builder*> mapperBuilders_;
};

}  // namespace settings_test
