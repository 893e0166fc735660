// Plain pixel buffers for calling converters directly, with padded strides.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/CpuDispatch.h"
#include "imaging/Transfer.h"

struct Plane {
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    int32_t stride;
    std::vector<uint8_t> bytes;

    // extraStride adds padding bytes (a multiple of 4) beyond the aligned row.
    Plane(int32_t w, int32_t h, int32_t bpp, int32_t extraStride = 0);

    uint8_t* Pixel(int32_t x, int32_t row) { return bytes.data() + row * stride + x * bytesPerPixel; }
    const uint8_t* Pixel(int32_t x, int32_t row) const { return bytes.data() + row * stride + x * bytesPerPixel; }
    // Channel c of pixel (x, row), for 8-bit (1-, 3-, 4-byte) or 16-bit (2-, 6-, 8-byte) pixels.
    uint32_t Get(int32_t x, int32_t row, int32_t c, bool wide) const;
    void Set(int32_t x, int32_t row, int32_t c, bool wide, uint32_t value);

    // Every byte random; 16-bit samples limited to maxSample when wide.
    void FillRandom(std::mt19937& rng, bool wide, uint32_t maxSample = 0xFFFF);
    void Fill(uint8_t value) { std::memset(bytes.data(), value, bytes.size()); }
};

// Runs a converter over the whole of src into dst at (0, 0), with param1 pointing at a slot
// that holds the record's address (null record: null param1).
int64_t RunConverter(ConverterFn converter, Plane& dst, const Plane& src, void* record = nullptr);

// Sizes for bit-exact comparisons: tiny, odd and ordinary.
struct TestSize {
    int32_t width;
    int32_t height;
};
extern const std::vector<TestSize> kTestSizes;

// A kernel test run once per instruction-set tier. A tier this processor lacks, or one above
// the cap of KELVRA_CPU, is skipped: CI runs the suite under each cap to cover every tier.
class CpuTierTest : public ::testing::TestWithParam<CpuTier> {
protected:
    void SetUp() override;
    void TearDown() override { ForceCpuTier(CpuTier::Avx2); }
};

inline const auto kAllCpuTiers = ::testing::Values(CpuTier::Baseline, CpuTier::Sse4, CpuTier::Avx2);
std::string CpuTierTestName(const ::testing::TestParamInfo<CpuTier>& info);
