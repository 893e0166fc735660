// USB product ids the device core treats specially, named by what sets them apart.
#pragma once

#include <cstdint>

constexpr int32_t kProductSingleTransfer = 0x3042;    // streams each frame in one transfer
constexpr int32_t kProductP30C0 = 0x30C0;
constexpr int32_t kProductTripleSample = 0x3130;      // three samples per pixel
constexpr int32_t kProductP3140 = 0x3140;
constexpr int32_t kProductP3150 = 0x3150;
constexpr int32_t kProduct880HQLN = 0x3180;
constexpr int32_t kProductP3190 = 0x3190;
constexpr int32_t kProductP31E0 = 0x31E0;
constexpr int32_t kProductDeferredExposure = 0x3200;  // takes a new exposure only between frames
constexpr int32_t kProductGLUX9701 = 0x32C0;
