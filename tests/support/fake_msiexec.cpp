// A scriptable stand-in for msiexec.exe. Tests point the "InstallerLocation"
// value (HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer) at the
// folder of this program, so launcher code starts it in place of the
// Windows Installer; it is built as <build>\bin\fake-msiexec\msiexec.exe.
//
// Each run
//   1. reads its script: the file that TDS_FAKE_MSIEXEC_SCRIPT names, else
//      "msiexec.script" beside this program; no script means "log, exit 0";
//   2. appends its whole command line (GetCommandLineW, UTF-8) as one line
//      (CR LF) to its log: the file that TDS_FAKE_MSIEXEC_LOG names, else the
//      script's `log` line, else "msiexec.log" beside this program. The run
//      number is the count of lines the log held before, plus 1;
//   3. carries out the script's commands in order and exits with the code of
//      the last `exit` command carried out (0 when none).
//
// Script: one command per line; blank lines and lines starting with "#" are
// skipped. A command word, one blank, then its arguments. Commands that take
// several arguments separate them with "|", so texts may hold blanks.
//   log PATH                      log file (used unless TDS_FAKE_MSIEXEC_LOG is set)
//   exit CODE                     exit code: decimal, negative allowed, or 0x hex
//   sleep MS                      pause MS milliseconds
//   hang                          wait until killed
//   regset KEY|NAME|TYPE|DATA     set a value; TYPE sz, expand_sz or dword
//                                 (DATA decimal or 0x hex); the key is created
//   regdel KEY|NAME               delete a value (a missing one is fine)
//   regdelkey KEY                 delete a key with everything below it
//   record ID STATE               write the 8-byte operation record (id, state,
//                                 little-endian) into the existing shared memory
//                                 "TdsOperationSequenceSharedMemory"
//   setevent NAME                 create or open the manual-reset event NAME and
//                                 set it (the handle stays open until exit)
//   waitevent NAME|MS             create or open the manual-reset event NAME and
//                                 wait for it, at most MS ms ("infinite": no limit)
// KEY is a root and a path: HKLM\..., HKCU\..., or HKLM32\... / HKLM64\...
// for the 32-bit or 64-bit registry view.
//
// Sections choose the runs that the following lines apply to:
//   [all]                         every run (the start of the script is [all])
//   [run N]                       only the N-th run (see the run number above)
//   [contains TEXT]               only runs whose command line contains TEXT,
//                                 letter case ignored
//
// Example: the first install asks for the single rerun, the rerun succeeds.
//   [run 1]
//   regset HKLM\SOFTWARE\TolvaSoft|InstallStatus|sz|reinstall
//   [run 2]
//   exit 0
//
// A failing command is reported on stderr and the script goes on; the double
// never shows a window. An event set just before the run ends disappears with
// the run unless another process holds it open: add a `sleep` after
// `setevent` when the waiter may open it late.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"

