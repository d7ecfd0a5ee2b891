// A stand-in for a program that a package installs and a launcher starts
// (the updater's registration tool "taureg.exe", the kit's runtime installer
// "kessa.exe"). It installs nothing: it records how it was called and answers
// a chosen exit code, so a whole launcher run can be checked afterwards:
//
//   - appends one line to RECORDER_LOG_NAME beside this program (or to the
//     file that the environment variable RECORDER_LOG_VARIABLE names): the
//     arguments as they follow the program name on the command line, leading
//     blanks removed, UTF-8, CR LF;
//   - exits with the decimal number in RECORDER_EXIT_CODE_VARIABLE, else 0.
//
// The three names are given by the build, one set per program.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"

namespace {

// The command line after the program name, split the way the C runtime
// splits argv[0]: a quoted name ends at the next quote, a bare one at a blank.
std::wstring argumentsText() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int wmain() {
  // The log is opened shared with a few retries: two runs may write at once.
  std::wstring logPath = testutil::environmentValue(RECORDER_LOG_VARIABLE);
  if (logPath.empty()) logPath = testutil::besideExe(RECORDER_LOG_NAME);
  testutil::appendLogLine(logPath, testutil::toUtf8(argumentsText()));

  std::wstring code = testutil::environmentValue(RECORDER_EXIT_CODE_VARIABLE);
  if (code.empty()) return 0;
  return static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
