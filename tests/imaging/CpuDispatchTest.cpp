// The tier the kernels run with: what the processor has, capped by KELVRA_CPU and by tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "imaging/CpuDispatch.h"

namespace {

int Rank(CpuTier tier) { return static_cast<int>(tier); }

TEST(CpuDispatch, TheEnvironmentAndForcedCapsLowerTheTierButNeverRaiseIt) {
    ForceCpuTier(CpuTier::Avx2);
    const char* named = std::getenv("KELVRA_CPU");
    CpuTier expected = DetectedCpuTier();
    for (CpuTier tier : {CpuTier::Baseline, CpuTier::Sse4, CpuTier::Avx2})
        if (named != nullptr && std::strcmp(named, CpuTierName(tier)) == 0 && Rank(tier) < Rank(expected))
            expected = tier;
    EXPECT_EQ(ActiveCpuTier(), expected) << "KELVRA_CPU=" << (named ? named : "(unset)");
    for (CpuTier cap : {CpuTier::Baseline, CpuTier::Sse4, CpuTier::Avx2}) {
        ForceCpuTier(cap);
        EXPECT_EQ(Rank(ActiveCpuTier()), std::min(Rank(cap), Rank(expected)));
    }
    ForceBaselineKernels(true);
    EXPECT_EQ(ActiveCpuTier(), CpuTier::Baseline);
    ForceBaselineKernels(false);
    EXPECT_EQ(ActiveCpuTier(), expected);
}

}  // namespace
