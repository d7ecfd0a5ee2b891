#pragma once
// The writer of plain-text settings: one KEY=VALUE or KEY line per entry, each
// ended by a line feed; the storage decides the file's line ends.

#include <sstream>
#include <string>

#include "settings/config_parser.h"

namespace settings_impl {

class PlainTextEntrySerializer : public IConfigEntrySerializer {
public:
    // The stream raises its failures (memory exhaustion) as exceptions.
    PlainTextEntrySerializer();
    void writeLine(const std::string& text) override;
    void writeKeyValue(const std::string& key, const std::string& value) override;
    // Everything written so far.
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
};

}  // namespace settings_impl
