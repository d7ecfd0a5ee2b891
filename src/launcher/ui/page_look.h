#pragma once
// What the launcher's pages share: colours, the banner and other bitmap
// resources drawn from a memory device context, bringing a page forward,
// message-box texts, and opening a link address.

#include <windows.h>

#include <functional>
#include <string>

#include "launcher/ui/gdi_objects.h"

namespace ui {

constexpr COLORREF kPageColor = RGB(231, 229, 213);
constexpr COLORREF kLinkColor = RGB(33, 79, 131);

enum PageIds : int {
    kBannerControlId = 2040,
    kBannerBitmapId = 2041,
    kBodyBandId = 1014,
};

// A bitmap resource selected into a memory device context compatible with
// the screen.
class MemoryBitmap {
public:
    MemoryBitmap() = default;
    ~MemoryBitmap() { release(); }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    // Loads bitmap resource id of module once (later calls answer whether
    // the first one succeeded). False when the bitmap or the context cannot
    // be made; then nothing is held.
    bool load(HMODULE module, int id);
    bool isLoaded() const { return dc_.get() != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Draws the bitmap stretched over rect of dc; nothing when not loaded.
    void stretchTo(HDC dc, const RECT& rect) const;
    // Draws it at its own size with its top-left corner at x, y.
    void drawAt(HDC dc, int x, int y) const;
    // Frees the context and the bitmap; load may be called again.
    void release();

private:
    ScopedBitmap bitmap_;
    BitmapDc dc_;
    int width_ = 0;
    int height_ = 0;
    bool tried_ = false;
};

// Paints the banner over control (the banner static) in dc: loads the
// banner bitmap from module on first use. Returns the null brush, which
// keeps the static from painting over it.
HBRUSH paintBanner(MemoryBitmap& banner, HMODULE module, HDC dc, HWND control);

// The drawing objects of a setup page (welcome, destination folder, error):
// the page brush, the 10-point dialog font, the 12-point bold title font and
// the banner. create() makes them; release() (also the destructor) deletes
// them, and every getter answers null then, so a page that paints after
// releasing draws with the system's defaults.
class PageLook {
public:
    PageLook() = default;
    PageLook(const PageLook&) = delete;
    PageLook& operator=(const PageLook&) = delete;

    // Makes the brush and both fonts; what cannot be made stays null.
    void create();
    void release();

    HBRUSH pageBrush() const { return brush_.get(); }
    HFONT font() const { return font_.get(); }
    HFONT titleFont() const { return titleFont_.get(); }
    // paintBanner with this page's banner.
    HBRUSH paintBanner(HMODULE module, HDC dc, HWND control) { return ui::paintBanner(banner_, module, dc, control); }

private:
    ScopedBrush brush_;
    ScopedFont font_;
    ScopedFont titleFont_;
    MemoryBitmap banner_;
};

// Brings dialog forward: below Vista, SetForegroundWindow(foregroundTarget)
// and false when that fails; otherwise topmost and back, without moving or
// sizing it, and true.
bool bringPageForward(HWND dialog, HWND foregroundTarget);

// Gives the focus to button id of dialog (WM_NEXTDLGCTL), which also makes
// it the default button; the page's WM_INITDIALOG then answers FALSE. The
// dialog manager's own choice is the first tab stop, often a link or Back.
void focusDefaultButton(HWND dialog, int id);

// String resource id of module as UTF-8, in the thread's resource language;
// empty when it is missing.
std::string loadString(HMODULE module, int id);

// Sets the control's text to text (UTF-8) unless it already shows exactly that.
// A page that refreshes a text while it paints must not set it again each
// time: setting a static's text repaints it, which would paint forever.
void setTextIfChanged(HWND control, const std::string& text);

// The cancel confirmation of the setup pages: "Are you sure you want to
// cancel ... installation?" with the runtime version, Yes/No, No the
// default. True when the user answered Yes.
bool confirmCancel(HWND owner, HMODULE module);

// Opens a link address (UTF-8) in the default browser; true when it was
// started. Tests replace the opener with setLinkOpenerForTesting (an empty
// function puts the real one back).
bool openLink(const std::string& addressUtf8);
void setLinkOpenerForTesting(std::function<bool(const std::string&)> opener);

}  // namespace ui
