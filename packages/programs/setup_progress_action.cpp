// Custom action carried by the sample runtime package. The package runs it
// (deferred, in msiexec's own process tree) at points of its install
// sequence to tell a watching launcher what the installation is doing:
//
//   setup_progress_action.exe [--started] [ID:STATE ...]
//
//   --started   sets the named event "KessaSetupMsiStarted" (the launcher's
//               progress window waits on it before it shows itself)
//   ID:STATE    writes the 8-byte operation record (id, then state, both
//               little-endian 32-bit) into the shared memory
//               "TdsOperationSequenceSharedMemory"; several records are
//               written in order, 300 ms apart, so a reader that polls every
//               100 ms sees each of them even on a busy machine.
//
// A silent install has no progress window, so neither object exists then.
// Every failure here is ignored and the program always exits with 0: a
// progress report must never fail an installation.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kStartEventName[] = L"KessaSetupMsiStarted";
constexpr wchar_t kRecordMemoryName[] = L"TdsOperationSequenceSharedMemory";
constexpr DWORD kRecordSize = 8;
constexpr DWORD kPauseBetweenRecordsMs = 300;

struct Record {
  std::uint32_t id;
  std::uint32_t state;
};

void setStartEvent() {
  // Opened, never created: an event made here would vanish with this
  // process and tell nobody anything.
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, kStartEventName);
  if (event == nullptr) return;
  SetEvent(event);
  CloseHandle(event);
}

void storeLittleEndian(unsigned char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

void writeRecord(const Record& record) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kRecordMemoryName);
  if (mapping == nullptr) return;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kRecordSize);
  if (view != nullptr) {
    unsigned char bytes[kRecordSize];
    storeLittleEndian(bytes, record.id);
    storeLittleEndian(bytes + 4, record.state);
    // One copy of all 8 bytes: the reader judges the record as a whole.
    std::memcpy(view, bytes, kRecordSize);
    FlushViewOfFile(view, kRecordSize);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

bool parseNumber(const wchar_t* text, const wchar_t* end, std::uint32_t& out) {
  if (text == end) return false;
  std::uint64_t value = 0;
  for (const wchar_t* p = text; p != end; ++p) {
    if (*p < L'0' || *p > L'9') return false;
    value = value * 10 + static_cast<std::uint64_t>(*p - L'0');
    if (value > 0xFFFFFFFFull) return false;
  }
  out = static_cast<std::uint32_t>(value);
  return true;
}

bool parseRecord(const wchar_t* arg, Record& out) {
  const wchar_t* colon = std::wcschr(arg, L':');
  if (colon == nullptr) return false;
  return parseNumber(arg, colon, out.id) &&
         parseNumber(colon + 1, colon + std::wcslen(colon), out.state) && out.id != 0 &&
         out.state <= 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool wroteOne = false;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--started") == 0) {
      setStartEvent();
      continue;
    }
    Record record{};
    if (!parseRecord(argv[i], record)) continue;
    if (wroteOne) Sleep(kPauseBetweenRecordsMs);
    writeRecord(record);
    wroteOne = true;
  }
  return 0;
}
