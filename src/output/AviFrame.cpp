#include "output/AviFrame.h"

#include "imaging/Converters.h"

namespace {

template <typename Sample, int Channels, int Shift>
void ToBgr(const DibImage& source, DibImage& frame) {
    for (int32_t row = 0; row < source.height; ++row) {
        const auto* s = reinterpret_cast<const Sample*>(source.bits +
                                                        static_cast<intptr_t>(source.height - 1 - row) * source.stride);
        BYTE* d = frame.bits + static_cast<intptr_t>(row) * frame.stride;
        for (int32_t x = 0; x < source.width; ++x, s += Channels, d += 3) {
            if constexpr (Channels == 1) {
                d[0] = d[1] = d[2] = static_cast<BYTE>(s[0] >> Shift);
            } else {
                d[0] = static_cast<BYTE>(s[0] >> Shift);
                d[1] = static_cast<BYTE>(s[1] >> Shift);
                d[2] = static_cast<BYTE>(s[2] >> Shift);
            }
        }
    }
}

}  // namespace

bool MakeAviFrame(const DibImage& source, DibImage& frame) {
    if (source.bits == nullptr || frame.bits == nullptr || frame.bitsPerPixel != 24 || frame.width != source.width ||
        frame.height != source.height) {
        return false;
    }
    auto* from = const_cast<DibImage*>(&source);
    switch (source.bitsPerPixel) {
        case 8:
            ToBgr<uint8_t, 1, 0>(source, frame);
            return true;
        case 16:
            ToBgr<uint16_t, 1, 8>(source, frame);
            return true;
        case 24:
            return TransferImage(&frame, Copy24Reversed, from, nullptr, 0, 0, nullptr, nullptr) != 0;
        case 32:
            ToBgr<uint8_t, 4, 0>(source, frame);
            return true;
        case 48:
            return TransferImage(&frame, Convert48To24Reversed, from, nullptr, 0, 0, nullptr, nullptr) != 0;
        case 64:
            ToBgr<uint16_t, 4, 8>(source, frame);
            return true;
        default:
            return false;
    }
}
