// The mask file: the four calibration planes of a session in one file, so that a calibration
// taken once serves later sessions. Little-endian, no padding:
//
//   0   16  magic "TAVREL MASK1000" and a zero byte
//   16  4   width, int32
//   20  4   height, int32
//   24  16  the byte size of each block, int32: stride x height of its plane
//   40      the blocks: dark 8-bit, white 8-bit, dark 16-bit, white 16-bit plane
//
// Each block is its plane's pixel memory as stored: storage row 0 first (the first row the
// camera sends), rows padded to a multiple of four bytes. For the 880HQLN the blocks hold
// 1310720, 1310720, 2621440 and 2621440 bytes and the file 7864360.
//
// Nothing here knows the session: the reader checks a file against the layout of the planes it
// is meant for before it allocates or reads any block, and the writer never leaves a partly
// written file where the old one was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

constexpr size_t kMaskHeaderSize = 40;
constexpr size_t kMaskBlockCount = 4;

// The shape of the four planes a file must match exactly.
struct MaskLayout {
    int32_t width = 0;
    int32_t height = 0;
    std::array<uint32_t, kMaskBlockCount> blockSizes{};

    // Planes of width x height: two 8-bit planes, then two 16-bit planes.
    static MaskLayout ForPlanes(int32_t width, int32_t height);
    size_t DataSize() const;
};

using MaskBlocks = std::array<std::vector<uint8_t>, kMaskBlockCount>;

// Fills up to size bytes and returns how many it got; fewer only at the end of the data.
using MaskByteReader = std::function<size_t(uint8_t* bytes, size_t size)>;

std::array<uint8_t, kMaskHeaderSize> EncodeMaskHeader(const MaskLayout& layout);
// True when header (kMaskHeaderSize bytes) is a mask file header of exactly layout.
bool MaskHeaderMatches(const uint8_t* header, const MaskLayout& layout);

// Reads a header and, only if it matches layout, the four blocks. False when it does not match
// or the data ends before the last block; blocks then holds nothing to be used. Bytes after the
// last block are not read.
bool ReadMaskBlocks(const MaskByteReader& read, const MaskLayout& layout, MaskBlocks& blocks);
// ReadMaskBlocks from the file at path; false also when it cannot be opened.
bool ReadMaskFile(const char* path, const MaskLayout& layout, MaskBlocks& blocks);

// Writes header and blocks (each of its layout size) into a new file in the folder of path and
// renames it over path only when every byte was written, so a failed save leaves the file that
// was there. False when the file could not be made, written or renamed.
bool WriteMaskFile(const char* path, const MaskLayout& layout, const MaskBlocks& blocks);