namespace {

constexpr wchar_t kRecordMemoryName[] = L"TdsOperationSequenceSharedMemory";

using testutil::environmentValue;
using testutil::fromUtf8;
using testutil::toUtf8;

void warn(const std::wstring& text) {
  std::fprintf(stderr, "fake msiexec: %s\n", toUtf8(text).c_str());
}

std::wstring trim(const std::wstring& text) {
  std::wstring::size_type first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return {};
  std::wstring::size_type last = text.find_last_not_of(L" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::vector<std::wstring> splitFields(const std::wstring& text) {
  std::vector<std::wstring> fields;
  std::wstring::size_type start = 0;
  for (;;) {
    std::wstring::size_type bar = text.find(L'|', start);
    fields.push_back(text.substr(start, bar == std::wstring::npos ? bar : bar - start));
    if (bar == std::wstring::npos) return fields;
    start = bar + 1;
  }
}

bool parseInteger(const std::wstring& text, long long& out) {
  std::wstring t = trim(text);
  if (t.empty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
    out = static_cast<long long>(std::wcstoull(t.c_str() + 2, &end, 16));
  } else {
    out = std::wcstoll(t.c_str(), &end, 10);
  }
  return errno == 0 && end != nullptr && *end == L'\0';
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

struct RegistryPath {
  HKEY root = nullptr;
  REGSAM view = 0;
  std::wstring subkey;
};

bool parseRegistryPath(const std::wstring& text, RegistryPath& out) {
  std::wstring::size_type slash = text.find(L'\\');
  std::wstring root = lower(text.substr(0, slash));
  out.subkey = slash == std::wstring::npos ? std::wstring() : text.substr(slash + 1);
  if (root == L"hklm" || root == L"hkey_local_machine") {
    out.root = HKEY_LOCAL_MACHINE;
  } else if (root == L"hklm32") {
    out.root = HKEY_LOCAL_MACHINE;
    out.view = KEY_WOW64_32KEY;
  } else if (root == L"hklm64") {
    out.root = HKEY_LOCAL_MACHINE;
    out.view = KEY_WOW64_64KEY;
  } else if (root == L"hkcu" || root == L"hkey_current_user") {
    out.root = HKEY_CURRENT_USER;
  } else {
    return false;
  }
  return !out.subkey.empty();
}

void regSet(const std::wstring& args) {
  std::vector<std::wstring> f = splitFields(args);
  RegistryPath path;
  if (f.size() != 4 || !parseRegistryPath(f[0], path)) return warn(L"bad regset: " + args);
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(path.root, path.subkey.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | path.view, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return warn(L"cannot create key " + f[0]);
  std::wstring type = lower(f[2]);
  if (type == L"dword") {
    long long value = 0;
    if (!parseInteger(f[3], value)) {
      RegCloseKey(key);
      return warn(L"bad dword: " + f[3]);
    }
    DWORD data = static_cast<DWORD>(value);
    rc = RegSetValueExW(key, f[1].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data);
  } else if (type == L"sz" || type == L"expand_sz") {
    rc = RegSetValueExW(key, f[1].c_str(), 0, type == L"sz" ? REG_SZ : REG_EXPAND_SZ,
                        reinterpret_cast<const BYTE*>(f[3].c_str()),
                        static_cast<DWORD>((f[3].size() + 1) * sizeof(wchar_t)));
  } else {
    rc = ERROR_INVALID_PARAMETER;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) warn(L"cannot set " + args);
}

void regDelete(const std::wstring& args) {
  std::vector<std::wstring> f = splitFields(args);
  RegistryPath path;
  if (f.size() != 2 || !parseRegistryPath(f[0], path)) return warn(L"bad regdel: " + args);
  HKEY key = nullptr;
  if (RegOpenKeyExW(path.root, path.subkey.c_str(), 0, KEY_SET_VALUE | path.view, &key) !=
      ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, f[1].c_str());
  RegCloseKey(key);
}

void regDeleteKey(const std::wstring& args) {
  RegistryPath path;
  if (!parseRegistryPath(trim(args), path)) return warn(L"bad regdelkey: " + args);
  std::wstring::size_type slash = path.subkey.find_last_of(L'\\');
  std::wstring parentPath = slash == std::wstring::npos ? L"" : path.subkey.substr(0, slash);
  std::wstring leaf = slash == std::wstring::npos ? path.subkey : path.subkey.substr(slash + 1);
  HKEY parent = nullptr;
  if (RegOpenKeyExW(path.root, parentPath.c_str(), 0, KEY_ALL_ACCESS | path.view, &parent) !=
      ERROR_SUCCESS)
    return;
  // With a subkey name, RegDeleteTreeW removes that key itself too.
  RegDeleteTreeW(parent, leaf.c_str());
  RegCloseKey(parent);
}

void writeRecord(const std::wstring& args) {
  std::wstring a = trim(args);
  std::wstring::size_type blank = a.find(L' ');
  long long id = 0;
  long long state = 0;
  if (blank == std::wstring::npos || !parseInteger(a.substr(0, blank), id) ||
      !parseInteger(a.substr(blank + 1), state))
    return warn(L"bad record: " + args);
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kRecordMemoryName);
  if (mapping == nullptr) return warn(L"no operation record to write");
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 8);
  if (view != nullptr) {
    unsigned char bytes[8];
    for (int i = 0; i < 4; ++i) {
      bytes[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(id) >> (8 * i));
      bytes[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(state) >> (8 * i));
    }
    std::memcpy(view, bytes, sizeof bytes);
    FlushViewOfFile(view, sizeof bytes);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

// Events stay open until the process ends: a waiter that opens the event
// after this run set it still finds it signalled while we live.
std::vector<HANDLE> gEvents;

HANDLE openEvent(const std::wstring& name) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  if (event == nullptr) warn(L"cannot create event " + name);
  else gEvents.push_back(event);
  return event;
}

void setEvent(const std::wstring& args) {
  HANDLE event = openEvent(trim(args));
  if (event != nullptr) SetEvent(event);
}

void waitEvent(const std::wstring& args) {
  std::vector<std::wstring> f = splitFields(args);
  if (f.size() != 2) return warn(L"bad waitevent: " + args);
  DWORD timeout = INFINITE;
  if (lower(trim(f[1])) != L"infinite") {
    long long ms = 0;
    if (!parseInteger(f[1], ms) || ms < 0) return warn(L"bad waitevent time: " + f[1]);
    timeout = static_cast<DWORD>(ms);
  }
  HANDLE event = openEvent(trim(f[0]));
  if (event != nullptr && WaitForSingleObject(event, timeout) != WAIT_OBJECT_0)
    warn(L"event not set in time: " + f[0]);
}

struct Line {
  std::wstring command;
  std::wstring args;
};

// The lines that apply to this run, with the `log` line kept apart.
std::vector<Line> selectLines(const std::wstring& script, const std::wstring& commandLine,
                              long long runNumber, std::wstring& logPath) {
  std::vector<Line> lines;
  bool active = true;
  std::wstring lowerCommandLine = lower(commandLine);
  std::wstring::size_type start = 0;
  while (start <= script.size()) {
    std::wstring::size_type end = script.find(L'\n', start);
    std::wstring line =
        trim(script.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    start = end == std::wstring::npos ? script.size() + 1 : end + 1;
    if (line.empty() || line[0] == L'#') continue;
    if (line.front() == L'[' && line.back() == L']') {
      std::wstring section = line.substr(1, line.size() - 2);
      long long n = 0;
      if (lower(section) == L"all") {
        active = true;
      } else if (lower(section.substr(0, 4)) == L"run " && parseInteger(section.substr(4), n)) {
        active = n == runNumber;
      } else if (lower(section.substr(0, 9)) == L"contains ") {
        active = lowerCommandLine.find(lower(section.substr(9))) != std::wstring::npos;
      } else {
        warn(L"bad section: " + line);
        active = false;
      }
      continue;
    }
    if (!active) continue;
    std::wstring::size_type blank = line.find(L' ');
    Line parsed{lower(line.substr(0, blank)),
                blank == std::wstring::npos ? std::wstring() : line.substr(blank + 1)};
    if (parsed.command == L"log") logPath = trim(parsed.args);
    else lines.push_back(parsed);
  }
  return lines;
}

long long countLines(const std::wstring& path) {
  std::string text;
  if (!testutil::readFile(path, text)) return 0;
  long long count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

void appendLine(const std::wstring& path, const std::string& line) {
  // The log may be read by the test at the same moment; it retries briefly.
  if (!testutil::appendLogLine(path, line)) warn(L"cannot write the log " + path);
}

}  // namespace

int main() {
  std::wstring scriptPath = environmentValue(L"TDS_FAKE_MSIEXEC_SCRIPT");
  if (scriptPath.empty()) scriptPath = testutil::besideExe(L"msiexec.script");
  std::string scriptBytes;
  testutil::readFile(scriptPath, scriptBytes);
  std::wstring script = fromUtf8(scriptBytes);

  std::wstring commandLine = GetCommandLineW();
  // The log must be known before the run number, and the run number before
  // the sections can be chosen: read the `log` line in a first pass.
  std::wstring scriptLog;
  selectLines(script, commandLine, 0, scriptLog);
  std::wstring logPath = environmentValue(L"TDS_FAKE_MSIEXEC_LOG");
  if (logPath.empty()) logPath = scriptLog;
  if (logPath.empty()) logPath = testutil::besideExe(L"msiexec.log");

  long long runNumber = countLines(logPath) + 1;
  appendLine(logPath, toUtf8(commandLine));

  std::wstring ignored;
  long long exitCode = 0;
  for (const Line& line : selectLines(script, commandLine, runNumber, ignored)) {
    if (line.command == L"exit") {
      if (!parseInteger(line.args, exitCode)) warn(L"bad exit code: " + line.args);
    } else if (line.command == L"sleep") {
      long long ms = 0;
      if (parseInteger(line.args, ms) && ms >= 0) Sleep(static_cast<DWORD>(ms));
      else warn(L"bad sleep: " + line.args);
    } else if (line.command == L"hang") {
      for (;;) Sleep(INFINITE);
    } else if (line.command == L"regset") {
      regSet(line.args);
    } else if (line.command == L"regdel") {
      regDelete(line.args);
    } else if (line.command == L"regdelkey") {
      regDeleteKey(line.args);
    } else if (line.command == L"record") {
      writeRecord(line.args);
    } else if (line.command == L"setevent") {
      setEvent(line.args);
    } else if (line.command == L"waitevent") {
      waitEvent(line.args);
    } else {
      warn(L"unknown command: " + line.command);
    }
  }
  for (HANDLE event : gEvents) CloseHandle(event);
  return static_cast<int>(static_cast<std::uint32_t>(exitCode));
}
