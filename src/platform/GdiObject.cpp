#include "GdiObject.h"

#include "HandleTable.h"

#include <array>
#include <cstring>

namespace kelvra::platform {

namespace {

HandleTable<GdiObject>& Objects() {
    static auto* table = new HandleTable<GdiObject>;
    return *table;
}

constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct StockObjects {
    std::array<HGDIOBJ, kStockCount> handles{};
    HGDIOBJ defaultBitmap = nullptr;
};

HGDIOBJ InsertStock(std::shared_ptr<GdiObject> object) {
    object->stock = true;
    return InsertGdiObject(std::move(object));
}

HGDIOBJ StockBrush(UINT style, COLORREF color) {
    return InsertStock(std::make_shared<BrushObject>(LOGBRUSH{style, color, 0}));
}

const StockObjects& Stock() {
    static const StockObjects* stock = [] {
        auto* objects = new StockObjects;
        auto& h = objects->handles;
        h[WHITE_BRUSH] = StockBrush(BS_SOLID, RGB(255, 255, 255));
        h[LTGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(192, 192, 192));
        h[GRAY_BRUSH] = StockBrush(BS_SOLID, RGB(128, 128, 128));
        h[DKGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(64, 64, 64));
        h[BLACK_BRUSH] = StockBrush(BS_SOLID, RGB(0, 0, 0));
        h[NULL_BRUSH] = StockBrush(BS_NULL, 0);
        for (int pen : {WHITE_PEN, BLACK_PEN, NULL_PEN})
            h[pen] = InsertStock(std::make_shared<PlaceholderObject>(OBJ_PEN));
        for (int font : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                         SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT})
            h[font] = InsertStock(std::make_shared<PlaceholderObject>(OBJ_FONT));
        h[DEFAULT_PALETTE] = InsertStock(std::make_shared<PlaceholderObject>(OBJ_PAL));

        PixelFormat monochrome;
        monochrome.bitCount = 1;
        monochrome.colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        objects->defaultBitmap =
            InsertStock(std::make_shared<BitmapObject>(Surface::Create(1, 1, false, monochrome), false));
        return objects;
    }();
    return *stock;
}

int CopyOut(const void* record, int recordSize, int size, void* out) {
    if (out == nullptr) return recordSize;
    const int copied = std::min(size, recordSize);
    if (copied <= 0) return 0;
    std::memcpy(out, record, static_cast<size_t>(copied));
    return copied;
}

}  // namespace

int BitmapObject::Describe(int size, void* out) const {
    DIBSECTION section{};
    BITMAP& bitmap = section.dsBm;
    bitmap.bmWidth = surface->Width();
    bitmap.bmHeight = surface->Height();
    bitmap.bmWidthBytes = static_cast<LONG>(surface->Stride());
    bitmap.bmPlanes = 1;
    bitmap.bmBitsPixel = surface->Format().bitCount;
    if (!dib)
        return out == nullptr || size >= static_cast<int>(sizeof(BITMAP)) ? CopyOut(&bitmap, sizeof(BITMAP), size, out)
                                                                          : 0;
    bitmap.bmBits = surface->Bits();
    section.dsBmih = header;
    if (surface->Format().bitCount == 16 || surface->Format().bitCount == 32) {
        section.dsBitfields[0] = surface->Format().redMask;
        section.dsBitfields[1] = surface->Format().greenMask;
        section.dsBitfields[2] = surface->Format().blueMask;
    }
    if (out != nullptr && size < static_cast<int>(sizeof(BITMAP))) return 0;
    // Windows hands out the whole DIBSECTION only to a buffer that holds it, else just the BITMAP.
    const bool whole = out == nullptr || size >= static_cast<int>(sizeof(DIBSECTION));
    return CopyOut(&section, whole ? sizeof(DIBSECTION) : sizeof(BITMAP), size, out);
}

int BrushObject::Describe(int size, void* out) const {
    if (out != nullptr && size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
    return CopyOut(&brush, sizeof(LOGBRUSH), size, out);
}

std::mutex& GdiLock() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

HGDIOBJ InsertGdiObject(std::shared_ptr<GdiObject> object) {
    return reinterpret_cast<HGDIOBJ>(Objects().Insert(std::move(object)));
}

std::shared_ptr<GdiObject> FindGdiObject(HGDIOBJ handle) {
    Stock();  // stock objects exist before anyone can ask about them
    return Objects().Find(reinterpret_cast<uintptr_t>(handle));
}

std::shared_ptr<GdiObject> RemoveGdiObject(HGDIOBJ handle) {
    return Objects().Remove(reinterpret_cast<uintptr_t>(handle));
}

HGDIOBJ StockObject(int index) {
    return index >= 0 && index < kStockCount ? Stock().handles[static_cast<size_t>(index)] : nullptr;
}

HGDIOBJ DefaultBitmap() { return Stock().defaultBitmap; }

}  // namespace kelvra::platform
