// A stand-in browser: writes its command line to browser_probe.out beside
// itself, so tests see which address it was given.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string out = self;
    out = out.substr(0, out.find_last_of('\\') + 1) + "browser_probe.out";
    FILE* f = std::fopen(out.c_str(), "wb");
    if (!f)
        return 1;
    std::fputs(GetCommandLineA(), f);
    std::fclose(f);
    return 0;
}
