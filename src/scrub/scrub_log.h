#pragma once
// The removal log "TolvaScrub.log" in the user's temporary folder: raw text,
// written without terminators or line ends.

#include <windows.h>

#include <string>

namespace tscrub {

// Opens "<temp folder>\TolvaScrub.log" with the given access and creation
// disposition (shared for reading). Answers INVALID_HANDLE_VALUE when the file
// cannot be opened ("Create-File-Wrapper:<message>" on the standard error
// stream) or when its path does not fit the 240-byte path buffer (the log is
// then skipped). The caller closes the handle.
HANDLE openScrubLog(DWORD desiredAccess, DWORD creationDisposition);

// Writes the text's bytes to the file; false when the handle is invalid or
// the write failed.
bool writeScrubLog(HANDLE file, const std::string& text);

}  // namespace tscrub
