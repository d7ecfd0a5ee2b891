#pragma once
// The installation lock: a file in the user's data folder that a running
// launcher holds open, unshared and delete-on-close, for the whole install.
// Both launchers use the same file, so they exclude each other; the system
// removes it when the holder ends, also after a crash.

#include <cstddef>

// Builds "<user data folder>\Brask\Tolva\TOLVA_INSTALL_FLAG" into buffer
// (capacity at least 260), creating the two folders. Answers 1, or 0 when the
// capacity is too small, the folder is unknown or a folder cannot be created
// (buffer contents are then unspecified).
int GetInstallationFlagPath(char* buffer, size_t capacity);

// True when a running launcher holds the lock: the file cannot be deleted for
// a sharing, lock or access error. A file left by an ended launcher is removed
// on the way. A lock path that cannot be built answers false.
bool IsAnotherInstallationInProgress();

// Takes the lock for the life of the process. Answers 1 (also when this
// process holds it already), or 0 when the path cannot be built or the file
// cannot be created (another launcher has it).
int SetInstallationFlag();

// Releases the lock (the file goes with it) when this process holds it.
void CloseInstallationFlag();
