#include "session/DefectList.h"

#include <cstdio>
#include <memory>

namespace {

int32_t LittleEndian32(const uint8_t* bytes) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Where frame pixels lie on the sensor and back, for one frame.
struct FrameOnSensor {
    int32_t width;
    int32_t height;
    DefectGeometry geometry;

    int32_t SensorX(int32_t column) const {
        return geometry.mirroredH ? geometry.xOffset + width - 1 - column : geometry.xOffset + column;
    }
    int32_t SensorY(int32_t row) const {
        return geometry.mirroredV ? geometry.yOffset + height - 1 - row : geometry.yOffset + row;
    }
    // The mapping is its own inverse up to the offset's sign.
    int32_t Column(int32_t sensorX) const {
        return geometry.mirroredH ? geometry.xOffset + width - 1 - sensorX : sensorX - geometry.xOffset;
    }
    int32_t Row(int32_t sensorY) const {
        return geometry.mirroredV ? geometry.yOffset + height - 1 - sensorY : sensorY - geometry.yOffset;
    }
};

}  // namespace

bool DefectList::Add(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= sensorWidth || y >= sensorHeight) return false;
    if (listed.empty()) {
        const size_t bits = static_cast<size_t>(sensorWidth) * static_cast<size_t>(sensorHeight);
        listed.assign((bits + 63) / 64, 0);
    }
    const size_t bit = static_cast<size_t>(y) * static_cast<size_t>(sensorWidth) + static_cast<size_t>(x);
    uint64_t& word = listed[bit / 64];
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if (word & mask) return false;
    word |= mask;
    entries.push_back({x, y});
    return true;
}

void DefectList::AddRecords(const uint8_t* bytes, size_t size) {
    for (size_t at = 0; at + kRecordSize <= size; at += kRecordSize) {
        static_cast<void>(Add(LittleEndian32(bytes + at), LittleEndian32(bytes + at + 4)));
    }
}

bool DefectList::Contains(int32_t x, int32_t y) const {
    if (listed.empty() || x < 0 || y < 0 || x >= sensorWidth || y >= sensorHeight) return false;
    const size_t bit = static_cast<size_t>(y) * static_cast<size_t>(sensorWidth) + static_cast<size_t>(x);
    return (listed[bit / 64] >> (bit % 64)) & 1;
}

void DefectList::Swap(DefectList& other) noexcept {
    std::swap(sensorWidth, other.sensorWidth);
    std::swap(sensorHeight, other.sensorHeight);
    entries.swap(other.entries);
    listed.swap(other.listed);
}

void DefectList::Correct(DibImage& frame, const DefectGeometry& geometry) const {
    if (entries.empty() || !frame.bits || frame.width <= 0 || frame.height <= 0) return;
    if (frame.bitsPerPixel == 8) {
        CorrectSamples<uint8_t>(frame, geometry);
    } else if (frame.bitsPerPixel == 16) {
        CorrectSamples<uint16_t>(frame, geometry);
    }
}

template <typename Sample>
void DefectList::CorrectSamples(DibImage& frame, const DefectGeometry& geometry) const {
    const FrameOnSensor place{frame.width, frame.height, geometry};
    const auto at = [&frame](int32_t column, int32_t row) -> Sample& {
        return reinterpret_cast<Sample*>(frame.bits +
                                         static_cast<size_t>(row) * static_cast<size_t>(frame.stride))[column];
    };
    const auto listedAt = [&](int32_t column, int32_t row) {
        return Contains(place.SensorX(column), place.SensorY(row));
    };

    for (const DefectPixel& entry : entries) {
        const int32_t c = place.Column(entry.x);
        const int32_t r = place.Row(entry.y);
        if (c < 0 || r < 0 || c >= frame.width || r >= frame.height) continue;

        uint32_t sum = 0;
        uint32_t count = 0;
        const auto take = [&](int32_t column, int32_t row) {
            sum += at(column, row);
            ++count;
        };
        for (int32_t j = c - 1; j >= 0; --j) {
            if (!listedAt(j, r)) {
                take(j, r);
                break;
            }
        }
        for (int32_t j = c + 1; j < frame.width; ++j) {
            if (!listedAt(j, r)) {
                take(j, r);
                break;
            }
        }
        for (int32_t k = r - 1; k >= 0; --k) {
            if (!listedAt(c, k)) {
                take(c, k);
                break;
            }
        }
        for (int32_t k = r + 1; k < frame.height; ++k) {
            if (!listedAt(c, k)) {
                take(c, k);
                break;
            }
        }
        if (count != 0) at(c, r) = static_cast<Sample>(sum / count);
    }
}

bool ReadDefectFile(const char* path, DefectList& list) {
    if (!path) return false;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) return false;
    // Read in pieces rather than whole: the list keeps at most one entry per sensor pixel, so a
    // huge file costs time but never memory beyond that.
    constexpr size_t kChunkRecords = 8192;
    std::vector<uint8_t> chunk(kChunkRecords * DefectList::kRecordSize);
    size_t pending = 0;  // bytes of a record cut by the end of the last chunk
    for (;;) {
        const size_t wanted = chunk.size() - pending;
        const size_t got = std::fread(chunk.data() + pending, 1, wanted, file.get());
        const size_t filled = pending + got;
        const size_t whole = filled - filled % DefectList::kRecordSize;
        list.AddRecords(chunk.data(), whole);
        pending = filled - whole;
        for (size_t i = 0; i < pending; ++i) chunk[i] = chunk[whole + i];
        if (got < wanted) break;
    }
    return std::ferror(file.get()) == 0;
}
