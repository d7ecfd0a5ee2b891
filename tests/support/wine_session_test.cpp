// The Wine session the tests run in. Wine closes a desktop a second after
// its last program has gone, and the next program that opens a window starts
// a new desktop process (explorer.exe /desktop) as its own child. That
// process gets the program's stderr: it holds CTest's output pipe of that
// test for as long as any other program uses the desktop, and CTest waits
// for the pipe, not for the program. The session keeps one desktop for its
// whole length instead.
//
// The test moves its only thread to a desktop of its own, so that while it
// waits it is no user of the shared desktop: that desktop lives through the
// wait only when the session holds it.
//
// Debian's Wine has no preloader. With address randomization on, now and then
// a new program's heap lands on the page Wine keeps for the shared user data
// at 0x7ffe0000, and the program dies before its start is done: its parent's
// CreateProcess fails with ERROR_INTERNAL_ERROR. The session runs every
// program with randomization off.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/files.h"

namespace {

// The id of the process that owns this thread's desktop window: the desktop
// process of the shared desktop, or 0 when that is not an explorer.exe. Other
// explorer.exe processes come and go during a run (the executor opens its
// shortcut through explorer.exe), so the test follows only this one.
DWORD sharedDesktopProcess() {
  DWORD id = 0;
  GetWindowThreadProcessId(GetDesktopWindow(), &id);
  if (id == 0) return 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  bool explorer = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !explorer; more = Process32NextW(snapshot, &entry))
    explorer = entry.th32ProcessID == id && _wcsicmp(entry.szExeFile, L"explorer.exe") == 0;
  CloseHandle(snapshot);
  return explorer ? id : 0;
}

TEST(WineSession, SharedDesktop_OutlivesAMomentWithoutTestPrograms) {
  const DWORD desktop = sharedDesktopProcess();
  ASSERT_NE(desktop, 0u) << "no desktop process owns the desktop window";
  HDESK shared = GetThreadDesktop(GetCurrentThreadId());
  wchar_t name[128] = {};
  ASSERT_TRUE(GetUserObjectInformationW(shared, UOI_NAME, name, sizeof name, nullptr));
  HDESK own = CreateDesktopW(L"TdsWineSessionProbe", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_NE(own, nullptr) << "CreateDesktop: error " << GetLastError();
  ASSERT_TRUE(SetThreadDesktop(own)) << "SetThreadDesktop: error " << GetLastError();

  // Three times the delay after which Wine closes a desktop nobody uses: it
  // then takes the desktop's name away (no program can open it any more) and
  // tells its desktop process to end, which takes that process some seconds.
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, desktop);
  EXPECT_NE(process, nullptr) << "explorer.exe " << desktop << ": error " << GetLastError();
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process, 3000), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the desktop process " << desktop << " ended";
    CloseHandle(process);
  }
  HDESK reopened = OpenDesktopW(name, 0, FALSE, DESKTOP_READOBJECTS);
  EXPECT_NE(reopened, nullptr) << "the desktop closed: the next window would start another desktop process "
                                  "from its test program, with that program's stderr";
  if (reopened) CloseDesktop(reopened);

  EXPECT_TRUE(SetThreadDesktop(shared));
  CloseDesktop(own);
}

// The kernel's personality flags of this process, through the Unix side of
// the drive Wine maps to the root.
TEST(WineSession, Programs_RunWithAddressRandomizationOff) {
  std::string text;
  ASSERT_TRUE(testutil::readFile(L"Z:\\proc\\self\\personality", text))
      << "/proc/self/personality: error " << GetLastError();
  text = text.substr(0, text.find('\n'));
  constexpr unsigned long kAddrNoRandomize = 0x0040000;
  EXPECT_NE(std::strtoul(text.c_str(), nullptr, 16) & kAddrNoRandomize, 0ul)
      << "personality " << text << ": the program runs with address randomization on";
}

}  // namespace
