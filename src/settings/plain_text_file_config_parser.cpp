#include "settings/plain_text_file_config_parser.h"

#include "settings/config.h"
#include "settings/file_storage.h"
#include "settings/plain_text.h"
#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

const char kLineBreaks[] = "\r\n";
const char kCommentIntroducer = '#';
const char kSeparators[] = "=:";
const char kBlanks[] = " \t";

std::string trimTrailingBlanks(const std::string& text) {
    const size_t end = text.find_last_not_of(kBlanks);
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string trimBlanks(const std::string& text) {
    const size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string::npos) return std::string();
    return trimTrailingBlanks(text.substr(start));
}

// Keys leave the library as C strings, so a NUL inside one (files padded
// with NULs) would cut it to another key that the configuration does not
// hold. Such a line is refused like any other faulty key.
bool hasNul(const std::string& key) { return key.find('\0') != std::string::npos; }

}  // namespace

void PlainTextFileConfigParser::StringBuffer::read(std::string& text) {
    if (!isPlainText(text_)) throw settings::Exception(status::kNotPlainText);
    text = text_;
}

void PlainTextFileConfigParser::FileBuffer::read(std::string& text) { text = readSettingsFile(path_); }

std::string PlainTextFileConfigParser::Cursor::toString() const {
    return "line " + std::to_string(static_cast<uint64_t>(line_) + 1) + "; char " +
           std::to_string(static_cast<uint64_t>(column_) + 1);
}

void ParserErrorCounter::onError(const IParserCursor& cursor, const std::string& message) {
    ++count_;
    if (next_) next_->onError(cursor, message);
}

PlainTextFileConfigParser::PlainTextFileConfigParser(const std::string& text)
    : buffer_(std::make_unique<StringBuffer>(text)) {}

PlainTextFileConfigParser::PlainTextFileConfigParser(const SettingsPath& path)
    : buffer_(std::make_unique<FileBuffer>(path)) {}

std::unique_ptr<IConfig> PlainTextFileConfigParser::parse() {
    std::string text;
    buffer_->read(text);
    ParserErrorCounter counter(listener_);
    ConfigBuilder builder([](const IParserCursor& cursor) { return cursor.toString(); }, validator_, mapper_,
                          &counter);

    size_t position = 0;
    uint32_t index = 0;
    for (;;) {
        const size_t lineBreak = text.find_first_of(kLineBreaks, position);
        const bool last = lineBreak == std::string::npos;
        const size_t end = last ? text.size() : lineBreak;
        const std::string line = text.substr(position, end - position);
        bool accepted = false;
        try {
            accepted = parseLine(builder, line, index);
        } catch (const settings::Exception&) {
            // A listener's exception ends a strict read; otherwise the line
            // just counts as faulty.
            if (strict_) throw;
        }
        if (!accepted && strict_) break;
        if (last) break;
        position = lineBreak + 1;
        if (text[lineBreak] == '\r' && position < text.size() && text[position] == '\n') ++position;
        ++index;
    }

    if (counter.count() != 0 && strict_) return nullptr;
    return builder.takeConfig();
}

bool PlainTextFileConfigParser::parseLine(IConfigParserCallback& callback, const std::string& line,
                                          uint32_t index) {
    const size_t start = line.find_first_not_of(kBlanks);
    if (start == std::string::npos) return true;
    const Cursor cursor(index, static_cast<uint32_t>(start));

    if (line[start] == kCommentIntroducer) {
        if (callback.onComment(cursor, line.substr(start))) return true;
        callback.onError(cursor, ParserCode::kInvalidComment);
        return false;
    }

    const size_t separator = line.find_first_of(kSeparators, start);
    if (separator == std::string::npos) {
        if (!keyOnly_) {
            callback.onError(cursor, ParserCode::kKeyWithoutValue);
            return false;
        }
        const std::string key = trimTrailingBlanks(line.substr(start));
        if (hasNul(key)) {
            callback.onError(cursor, ParserCode::kInvalidKey);
            return false;
        }
        // A key-only line is accepted whatever the builder answers.
        callback.onKeyValue(cursor, key, nullptr);
        return true;
    }

    const std::string key = trimTrailingBlanks(line.substr(start, separator - start));
    if (key.empty()) {
        callback.onError(cursor, ParserCode::kEmptyKey);
        return false;
    }
    if (hasNul(key)) {
        callback.onError(cursor, ParserCode::kInvalidKey);
        return false;
    }
    const std::string value = trimBlanks(line.substr(separator + 1));
    const ParserCode result = callback.onKeyValue(cursor, key, &value);
    if (result == ParserCode::kAccepted) return true;
    callback.onError(cursor, result);
    return false;
}

}  // namespace settings_impl
