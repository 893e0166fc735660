#include "TestImages.h"

Plane::Plane(int32_t w, int32_t h, int32_t bpp, int32_t extraStride)
    : width(w),
      height(h),
      bytesPerPixel(bpp),
      stride(((w * bpp + 3) & ~3) + extraStride),
      bytes(static_cast<size_t>(stride) * h) {}

uint32_t Plane::Get(int32_t x, int32_t row, int32_t c, bool wide) const {
    const uint8_t* p = Pixel(x, row) + c * (wide ? 2 : 1);
    return wide ? static_cast<uint32_t>(p[0] | (p[1] << 8)) : p[0];
}

void Plane::Set(int32_t x, int32_t row, int32_t c, bool wide, uint32_t value) {
    uint8_t* p = Pixel(x, row) + c * (wide ? 2 : 1);
    p[0] = static_cast<uint8_t>(value);
    if (wide) p[1] = static_cast<uint8_t>(value >> 8);
}

void Plane::FillRandom(std::mt19937& rng, bool wide, uint32_t maxSample) {
    if (!wide) {
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        return;
    }
    std::uniform_int_distribution<uint32_t> sample(0, maxSample);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const uint32_t v = sample(rng);
        bytes[i] = static_cast<uint8_t>(v);
        bytes[i + 1] = static_cast<uint8_t>(v >> 8);
    }
}

int64_t RunConverter(ConverterFn converter, Plane& dst, const Plane& src, void* record) {
    const RECT rect{0, 0, src.width, src.height};
    void* slot = record;
    return converter(dst.bytes.data(), src.bytes.data(), &rect, 0, 0, static_cast<uint16_t>(dst.bytesPerPixel),
                     static_cast<uint16_t>(src.bytesPerPixel), dst.stride, src.stride, record ? &slot : nullptr,
                     nullptr);
}

const std::vector<TestSize> kTestSizes = {{1, 1}, {2, 3}, {3, 2}, {4, 4},   {5, 5},  {6, 7},
                                          {7, 6}, {9, 4}, {4, 9}, {33, 17}, {70, 9}, {600, 7}};

void CpuTierTest::SetUp() {
    ForceCpuTier(CpuTier::Avx2);
    if (static_cast<int>(GetParam()) > static_cast<int>(ActiveCpuTier()))
        GTEST_SKIP() << CpuTierName(GetParam()) << " is not available here";
    ForceCpuTier(GetParam());
    ASSERT_EQ(ActiveCpuTier(), GetParam());
}

std::string CpuTierTestName(const ::testing::TestParamInfo<CpuTier>& info) { return CpuTierName(info.param); }
