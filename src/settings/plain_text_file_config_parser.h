#pragma once
// The reader of plain-text settings: KEY=VALUE or KEY:VALUE lines, "#"
// comment lines, blanks trimmed, CR LF, LF or CR line breaks, nothing else
// special (no quoting, escapes, sections or byte-order mark).

#include <cstdint>
#include <memory>
#include <string>

#include "settings/config_parser.h"
#include "settings/settings_path.h"

namespace settings_impl {

class PlainTextFileConfigParser : public IConfigParser {
public:
    // The whole text a parse works on.
    class IBuffer {
    public:
        virtual ~IBuffer() = default;
        // Replaces text with the complete source text; throws
        // settings::Exception on failure.
        virtual void read(std::string& text) = 0;
    };

    // A copy of a given text; read fails with 314 when it is not plain text.
    class StringBuffer : public IBuffer {
    public:
        explicit StringBuffer(const std::string& text) : text_(text) {}
        void read(std::string& text) override;

    private:
        std::string text_;
    };

    // A settings file; read fails with 304, 307, 315 or 314
    // (readSettingsFile).
    class FileBuffer : public IBuffer {
    public:
        explicit FileBuffer(const SettingsPath& path) : path_(path) {}
        void read(std::string& text) override;

    private:
        SettingsPath path_;
    };

    class Cursor : public IParserCursor {
    public:
        Cursor(uint32_t line, uint32_t column) : line_(line), column_(column) {}
        uint32_t line() const override { return line_; }
        uint32_t column() const override { return column_; }
        std::string toString() const override;

    private:
        uint32_t line_;
        uint32_t column_;
    };

    // Reads a copy of the text, or the file at the path.
    explicit PlainTextFileConfigParser(const std::string& text);
    explicit PlainTextFileConfigParser(const SettingsPath& path);

    void setValidator(const ConfigValidator* validator) override { validator_ = validator; }
    void setKeyMapper(const KeyMapper* mapper) override { mapper_ = mapper; }
    void setErrorListener(IParserErrorListener* listener) override { listener_ = listener; }
    // Default true: the first faulty line ends the read with no result.
    void setStrict(bool strict) override { strict_ = strict; }
    // Default false: a line without separator is faulty; when true it is a
    // key without value.
    void setKeyOnly(bool keyOnly) override { keyOnly_ = keyOnly; }

    // See IConfigParser::parse.
    std::unique_ptr<IConfig> parse() override;

private:
    bool parseLine(IConfigParserCallback& callback, const std::string& line, uint32_t index);

    const ConfigValidator* validator_ = nullptr;
    const KeyMapper* mapper_ = nullptr;
    IParserErrorListener* listener_ = nullptr;
    bool strict_ = true;
    bool keyOnly_ = false;
    std::unique_ptr<IBuffer> buffer_;
};

// Counts the errors it hears and passes each on.
class ParserErrorCounter : public IParserErrorListener {
public:
    explicit ParserErrorCounter(IParserErrorListener* next) : next_(next) {}
    void onError(const IParserCursor& cursor, const std::string& message) override;
    uint32_t count() const { return count_; }

private:
    uint32_t count_ = 0;
    IParserErrorListener* next_;
};

}  // namespace settings_impl
