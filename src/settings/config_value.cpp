#include "settings/config_value.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "settings/plain_text.h"
#include "settings/settings_exception.h"

namespace settings_impl {

namespace {

// The copy the readings work on: leading " \t\n\v" removed (trailing text is
// left to the conversion, which ignores it), every letter lowered.
std::string prepareNumberText(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\n\x0B");
    std::string prepared = start == std::string::npos ? std::string() : text.substr(start);
    for (char& c : prepared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return prepared;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f'); }

// The decimal number at the start of prepared, as far as it reads as one:
// sign, digits, one point, and an exponent ("e", optional sign, digits) once
// a digit has been seen. No words (inf, nan), no hexadecimal notation, no
// blanks. An exponent without digits is kept, so that the conversion
// refuses it rather than reading the number before it.
std::string leadingDecimal(const std::string& prepared) {
    std::string out;
    size_t i = 0;
    if (i < prepared.size() && (prepared[i] == '+' || prepared[i] == '-'))
        out += prepared[i++];
    bool mantissa = false;
    bool point = false;
    for (; i < prepared.size(); ++i) {
        const char c = prepared[i];
        if (isDigit(c)) {
            mantissa = true;
            out += c;
        } else if (c == '.' && !point) {
            point = true;
            out += c;
        } else if (c == 'e' && mantissa) {
            out += c;
            if (i + 1 < prepared.size() && (prepared[i + 1] == '+' || prepared[i + 1] == '-'))
                out += prepared[++i];
            for (++i; i < prepared.size() && isDigit(prepared[i]); ++i)
                out += prepared[i];
            break;
        } else {
            break;
        }
    }
    return out;
}

}  // namespace

int32_t readInteger(const std::string& text) {
    const std::string prepared = prepareNumberText(text);
    int base = 10;
    if (startsWith(prepared, "0x") || startsWith(prepared, "-0x"))
        base = 16;
    else if (startsWith(prepared, "0") || startsWith(prepared, "-0"))
        base = 8;
    // strtoll would skip further blanks (CR, FF), a blank after the sign's
    // place and a bare "0x"; none of them starts a number here.
    const size_t sign = prepared.empty() || (prepared[0] != '+' && prepared[0] != '-') ? 0 : 1;
    const bool starts = base == 16 ? sign + 2 < prepared.size() && isHexDigit(prepared[sign + 2])
                                   : sign < prepared.size() && isDigit(prepared[sign]);
    if (!starts)
        throw ExceptionCode<status::kBadConversion>();
    errno = 0;
    const long long value = std::strtoll(prepared.c_str(), nullptr, base);
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        throw ExceptionCode<status::kBadConversion>();
    return static_cast<int32_t>(value);
}

double readDouble(const std::string& text) {
    const std::string number = leadingDecimal(prepareNumberText(text));
    if (number.empty())
        throw ExceptionCode<status::kBadConversion>();
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    // The whole of the leading number must convert ("1e" must not read as 1);
    // a value too large for a double is refused, one too small to hold reads
    // as what strtod gives (zero or a denormal).
    if (end != number.c_str() + number.size() || std::isinf(value))
        throw ExceptionCode<status::kBadConversion>();
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
    // General notation with six significant digits; the longest such text
    // ("-1.79769e+308") is far below the buffer.
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%g", value);
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer)
        throw std::runtime_error("unexpected");
    return std::string(buffer, static_cast<size_t>(length));
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
