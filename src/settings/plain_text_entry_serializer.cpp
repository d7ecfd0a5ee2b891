#include "settings/plain_text_entry_serializer.h"

namespace settings_impl {

void PlainTextEntrySerializer::writeLine(const std::string& text) {
    out_ += text;
    out_ += '\n';
}

void PlainTextEntrySerializer::writeKeyValue(const std::string& key, const std::string& value) {
    out_ += key;
    out_ += '=';
    out_ += value;
    out_ += '\n';
}

}  // namespace settings_impl
