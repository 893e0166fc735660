// Every converter on a 1280 x 1024 frame, run through TransferImage as the pipeline runs it.
#include <string>

#include "BenchImages.h"
#include "imaging/Converters.h"
#include "imaging/Transfer.h"

namespace {

struct ConverterCase {
    const char* name;
    ConverterFn converter;
    uint16_t sourceBits;
    uint16_t destBits;
    bool inPlace;
    int32_t width = kFrameWidth;
};

BayerParams bayer{0, 130, 100, 170};
GrayParams gray{0, 140, 128, 120, 110, 3, -2, 0, 5, 13};
WhiteBalanceResult balance{100, 100, 100, 0};

void* RecordFor(ConverterFn converter) {
    static void* bayerSlot = &bayer;
    static void* graySlot = &gray;
    static void* balanceSlot = &balance;
    if (converter == Demosaic8 || converter == Demosaic8Border || converter == Demosaic16 ||
        converter == Demosaic16Border) {
        return &bayerSlot;
    }
    if (converter == GrayGainOffset8 || converter == GrayGainOffset16 || converter == GrayAutoGains) return &graySlot;
    if (converter == WhiteBalance8 || converter == WhiteBalance16) return &balanceSlot;
    return nullptr;
}

void RunConverter(benchmark::State& state, const ConverterCase& c) {
    BenchImage source(c.sourceBits, c.width), dest(c.destBits, c.width);
    source.FillRandom(1, c.sourceBits == 16 ? 0x0FFF : 0xFFFF);
    DibImage* target = c.inPlace ? source.get() : dest.get();
    void* record = RecordFor(c.converter);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TransferImage(target, c.converter, source.get(), nullptr, 0, 0, record, nullptr));
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

void RunDemosaicPair(benchmark::State& state, ConverterFn interior, ConverterFn border, uint16_t rawBits,
                     uint16_t colourBits) {
    BenchImage raw(rawBits), colour(colourBits);
    raw.FillRandom(2);
    void* record = RecordFor(interior);
    for (auto _ : state) {
        TransferImage(colour.get(), interior, raw.get(), nullptr, 0, 0, record, nullptr);
        TransferImage(colour.get(), border, raw.get(), nullptr, 0, 0, record, nullptr);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

void RunScale(benchmark::State& state, ScaledConverterFn converter, uint16_t bits) {
    BenchImage source(bits), dest(bits, 800, 640);
    source.FillRandom(3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            TransferImageScaled(dest.get(), converter, source.get(), nullptr, nullptr, nullptr, nullptr));
        benchmark::ClobberMemory();
    }
    ReportFrames(state, int64_t{800} * 640);
}

const ConverterCase kCases[] = {
    {"Convert10To8Reversed", Convert10To8Reversed, 16, 8, false},
    {"Convert12To8Reversed", Convert12To8Reversed, 16, 8, false},
    {"Convert16HighByte", Convert16HighByte, 16, 8, false},
    {"Convert16HighByteReversed", Convert16HighByteReversed, 16, 8, false},
    {"Shift12To16", Shift12To16, 16, 16, true},
    {"Shift10To16", Shift10To16, 16, 16, true},
    {"Copy24", Copy24, 24, 24, false},
    {"Copy24Reversed", Copy24Reversed, 24, 24, false},
    {"Swap24", Swap24, 24, 24, false},
    {"CopyRowsReversed/24", CopyRowsReversed, 24, 24, false},
    {"Copy32InvertAlpha", Copy32InvertAlpha, 32, 32, false},
    {"Convert48To24Shift5", Convert48To24Shift5, 48, 24, false},
    {"Convert48To24Reversed", Convert48To24Reversed, 48, 24, false},
    {"Shift48By4", Shift48By4, 48, 48, true},
    {"Shift48By6", Shift48By6, 48, 48, true},
    {"Shift48By4Swap", Shift48By4Swap, 48, 48, true},
    {"Shift48By6Swap", Shift48By6Swap, 48, 48, true},
    {"Expand48To64By4", Expand48To64By4, 48, 64, false},
    {"Expand48To64By6", Expand48To64By6, 48, 64, false},
    {"Expand48To64By4Swap", Expand48To64By4Swap, 48, 64, false},
    {"Expand48To64By6Swap", Expand48To64By6Swap, 48, 64, false},
    {"GrayFromColor", GrayFromColor, 24, 8, false},
    // Repacking only moves rows whose length is not a multiple of 4 bytes.
    {"RepackRows8/1278", RepackRows8, 8, 8, true, 1278},
    {"RepackRows16/1279", RepackRows16, 16, 16, true, 1279},
    {"RegionMean8", RegionMean8, 8, 8, true},
    {"RegionMean10", RegionMean10, 16, 16, true},
    {"WhiteBalance8", WhiteBalance8, 8, 8, true},
    {"WhiteBalance16", WhiteBalance16, 16, 16, true},
    {"GrayAutoGains/8", GrayAutoGains, 8, 8, true},
    {"GrayAutoGains/16", GrayAutoGains, 16, 16, true},
    {"GrayGainOffset8", GrayGainOffset8, 8, 8, true},
    {"GrayGainOffset16", GrayGainOffset16, 16, 16, true},
    {"Demosaic8/24", Demosaic8, 8, 24, false},
    {"Demosaic8Border/24", Demosaic8Border, 8, 24, false},
    {"Demosaic16/48", Demosaic16, 16, 48, false},
    {"Demosaic16Border/48", Demosaic16Border, 16, 48, false},
};

const bool registered = [] {
    for (const ConverterCase& c : kCases) {
        benchmark::RegisterBenchmark((std::string("Converter/") + c.name).c_str(), [c](benchmark::State& state) {
            RunConverter(state, c);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Demosaic/8to24", RunDemosaicPair, Demosaic8, Demosaic8Border, 8, 24)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Demosaic/8to32", RunDemosaicPair, Demosaic8, Demosaic8Border, 8, 32)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Demosaic/16to48", RunDemosaicPair, Demosaic16, Demosaic16Border, 16, 48)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Demosaic/16to64", RunDemosaicPair, Demosaic16, Demosaic16Border, 16, 64)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Converter/ScaleNearest24", RunScale, ScaleNearest24, 24)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Converter/ScaleNearest8", RunScale, ScaleNearest8, 8)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
