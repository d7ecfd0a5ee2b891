#include "settings/plain_text_entry_serializer.h"

namespace settings_impl {

PlainTextEntrySerializer::PlainTextEntrySerializer() {
    out_.exceptions(std::ios::badbit | std::ios::failbit);
}

void PlainTextEntrySerializer::writeLine(const std::string& text) { out_ << text << '\n'; }

void PlainTextEntrySerializer::writeKeyValue(const std::string& key, const std::string& value) {
    out_ << key << '=' << value << '\n';
}

}  // namespace settings_impl
