#include "launcher/ui/gdi_objects.h"

#include <utility>

namespace ui {

void deleteMemoryDc(HDC dc) {
    if (dc)
        DeleteDC(dc);
}

bool BitmapDc::select(HDC dc, HBITMAP bitmap) {
    reset();
    dc_.reset(CreateCompatibleDC(dc));
    if (!dc_.get())
        return false;
    previous_ = SelectObject(dc_.get(), bitmap);
    return true;
}

void BitmapDc::reset() {
    if (dc_.get())
        SelectObject(dc_.get(), std::exchange(previous_, nullptr));
    dc_.reset();
}

}  // namespace ui
