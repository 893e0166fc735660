// GDI objects (bitmaps, brushes and the stock pens, fonts and palette) behind HGDIOBJ handles.
#pragma once

#include "Surface.h"

#include <memory>
#include <mutex>

namespace kelvra::platform {

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual DWORD Type() const = 0;
    // GetObjectA: the bytes written to out, or the bytes needed when out is null; 0 when
    // size is too small for even the basic record.
    virtual int Describe(int size, void* out) const = 0;

    bool stock = false;
};

class BitmapObject final : public GdiObject {
public:
    BitmapObject(std::shared_ptr<Surface> pixels, bool isDib) : surface(std::move(pixels)), dib(isDib) {}

    DWORD Type() const override { return OBJ_BITMAP; }
    int Describe(int size, void* out) const override;

    const std::shared_ptr<Surface> surface;
    const bool dib;              // a DIB section: its bits belong to the caller as well
    BITMAPINFOHEADER header{};   // DIB sections: the header they were made from
    HDC selectedInto = nullptr;  // guarded by GdiLock(); a bitmap lives in one memory DC at a time
};

class BrushObject final : public GdiObject {
public:
    explicit BrushObject(const LOGBRUSH& logBrush) : brush(logBrush) {}

    DWORD Type() const override { return OBJ_BRUSH; }
    int Describe(int size, void* out) const override;

    const LOGBRUSH brush;
};

// Stock pens, fonts and the default palette: they can be selected and queried for their type.
class PlaceholderObject final : public GdiObject {
public:
    explicit PlaceholderObject(DWORD objectType) : type(objectType) {}

    DWORD Type() const override { return type; }
    int Describe(int, void*) const override { return 0; }

    const DWORD type;
};

// Guards what DCs have selected and which DC holds each bitmap.
std::mutex& GdiLock();

HGDIOBJ InsertGdiObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> FindGdiObject(HGDIOBJ handle);
std::shared_ptr<GdiObject> RemoveGdiObject(HGDIOBJ handle);

template <class T>
std::shared_ptr<T> FindGdiObjectAs(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(FindGdiObject(handle));
}

// The stock objects of GetStockObject, or null for an index that has none.
HGDIOBJ StockObject(int index);
// The 1 × 1 monochrome bitmap every new memory DC starts with.
HGDIOBJ DefaultBitmap();

}  // namespace kelvra::platform
