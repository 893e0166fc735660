// Runtime choice of the instruction set a kernel runs with. Three tiers: the baseline x86-64
// code, SSE4 (SSSE3 and SSE4.1) and AVX2. Most kernels are written once as an inlined lambda;
// a tier's entry only changes the instruction set the compiler may use for it, so every tier
// produces identical results. The hand-written vector kernels ask for the active tier
// themselves and leave what they do not cover to the scalar code.
//
// The active tier is the best the processor has, capped by the environment variable
// KELVRA_CPU (baseline, sse4 or avx2; read once when the library loads, so that a test run or
// a benchmark can pin the tier of a whole process) and by ForceCpuTier.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KELVRA_HAS_AVX2_DISPATCH 1
#define KELVRA_INLINE __attribute__((always_inline))
// Hand-written vector kernels: entry points, and the helpers inlined into them.
#define KELVRA_AVX2 __attribute__((target("avx2")))
#define KELVRA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#define KELVRA_SSE4 __attribute__((target("sse4.1")))
#define KELVRA_SSE4_INLINE __attribute__((target("sse4.1"), always_inline)) inline
#else
#define KELVRA_HAS_AVX2_DISPATCH 0
#define KELVRA_INLINE
#endif

enum class CpuTier { Baseline = 0, Sse4 = 1, Avx2 = 2 };

// The best tier this processor runs.
CpuTier DetectedCpuTier();
// The tier kernels run with now.
CpuTier ActiveCpuTier();
// Tests and benchmarks cap the tier (Avx2 lifts the cap) to compare every build of a kernel;
// the cap of KELVRA_CPU still holds.
void ForceCpuTier(CpuTier cap);
void ForceBaselineKernels(bool baselineOnly);
// "baseline", "sse4" or "avx2".
const char* CpuTierName(CpuTier tier);

inline bool CpuHasAvx2() { return ActiveCpuTier() == CpuTier::Avx2; }
inline bool CpuHasSse4() { return ActiveCpuTier() >= CpuTier::Sse4; }

#if KELVRA_HAS_AVX2_DISPATCH
template <typename Kernel>
__attribute__((target("avx2"))) void RunKernelAvx2(const Kernel& kernel) {
    kernel();
}
template <typename Kernel>
__attribute__((target("sse4.1"))) void RunKernelSse4(const Kernel& kernel) {
    kernel();
}
#endif

template <typename Kernel>
void RunKernelBaseline(const Kernel& kernel) {
    kernel();
}

template <typename Kernel>
void RunKernel(const Kernel& kernel) {
#if KELVRA_HAS_AVX2_DISPATCH
    switch (ActiveCpuTier()) {
        case CpuTier::Avx2:
            RunKernelAvx2(kernel);
            return;
        case CpuTier::Sse4:
            RunKernelSse4(kernel);
            return;
        case CpuTier::Baseline:
            break;
    }
#endif
    RunKernelBaseline(kernel);
}
