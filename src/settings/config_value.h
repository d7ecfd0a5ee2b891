#pragma once
// A setting's value: the text as read or given, plus the typed reading for
// integer, boolean and double keys, and the conversions between the two.

#include <cstdint>
#include <string>

namespace settings_impl {

enum ConfigValueType : uint32_t {
    kUntypedText = 100,  // no type validator; typed reads convert on demand
    kUtf8Text = 101,
    kInteger = 102,
    kBoolean = 103,
    kDouble = 104,
};

// Integer reading of a text: leading " \t\n\v" skipped, letters lowered, base
// 16 after "0x"/"-0x", base 8 after "0"/"-0", else 10; one signed 32-bit
// number from the start, the rest ignored. Throws ExceptionCode<302> when no
// number can be taken or it is out of range.
int32_t readInteger(const std::string& text);
// Double reading: the same preparation, then one decimal floating-point number
// from the start. Throws ExceptionCode<302> when none or out of range.
double readDouble(const std::string& text);
// "yes"/"true" and "no"/"false" in any letter case, else the integer reading
// (non-zero is true). Throws ExceptionCode<302>.
bool readBoolean(const std::string& text);

// Canonical texts of typed values: signed decimal, "true"/"false", and a
// default-formatted stream number (six significant digits).
std::string integerText(int32_t value);
std::string booleanText(bool value);
std::string doubleText(double value);

class ConfigValue {
public:
    // Stores the text and, for 102 to 104, its reading. Throws
    // ExceptionCode<302> when the text is not plain text or does not convert,
    // std::runtime_error("unexpected") for a type outside 100 to 104.
    ConfigValue(const std::string& text, uint32_t type);

    // Typed values; without a text the canonical text is stored. A given
    // text that is not plain text throws ExceptionCode<302>.
    static ConfigValue ofInteger(int32_t value, const std::string* text = nullptr);
    static ConfigValue ofBoolean(bool value, const std::string* text = nullptr);
    static ConfigValue ofDouble(double value, const std::string* text = nullptr);

    uint32_t type() const { return type_; }
    // Type 100 converts its text now, 102 answers the stored integer; any
    // other type throws ExceptionCode<301>. Conversion failures are 302.
    int32_t getInteger() const;
    // Type 100 converts now, 103 answers the stored boolean; else 301.
    bool getBoolean() const;
    // Type 100 converts now, 104 answers the stored double; else 301.
    double getDouble() const;
    // The stored text, for every type.
    const std::string& text() const { return text_; }

private:
    ConfigValue(uint32_t type, const std::string& text);

    uint32_t type_;
    union {
        int32_t integer;
        bool boolean;
        double number;
    } typed_;
    std::string text_;
};

}  // namespace settings_impl
