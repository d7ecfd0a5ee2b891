// Logs its command line and exits with a chosen code or after a pause: the
// fake child for process-start tests.
//
// Each run appends its whole command line (GetCommandLineW, UTF-8, CR LF) to
// the file that TDS_CMDLINE_LOG names, else to "cmdline_logger.log" beside
// this program. Then it sleeps and exits as chosen, by these arguments (which
// are logged like any other) or, when they are absent, these variables:
//   --exit-code=N  / TDS_CMDLINE_EXIT_CODE   exit code, decimal or 0x hex (default 0)
//   --sleep-ms=N   / TDS_CMDLINE_SLEEP_MS    pause before exiting ("infinite":
//                                            until killed)
// The arguments work where the environment is not passed on (a program
// started through the shell as another user).
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <string>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"

namespace {

using testutil::environmentValue;

bool parseNumber(const std::wstring& text, long long& out) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X'))
    out = static_cast<long long>(std::wcstoull(text.c_str() + 2, &end, 16));
  else
    out = std::wcstoll(text.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == L'\0';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring logPath = environmentValue(L"TDS_CMDLINE_LOG");
  if (logPath.empty()) logPath = testutil::besideExe(L"cmdline_logger.log");
  testutil::appendLogLine(logPath, testutil::toUtf8(GetCommandLineW()));

  std::wstring exitText = environmentValue(L"TDS_CMDLINE_EXIT_CODE");
  std::wstring sleepText = environmentValue(L"TDS_CMDLINE_SLEEP_MS");
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.rfind(L"--exit-code=", 0) == 0) exitText = arg.substr(12);
    else if (arg.rfind(L"--sleep-ms=", 0) == 0) sleepText = arg.substr(11);
  }
  if (sleepText == L"infinite") {
    for (;;) Sleep(INFINITE);
  }
  long long value = 0;
  if (parseNumber(sleepText, value) && value > 0) Sleep(static_cast<DWORD>(value));
  long long code = 0;
  if (!parseNumber(exitText, code)) code = 0;
  return static_cast<int>(static_cast<std::uint32_t>(code));
}
