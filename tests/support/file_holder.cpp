// Holds a file open with a chosen share mode, so tests can make other opens
// of it fail the way a busy file does.
//
//   file_holder.exe [--share MODE] [--access MODE] [--disposition D]
//                   [--delete-on-close] [--ready-event NAME] [--seconds N] PATH
//
//   --share MODE        letters of FILE_SHARE_READ (r), _WRITE (w), _DELETE (d),
//                       or "none"; default none
//   --access MODE       r, w or rw (GENERIC_READ / GENERIC_WRITE); default rw
//   --disposition D     always (OPEN_ALWAYS, default), new (CREATE_NEW) or
//                       existing (OPEN_EXISTING)
//   --delete-on-close   FILE_FLAG_DELETE_ON_CLOSE (the way the launchers hold
//                       their lock file)
//   --ready-event NAME  sets the named event (created when missing) once the
//                       file is open, so a test knows when to go on
//   --seconds N         closes the file and ends after N seconds; without it
//                       the file is held until the process is killed
//
// Exit codes: 0 held and released, 2 bad arguments, 3 the open failed (the
// Windows error is written to stderr).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: file_holder [--share rwd|none] [--access r|w|rw] "
               "[--disposition always|new|existing] [--delete-on-close] "
               "[--ready-event NAME] [--seconds N] PATH\n");
  return 2;
}

bool parseShare(const std::wstring& text, DWORD& share) {
  share = 0;
  if (text == L"none" || text == L"0") return true;
  for (wchar_t c : text) {
    if (c == L'r') share |= FILE_SHARE_READ;
    else if (c == L'w') share |= FILE_SHARE_WRITE;
    else if (c == L'd') share |= FILE_SHARE_DELETE;
    else return false;
  }
  return !text.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD share = 0;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  const wchar_t* readyEvent = nullptr;
  long seconds = -1;
  const wchar_t* path = nullptr;

  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--share" && hasValue) {
      if (!parseShare(argv[++i], share)) return usage();
    } else if (arg == L"--access" && hasValue) {
      std::wstring a = argv[++i];
      if (a == L"r") access = GENERIC_READ;
      else if (a == L"w") access = GENERIC_WRITE;
      else if (a == L"rw") access = GENERIC_READ | GENERIC_WRITE;
      else return usage();
    } else if (arg == L"--disposition" && hasValue) {
      std::wstring d = argv[++i];
      if (d == L"always") disposition = OPEN_ALWAYS;
      else if (d == L"new") disposition = CREATE_NEW;
      else if (d == L"existing") disposition = OPEN_EXISTING;
      else return usage();
    } else if (arg == L"--delete-on-close") {
      flags |= FILE_FLAG_DELETE_ON_CLOSE;
    } else if (arg == L"--ready-event" && hasValue) {
      readyEvent = argv[++i];
    } else if (arg == L"--seconds" && hasValue) {
      wchar_t* end = nullptr;
      seconds = std::wcstol(argv[++i], &end, 10);
      if (end == nullptr || *end != L'\0' || seconds < 0) return usage();
    } else if (path == nullptr && !arg.empty() && arg[0] != L'-') {
      path = argv[i];
    } else {
      return usage();
    }
  }
  if (path == nullptr) return usage();

  HANDLE file = CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    std::fprintf(stderr, "file_holder: CreateFileW failed with %lu\n", error);
    return 3;
  }
  if (readyEvent != nullptr) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, readyEvent);
    if (event != nullptr) {
      SetEvent(event);
      // Kept open: the test may open the event only after this point.
    }
  }
  Sleep(seconds < 0 ? INFINITE : static_cast<DWORD>(seconds) * 1000);
  CloseHandle(file);
  return 0;
}
