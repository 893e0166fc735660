#include "imaging/CpuDispatch.h"

#include <atomic>

namespace {
std::atomic<bool> baselineOnlyRequested{false};

bool DetectAvx2() {
#if KELVRA_HAS_AVX2_DISPATCH
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
}  // namespace

bool CpuHasAvx2() {
    static const bool detected = DetectAvx2();
    return detected && !baselineOnlyRequested.load(std::memory_order_relaxed);
}

void ForceBaselineKernels(bool baselineOnly) { baselineOnlyRequested.store(baselineOnly, std::memory_order_relaxed); }
