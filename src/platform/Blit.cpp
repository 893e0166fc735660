#include "Blit.h"

#include "PixelCodec.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace kelvra::platform {

namespace {

// Which source position feeds each destination position along one axis. Destination
// positions form one run [first, first + sources.size()); the mapping is monotonic, so the
// positions with a valid source are contiguous.
struct AxisMap {
    int first = 0;
    std::vector<int> sources;
};

// What one drawing thread's blits need besides the pixels, kept from blit to blit so that a
// steady stream of frames drawn at one size allocates nothing.
struct BlitScratch {
    AxisMap columns;
    AxisMap rows;
    std::vector<uint32_t> colors;
};

BlitScratch& ThreadScratch() {
    thread_local BlitScratch scratch;
    return scratch;
}

void MapAxis(AxisMap& map, int destOrigin, int destExtent, int destLimit, int srcOrigin, int srcExtent, int srcLimit) {
    map.first = 0;
    map.sources.clear();
    if (destExtent == 0 || srcExtent == 0) return;
    const int64_t destCount = destExtent > 0 ? destExtent : -int64_t{destExtent};
    const int64_t srcCount = srcExtent > 0 ? srcExtent : -int64_t{srcExtent};
    // The destination rectangle covers [low, high) whichever way it runs.
    const int64_t low = destExtent > 0 ? destOrigin : int64_t{destOrigin} - destCount + 1;
    const int64_t high = low + destCount;
    const int64_t begin = std::max<int64_t>(low, 0);
    const int64_t end = std::min<int64_t>(high, destLimit);
    for (int64_t position = begin; position < end; ++position) {
        const int64_t ordinal = destExtent > 0 ? position - destOrigin : destOrigin - position;
        // Nearest neighbour: the source pixel under the centre of the destination pixel.
        const int64_t step = (2 * ordinal + 1) * srcCount / (2 * destCount);
        const int64_t source = srcExtent > 0 ? srcOrigin + step : srcOrigin - step;
        if (source < 0 || source >= srcLimit) {
            if (!map.sources.empty()) break;
            continue;
        }
        if (map.sources.empty()) map.first = static_cast<int>(position);
        map.sources.push_back(static_cast<int>(source));
    }
}

bool IsConsecutive(const std::vector<int>& positions) {
    for (size_t i = 1; i < positions.size(); ++i) {
        if (positions[i] != positions[0] + static_cast<int>(i)) return false;
    }
    return true;
}

void CopyRows(Surface& destination, const AxisMap& columns, const AxisMap& rows, const Surface& source,
              std::vector<uint32_t>& colors) {
    const int count = static_cast<int>(columns.sources.size());
    const PixelFormat& from = source.Format();
    const PixelFormat& to = destination.Format();
    // Whole bytes of one layout move as they are; everything else goes through colours.
    const bool raw = to.SameLayout(from) && to.bitCount >= 8 && IsConsecutive(columns.sources);
    const size_t bytesPerPixel = to.bitCount / 8;
    // A window's BGRX pixels are the colour values themselves, so camera frames (8-bit indexed or
    // 24-bit) are unpacked straight into them: one pass over the frame instead of two.
    const bool direct = !raw && to.SameLayout(PixelFormat::Bgrx32()) && (from.bitCount == 8 || from.bitCount == 24);
    if (direct) {
        uint32_t lookup[256];
        if (from.bitCount == 8) {
            int indices[256];
            BYTE bytes[256];
            for (int i = 0; i < 256; ++i) indices[i] = i, bytes[i] = static_cast<BYTE>(i);
            UnpackRow(from, bytes, indices, 256, lookup);
        }
        for (size_t i = 0; i < rows.sources.size(); ++i) {
            const BYTE* sourceRow = source.Row(rows.sources[i]);
            auto* out = reinterpret_cast<uint32_t*>(destination.Row(rows.first + static_cast<int>(i))) + columns.first;
            if (from.bitCount == 8) {
                for (int x = 0; x < count; ++x) out[x] = lookup[sourceRow[columns.sources[x]]];
            } else {
                for (int x = 0; x < count; ++x) {
                    const BYTE* p = sourceRow + 3 * static_cast<size_t>(columns.sources[x]);
                    out[x] = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
                }
            }
        }
        return;
    }
    if (!raw) colors.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < rows.sources.size(); ++i) {
        const BYTE* sourceRow = source.Row(rows.sources[i]);
        BYTE* destinationRow = destination.Row(rows.first + static_cast<int>(i));
        if (raw) {
            std::memmove(destinationRow + static_cast<size_t>(columns.first) * bytesPerPixel,
                         sourceRow + static_cast<size_t>(columns.sources[0]) * bytesPerPixel,
                         static_cast<size_t>(count) * bytesPerPixel);
        } else {
            UnpackRow(from, sourceRow, columns.sources.data(), count, colors.data());
            PackRow(to, destinationRow, columns.first, count, colors.data());
        }
    }
}

