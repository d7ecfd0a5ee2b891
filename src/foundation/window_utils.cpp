#include "foundation/window_utils.h"

#include <commctrl.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "foundation/handle_release.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "foundation/window_utils_internal.h"

namespace window_utils_internal {

const char kFallbackFace[] = "Tahoma";

std::string dialogFace(const std::string& country, int osClass) {
    if (country == "Japan")
        return "MS UI Gothic";
    if (osClass < 2 || country == "Korea" || country == "China" || country == "Taiwan")
        return kFallbackFace;
    return "Segoe UI";
}

namespace {

// Position of tag in text at or after from, ignoring the case of its letters.
size_t findTag(const std::wstring& text, const wchar_t* tag, size_t from) {
    const size_t length = wcslen(tag);
    for (size_t at = from; at + length <= text.size(); ++at) {
        size_t i = 0;
        while (i < length && towlower(text[at + i]) == towlower(tag[i]))
            ++i;
        if (i == length)
            return at;
    }
    return std::wstring::npos;
}

LinkMarkup splitAt(const std::wstring& text, size_t open, size_t openLength, size_t close, size_t closeLength) {
    LinkMarkup result;
    const std::wstring before = text.substr(0, open);
    const std::wstring inside = text.substr(open + openLength, close - open - openLength);
    const std::wstring after = text.substr(close + closeLength);
    result.found = true;
    result.text = before + L"<a>" + inside + L"</a>" + after;
    result.visible = before + inside + after;
    return result;
}

}  // namespace

LinkMarkup makeLinkMarkup(const std::wstring& text) {
    // A closing tag before the opening one is text, not the end of the link.
    const size_t open = text.find(L"<l>");
    const size_t close = open == std::wstring::npos ? open : text.find(L"</l>", open + 3);
    if (close != std::wstring::npos)
        return splitAt(text, open, 3, close, 4);
    const size_t anchor = findTag(text, L"<a>", 0);
    const size_t anchorEnd = anchor == std::wstring::npos ? anchor : findTag(text, L"</a>", anchor + 3);
    if (anchorEnd != std::wstring::npos)
        return splitAt(text, anchor, 3, anchorEnd, 4);
    return LinkMarkup();
}

}  // namespace window_utils_internal

namespace {

struct CloseRequest {
    DWORD processId;
    int posted;
};

BOOL CALLBACK postCloseToWindowsOf(HWND window, LPARAM param) {
    CloseRequest* request = reinterpret_cast<CloseRequest*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != request->processId)
        return TRUE;
    if (PostMessageA(window, WM_CLOSE, 0, 0))
        ++request->posted;
    return TRUE;
}

}  // namespace

int ShutdownProcess(DWORD processId, DWORD timeoutMs, bool destroyWindows) {
    ScopedWin32Handle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
    if (!process.get())
        return 0;
    CloseRequest request = {processId, 0};
    EnumWindows(postCloseToWindowsOf, reinterpret_cast<LPARAM>(&request));
    TDS_LOG_INFO("ShutdownProcess", "ShutdownProcess: WM_CLOSE posted to %d window(s) of process %lu%s",
                 request.posted, static_cast<unsigned long>(processId),
                 destroyWindows ? " (destroy requested)" : "");
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0)
        return 1;
    TerminateProcess(process.get(), 0);
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0 ? 2 : 0;
}

HFONT CreateDialogFont(int pointSize, bool bold, bool underline) {
    // The country of the thread's locale, which the launchers set to the UI
    // language they chose: a Japanese page on a German system needs the
    // Japanese face, not the system's.
    char country[128] = {};
    if (!GetLocaleInfoA(GetThreadLocale(), LOCALE_SENGCOUNTRY, country, sizeof country))
        country[0] = '\0';
    const std::string face = window_utils_internal::dialogFace(country, SysInfo::getWindowsVersion());
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return CreateFontA(-MulDiv(pointSize, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_MEDIUM, FALSE,
                       underline ? TRUE : FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, face.c_str());
}

bool ApplyLinkMarkup(HWND control, const char* address, int fit) {
    if (!control || !address)
        return false;
    const int length = GetWindowTextLengthW(control);
    std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
    const std::wstring text(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
    const window_utils_internal::LinkMarkup markup = window_utils_internal::makeLinkMarkup(text);
    if (!markup.found)
        return false;
    std::wstring wideAddress;
    try {
        wideAddress = tstrings::toUtf16(address);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ApplyLinkMarkup", e);
        return false;
    }
    LITEM item = {};
    if (wideAddress.size() >= sizeof item.szUrl / sizeof item.szUrl[0]) {
        TDS_LOG_ERROR("ApplyLinkMarkup", "link address too long (%u characters)",
                      static_cast<unsigned>(wideAddress.size()));
        return false;
    }
    // The link control takes an "href" only from markup it parsed when it
    // was created (Wine's drops it from text set later, and shows the tag
    // as text), so the item is a bare anchor and gets its address here.
    if (markup.text != text)
        SetWindowTextW(control, markup.text.c_str());
    item.mask = LIF_ITEMINDEX | LIF_URL;
    item.iLink = 0;
    wcsncpy(item.szUrl, wideAddress.c_str(), sizeof item.szUrl / sizeof item.szUrl[0] - 1);
    if (!SendMessageW(control, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item))) {
        TDS_LOG_ERROR("ApplyLinkMarkup", "LM_SETITEM failed: the control is not a link control");
        return false;
    }

    if (fit == 1) {
        HDC dc = GetDC(control);
        if (dc) {
            HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
            HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
            SIZE extent = {};
            const BOOL measured = GetTextExtentPoint32W(dc, markup.visible.c_str(),
                                                        static_cast<int>(markup.visible.size()), &extent);
            if (old)
                SelectObject(dc, old);
            ReleaseDC(control, dc);
            RECT bounds = {};
            HWND parent = GetParent(control);
            if (measured && GetWindowRect(control, &bounds) && bounds.right - bounds.left > extent.cx) {
                RECT parentClient = {};
                if (parent)
                    GetClientRect(parent, &parentClient);
                POINT topLeft = {bounds.left, bounds.top};
                if (parent)
                    ScreenToClient(parent, &topLeft);
                const int left = (parentClient.right - parentClient.left - extent.cx) / 2;
                MoveWindow(control, left, topLeft.y, extent.cx, extent.cy, TRUE);
            }
        }
    }
    return true;
}
