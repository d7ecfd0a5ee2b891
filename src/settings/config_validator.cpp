#include "settings/config_validator.h"

#include "settings/key_mapper.h"
#include "settings/settings_exception.h"
#include "settings/settings_path.h"

namespace settings_impl {

std::unique_ptr<ConfigValue> TypeValidator::validate(const std::string* value) const {
    if (!value) {
        if (type_ == kBoolean) return nullptr;
        throw ConfigValidator::InavlidValueError();
    }
    return std::make_unique<ConfigValue>(*value, type_);
}

std::unique_ptr<ConfigValue> DirnameValidator::validate(const std::string* value) const {
    if (!value) throw ConfigValidator::InavlidValueError();
    if (!anyText_) {
        const std::vector<std::string> components = checkPathText(*value);
        if (!isDriveComponent(components.front())) throw ConfigValidator::InavlidValueError();
    }
    return std::make_unique<ConfigValue>(*value, kUtf8Text);
}

std::unique_ptr<ConfigValue> FixedValueValidator::validate(const std::string* value) const {
    if (!value) throw ConfigValidator::InavlidValueError();
    const std::string lowered = lowerBytes(*value);
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        const bool matches = (it->flags & kFixedValueMatchCase) ? it->text == *value
                                                                 : lowerBytes(it->text) == lowered;
        if (!matches) continue;
        const std::string& text = (it->flags & kFixedValueStoreOwnText) ? it->text : *value;
        return std::make_unique<ConfigValue>(ConfigValue::ofInteger(it->value, &text));
    }
    throw ConfigValidator::InavlidValueError();
}

std::unique_ptr<ConfigValue> ConfigValidator::validate(const std::string& key, const std::string* value) const {
    const auto found = validators_.find(key);
    if (found != validators_.end()) return found->second->validate(value);
    if (!allowUnknownKeys_) throw InavlidKeyError();
    if (!value) return nullptr;
    return std::make_unique<ConfigValue>(*value, kUntypedText);
}

void ValidatorBuilder::removeRules(const std::string& key) {
    typeRules_.erase(key);
    dirnameRules_.erase(key);
    fixedRules_.erase(key);
}

void ValidatorBuilder::setTypeRule(const std::string& key, uint32_t type) {
    removeRules(key);
    typeRules_[key] = type;
}

void ValidatorBuilder::setDirnameRule(const std::string& key, bool anyText) {
    removeRules(key);
    dirnameRules_[key] = anyText;
}

void ValidatorBuilder::addFixedValue(const std::string& key, const FixedValueRecord& record) {
    typeRules_.erase(key);
    dirnameRules_.erase(key);
    std::vector<FixedValueRecord>& records = fixedRules_[key];
    for (FixedValueRecord& existing : records) {
        if (existing.text == record.text) {
            existing.value = record.value;
            existing.flags = record.flags;
            return;
        }
    }
    records.push_back(record);
}

std::unique_ptr<ConfigValidator> ValidatorBuilder::createValidator() const {
    std::map<std::string, std::unique_ptr<IConfigValueValidator>> validators;
    for (const auto& rule : typeRules_) validators[rule.first] = std::make_unique<TypeValidator>(rule.second);
    for (const auto& rule : dirnameRules_) {
        validators[rule.first] = std::make_unique<DirnameValidator>(rule.second);
    }
    for (const auto& rule : fixedRules_) {
        validators[rule.first] = std::make_unique<FixedValueValidator>(rule.second);
    }
    return std::make_unique<ConfigValidator>(std::move(validators), allowUnknownKeys_);
}

}  // namespace settings_impl
