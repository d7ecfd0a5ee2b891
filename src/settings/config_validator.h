#pragma once
// Validators: per-key rules that decide during an import whether a key is
// allowed and a value acceptable, and that turn accepted values into typed
// values.

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/config_value.h"

namespace settings_impl {

// Bits of a fixed-value record's flags.
constexpr uint32_t kFixedValueMatchCase = 1u;
constexpr uint32_t kFixedValueStoreOwnText = 2u;

struct FixedValueRecord {
    std::string text;
    int32_t value;
    uint32_t flags;
};

class IConfigValueValidator {
public:
    virtual ~IConfigValueValidator() = default;
    // A new typed value for the text (null: the key without value), or throws
    // ConfigValidator::InavlidValueError or the conversion's
    // settings::Exception.
    virtual std::unique_ptr<ConfigValue> validate(const std::string* value) const = 0;
};

// Type 101 takes any text; 102 and 104 need a number, 103 a boolean (and
// accept no value).
class TypeValidator : public IConfigValueValidator {
public:
    explicit TypeValidator(uint32_t type) : type_(type) {}
    std::unique_ptr<ConfigValue> validate(const std::string* value) const override;

private:
    uint32_t type_;
};

// A folder name kept as text (101). Unless the flag is set, the text must be
// a valid settings path that starts with a drive ("X:").
class DirnameValidator : public IConfigValueValidator {
public:
    explicit DirnameValidator(bool anyText) : anyText_(anyText) {}
    std::unique_ptr<ConfigValue> validate(const std::string* value) const override;

private:
    bool anyText_;
};

// One of a list of texts, stored as the record's integer (102). Records are
// tried from the last added to the first; bit 0 of the flags matches case
// exactly, bit 1 stores the record's own text.
class FixedValueValidator : public IConfigValueValidator {
public:
    explicit FixedValueValidator(std::vector<FixedValueRecord> records) : records_(std::move(records)) {}
    std::unique_ptr<ConfigValue> validate(const std::string* value) const override;

private:
    std::vector<FixedValueRecord> records_;
};

class ConfigValidator {
public:
    class Error : public std::runtime_error {
    public:
        Error() : std::runtime_error(std::string()) {}
    };
    // A key that is not allowed.
    class InavlidKeyError : public Error {};
    // A value that is refused.
    class InavlidValueError : public Error {};

    ConfigValidator(std::map<std::string, std::unique_ptr<IConfigValueValidator>> validators,
                    bool allowUnknownKeys)
        : validators_(std::move(validators)), allowUnknownKeys_(allowUnknownKeys) {}

    // The key's validator's answer; for a key without rule, an untyped (100)
    // value when unknown keys are allowed, else InavlidKeyError. A text that
    // is not plain text throws settings::Exception 302.
    std::unique_ptr<ConfigValue> validate(const std::string& key, const std::string* value) const;

private:
    std::map<std::string, std::unique_ptr<IConfigValueValidator>> validators_;
    bool allowUnknownKeys_;
};

class ValidatorBuilder {
public:
    // Each setter makes its rule the key's only rule.
    void setTypeRule(const std::string& key, uint32_t type);
    void setDirnameRule(const std::string& key, bool anyText);
    // Adds one record to the key's list: a record of the same text (byte for
    // byte) is overwritten in place, any other is appended.
    void addFixedValue(const std::string& key, const FixedValueRecord& record);
    void allowUnknownKeys(bool allow) { allowUnknownKeys_ = allow; }

    // A snapshot of the rules; the builder is unchanged. Memory exhaustion
    // passes out with nothing leaked.
    std::unique_ptr<ConfigValidator> createValidator() const;

private:
    void removeRules(const std::string& key);

    std::map<std::string, uint32_t> typeRules_;
    std::map<std::string, bool> dirnameRules_;
    std::map<std::string, std::vector<FixedValueRecord>> fixedRules_;
    bool allowUnknownKeys_ = false;
};

}  // namespace settings_impl
