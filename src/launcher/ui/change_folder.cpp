#include "launcher/ui/change_folder.h"

#include <shlobj.h>

#include <exception>
#include <string>

#include "config/install_config_data.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/window_utils.h"
#include "foundation/tstrings.h"
#include "launcher/product_version.h"

namespace ui {

namespace {

enum : int {
    kTitle = 1031,
    kClickChange = 1032,
    kInstallTo = 1033,
    kFolderText = 1034,
    kChangeButton = 1028,
    kBackButton = 1029,
    kBrowseTitle = 2046,
};

}  // namespace

std::string SuggestedInstallFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::string();
    char data[262] = {};
    DWORD size = 261;
    DWORD type = 0;
    const LONG read = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    // Registry strings need not end in NUL; one that does not is not used.
    if (size != 0 && data[size - 1] != '\0')
        return std::string();
    // An empty value (no data, or only NULs) names no folder: the suggestion
    // would be the rooted "\Tolva\kessa...", the root of whatever drive is
    // current. Then the installer's own default applies.
    if (size == 0 || data[0] == '\0')
        return std::string();
    return tstrings::format("%s\\Tolva\\kessa%s\\", data, kRuntimeVersion);
}

std::string DisplayedFolder(const std::string& folder) {
    std::string shown = folder;
    while (shown.size() > 1 && shown.back() == '\\' && !(shown.size() == 3 && shown[1] == ':'))
        shown.pop_back();
    return shown;
}

CChangeFolder::CChangeFolder() {
    std::string initial;
    try {
        if (IsStringValueSet(kStringInstallDir))
            initial = GetStringValue(kStringInstallDir);
        else
            initial = SuggestedInstallFolder();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CChangeFolder::CChangeFolder", e);
        initial = SuggestedInstallFolder();
    }
    lstrcpynA(folder, initial.c_str(), sizeof folder);
}

HMODULE CChangeFolder::module() const { return resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr); }

void CChangeFolder::releaseDrawing() {
    look_.release();
    font8_.reset();
}

BOOL CChangeFolder::onInitDialog(HWND, LPARAM) {
    look_.create();
    if (hideBack)
        ::ShowWindow(item(kBackButton), SW_HIDE);
    font8_.reset(CreateDialogFont(8, false, false));
    for (int id : {static_cast<int>(IDOK), static_cast<int>(kChangeButton), static_cast<int>(kBackButton)})
        SendDlgItemMessageA(hwnd(), id, WM_SETFONT, reinterpret_cast<WPARAM>(look_.font()), FALSE);
    // The statics get their fonts as well: Wine's static control selects its
    // own font after asking the parent for colours, which would undo the
    // font chosen while colouring.
    const struct {
        int id;
        HFONT font;
    } texts[] = {{kClickChange, look_.font()},
                 {kInstallTo, look_.font()},
                 {kFolderText, font8_.get()},
                 {kTitle, look_.titleFont()}};
    for (const auto& text : texts)
        SendDlgItemMessageA(hwnd(), text.id, WM_SETFONT, reinterpret_cast<WPARAM>(text.font), FALSE);
    SetDlgItemTextA(hwnd(), kFolderText, DisplayedFolder(folder).c_str());
    focusDefaultButton(hwnd(), IDOK);
    return FALSE;
}

bool CChangeFolder::onCommand(WORD id, WORD, HWND) {
    switch (id) {
    case IDOK:
        EndDialog(IDOK);
        return true;
    case kBackButton:
        EndDialog(kBackButton);
        return true;
    case kChangeButton:
        browse();
        return true;
    case IDCANCEL:
        if (confirmCancel(hwnd(), module())) {
            EnableWindow(hwnd(), FALSE);
            EndDialog(IDCANCEL);
        }
        return true;
    default:
        return false;
    }
}

void CChangeFolder::browse() {
    EnableWindow(hwnd(), FALSE);
    LPITEMIDLIST root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(hwnd(), CSIDL_DRIVES, &root)))
        root = nullptr;  // the desktop
    // The title goes in as UTF-16, so it shows in any UI language; the
    // folder stays an ANSI path like the rest of the launcher's paths.
    std::wstring title;
    try {
        title = tstrings::toUtf16(loadString(module(), kBrowseTitle));
    } catch (const std::exception&) {
    }
    BROWSEINFOW info = {};
    info.hwndOwner = hwnd();
    info.pidlRoot = root;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    if (chosen) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path) && path[0] != '\0') {
            lstrcpynA(folder, path, sizeof folder);
            TDS_LOG_INFO("CChangeFolder::OnChange", "Selected Folder: %s\n", folder);
            SetDlgItemTextA(hwnd(), kFolderText, DisplayedFolder(folder).c_str());
        }
        CoTaskMemFree(chosen);
    }
    if (root)
        CoTaskMemFree(root);
    EnableWindow(hwnd(), TRUE);
    SetForegroundWindow(hwnd());
}

HBRUSH CChangeFolder::onCtlColor(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLORDLG)
        return look_.pageBrush();
    if (message != WM_CTLCOLORSTATIC)
        return nullptr;
    switch (GetDlgCtrlID(control)) {
    case kClickChange:
    case kInstallTo:
        SelectObject(dc, look_.font());
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case kFolderText:
        setTextIfChanged(control, tstrings::fromAcp(DisplayedFolder(folder)));
        SelectObject(dc, font8_.get());
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case kTitle:
        SelectObject(dc, look_.titleFont());
        SetBkMode(dc, TRANSPARENT);
        return look_.pageBrush();
    case kBodyBandId:
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case kBannerControlId:
        return look_.paintBanner(module(), dc, control);
    default:
        return look_.pageBrush();
    }
}

void CChangeFolder::onDestroy() { releaseDrawing(); }

}  // namespace ui
