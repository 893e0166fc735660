// The defect list of a configuration file: known bad pixels in sensor coordinates (column x,
// row y counted from the first row the camera sends), each replaced in every frame by the mean
// of its nearest good neighbours. One list serves every capture window and mirror setting.
//
// A configuration file is a flat array of 8-byte records, x and y as little-endian int32, with
// no header; trailing bytes that make no whole record are ignored.
#pragma once

#include "imaging/DibImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct DefectPixel {
    int32_t x;
    int32_t y;
};

// How a frame sits on the sensor: the capture window's offsets (the frame's own size gives its
// extent) and whether the camera mirrored the readout itself. A hardware mirror reverses the
// order of the columns (rows) inside the window.
struct DefectGeometry {
    int32_t xOffset = 0;
    int32_t yOffset = 0;
    bool mirroredH = false;
    bool mirroredV = false;
};

class DefectList {
public:
    static constexpr size_t kRecordSize = 8;

    DefectList(int32_t sensorWidth, int32_t sensorHeight) : sensorWidth(sensorWidth), sensorHeight(sensorHeight) {}

    // Adds (x, y) unless it lies outside the sensor or is listed already; false then. Records
    // outside the sensor would otherwise correct pixels that no frame has.
    bool Add(int32_t x, int32_t y);
    // Adds every whole record of bytes, in order.
    void AddRecords(const uint8_t* bytes, size_t size);
    bool Contains(int32_t x, int32_t y) const;
    // In the order added, or in sensor order once a frame was corrected or Order ran.
    const std::vector<DefectPixel>& Entries() const { return entries; }
    bool Empty() const { return entries.empty(); }
    void Swap(DefectList& other) noexcept;

    // Replaces each listed pixel that lies inside frame (8- or 16-bit samples, storage row 0 the
    // frame's first row) by the integer mean of the nearest unlisted pixels to its left, right,
    // above and below within the frame. A pixel with no such neighbour keeps its value. Puts the
    // entries in sensor order first if they are not; allocates nothing.
    void Correct(DibImage& frame, const DefectGeometry& geometry);
    // Puts the entries in sensor order, row by row, so that the first frame need not.
    void Order();

private:
    template <typename Sample>
    void CorrectSamples(DibImage& frame, const DefectGeometry& geometry);

    int32_t sensorWidth;
    int32_t sensorHeight;
    std::vector<DefectPixel> entries;
    bool ordered = true;
    // One bit per sensor pixel, set where an entry lies; made with the first entry, as are the
    // correction's scratch per sensor column: the first and last row of the run of listed
    // pixels last met in that column.
    std::vector<uint64_t> listed;
    std::vector<int32_t> runTops;
    std::vector<int32_t> runBottoms;
};

// Reads a configuration file into list, which should be empty. False when the file cannot be
// opened or read to its end; what list then holds is not to be used.
bool ReadDefectFile(const char* path, DefectList& list);
