// The kit package's check of its cabinets, run by the package as a deferred
// action right after its files are copied:
//
//   kit_cab_check.exe <package folder> <cabinet name>...
//
// The launcher writes the cabinets beside the package on a thread of its own
// while the install already runs, and sets the manual-reset event
// "BraskVindelCabExtractWaitEvent" when it is done. This program waits for
// that event (at most 60 s), then checks that every named cabinet exists in
// the package folder and starts with the cabinet signature "MSCF". Exit code
// 0 when all are there; 1 on a time-out, 2 for a missing or damaged
// cabinet, 3 for a bad command line. The package fails its install on any
// of these, as a package that needs its cabinets would.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const DWORD kWaitMs = 60000;

bool hasCabinetSignature(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char head[4] = {};
  DWORD got = 0;
  const BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  return read && got == sizeof head && head[0] == 'M' && head[1] == 'S' && head[2] == 'C' &&
         head[3] == 'F';
}

// The event may be created a moment after the package starts: poll for it.
bool waitForCabinets() {
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"BraskVindelCabExtractWaitEvent");
    if (event != nullptr) {
      const DWORD left = kWaitMs - (GetTickCount() - start);
      const DWORD waited = WaitForSingleObject(event, left > kWaitMs ? 0 : left);
      CloseHandle(event);
      return waited == WAIT_OBJECT_0;
    }
    if (GetTickCount() - start >= kWaitMs) return false;
    Sleep(50);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: kit_cab_check <package folder> <cabinet>...\n");
    return 3;
  }
  if (!waitForCabinets()) {
    fwprintf(stderr, L"the cabinets were not written in time\n");
    return 1;
  }
  std::wstring folder = argv[1];
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  for (int i = 2; i < argc; ++i) {
    const std::wstring path = folder + L"\\" + argv[i];
    if (!hasCabinetSignature(path)) {
      fwprintf(stderr, L"missing or damaged cabinet %ls\n", path.c_str());
      return 2;
    }
  }
  return 0;
}
