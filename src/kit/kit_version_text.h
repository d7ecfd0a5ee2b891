#pragma once
// The pieces of a runtime version text "major.minor.micro_update" that the
// kit's product code and cabinet names are made of.

#include <string>

// Fills out (2048 bytes) with the text between the first and the second "."
// of version ("9.1.4_12" gives "1"); without a second "." the rest after the
// first, without any "." an empty text. A null version gives an empty text.
void GetMinorVersion(const char* version, char* out);

// Fills out (2048 bytes) with the text after the last "_" of version
// ("9.1.4_12" gives "12"), or "00" when there is no "_".
void GetUpdateVersion(const char* version, char* out);

// The kit's product code for version: "{<bits>C7E2B1-D483-11D6-B52C-00A0C93
// <minor>0<update>0}" with bits "32" on a 32-bit system, else "64".
std::string GetVindelProductCode(const char* version, bool running32Bit);
