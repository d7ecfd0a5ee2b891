// A second launcher for the lock tests.
//   launcher_lock_helper hold <ready event> <release event>
//       takes the lock, sets ready, holds the lock until release is set
//   launcher_lock_helper contend <go event> <release event> [<ready semaphore>]
//       releases ready once (when named) and waits for go, then tests and
//       takes the lock as a launcher does; when it took the lock, holds it
//       until release is set
// Exit codes: 10 took the lock, 20 found another installation, 30 could not
// take the lock, 2 bad arguments.
#include <windows.h>

#include <cstring>

#include "launcher/installation_lock.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5)
        return 2;
    HANDLE first = OpenEventA(EVENT_ALL_ACCESS, FALSE, argv[2]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!first || !release)
        return 2;
    int code = 2;
    if (strcmp(argv[1], "hold") == 0) {
        if (!SetInstallationFlag())
            return 30;
        SetEvent(first);
        code = 10;
    } else if (strcmp(argv[1], "contend") == 0) {
        if (argc == 5) {
            HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[4]);
            if (!ready || !ReleaseSemaphore(ready, 1, nullptr))
                return 2;
            CloseHandle(ready);
        }
        WaitForSingleObject(first, 30000);
        if (IsAnotherInstallationInProgress())
            return 20;
        if (!SetInstallationFlag())
            return 30;
        code = 10;
    }
    WaitForSingleObject(release, 60000);
    CloseInstallationFlag();
    return code;
}
