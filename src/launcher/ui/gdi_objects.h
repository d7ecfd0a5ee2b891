#pragma once
// Owning holders for the GDI objects the pages draw with: brushes, fonts,
// bitmaps and memory device contexts, each deleted exactly once.

#include <windows.h>

#include "foundation/handle_release.h"

namespace ui {

// DeleteObject unless null.
template <class T>
void deleteGdiObject(T object) {
    if (object)
        DeleteObject(object);
}
// DeleteDC unless null.
void deleteMemoryDc(HDC dc);

using ScopedBrush = ScopedHolder<HBRUSH, deleteGdiObject<HBRUSH>>;
using ScopedFont = ScopedHolder<HFONT, deleteGdiObject<HFONT>>;
using ScopedBitmap = ScopedHolder<HBITMAP, deleteGdiObject<HBITMAP>>;
using ScopedMemoryDc = ScopedHolder<HDC, deleteMemoryDc>;

// A memory device context with one bitmap selected into it. The context's
// own bitmap is selected back before the context is deleted, so the bitmap
// can be deleted on its own; the bitmap stays the caller's.
class BitmapDc {
public:
    BitmapDc() = default;
    ~BitmapDc() { reset(); }
    BitmapDc(const BitmapDc&) = delete;
    BitmapDc& operator=(const BitmapDc&) = delete;

    // Makes a context compatible with dc (null: the screen) holding bitmap.
    // False, with nothing held, when the context cannot be made.
    bool select(HDC dc, HBITMAP bitmap);
    HDC get() const { return dc_.get(); }
    // Deletes the context; select may be called again.
    void reset();

private:
    ScopedMemoryDc dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace ui
