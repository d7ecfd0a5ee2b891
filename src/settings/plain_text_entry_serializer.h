#pragma once
// The writer of plain-text settings: one KEY=VALUE or KEY line per entry, each
// ended by a line feed; the storage decides the file's line ends.

#include <string>

#include "settings/config_parser.h"

namespace settings_impl {

class PlainTextEntrySerializer : public IConfigEntrySerializer {
public:
    // Memory exhaustion throws std::bad_alloc.
    void writeLine(const std::string& text) override;
    void writeKeyValue(const std::string& key, const std::string& value) override;
    // Everything written so far.
    const std::string& text() const { return out_; }

private:
    std::string out_;
};

}  // namespace settings_impl
