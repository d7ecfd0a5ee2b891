#pragma once
// Install counters under HKLM "Software\KessaMetrics", kept in the 32-bit
// registry view: read, written and removed there alike.

#include <windows.h>

#include <cstddef>

extern const char kKessaMetricsKey[];

// Reads a metrics value (key null: the metrics key) into buffer of
// *sizeInOut bytes; answers the Win32 result.
LONG GetKessaMetrics(HKEY key, const char* name, char* buffer, DWORD* sizeInOut);
// Updates the counters after an install that ended with result (0 success,
// -128 neither success nor failure) of version, and fills three texts of
// size bytes for the ping: machineCounted ("XX" unknown, "ZZ" not counted
// and not counted now, "false" counted now for the first time, "true" or
// "YY" counted before), updateCount and installAttempts in decimal. Answers
// 0, or the error when the key cannot be created or opened (texts "XX").
LONG GetUpdatedKessaMetrics(const char* version, int result, char* machineCounted, char* updateCount,
                            char* installAttempts, size_t size);
// "OfferedSPCnt" as left by the package, removed after reading; -1 when
// absent, -2 on another read error, 0 when the key cannot be created.
int TakeOfferedSPCount();
// Deletes the metrics key; answers the Win32 result.
LONG RemoveKessaMetrics();
