// Stand-in for the runtime's own C runtime library, built as "msvcr100.dll".
// The stand-in deployment library imports tdsRuntimeMarker from it, so that
// library loads only when this copy (not the system's or Wine's own) is the
// one already in the process.
#include <windows.h>

extern "C" __declspec(dllexport) int tdsRuntimeMarker() { return 100; }
