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
#include <cstring>
#include <string>
#include <vector>

namespace {

// Ids of the running desktop processes.
std::vector<DWORD> desktopProcesses() {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0) found.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

TEST(WineSession, SharedDesktop_OutlivesAMomentWithoutTestPrograms) {
  const std::vector<DWORD> desktops = desktopProcesses();
  ASSERT_FALSE(desktops.empty()) << "no desktop process";
  HDESK shared = GetThreadDesktop(GetCurrentThreadId());
  wchar_t name[128] = {};
  ASSERT_TRUE(GetUserObjectInformationW(shared, UOI_NAME, name, sizeof name, nullptr));
  HDESK own = CreateDesktopW(L"TdsWineSessionProbe", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ASSERT_NE(own, nullptr) << "CreateDesktop: error " << GetLastError();
  ASSERT_TRUE(SetThreadDesktop(own)) << "SetThreadDesktop: error " << GetLastError();

  // Three times the delay after which Wine closes a desktop nobody uses: it
  // then takes the desktop's name away (no program can open it any more) and
  // tells its desktop process to end, which takes that process some seconds.
  for (DWORD id : desktops) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    EXPECT_NE(process, nullptr) << "explorer.exe " << id << ": error " << GetLastError();
    if (!process) continue;
    EXPECT_EQ(WaitForSingleObject(process, 3000), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the desktop process " << id << " ended";
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
  HANDLE file = CreateFileW(L"Z:\\proc\\self\\personality", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "/proc/self/personality: error " << GetLastError();
  char text[32] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file, text, sizeof text - 1, &read, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(ok) << "/proc/self/personality: error " << GetLastError();
  text[strcspn(text, "\n")] = '\0';
  constexpr unsigned long kAddrNoRandomize = 0x0040000;
  EXPECT_NE(std::strtoul(text, nullptr, 16) & kAddrNoRandomize, 0ul)
      << "personality " << text << ": the program runs with address randomization on";
}

}  // namespace
