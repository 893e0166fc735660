#include "imaging/CpuDispatch.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

CpuTier Detect() {
#if KELVRA_HAS_AVX2_DISPATCH
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return CpuTier::Avx2;
    if (__builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3")) return CpuTier::Sse4;
#endif
    return CpuTier::Baseline;
}

// An unknown name caps nothing: the library must not slow down over a typing error.
CpuTier CapFromEnvironment() {
    const char* named = std::getenv("KELVRA_CPU");
    if (named == nullptr) return CpuTier::Avx2;
    for (CpuTier tier : {CpuTier::Baseline, CpuTier::Sse4, CpuTier::Avx2})
        if (std::strcmp(named, CpuTierName(tier)) == 0) return tier;
    return CpuTier::Avx2;
}

CpuTier Lower(CpuTier a, CpuTier b) { return static_cast<int>(a) < static_cast<int>(b) ? a : b; }

CpuTier EnvironmentCap() {
    static const CpuTier cap = CapFromEnvironment();
    return cap;
}

std::atomic<CpuTier> forcedCap{CpuTier::Avx2};

// Read when the library loads, whatever static constructor runs a kernel first.
[[maybe_unused]] const bool readAtLoad = (DetectedCpuTier(), EnvironmentCap(), true);

}  // namespace

const char* CpuTierName(CpuTier tier) {
    switch (tier) {
        case CpuTier::Baseline:
            return "baseline";
        case CpuTier::Sse4:
            return "sse4";
        case CpuTier::Avx2:
            return "avx2";
    }
    return "baseline";
}

CpuTier DetectedCpuTier() {
    static const CpuTier detected = Detect();
    return detected;
}

CpuTier ActiveCpuTier() {
    return Lower(Lower(DetectedCpuTier(), EnvironmentCap()), forcedCap.load(std::memory_order_relaxed));
}

void ForceCpuTier(CpuTier cap) { forcedCap.store(cap, std::memory_order_relaxed); }

void ForceBaselineKernels(bool baselineOnly) { ForceCpuTier(baselineOnly ? CpuTier::Baseline : CpuTier::Avx2); }
