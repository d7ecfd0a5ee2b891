#pragma once
// A configuration: keys in ascending byte order, each with a typed value or
// without value, and the operations on whole configurations that contexts use.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/config_parser.h"
#include "settings/config_value.h"

namespace settings_impl {

class IConfig {
public:
    virtual ~IConfig() = default;
    // Reads of one key. A missing key throws ExceptionCode<303>; a key without
    // value throws ExceptionCode<301> from every read but hasValue.
    virtual uint32_t getType(const std::string& key) const = 0;
    virtual bool hasValue(const std::string& key) const = 0;
    // Points into the entry; valid while the configuration lives.
    virtual const char* getText(const std::string& key) const = 0;
    // Typed readings; 301 for a value of another type, 302 when the text
    // does not convert.
    virtual int32_t getInteger(const std::string& key) const = 0;
    virtual double getDouble(const std::string& key) const = 0;
    virtual bool getBoolean(const std::string& key) const = 0;
    virtual std::string getRawText(const std::string& key) const = 0;
    // Every key in ascending byte order; the pointers live as long as the
    // configuration.
    virtual std::vector<const char*> getKeys() const = 0;
};

// The configuration that parses, merges and erases produce.
class Config : public IConfig {
public:
    Config() = default;

    uint32_t getType(const std::string& key) const override;
    bool hasValue(const std::string& key) const override;
    const char* getText(const std::string& key) const override;
    int32_t getInteger(const std::string& key) const override;
    double getDouble(const std::string& key) const override;
    bool getBoolean(const std::string& key) const override;
    std::string getRawText(const std::string& key) const override;
    std::vector<const char*> getKeys() const override;

    // Puts the entry in place of any entry of the same key; a null value
    // stores the key without value.
    void set(const std::string& key, std::unique_ptr<ConfigValue> value);

private:
    const ConfigValue& valueOf(const std::string& key) const;

    std::map<std::string, std::unique_ptr<ConfigValue>> entries_;
};

// A new value with the entry's type, text and typed reading, or null for a
// key without value. Throws std::runtime_error("unexpected") for a type code
// outside 100 to 104.
std::unique_ptr<ConfigValue> makeValueCopy(const IConfig& config, const std::string& key);

// Copies of every entry of older, then of newer (newer wins per key).
std::unique_ptr<IConfig> mergeConfigs(const IConfig& older, const IConfig& newer);

// A copy without the listed keys. With mustExist, a listed key that is missing
// throws ExceptionCode<303> before anything is built.
std::unique_ptr<IConfig> removeKeys(const IConfig& config, const std::vector<std::string>& keys,
                                    bool mustExist);

// Same keys and, key by key, values of the same type that compare equal
// (texts byte by byte for 100 and 101; NaN never equal). Throws
// std::runtime_error("unexpected") for an unknown type code.
bool configsEqual(const IConfig& a, const IConfig& b);

// Receives the reader's lines and builds the configuration: maps each key,
// validates each value, stores the entry.
class ConfigBuilder : public IConfigParserCallback {
public:
    using CursorText = std::function<std::string(const IParserCursor&)>;

    // None of the pointers is owned; each may be null.
    ConfigBuilder(CursorText cursorText, const ConfigValidator* validator, const KeyMapper* mapper,
                  IParserErrorListener* listener);

    // Accepts every comment; comments are not kept.
    bool onComment(const IParserCursor& cursor, const std::string& text) override;
    // kAccepted after storing; kInvalidKey for a key the validator refuses;
    // kInvalidValue for a refused value or one that is not plain text.
    // Memory exhaustion and other failures pass out.
    ParserCode onKeyValue(const IParserCursor& cursor, const std::string& key,
                          const std::string* value) override;
    // Hands the listener "\"<message>\" at <cursor text>".
    void onError(const IParserCursor& cursor, ParserCode code) override;

    // The configuration built so far; callable once.
    std::unique_ptr<IConfig> takeConfig();

private:
    CursorText cursorText_;
    const ConfigValidator* validator_;
    const KeyMapper* mapper_;
    IParserErrorListener* listener_;
    std::unique_ptr<Config> config_;
};

}  // namespace settings_impl
