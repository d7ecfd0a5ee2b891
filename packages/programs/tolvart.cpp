// The runtime library that the sample runtime's registry entry "RuntimeLib"
// names. Nothing loads it for work; it exists so the entry names a real file.
#include <windows.h>

extern "C" __declspec(dllexport) const char* TolvaRuntimeVersion() { return TDS_SAMPLE_VERSION; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
