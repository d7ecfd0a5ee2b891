#include "settings/context.h"

#include <cstdio>

#include "settings/file_storage.h"
#include "settings/plain_text_entry_serializer.h"
#include "settings/plain_text_file_config_parser.h"
#include "settings/settings_exception.h"
#include "settings/settings_path.h"

namespace settings_impl {

int32_t report_config_read_error(const std::string& message) {
    // One write per line, so that the line stays whole; flushed at once
    // like the unbuffered error stream.
    const std::string line = "Error reading config file: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return status::kMalformedContent;
}

Context::Context() : config_(std::make_unique<Config>()), systemPath_(systemSettingsPath()) {}

void Context::onError(const IParserCursor& cursor, const std::string& message) {
    lastErrors_.push_back(cursor.line());
    throw settings::Exception(report_config_read_error(message));
}

void Context::runImport(IConfigParser& parser, const ConfigValidator* validator, const KeyMapper* mapper,
                        bool strict, bool keyOnly) {
    parser.setErrorListener(this);
    parser.setValidator(validator);
    parser.setKeyMapper(mapper);
    parser.setStrict(strict);
    parser.setKeyOnly(keyOnly);
    lastErrors_.clear();
    std::unique_ptr<IConfig> parsed = parser.parse();
    if (!parsed) throw settings::Exception(status::kMalformedContent);
    config_ = mergeConfigs(*config_, *parsed);
    if (!lastErrors_.empty()) throw settings::Exception(status::kMalformedContent);
}

void Context::importFromFile(const std::string& path, const ConfigValidator* validator, const KeyMapper* mapper,
                             bool strict, bool keyOnly) {
    PlainTextFileConfigParser parser(canonicalPath(checkPath(path)));
    runImport(parser, validator, mapper, strict, keyOnly);
}

void Context::importFromString(const std::string& text, const ConfigValidator* validator,
                               const KeyMapper* mapper, bool strict, bool keyOnly) {
    PlainTextFileConfigParser parser(text);
    runImport(parser, validator, mapper, strict, keyOnly);
}

void Context::importFromContext(const Context& source) { config_ = mergeConfigs(*config_, *source.config_); }

void Context::exportToFile(const std::string& path) const {
    const SettingsPath file = canonicalPath(checkPath(path));
    PlainTextEntrySerializer serializer;
    for (const char* key : config_->getKeys()) {
        if (config_->hasValue(key)) {
            serializer.writeKeyValue(key, config_->getRawText(key));
        } else {
            serializer.writeLine(key);
        }
    }
    std::string text = serializer.text();
    // An exported file is never empty.
    if (text.empty()) text = " ";
    writeSettingsFile(file, text);
}

bool Context::isEmpty() const { return config_->getKeys().empty(); }

bool Context::isEqual(const Context& other) const { return configsEqual(*config_, *other.config_); }

void Context::eraseKey(const std::string& key) { config_ = removeKeys(*config_, {key}, true); }

}  // namespace settings_impl
