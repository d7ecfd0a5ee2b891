// Stand-in web browser, built as chrome.exe, firefox.exe and iexplore.exe,
// each in a folder of its own. Appends its command line (UTF-8, CR LF) to
// "browser.log" beside itself, shows a top-level window titled
// "Stand-in browser", and when that window is asked to close (WM_CLOSE)
// appends "closed" and exits with code 7, so a test can tell a browser that
// closed by itself from one that was terminated.
#include <windows.h>

#include <string>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/text_conversion.h"

namespace {

const int kClosedExitCode = 7;

std::wstring logPath() { return testutil::besideExe(L"browser.log"); }

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      testutil::appendLogLine(logPath(), "closed");
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kClosedExitCode);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  testutil::appendLogLine(logPath(), testutil::toUtf8(GetCommandLineW()));
  WNDCLASSW cls = {};
  cls.lpfnWndProc = windowProc;
  cls.hInstance = instance;
  cls.lpszClassName = L"TdsStandInBrowser";
  RegisterClassW(&cls);
  HWND window = CreateWindowExW(0, cls.lpszClassName, L"Stand-in browser", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance,
                                nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
