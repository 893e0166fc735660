// Spreading a tightly packed frame, received into the image's memory, into 4-byte-aligned rows.
#include <cstring>

#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"

namespace {

int64_t RepackRows(const ConverterArgs& args, int32_t bytesPerPixel) {
    if (args.Empty()) return 1;
    const size_t packedRowBytes = static_cast<size_t>(args.Width()) * static_cast<size_t>(bytesPerPixel);
    // From the last row backwards: every packed row lies at or before its aligned place,
    // so moving the later rows first never overwrites bytes still to be read.
    for (int32_t k = args.Height() - 1; k >= 0; --k) {
        BYTE* destRow = args.destination + static_cast<intptr_t>(args.destY + k) * args.destStride +
                        static_cast<intptr_t>(args.destX) * bytesPerPixel;
        std::memmove(destRow, args.source + packedRowBytes * static_cast<size_t>(k), packedRowBytes);
    }
    return 1;
}

}  // namespace

KELVRA_CONVERTER(RepackRows8) { return RepackRows(KELVRA_CONVERTER_ARGS, 1); }
KELVRA_CONVERTER(RepackRows16) { return RepackRows(KELVRA_CONVERTER_ARGS, 2); }
