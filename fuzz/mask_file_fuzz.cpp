// Fuzz target of the mask file reader: any bytes a file could hold, read against planes of a small
// size chosen by the first two input bytes, and against the sensor's planes.
//
// Besides not crashing: nothing past the header is asked for unless the header matched; an
// accepted file is exactly the header its planes' layout encodes followed by the blocks read,
// and a sensor-sized file (far longer than any input here) is never accepted.
#include "session/MaskFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool Read(const uint8_t* data, size_t size, const MaskLayout& layout, MaskBlocks& blocks, size_t& consumed) {
    consumed = 0;
    size_t requestedBeforeMatch = 0;
    bool headerRead = false;
    const bool accepted = ReadMaskBlocks(
        [&](uint8_t* out, size_t wanted) {
            if (!headerRead) {
                requestedBeforeMatch += wanted;
                headerRead = true;
            } else if (!MaskHeaderMatches(data, layout)) {
                std::abort();  // a block was asked for behind a header that does not match
            }
            const size_t n = std::min(wanted, size - consumed);
            std::memcpy(out, data + consumed, n);
            consumed += n;
            return n;
        },
        layout, blocks);
    if (requestedBeforeMatch != kMaskHeaderSize) std::abort();
    return accepted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const MaskLayout small = MaskLayout::ForPlanes(1 + data[0] % 8, 1 + data[1] % 8);
    const uint8_t* file = data + 2;
    const size_t fileSize = size - 2;

    MaskBlocks blocks;
    size_t consumed = 0;
    if (Read(file, fileSize, small, blocks, consumed)) {
        if (consumed != kMaskHeaderSize + small.DataSize() || fileSize < consumed) std::abort();
        const auto header = EncodeMaskHeader(small);
        if (std::memcmp(file, header.data(), header.size()) != 0) std::abort();
        size_t at = kMaskHeaderSize;
        for (const std::vector<uint8_t>& block : blocks) {
            if (std::memcmp(file + at, block.data(), block.size()) != 0) std::abort();
            at += block.size();
        }
    }

    MaskBlocks sensorBlocks;
    if (Read(file, fileSize, MaskLayout::ForPlanes(1280, 1024), sensorBlocks, consumed)) std::abort();
    return 0;
}
