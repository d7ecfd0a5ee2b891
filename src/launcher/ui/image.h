#pragma once
// A picture file decoded into a GDI bitmap, in place of ATL's image class.
// GDI+ (gdiplus.dll from the system folder, through its flat interface) does
// the decoding; it is started once per process and left running until the
// process ends.

#include <windows.h>

#include <string>

#include "launcher/ui/gdi_objects.h"

namespace ui {

class Image {
public:
    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Image(Image&& other) noexcept;
    Image& operator=(Image&& other) noexcept;

    // Decodes the file at path (JPEG, also PNG, GIF, BMP) into a new bitmap
    // owned by this object, replacing any earlier one. Returns S_OK, or a
    // failure HRESULT (E_FAIL when GDI+ cannot be loaded or started) and then
    // holds no bitmap.
    HRESULT Load(const std::wstring& path);
    HRESULT Load(const std::string& pathAcp);

    // Whether a bitmap is held.
    bool IsNull() const { return bitmap_.get() == nullptr; }
    // The bitmap (still owned here); null when none.
    HBITMAP bitmap() const { return bitmap_.get(); }
    // Size in pixels; 0 when no bitmap is held.
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    // Hands the bitmap to the caller (who deletes it) and holds none.
    HBITMAP Detach();
    // Deletes the bitmap.
    void Destroy();

private:
    ScopedBitmap bitmap_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace ui
