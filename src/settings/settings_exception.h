#pragma once
// The one error type that leaves the settings library's internals: a
// runtime error that carries a signed 32-bit status code of the table.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace settings {

class Exception : public std::runtime_error {
public:
    // The library's own throws give an empty message.
    explicit Exception(int32_t code, const std::string& message = std::string())
        : std::runtime_error(message), code_(code) {}
    ~Exception() override = default;

    // The status code the table answers for this failure.
    int32_t code() const { return code_; }

private:
    int32_t code_;
};

}  // namespace settings

namespace settings_impl {

// An exception whose code is fixed: 301 (no value, or a value of another
// type), 302 (the value does not convert or is not plain text), 303 (no such
// key).
template <int32_t N>
class ExceptionCode : public settings::Exception {
public:
    ExceptionCode() : settings::Exception(N) {}
};

// Status codes of the table, by name.
namespace status {
constexpr int32_t kSuccess = 0;
constexpr int32_t kInternal = 200;
constexpr int32_t kNullArgument = 300;
constexpr int32_t kNoValue = 301;
constexpr int32_t kBadConversion = 302;
constexpr int32_t kNoSuchKey = 303;
constexpr int32_t kCannotOpen = 304;
constexpr int32_t kNoPermission = 305;
constexpr int32_t kWriteFailed = 306;
constexpr int32_t kReadFailed = 307;
constexpr int32_t kRenameFailed = 308;
constexpr int32_t kRemoveFailed = 309;
constexpr int32_t kPathTooLong = 310;
constexpr int32_t kInvalidPath = 311;
constexpr int32_t kPathNotPlainText = 312;
constexpr int32_t kMalformedContent = 313;
constexpr int32_t kNotPlainText = 314;
constexpr int32_t kFileTooLong = 315;
}  // namespace status

}  // namespace settings_impl
