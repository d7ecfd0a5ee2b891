// Runs one removal call in a process of its own, for the cases that end the
// process or depend on the program's own folder.
//   scrub_probe product <code> <bits>   prints "ok=<0|1> exit=<code>"
//   scrub_probe kessa <version> <64|32> prints "ok=<0|1>"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "scrub/t_cleaner.h"
#include "scrub/tolva_scrub.h"

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    try {
        if (strcmp(argv[1], "product") == 0) {
            uint32_t exitCode = 0;
            const bool ok = tscrub::TCleaner::uninstallProduct(argv[2], atoi(argv[3]), exitCode);
            printf("ok=%d exit=%u\n", ok ? 1 : 0, exitCode);
            return 0;
        }
        if (strcmp(argv[1], "kessa") == 0) {
            const bool ok = tscrub::TolvaScrub::uninstallKessaVersion(argv[2], strcmp(argv[3], "64") == 0);
            printf("ok=%d\n", ok ? 1 : 0);
            return 0;
        }
    } catch (const std::exception& e) {
        printf("error=%s\n", e.what());
        return 3;
    }
    return 2;
}
