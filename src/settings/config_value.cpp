#include "settings/config_value.h"

#include <cctype>
#include <ios>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "settings/plain_text.h"
#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

// The copy the readings work on: leading " \t\n\v" removed (trailing text is
// left to the extraction, which ignores it), every letter lowered.
std::string prepareNumberText(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\n\x0B");
    std::string prepared = start == std::string::npos ? std::string() : text.substr(start);
    for (char& c : prepared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return prepared;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The stream skips no white space of its own: only the characters removed by
// prepareNumberText count as leading blanks.
std::istringstream numberStream(const std::string& prepared) {
    std::istringstream in(prepared);
    in.imbue(std::locale::classic());
    in >> std::noskipws;
    return in;
}

}  // namespace

int32_t readInteger(const std::string& text) {
    const std::string prepared = prepareNumberText(text);
    std::istringstream in = numberStream(prepared);
    if (startsWith(prepared, "0x") || startsWith(prepared, "-0x")) {
        in >> std::hex;
    } else if (startsWith(prepared, "0") || startsWith(prepared, "-0")) {
        in >> std::oct;
    } else {
        in >> std::dec;
    }
    // int is 32 bits on every target; its extraction sets failbit on
    // overflow whatever the width of long.
    int value = 0;
    in >> value;
    if (in.fail()) throw ExceptionCode<status::kBadConversion>();
    return static_cast<int32_t>(value);
}

double readDouble(const std::string& text) {
    const std::string prepared = prepareNumberText(text);
    std::istringstream in = numberStream(prepared);
    double value = 0;
    in >> value;
    if (in.fail()) throw ExceptionCode<status::kBadConversion>();
    return value;
}

bool readBoolean(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lowered == "yes" || lowered == "true") return true;
    if (lowered == "no" || lowered == "false") return false;
    return readInteger(text) != 0;
}

std::string integerText(int32_t value) { return std::to_string(value); }

std::string booleanText(bool value) { return value ? "true" : "false"; }

std::string doubleText(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

ConfigValue::ConfigValue(uint32_t type, const std::string& text) : type_(type), typed_(), text_(text) {
    if (!isPlainText(text_)) throw ExceptionCode<status::kBadConversion>();
}

ConfigValue::ConfigValue(const std::string& text, uint32_t type) : ConfigValue(type, text) {
    switch (type) {
        case kUntypedText:
        case kUtf8Text:
            break;
        case kInteger:
            typed_.integer = readInteger(text_);
            break;
        case kBoolean:
            typed_.boolean = readBoolean(text_);
            break;
        case kDouble:
            typed_.number = readDouble(text_);
            break;
        default:
            throw std::runtime_error("unexpected");
    }
}

ConfigValue ConfigValue::ofInteger(int32_t value, const std::string* text) {
    ConfigValue result(kInteger, text ? *text : integerText(value));
    result.typed_.integer = value;
    return result;
}

ConfigValue ConfigValue::ofBoolean(bool value, const std::string* text) {
    ConfigValue result(kBoolean, text ? *text : booleanText(value));
    result.typed_.boolean = value;
    return result;
}

ConfigValue ConfigValue::ofDouble(double value, const std::string* text) {
    ConfigValue result(kDouble, text ? *text : doubleText(value));
    result.typed_.number = value;
    return result;
}

int32_t ConfigValue::getInteger() const {
    if (type_ == kUntypedText) return readInteger(text_);
    if (type_ == kInteger) return typed_.integer;
    throw ExceptionCode<status::kNoValue>();
}

bool ConfigValue::getBoolean() const {
    if (type_ == kUntypedText) return readBoolean(text_);
    if (type_ == kBoolean) return typed_.boolean;
    throw ExceptionCode<status::kNoValue>();
}

double ConfigValue::getDouble() const {
    if (type_ == kUntypedText) return readDouble(text_);
    if (type_ == kDouble) return typed_.number;
    throw ExceptionCode<status::kNoValue>();
}

}  // namespace settings_impl
