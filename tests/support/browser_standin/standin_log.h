// What the stand-in does for runs it cannot be driven from inside: an event
// log file (BROWSER_STANDIN_LOG) and a script of clicks and evaluations
// (BROWSER_STANDIN_SCRIPT), both named by environment variables that are read
// whenever a control is created.
#pragma once

#include <string>

namespace standin {

// Reads the two variables. The script file is read once per process (the
// first time the variable names one); its position is process-wide, so a
// script walks through pages that different controls show.
void readAutomationEnvironment();

// Appends one UTF-8 line (with "\n") to the log file, when one is named.
void logLine(const std::wstring& line);

struct ScriptStep {
  std::wstring page;     // page resource name, compared without case
  std::wstring command;  // "click", "eval" or "wait"
  std::wstring arg;      // the rest of the line
};

// The next step of the script when it belongs to `page`; false otherwise.
bool peekStep(const std::wstring& page, ScriptStep* step);

// Marks the step returned by peekStep as done.
void finishStep();

}  // namespace standin
