#pragma once
// Texts the user reads: string resources and window texts as UTF-8, handed to
// Windows as UTF-16. The ANSI calls would pass them through the ANSI code
// page, which cannot hold a Japanese text on a system set up for Western
// Europe (the user sees question marks).

#include <windows.h>

#include <string>

// String resource id of module in the thread's resource language (or the
// loader's fallback), as UTF-8; empty when the program has no such string.
std::string LoadStringUtf8(HMODULE module, UINT id);

// Sets window's text to text (UTF-8). Text that is not UTF-8 is taken as
// ANSI. False when window is null or the call fails.
bool SetWindowTextUtf8(HWND window, const std::string& text);

// Window's text as UTF-8; empty for a null window.
std::string GetWindowTextUtf8(HWND window);

// MessageBoxW with text and caption (UTF-8; text that is not UTF-8 is taken
// as ANSI). Answers MessageBoxW's answer.
int MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT flags);
