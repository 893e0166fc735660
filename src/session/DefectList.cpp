#include "session/DefectList.h"

#include <algorithm>
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

// Where a sensor pixel lies in one frame.
struct FrameOnSensor {
    int32_t width;
    int32_t height;
    DefectGeometry geometry;

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
        runTops.assign(static_cast<size_t>(sensorWidth), 0);
        runBottoms.assign(static_cast<size_t>(sensorWidth), -1);
    }
    const size_t bit = static_cast<size_t>(y) * static_cast<size_t>(sensorWidth) + static_cast<size_t>(x);
    uint64_t& word = listed[bit / 64];
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if (word & mask) return false;
    word |= mask;
    if (!entries.empty() && (y < entries.back().y || (y == entries.back().y && x < entries.back().x))) ordered = false;
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
    runTops.swap(other.runTops);
    runBottoms.swap(other.runBottoms);
    std::swap(ordered, other.ordered);
}

void DefectList::Correct(DibImage& frame, const DefectGeometry& geometry) {
    if (entries.empty() || !frame.bits || frame.width <= 0 || frame.height <= 0) return;
    if (frame.bitsPerPixel == 8) {
        CorrectSamples<uint8_t>(frame, geometry);
    } else if (frame.bitsPerPixel == 16) {
        CorrectSamples<uint16_t>(frame, geometry);
    }
}

void DefectList::Order() {
    if (ordered) return;
    // Row by row, as a frame is read: the runs of listed pixels along a row are then neighbours
    // in the list, and those along a column are met from the top.
    std::sort(entries.begin(), entries.end(),
              [](const DefectPixel& a, const DefectPixel& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    ordered = true;
}

template <typename Sample>
void DefectList::CorrectSamples(DibImage& frame, const DefectGeometry& geometry) {
    // Listed pixels take only unlisted ones, which no correction changes, so the order in which
    // entries are corrected does not change the result; sensor order lets every run of listed
    // pixels be measured once, however large a block the file lists.
    Order();
    const FrameOnSensor place{frame.width, frame.height, geometry};
    // The window on the sensor; a neighbour beyond it is beyond the frame's edge.
    const int32_t windowLeft = geometry.xOffset;
    const int32_t windowRight = geometry.xOffset + frame.width - 1;
    const int32_t windowTop = geometry.yOffset;
    const int32_t windowBottom = geometry.yOffset + frame.height - 1;
    const auto value = [&frame, &place](int32_t sensorX, int32_t sensorY) -> Sample& {
        const int32_t row = place.Row(sensorY);
        return reinterpret_cast<Sample*>(frame.bits + static_cast<size_t>(row) *
                                                          static_cast<size_t>(frame.stride))[place.Column(sensorX)];
    };
    std::fill(runBottoms.begin(), runBottoms.end(), -1);

    for (size_t first = 0; first < entries.size();) {
        // The run along the row that starts at this entry.
        size_t last = first;
        while (last + 1 < entries.size() && entries[last + 1].y == entries[first].y &&
               entries[last + 1].x == entries[last].x + 1) {
            ++last;
        }
        const int32_t y = entries[first].y;
        const int32_t left = entries[first].x - 1;
        const int32_t right = entries[last].x + 1;
        for (size_t at = first; at <= last; ++at) {
            const int32_t x = entries[at].x;
            if (y < windowTop || y > windowBottom || x < windowLeft || x > windowRight) continue;
            if (runBottoms[x] < y) {
                int32_t bottom = y;
                while (Contains(x, bottom + 1)) ++bottom;
                runTops[x] = y;
                runBottoms[x] = bottom;
            }
            const int32_t above = runTops[x] - 1;
            const int32_t below = runBottoms[x] + 1;
            uint32_t sum = 0;
            uint32_t count = 0;
            if (left >= windowLeft) sum += value(left, y), ++count;
            if (right <= windowRight) sum += value(right, y), ++count;
            if (above >= windowTop) sum += value(x, above), ++count;
            if (below <= windowBottom) sum += value(x, below), ++count;
            if (count != 0) value(x, y) = static_cast<Sample>(sum / count);
        }
        first = last + 1;
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
    if (std::ferror(file.get()) != 0) return false;
    list.Order();
    return true;
}
