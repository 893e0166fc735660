// Runtime choice between the baseline x86-64 code and AVX2 code. Most kernels are
// written once as an inlined lambda; the AVX2 entry only changes the instruction set the
// compiler may use for it, so both produce identical results. The few hand-written AVX2
// kernels check CpuHasAvx2() themselves and leave what they do not cover to the scalar code.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KELVRA_HAS_AVX2_DISPATCH 1
#define KELVRA_INLINE __attribute__((always_inline))
// Hand-written AVX2 kernels: entry points, and the helpers inlined into them.
#define KELVRA_AVX2 __attribute__((target("avx2")))
#define KELVRA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
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
