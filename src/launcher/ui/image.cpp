#include "launcher/ui/image.h"

#include <memory>
#include <mutex>
#include <utility>

#include "foundation/dll.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ui {

namespace {

// The few GDI+ flat-API declarations we need; MinGW's GDI+ headers drag in
// C++ wrapper classes we do not use.
struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
using GpStatus = int;
using GpBitmap = void;
using ARGB = DWORD;
using StartupFn = GpStatus(WINAPI*)(ULONG_PTR*, const GdiplusStartupInput*, void*);
using CreateFromFileFn = GpStatus(WINAPI*)(const WCHAR*, GpBitmap**);
using CreateHbitmapFn = GpStatus(WINAPI*)(GpBitmap*, HBITMAP*, ARGB);
using DisposeFn = GpStatus(WINAPI*)(void*);

struct Gdiplus {
    std::unique_ptr<Dll> dll;
    CreateFromFileFn createFromFile = nullptr;
    CreateHbitmapFn createHbitmap = nullptr;
    DisposeFn dispose = nullptr;
    bool ready = false;
};

// Loaded and started on first use, never shut down: GdiplusShutdown while
// another thread still decodes, or from a static destructor after the loader
// lock is held, hangs.
Gdiplus& gdiplus() {
    static Gdiplus instance;
    static std::once_flag once;
    std::call_once(once, [] {
        try {
            instance.dll = std::make_unique<Dll>(L"gdiplus.dll", Dll::System{});
            auto startup = instance.dll->getFunction<StartupFn>("GdiplusStartup", true);
            instance.createFromFile = instance.dll->getFunction<CreateFromFileFn>("GdipCreateBitmapFromFile", true);
            instance.createHbitmap = instance.dll->getFunction<CreateHbitmapFn>("GdipCreateHBITMAPFromBitmap", true);
            instance.dispose = instance.dll->getFunction<DisposeFn>("GdipDisposeImage", true);
            GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
            ULONG_PTR token = 0;
            const GpStatus status = startup(&token, &input, nullptr);
            if (status != 0) {
                TDS_LOG_ERROR("CImage::Load", "GdiplusStartup failed with %d", status);
                return;
            }
            instance.ready = true;
        } catch (const std::exception& e) {
            TDS_LOG_ERROR("CImage::Load", "%s", e.what());
        }
    });
    return instance;
}

}  // namespace

Image::Image(Image&& other) noexcept
    : bitmap_(std::move(other.bitmap_)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        bitmap_ = std::move(other.bitmap_);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void Image::Destroy() {
    bitmap_.reset();
    width_ = height_ = 0;
}

HBITMAP Image::Detach() {
    width_ = height_ = 0;
    return bitmap_.release();
}

HRESULT Image::Load(const std::string& pathAcp) {
    const int length = MultiByteToWideChar(CP_ACP, 0, pathAcp.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return E_INVALIDARG;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, pathAcp.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return Load(wide);
}

HRESULT Image::Load(const std::wstring& path) {
    Destroy();
    Gdiplus& gp = gdiplus();
    if (!gp.ready)
        return E_FAIL;
    GpBitmap* decoded = nullptr;
    GpStatus status = gp.createFromFile(path.c_str(), &decoded);
    if (status != 0 || !decoded) {
        TDS_LOG_ERROR("CImage::Load", "GdipCreateBitmapFromFile(%s) failed with %d",
                      tstrings::toUtf8(path).c_str(), status);
        return E_FAIL;
    }
    HBITMAP bitmap = nullptr;
    status = gp.createHbitmap(decoded, &bitmap, 0xFF000000u);
    gp.dispose(decoded);
    if (status != 0 || !bitmap) {
        TDS_LOG_ERROR("CImage::Load", "GdipCreateHBITMAPFromBitmap failed with %d", status);
        return E_FAIL;
    }
    BITMAP info = {};
    GetObjectW(bitmap, sizeof(info), &info);
    bitmap_.reset(bitmap);
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    return S_OK;
}

}  // namespace ui
