// A stand-in browser: writes its command line to browser_probe.out in its
// temporary folder (the one of the test that started it), so the test sees
// which address it was given.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    const std::string out = std::string(temp) + "browser_probe.out";
    FILE* f = std::fopen(out.c_str(), "wb");
    if (!f)
        return 1;
    std::fputs(GetCommandLineA(), f);
    std::fclose(f);
    return 0;
}
