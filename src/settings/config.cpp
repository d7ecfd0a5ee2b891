#include "settings/config.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "settings/config_validator.h"
#include "settings/key_mapper.h"
#include "settings/settings_exception.h"

namespace settings_impl {

const char* parserCodeText(ParserCode code) {
    switch (code) {
        case ParserCode::kKeyWithoutValue: return "Key without value";
        case ParserCode::kEmptyKey: return "Empty key";
        case ParserCode::kInvalidKey: return "Invalid key";
        case ParserCode::kInvalidValue: return "Invalid value";
        case ParserCode::kInvalidComment: return "Invalid comment";
        default: return "Unknown error";
    }
}

const ConfigValue& Config::valueOf(const std::string& key) const {
    const auto found = entries_.find(key);
    if (found == entries_.end()) throw ExceptionCode<status::kNoSuchKey>();
    if (!found->second) throw ExceptionCode<status::kNoValue>();
    return *found->second;
}

uint32_t Config::getType(const std::string& key) const { return valueOf(key).type(); }

bool Config::hasValue(const std::string& key) const {
    const auto found = entries_.find(key);
    if (found == entries_.end()) throw ExceptionCode<status::kNoSuchKey>();
    return found->second != nullptr;
}

const char* Config::getText(const std::string& key) const { return valueOf(key).text().c_str(); }

int32_t Config::getInteger(const std::string& key) const { return valueOf(key).getInteger(); }

double Config::getDouble(const std::string& key) const { return valueOf(key).getDouble(); }

bool Config::getBoolean(const std::string& key) const { return valueOf(key).getBoolean(); }

std::string Config::getRawText(const std::string& key) const { return valueOf(key).text(); }

std::vector<const char*> Config::getKeys() const {
    std::vector<const char*> keys;
    keys.reserve(entries_.size());
    for (const auto& entry : entries_) keys.push_back(entry.first.c_str());
    return keys;
}

void Config::set(const std::string& key, std::unique_ptr<ConfigValue> value) {
    entries_[key] = std::move(value);
}

std::unique_ptr<ConfigValue> makeValueCopy(const IConfig& config, const std::string& key) {
    if (!config.hasValue(key)) return nullptr;
    const std::string text = config.getRawText(key);
    const uint32_t type = config.getType(key);
    switch (type) {
        case kUntypedText:
        case kUtf8Text:
            return std::make_unique<ConfigValue>(text, type);
        case kInteger:
            return std::make_unique<ConfigValue>(ConfigValue::ofInteger(config.getInteger(key), &text));
        case kBoolean:
            return std::make_unique<ConfigValue>(ConfigValue::ofBoolean(config.getBoolean(key), &text));
        case kDouble:
            return std::make_unique<ConfigValue>(ConfigValue::ofDouble(config.getDouble(key), &text));
        default:
            throw std::runtime_error("unexpected");
    }
}

namespace {

void copyEntries(const IConfig& from, Config& to) {
    for (const char* key : from.getKeys()) to.set(key, makeValueCopy(from, key));
}

std::vector<std::string> sortedKeys(const IConfig& config) {
    std::vector<std::string> keys;
    for (const char* key : config.getKeys()) keys.emplace_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool valuesEqual(const IConfig& a, const IConfig& b, const std::string& key) {
    const bool aHas = a.hasValue(key);
    const bool bHas = b.hasValue(key);
    if (!aHas || !bHas) return aHas == bHas;
    const uint32_t type = a.getType(key);
    if (type != b.getType(key)) return false;
    switch (type) {
        case kUntypedText:
        case kUtf8Text:
            return std::strcmp(a.getText(key), b.getText(key)) == 0;
        case kInteger:
            return a.getInteger(key) == b.getInteger(key);
        case kBoolean:
            return a.getBoolean(key) == b.getBoolean(key);
        case kDouble:
            // NaN compares unequal to everything, itself included.
            return a.getDouble(key) == b.getDouble(key);
        default:
            throw std::runtime_error("unexpected");
    }
}

}  // namespace

std::unique_ptr<IConfig> mergeConfigs(const IConfig& older, const IConfig& newer) {
    auto merged = std::make_unique<Config>();
    copyEntries(older, *merged);
    copyEntries(newer, *merged);
    return merged;
}

std::unique_ptr<IConfig> removeKeys(const IConfig& config, const std::vector<std::string>& keys,
                                    bool mustExist) {
    const std::vector<const char*> present = config.getKeys();
    auto isPresent = [&present](const std::string& key) {
        return std::any_of(present.begin(), present.end(), [&key](const char* k) { return key == k; });
    };
    if (mustExist) {
        for (const std::string& key : keys) {
            if (!isPresent(key)) throw ExceptionCode<status::kNoSuchKey>();
        }
    }
    auto result = std::make_unique<Config>();
    for (const char* key : present) {
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        result->set(key, makeValueCopy(config, key));
    }
    return result;
}

bool configsEqual(const IConfig& a, const IConfig& b) {
    if (&a == &b) return true;
    const std::vector<std::string> aKeys = sortedKeys(a);
    const std::vector<std::string> bKeys = sortedKeys(b);
    if (aKeys != bKeys) return false;
    for (const std::string& key : aKeys) {
        if (!valuesEqual(a, b, key)) return false;
    }
    return true;
}

ConfigBuilder::ConfigBuilder(CursorText cursorText, const ConfigValidator* validator, const KeyMapper* mapper,
                             IParserErrorListener* listener)
    : cursorText_(std::move(cursorText)),
      validator_(validator),
      mapper_(mapper),
      listener_(listener),
      config_(std::make_unique<Config>()) {}

bool ConfigBuilder::onComment(const IParserCursor&, const std::string&) { return true; }

ParserCode ConfigBuilder::onKeyValue(const IParserCursor&, const std::string& key, const std::string* value) {
    const std::string mapped = mapper_ ? mapper_->map(key) : key;
    std::unique_ptr<ConfigValue> stored;
    if (value) {
        try {
            if (validator_) {
                stored = validator_->validate(mapped, value);
            } else {
                stored = std::make_unique<ConfigValue>(*value, kUntypedText);
            }
        } catch (const ConfigValidator::InavlidKeyError&) {
            return ParserCode::kInvalidKey;
        } catch (const ConfigValidator::InavlidValueError&) {
            return ParserCode::kInvalidValue;
        } catch (const settings::Exception&) {
            return ParserCode::kInvalidValue;
        }
    }
    config_->set(mapped, std::move(stored));
    return ParserCode::kAccepted;
}

void ConfigBuilder::onError(const IParserCursor& cursor, ParserCode code) {
    if (!listener_) return;
    const std::string message = std::string("\"") + parserCodeText(code) + "\" at " + cursorText_(cursor);
    listener_->onError(cursor, message);
}

std::unique_ptr<IConfig> ConfigBuilder::takeConfig() { return std::move(config_); }

}  // namespace settings_impl
