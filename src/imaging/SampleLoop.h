// The loop shared by the per-sample filters: every channel sample of the rectangle, read
// from the source and written to the destination (usually the same image).
#pragma once

#include "imaging/ConverterArgs.h"
#include "imaging/CpuDispatch.h"

// Channels is 1 for grey members and 3 for colour members; a colour pixel of four samples
// keeps its fourth one. TableLookup marks a sampleFn that reads a table: the compiler
// cannot tell the table from the image, so without help it would finish every store
// before the next lookup; four lookups are made before their four stores instead.
template <typename SampleT, int Channels, bool TableLookup = false, typename SampleFn>
int64_t ForEachChannelSample(const ConverterArgs& args, SampleFn sampleFn) {
    if (args.Empty()) return 1;
    const int32_t step = args.destBytesPerPixel / static_cast<int32_t>(sizeof(SampleT));
    const bool packed = step == Channels;
    if ((!packed && !(Channels == 3 && step == 4)) || args.sourceBytesPerPixel != args.destBytesPerPixel) return 0;
    const int32_t width = args.Width();
    RunKernel([&]() KELVRA_INLINE {
        for (int32_t k = 0; k < args.Height(); ++k) {
            const auto* s = reinterpret_cast<const SampleT*>(args.SourceRow(k));
            auto* d = reinterpret_cast<SampleT*>(args.DestRow(k));
            if (packed) {
                const int32_t count = width * Channels;
                int32_t i = 0;
                if constexpr (TableLookup) {
                    for (; i + 4 <= count; i += 4) {
                        const SampleT v0 = sampleFn(s[i]), v1 = sampleFn(s[i + 1]);
                        const SampleT v2 = sampleFn(s[i + 2]), v3 = sampleFn(s[i + 3]);
                        d[i] = v0;
                        d[i + 1] = v1;
                        d[i + 2] = v2;
                        d[i + 3] = v3;
                    }
                }
                for (; i < count; ++i) d[i] = sampleFn(s[i]);
            } else {
                for (int32_t x = 0; x < width; ++x) {
                    const SampleT v0 = sampleFn(s[x * 4]), v1 = sampleFn(s[x * 4 + 1]), v2 = sampleFn(s[x * 4 + 2]);
                    d[x * 4] = v0;
                    d[x * 4 + 1] = v1;
                    d[x * 4 + 2] = v2;
                }
            }
        }
    });
    return 1;
}

// Defines the four members of a filter as instances of runTemplate<SampleT, Channels>(args).
#define KELVRA_SAMPLE_FILTER_MEMBERS(prefix, runTemplate)                                        \
    KELVRA_CONVERTER(prefix##Gray8) { return runTemplate<uint8_t, 1>(KELVRA_CONVERTER_ARGS); }   \
    KELVRA_CONVERTER(prefix##Gray16) { return runTemplate<uint16_t, 1>(KELVRA_CONVERTER_ARGS); } \
    KELVRA_CONVERTER(prefix##Color8) { return runTemplate<uint8_t, 3>(KELVRA_CONVERTER_ARGS); }  \
    KELVRA_CONVERTER(prefix##Color16) { return runTemplate<uint16_t, 3>(KELVRA_CONVERTER_ARGS); }
