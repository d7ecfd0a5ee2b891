#pragma once
// Splitting a runtime version text "major.minor.micro[_update]" into parts.

#include <cstddef>

// Fills four caller buffers (each of size bytes) from version. All four are
// emptied first; a null version (or null buffers, or size 0) returns 0 and
// leaves them empty. Otherwise major, minor and micro start as "0" and update
// as empty; major is the text up to the first ".", minor the text up to the
// next "." (or the end), micro the text after the second "." up to the first
// "_" that follows it, update everything after that "_". Every output is cut
// to size - 1 characters. Returns 1.
int SplitVersionString(const char* version, char* major, char* minor, char* micro, char* update,
                       size_t size);
