#pragma once
// The registry entries of an installed kit and runtime of the version this
// launcher carries, read in this process's own registry view.

#include <cstddef>

// HKLM "SOFTWARE\TolvaSoft\Tolva Development Kit" and
// "SOFTWARE\TolvaSoft\Tolva Runtime Environment".
extern const char kVindelFamilyKey[];
extern const char kKessaFamilyKey[];

// Fills buffer (capacity bytes) with TolvaHome of the current version's kit
// key: answers 1 for a REG_SZ or REG_EXPAND_SZ value that fits with its NUL
// (an empty value gives an empty text). Answers 0, buffer emptied, when the
// key does not open or the value is missing, of another type, too long or
// stored without its NUL.
int FindVindelHome(char* buffer, size_t capacity);

// True when the current version's runtime key opens for reading.
bool IsKessaVersionKeyPresent();
