#include "standin_log.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "res_url.h"

namespace standin {
namespace {

struct State {
  std::mutex lock;
  std::wstring logPath;
  bool scriptRead = false;
  std::vector<ScriptStep> steps;
  size_t next = 0;
};

State& state() {
  static State s;
  return s;
}

std::wstring env(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  DWORD n = GetEnvironmentVariableW(name, &value[0], size);
  if (n == 0 || n >= size) return std::wstring();
  value.resize(n);
  return value;
}

bool readFile(const std::wstring& path, std::string* bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes->append(chunk, got);
  CloseHandle(file);
  return true;
}

std::wstring nextWord(const std::wstring& line, size_t* pos) {
  while (*pos < line.size() && (line[*pos] == L' ' || line[*pos] == L'\t')) ++*pos;
  size_t start = *pos;
  while (*pos < line.size() && line[*pos] != L' ' && line[*pos] != L'\t') ++*pos;
  return line.substr(start, *pos - start);
}

std::vector<ScriptStep> parseScript(const std::wstring& text) {
  std::vector<ScriptStep> steps;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t pos = 0;
    ScriptStep step;
    step.page = nextWord(line, &pos);
    if (step.page.empty() || step.page[0] == L'#') continue;
    step.command = nextWord(line, &pos);
    while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
    step.arg = line.substr(pos);
    steps.push_back(step);
  }
  return steps;
}

}  // namespace

void readAutomationEnvironment() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.logPath = env(L"BROWSER_STANDIN_LOG");
  std::wstring script = env(L"BROWSER_STANDIN_SCRIPT");
  if (s.scriptRead || script.empty()) return;
  std::string bytes;
  if (!readFile(script, &bytes)) return;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  s.steps = parseScript(fromUtf8(bytes));
  s.scriptRead = true;
}

void logLine(const std::wstring& line) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.logPath.empty()) return;
  std::string bytes = toUtf8(line) + "\n";
  // Opened per line, shared, so a test can read the file while we run and
  // several processes can append to one log.
  for (int attempt = 0; attempt < 20; ++attempt) {
    HANDLE file = CreateFileW(s.logPath.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(file);
      return;
    }
    Sleep(5);
  }
}

bool peekStep(const std::wstring& page, ScriptStep* step) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.next >= s.steps.size()) return false;
  const ScriptStep& candidate = s.steps[s.next];
  if (CompareStringOrdinal(candidate.page.c_str(), -1, page.c_str(), -1, TRUE) != CSTR_EQUAL)
    return false;
  *step = candidate;
  return true;
}

void finishStep() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.next < s.steps.size()) ++s.next;
}

}  // namespace standin
