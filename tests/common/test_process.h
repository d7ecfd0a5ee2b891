#pragma once
// What every test program does before its first test: a temporary folder of
// its own, so its log (tusched.log, TolvaScrub.log) and scratch files are its
// own, and a job that ends every program it started when it ends.

namespace testutil {

// Makes "<temporary folder>\<program>-<pid>-<n>" and points TMP and TEMP at
// it; programs the test starts inherit it. Puts the process into a job that
// kills its remaining children when the process ends, so no helper outlives
// the test program and holds its output or the screen. Call it first in a
// program's own main (the shared test main does); calling it again, or in a
// child that inherited a test folder, changes nothing. Ends the process with
// a message when the folder cannot be made or the system does not report it
// as the temporary folder.
void isolateTestProcess();

// The folder isolateTestProcess made, without a trailing backslash; empty
// before it ran.
const char* testProcessFolder();

// Removes the folder with its files when the program's tests passed, keeps it
// (and prints where) when one failed.
void finishTestProcess(bool passed);

}  // namespace testutil
