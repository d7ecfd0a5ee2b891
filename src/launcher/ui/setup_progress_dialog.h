#pragma once
// The modeless progress page of interactive installs: hidden until the
// package sets "KessaSetupMsiStarted", then a bar that follows the package's
// operation record (SetupProgressTracker) over the welcome image.
//
// Use on one thread, which pumps its messages while msiexec runs:
//   CSetupProgressDialog progress(0);
//   progress.Create(GetDesktopWindow());
//   RunMsiInstall(...);            // dispatches the window's messages
//   progress.ShowWindow(SW_HIDE);
//   ...
//   progress.DestroyWindow();       // joins the worker; the object may go

#include <windows.h>

#include <string>

#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/image.h"
#include "launcher/ui/page_look.h"
#include "launcher/ui/setup_progress_tracker.h"

class CSetupProgressDialog : public ui::DialogImpl<CSetupProgressDialog>, public SetupProgressTracker {
public:
    enum { IDD = 4003 };
    static constexpr int kBannerControl = 2040;
    static constexpr int kBodyBandControl = 1014;
    static constexpr int kImageControl = 4004;
    static constexpr int kBarControl = 4005;
    static constexpr int kStatusControl = 4006;
    static constexpr int kBannerBitmap = 2041;
    static constexpr int kFallbackImageBitmap = 4007;

    // mode 1: two passes, one per half of the bar; otherwise one. Opens (or
    // creates) the shared operation record. Throws TdsError<ipc::PlatformError>
    // when the record cannot be made.
    explicit CSetupProgressDialog(int mode);
    // Ends the worker (errors logged) and releases the drawing objects.
    ~CSetupProgressDialog() override;

    // SW_SHOW is refused (answer 0) until the package has signalled the
    // start; every other command goes through.
    BOOL ShowWindow(int command) override;

    // The welcome image's path ("" when the data folder is unknown).
    const std::string& imagePath() const { return imagePath_; }

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    void onDestroy() override;

    void onMsiStarted() override;
    void onTrackingEnded() override;
    void postBarPosition(uint16_t position) override;

private:
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);
    // False when there is no banner bitmap to draw.
    bool drawBanner(HDC dc, HWND control);
    void drawImage(HDC dc, HWND control);
    void releaseDrawingResources();

    std::string imagePath_;
    std::atomic<HWND> window_{nullptr};  // for the worker and the timer thread
    std::atomic<HWND> bar_{nullptr};
    ui::ScopedBrush backgroundBrush_;
    ui::ScopedFont dialogFont_;
    ui::MemoryBitmap banner_;
    bool imageTried_ = false;
    ui::Image image_;
    ui::ScopedBitmap fallbackImage_;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    ui::BitmapDc imageDc_;
    HMODULE gdiplus_ = nullptr;
    bool gdiplusTried_ = false;
};
