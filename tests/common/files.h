#pragma once
// Files as tests and the doubles they start read and write them: whole
// contents as bytes, the lines of a log, appended log lines, existence and
// removal of a folder tree. Header only, plain Win32, so a double builds
// without any library. Narrow paths are in the ANSI code page, as the
// system's A functions take them.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/text_conversion.h"

namespace testutil {

// Reads the whole file at path into bytes. Answers false, bytes untouched,
// when the file cannot be opened or a read fails. Others may hold the file
// open for reading or writing meanwhile (a log being written).
inline bool readFile(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) != FALSE && got > 0)
        out.append(buffer, got);
    CloseHandle(file);
    if (!ok)
        return false;
    bytes.swap(out);
    return true;
}

// The whole content of a file; empty when it cannot be read.
inline std::string readFileText(const std::wstring& path) {
    std::string bytes;
    readFile(path, bytes);
    return bytes;
}
inline std::string readFileText(const std::string& path) { return readFileText(fromAnsi(path)); }

// readFileText as a byte vector.
inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    const std::string bytes = readFileText(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The lines of a text file, oldest first, each without its LF or CR LF; a
// last line without a line end counts too. Empty when it cannot be read.
inline std::vector<std::string> readFileLines(const std::wstring& path) {
    const std::string text = readFileText(path);
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}
inline std::vector<std::string> readFileLines(const std::string& path) { return readFileLines(fromAnsi(path)); }

// Replaces the file's content with bytes (the file is made when missing).
// False when it cannot be opened or not every byte was written.
inline bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}
inline bool writeFileBytes(const std::string& path, const std::string& bytes) {
    return writeFileBytes(fromAnsi(path), bytes);
}

// Appends line and CR LF to the file (made when missing) in one write, so a
// reader never sees half a line. A test may be reading the file at that
// moment: the open is retried for about a second. False when it could not
// be opened.
inline bool appendLogLine(const std::wstring& path, const std::string& line) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const std::string data = line + "\r\n";
            DWORD written = 0;
            WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
            CloseHandle(file);
            return true;
        }
        Sleep(10);
    }
    return false;
}

// True when a file or folder exists at path.
inline bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes folder with everything below it, read-only files included. What
// cannot be removed (a file another process holds) stays; no error is told.
inline void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = folder + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace testutil
