#pragma once
// A settings context: the entries currently held, the system settings file's
// path, and the faulty lines of the last import. Every change builds a whole
// new configuration and only then puts it in place, so a failure part-way
// leaves the entries as they were.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/config.h"
#include "settings/config_parser.h"

namespace settings_impl {

class ConfigValidator;
class KeyMapper;

// Prints "Error reading config file: " + message + newline to the standard
// error stream, flushed; answers 313.
int32_t report_config_read_error(const std::string& message);

class Context : public IParserErrorListener {
public:
    // An empty context. Throws settings::Exception 200 when the system
    // settings path cannot be formed.
    Context();
    ~Context() override = default;

    // Records the line, prints the error line and throws settings::Exception
    // 313 (which ends a strict import).
    void onError(const IParserCursor& cursor, const std::string& message) override;

    const std::string& systemConfigFilePath() const { return systemPath_; }
    const std::vector<uint32_t>& lastImportErrors() const { return lastErrors_; }
    const IConfig& config() const { return *config_; }

    // Imports; see the table. Throw settings::Exception with the status.
    void importFromFile(const std::string& path, const ConfigValidator* validator, const KeyMapper* mapper,
                        bool strict, bool keyOnly);
    void importFromString(const std::string& text, const ConfigValidator* validator, const KeyMapper* mapper,
                          bool strict, bool keyOnly);
    void importFromContext(const Context& source);
    // 311, 304, 306 and the path checks; the context never changes.
    void exportToFile(const std::string& path) const;
    bool isEmpty() const;
    bool isEqual(const Context& other) const;
    // Throws 303 for a missing key; the entries stay as they were.
    void eraseKey(const std::string& key);

private:
    void runImport(IConfigParser& parser, const ConfigValidator* validator, const KeyMapper* mapper,
                   bool strict, bool keyOnly);

    std::unique_ptr<IConfig> config_;
    std::string systemPath_;
    std::vector<uint32_t> lastErrors_;
};

}  // namespace settings_impl
