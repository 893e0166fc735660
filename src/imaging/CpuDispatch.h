// Runtime choice between the baseline x86-64 code and an AVX2 build of the same kernel.
// The kernel is written once as an inlined lambda; the AVX2 entry only changes the
// instruction set the compiler may use for it, so both produce identical results.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KELVRA_HAS_AVX2_DISPATCH 1
#define KELVRA_INLINE __attribute__((always_inline))
#else
#define KELVRA_HAS_AVX2_DISPATCH 0
#define KELVRA_INLINE
#endif

bool CpuHasAvx2();
// Tests and benchmarks pin the baseline path to compare both builds of a kernel.
void ForceBaselineKernels(bool baselineOnly);

#if KELVRA_HAS_AVX2_DISPATCH
template <typename Kernel>
__attribute__((target("avx2"))) void RunKernelAvx2(const Kernel& kernel) {
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
    if (CpuHasAvx2()) {
        RunKernelAvx2(kernel);
        return;
    }
#endif
    RunKernelBaseline(kernel);
}
