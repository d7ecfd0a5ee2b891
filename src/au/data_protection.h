#pragma once
// DPAPI protection and Base64 text of update-policy values. Every failure
// throws std::runtime_error whose text is the step's prefix followed by the
// Windows error code in decimal ("encryption failed, sysError=5").

#include <cstdint>
#include <string>
#include <vector>

namespace au {

// Scope of a protected blob: 0 the current user, 1 the local machine.
enum ProtectionScope : int32_t { kUserScope = 0, kMachineScope = 1 };

// The DPAPI blob of the bytes, made without description, entropy or prompt.
// Throws "encryption failed, sysError=<code>".
std::vector<uint8_t> protectData(const std::vector<uint8_t>& bytes, int32_t scope);
// The bytes inside a DPAPI blob. Throws "decryption failed, sysError=<code>".
std::vector<uint8_t> unprotectData(const std::vector<uint8_t>& blob);

// Base64 without line breaks; empty bytes give an empty text. Throws
// "binary2string (phase1|phase2) failed, sysError=<code>".
std::string binary2string(const std::vector<uint8_t>& bytes);
// The bytes of a Base64 text; an empty text gives no bytes. Throws
// "string2binary (phase1|phase2) failed, sysError=<code>".
std::vector<uint8_t> string2binary(const std::string& text);

// The user-scope blob of the value's 4 bytes (stored as REG_BINARY).
std::vector<uint8_t> encryptDword(uint32_t value);
// Base64 text of the machine-scope blob of the value's 4 bytes (REG_SZ).
std::string encryptDwordToString(uint32_t value);
// The value inside a blob; throws "decrypted data has wrong size" unless the
// blob holds exactly 4 bytes.
uint32_t decryptDword(const std::vector<uint8_t>& blob);
// decryptDword of the Base64 text's bytes.
uint32_t decryptDwordFromString(const std::string& text);

}  // namespace au