// A private copy of a surface, for blits whose source and destination are the same pixels.
std::shared_ptr<Surface> Snapshot(const Surface& surface) {
    auto copy = Surface::Create(surface.Width(), surface.Height(), surface.BottomUp(), surface.Format());
    if (copy) std::memcpy(copy->Bits(), surface.Bits(), surface.Stride() * static_cast<size_t>(surface.Height()));
    return copy;
}

}  // namespace

void StretchSurface(Surface& destination, const Extent& to, const Surface& source, const Extent& from) {
    std::unique_lock destinationLock(destination.Mutex(), std::defer_lock);
    std::unique_lock sourceLock(source.Mutex(), std::defer_lock);
    if (&destination == &source)
        destinationLock.lock();
    else
        std::lock(destinationLock, sourceLock);

    BlitScratch& scratch = ThreadScratch();
    MapAxis(scratch.columns, to.x, to.width, destination.Width(), from.x, from.width, source.Width());
    MapAxis(scratch.rows, to.y, to.height, destination.Height(), from.y, from.height, source.Height());
    if (scratch.columns.sources.empty() || scratch.rows.sources.empty()) return;
    if (&destination == &source) {
        const auto copy = Snapshot(source);
        if (!copy) return;
        CopyRows(destination, scratch.columns, scratch.rows, *copy, scratch.colors);
    } else {
        CopyRows(destination, scratch.columns, scratch.rows, source, scratch.colors);
    }
    destination.Changed(RECT{scratch.columns.first, scratch.rows.first,
                             scratch.columns.first + static_cast<int>(scratch.columns.sources.size()),
                             scratch.rows.first + static_cast<int>(scratch.rows.sources.size())});
}

void FillSurface(Surface& destination, const RECT& rect, uint32_t rgb) {
    std::lock_guard lock(destination.Mutex());
    const int left = std::max<int>(rect.left, 0);
    const int top = std::max<int>(rect.top, 0);
    const int right = std::min<int>(rect.right, destination.Width());
    const int bottom = std::min<int>(rect.bottom, destination.Height());
    if (left >= right || top >= bottom) return;
    const std::vector<uint32_t> colors(static_cast<size_t>(right - left), rgb);
    for (int y = top; y < bottom; ++y)
        PackRow(destination.Format(), destination.Row(y), left, right - left, colors.data());
    destination.Changed(RECT{left, top, right, bottom});
}

bool ReadPixel(const Surface& surface, int x, int y, uint32_t& rgb) {
    std::lock_guard lock(surface.Mutex());
    if (x < 0 || y < 0 || x >= surface.Width() || y >= surface.Height()) return false;
    UnpackRow(surface.Format(), surface.Row(y), &x, 1, &rgb);
    return true;
}

bool WritePixel(Surface& surface, int x, int y, uint32_t rgb, uint32_t& written) {
    std::lock_guard lock(surface.Mutex());
    if (x < 0 || y < 0 || x >= surface.Width() || y >= surface.Height()) return false;
    PackRow(surface.Format(), surface.Row(y), x, 1, &rgb);
    UnpackRow(surface.Format(), surface.Row(y), &x, 1, &written);
    surface.Changed(RECT{x, y, x + 1, y + 1});
    return true;
}

}  // namespace kelvra::platform
