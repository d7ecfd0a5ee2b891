// Holds a file open with no sharing until told to let go:
//   settings_file_holder <path> <ready event> <release event>
// Signals the ready event once the file is open, waits for the release event
// (at most two minutes, so a failed test leaves nothing behind), then exits.
// Exit codes: 0 released, 2 bad arguments, 3 the file could not be opened,
// 4 an event could not be opened.

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !release) return 4;
    SetEvent(ready);
    WaitForSingleObject(release, 120000);
    CloseHandle(file);
    return 0;
}
