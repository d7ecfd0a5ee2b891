// Whole configurations and the validators asked directly.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "settings/config.h"
#include "settings/config_validator.h"
#include "settings/settings_exception.h"
#include "status_code.h"

using namespace settings_impl;

namespace {

using settings_test::codeOf;

std::unique_ptr<Config> configOf(std::initializer_list<std::pair<const char*, const char*>> entries) {
    auto config = std::make_unique<Config>();
    for (const auto& e : entries) {
        config->set(e.first, e.second ? std::make_unique<ConfigValue>(e.second, kUntypedText) : nullptr);
    }
    return config;
}

TEST(ConfigTest, Reads_MissingKeyAndKeyWithoutValue) {
    auto config = configOf({{"K", nullptr}});
    EXPECT_FALSE(config->hasValue("K"));
    EXPECT_EQ(301, codeOf([&] { config->getType("K"); }));
    EXPECT_EQ(301, codeOf([&] { config->getText("K"); }));
    EXPECT_EQ(301, codeOf([&] { config->getRawText("K"); }));
    EXPECT_EQ(301, codeOf([&] { config->getBoolean("K"); }));
    EXPECT_EQ(303, codeOf([&] { config->hasValue("k"); }));
    EXPECT_EQ(303, codeOf([&] { config->getInteger("missing"); }));
}

TEST(ConfigTest, Merge_NewerWinsAndCopiesTypes) {
    auto older = configOf({{"A", "1"}, {"B", "2"}});
    auto newer = std::make_unique<Config>();
    newer->set("B", std::make_unique<ConfigValue>("3", kInteger));
    std::unique_ptr<IConfig> merged = mergeConfigs(*older, *newer);
    EXPECT_STREQ("1", merged->getText("A"));
    EXPECT_EQ(3, merged->getInteger("B"));
    EXPECT_EQ(static_cast<uint32_t>(kInteger), merged->getType("B"));
    EXPECT_TRUE(configsEqual(*merged, *mergeConfigs(*configOf({{"A", "1"}}), *newer)));
}

TEST(ConfigTest, RemoveKeys_MustExist) {
    auto config = configOf({{"A", "1"}, {"B", nullptr}});
    EXPECT_EQ(303, codeOf([&] { removeKeys(*config, {"B", "C"}, true); }));
    std::unique_ptr<IConfig> rest = removeKeys(*config, {"B", "C"}, false);
    ASSERT_EQ(1u, rest->getKeys().size());
    EXPECT_STREQ("A", rest->getKeys()[0]);
}

TEST(ConfigTest, Equal_DoublesAndNaN) {
    Config a, b;
    a.set("D", std::make_unique<ConfigValue>(ConfigValue::ofDouble(0.1)));
    const std::string other = "1e-1";
    b.set("D", std::make_unique<ConfigValue>(ConfigValue::ofDouble(0.1, &other)));
    EXPECT_TRUE(configsEqual(a, b));  // the numbers count, not their texts
    Config n1, n2;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    n1.set("D", std::make_unique<ConfigValue>(ConfigValue::ofDouble(nan)));
    n2.set("D", std::make_unique<ConfigValue>(ConfigValue::ofDouble(nan)));
    EXPECT_FALSE(configsEqual(n1, n2));
    EXPECT_TRUE(configsEqual(n1, n1));  // the same object
}

TEST(ConfigTest, Equal_BooleansCompareReadings) {
    Config a, b;
    a.set("B", std::make_unique<ConfigValue>("yes", kBoolean));
    b.set("B", std::make_unique<ConfigValue>("1", kBoolean));
    EXPECT_TRUE(configsEqual(a, b));
    Config c;
    c.set("B", std::make_unique<ConfigValue>("yes", kUntypedText));
    EXPECT_FALSE(configsEqual(a, c));
}

TEST(ValidatorTest, Validate_NoValueAskedDirectly) {
    EXPECT_EQ(nullptr, TypeValidator(kBoolean).validate(nullptr));
    EXPECT_THROW(TypeValidator(kInteger).validate(nullptr), ConfigValidator::InavlidValueError);
    EXPECT_THROW(TypeValidator(kUtf8Text).validate(nullptr), ConfigValidator::InavlidValueError);
    EXPECT_THROW(TypeValidator(kDouble).validate(nullptr), ConfigValidator::InavlidValueError);
    EXPECT_THROW(DirnameValidator(true).validate(nullptr), ConfigValidator::InavlidValueError);
    EXPECT_THROW(FixedValueValidator({{"a", 1, 0}}).validate(nullptr), ConfigValidator::InavlidValueError);
}

TEST(ValidatorTest, Validate_ConversionFailurePassesOn) {
    const std::string text = "x";
    EXPECT_EQ(302, codeOf([&] { TypeValidator(kInteger).validate(&text); }));
    const std::string bad = "\xFF";
    EXPECT_EQ(302, codeOf([&] { TypeValidator(kUtf8Text).validate(&bad); }));
    EXPECT_EQ(311, codeOf([] {
        const std::string empty;
        DirnameValidator(false).validate(&empty);
    }));
}

TEST(ConfigBuilderTest, OnKeyValue_Outcomes) {
    ValidatorBuilder rules;
    rules.setTypeRule("N", kInteger);
    std::unique_ptr<ConfigValidator> validator = rules.createValidator();
    ConfigBuilder builder([](const IParserCursor&) { return std::string(); }, validator.get(), nullptr, nullptr);
    struct : IParserCursor {
        uint32_t line() const override { return 0; }
        uint32_t column() const override { return 0; }
        std::string toString() const override { return ""; }
    } cursor;
    const std::string good = "1", bad = "x";
    EXPECT_EQ(ParserCode::kAccepted, builder.onKeyValue(cursor, "N", &good));
    EXPECT_EQ(ParserCode::kInvalidValue, builder.onKeyValue(cursor, "N", &bad));
    EXPECT_EQ(ParserCode::kInvalidKey, builder.onKeyValue(cursor, "other", &good));
    EXPECT_EQ(ParserCode::kAccepted, builder.onKeyValue(cursor, "other", nullptr));
    std::unique_ptr<IConfig> config = builder.takeConfig();
    EXPECT_EQ(1, config->getInteger("N"));
    EXPECT_FALSE(config->hasValue("other"));
    EXPECT_STREQ("Unknown error", parserCodeText(static_cast<ParserCode>(399)));
}

}  // namespace
