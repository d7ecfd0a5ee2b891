#pragma once
// The user's messages for settings result codes: a message box (unless
// silent) and a log line, texts from the program's string table.

#include "config/platform_types.h"

#include <cstdint>
#include <string>

class SettingsConfig;

// Loads caption and format (string ids), formats the text with the two
// UTF-8 arguments (cut at 1023 bytes), logs it and, unless silent, shows it
// with MessageBoxA in the ANSI code page.
void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, UINT flags, bool silent,
                      const std::string& first, const std::string& second);
void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, bool silent, const std::string& first);

// True for code 0. Any other code shows or logs its message (the line of a
// 313 comes from the context's last import errors) and answers false.
bool ReportConfigError(HINSTANCE instance, const SettingsConfig& context, int32_t code, const std::string& path,
                       bool silent);
