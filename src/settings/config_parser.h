#pragma once
// The interfaces between a settings text reader, the builder of the
// configuration it reads, and whoever listens for its line errors.

#include <cstdint>
#include <memory>
#include <string>

namespace settings_impl {

class IConfig;
class ConfigValidator;
class KeyMapper;

// Results that flow from the builder back to the reader. They are line
// outcomes of the reader, not status codes of the table, although some share
// numbers with them.
enum class ParserCode : int32_t {
    kAccepted = 300,
    kKeyWithoutValue = 301,
    kEmptyKey = 302,
    kInvalidKey = 303,
    kInvalidValue = 304,
    kInvalidComment = 305,
};

// The message text of a line outcome: "Key without value", "Empty key",
// "Invalid key", "Invalid value", "Invalid comment", else "Unknown error".
const char* parserCodeText(ParserCode code);

// Where a reported line starts.
class IParserCursor {
public:
    virtual ~IParserCursor() = default;
    // Zero-based index of the line in the text.
    virtual uint32_t line() const = 0;
    // Zero-based index of the line's first non-blank character.
    virtual uint32_t column() const = 0;
    // "line <line+1>; char <column+1>".
    virtual std::string toString() const = 0;
};

class IParserErrorListener {
public:
    virtual ~IParserErrorListener() = default;
    // One faulty line; the message already names its position. May throw to
    // end a strict read.
    virtual void onError(const IParserCursor& cursor, const std::string& message) = 0;
};

class IConfigParserCallback {
public:
    virtual ~IConfigParserCallback() = default;
    // True when the comment is accepted.
    virtual bool onComment(const IParserCursor& cursor, const std::string& text) = 0;
    // kAccepted, or the outcome that makes the line faulty. value is null for
    // a key-only line.
    virtual ParserCode onKeyValue(const IParserCursor& cursor, const std::string& key,
                                  const std::string* value) = 0;
    virtual void onError(const IParserCursor& cursor, ParserCode code) = 0;
};

class IConfigParser {
public:
    virtual ~IConfigParser() = default;
    virtual void setValidator(const ConfigValidator* validator) = 0;
    virtual void setKeyMapper(const KeyMapper* mapper) = 0;
    virtual void setErrorListener(IParserErrorListener* listener) = 0;
    virtual void setStrict(bool strict) = 0;
    virtual void setKeyOnly(bool keyOnly) = 0;
    // The parsed configuration, or null when a strict read met a faulty line.
    // Text-source failures (304, 307, 314, 315) and a listener's exception in
    // strict mode pass out as settings::Exception.
    virtual std::unique_ptr<IConfig> parse() = 0;
};

class IConfigEntrySerializer {
public:
    virtual ~IConfigEntrySerializer() = default;
    // Appends the text and a line feed.
    virtual void writeLine(const std::string& text) = 0;
    // Appends key, "=", value and a line feed.
    virtual void writeKeyValue(const std::string& key, const std::string& value) = 0;
};

}  // namespace settings_impl
