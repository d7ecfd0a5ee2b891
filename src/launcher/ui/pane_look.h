#pragma once
// The look the launcher's pages share: the page brush RGB(231, 229, 213),
// the banner (bitmap 2041 stretched over control 2040), a white body band,
// a 10-point dialog font and an 11-point bold one, links in RGB(33, 79, 131).

#include <windows.h>

#include <initializer_list>
#include <string>

#include "launcher/ui/page_look.h"

namespace ui {

constexpr int kBannerControl = kBannerControlId;
constexpr int kBodyBandControl = kBodyBandId;
constexpr int kBannerBitmap = kBannerBitmapId;

// The drawing objects of one page. create() makes them, release() (also the
// destructor) deletes them; every getter answers null once released, so a
// page that repaints after releasing draws with the system's defaults.
class PaneLook {
public:
    PaneLook() = default;
    PaneLook(const PaneLook&) = delete;
    PaneLook& operator=(const PaneLook&) = delete;

    // The page brush and both fonts. False when any of them cannot be made
    // (the page then shows with what could be made).
    bool create();
    void release();

    HBRUSH pageBrush() const { return brush_.get(); }
    HFONT font() const { return font_.get(); }
    HFONT boldFont() const { return boldFont_.get(); }

    // Gives every child of dialog the 10-point font, and the bold one to the
    // controls in bold.
    void applyFonts(HWND dialog, std::initializer_list<int> bold) const;

    // Stretches the banner bitmap (loaded once per process) over control,
    // drawing on dc, the control's own device context.
    void drawBanner(HDC dc, HWND control);
    // Draws bitmap id (this program's, loaded once) at its own size at the
    // top-left of dc.
    void drawBitmap(HDC dc, int bitmapId);

private:
    ScopedBrush brush_;
    ScopedFont font_;
    ScopedFont boldFont_;
    ScopedMemoryDc memoryDc_;
};

// Removes WS_MAXIMIZEBOX from dialog and greys Close in its system menu.
void DisableMaximizeAndClose(HWND dialog);

// Brings dialog forward: from Windows Vista on by making it topmost and then
// not topmost; on older systems by SetForegroundWindow on the control
// foregroundControl (their focus rules refuse it for the dialog itself).
void BringPageForward(HWND dialog, int foregroundControl);

// String resource id of this program as UTF-8, in the thread's resource
// language, sized to its length; empty when missing.
std::string LoadResourceString(UINT id);

}  // namespace ui
