#pragma once
// The Windows types that the configuration's declarations name. The native
// build compiles the portable part of the configuration (keys, records,
// contexts and the import of command-line arguments), where a program
// instance and a string id are only passed along.

#ifdef _WIN32
#include <windows.h>
#else
typedef void* HINSTANCE;
typedef unsigned int UINT;
#endif
