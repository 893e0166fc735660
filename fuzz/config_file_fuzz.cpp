// Fuzz target of the configuration file's defect list: any bytes as records, then the correction
// of a small frame whose size, depth, window and mirrors the first input bytes choose.
//
// Besides not crashing or writing outside the frame: only records on the sensor are kept, each
// once; and the correction equals a plain pixel-by-pixel scan of the frame in list order.
#include "session/DefectList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kSensorWidth = 1280;
constexpr int32_t kSensorHeight = 1024;

struct Frame {
    DibImage image{};
    std::vector<uint8_t> pixels;

    Frame(int32_t width, int32_t height, uint16_t bits, const uint8_t* seed, size_t seedSize) {
        image.width = width;
        image.height = height;
        image.bitsPerPixel = bits;
        image.stride = (width * (bits / 8) + 3) & ~3;
        pixels.resize(static_cast<size_t>(image.stride) * static_cast<size_t>(height));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = seedSize ? seed[i % seedSize] ^ static_cast<uint8_t>(i) : 0;
        image.bits = pixels.data();
    }

    uint32_t Get(int32_t x, int32_t y) const {
        const uint8_t* row = pixels.data() + static_cast<size_t>(y) * image.stride;
        return image.bitsPerPixel == 16 ? row[2 * x] | row[2 * x + 1] << 8 : row[x];
    }
    void Set(int32_t x, int32_t y, uint32_t value) {
        uint8_t* row = pixels.data() + static_cast<size_t>(y) * image.stride;
        if (image.bitsPerPixel == 16) {
            row[2 * x] = static_cast<uint8_t>(value);
            row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
        } else {
            row[x] = static_cast<uint8_t>(value);
        }
    }
};

void Scan(Frame& frame, const std::vector<DefectPixel>& entries, const DefectList& list, const DefectGeometry& g) {
    const int32_t w = frame.image.width;
    const int32_t h = frame.image.height;
    const auto sensorX = [&](int32_t c) { return g.mirroredH ? g.xOffset + w - 1 - c : g.xOffset + c; };
    const auto sensorY = [&](int32_t r) { return g.mirroredV ? g.yOffset + h - 1 - r : g.yOffset + r; };
    for (const DefectPixel& entry : entries) {
        const int32_t c = g.mirroredH ? g.xOffset + w - 1 - entry.x : entry.x - g.xOffset;
        const int32_t r = g.mirroredV ? g.yOffset + h - 1 - entry.y : entry.y - g.yOffset;
        if (c < 0 || r < 0 || c >= w || r >= h) continue;
        uint32_t sum = 0, count = 0;
        const int32_t steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& step : steps) {
            for (int32_t j = c + step[0], k = r + step[1]; j >= 0 && k >= 0 && j < w && k < h;
                 j += step[0], k += step[1]) {
                if (!list.Contains(sensorX(j), sensorY(k))) {
                    sum += frame.Get(j, k);
                    ++count;
                    break;
                }
            }
        }
        if (count) frame.Set(c, r, sum / count);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const int32_t width = 1 + data[0] % 40;
    const int32_t height = 1 + data[1] % 40;
    const uint16_t bits = (data[2] & 1) ? 16 : 8;
    // Windows near the sensor's corners, so that records at its edges are in frames.
    const int32_t xOffset = (data[3] & 0x80) ? kSensorWidth - width : data[3] % 16;
    const int32_t yOffset = (data[4] & 0x80) ? kSensorHeight - height : data[4] % 16;
    const DefectGeometry geometry{xOffset, yOffset, (data[5] & 1) != 0, (data[5] & 2) != 0};
    const uint8_t* records = data + 6;
    const size_t recordBytes = size - 6;

    DefectList list(kSensorWidth, kSensorHeight);
    list.AddRecords(records, recordBytes);
    if (list.Entries().size() > recordBytes / DefectList::kRecordSize) std::abort();
    for (const DefectPixel& entry : list.Entries()) {
        if (entry.x < 0 || entry.y < 0 || entry.x >= kSensorWidth || entry.y >= kSensorHeight) std::abort();
        if (!list.Contains(entry.x, entry.y)) std::abort();
    }
    DefectList again(kSensorWidth, kSensorHeight);
    for (const DefectPixel& entry : list.Entries()) {
        if (!again.Add(entry.x, entry.y)) std::abort();  // listed twice
    }

    Frame corrected(width, height, bits, records, recordBytes);
    Frame expected(width, height, bits, records, recordBytes);
    Scan(expected, list.Entries(), list, geometry);
    list.Correct(corrected.image, geometry);
    if (corrected.pixels != expected.pixels) std::abort();
    return 0;
}
