// The public headers as applications see them: C99, C11 and C++ builds agree on every record an
// application shares with the SDK, and the SDK's functions link with C linkage from each.
#include "public_api/header_probe.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

using ProbeFunction = size_t (*)(size_t*);

std::vector<size_t> Probe(ProbeFunction probe) {
    std::vector<size_t> values(PROBE_CAPACITY);
    values.resize(probe(values.data()));
    return values;
}

TEST(PublicHeader, RecordLayoutsAreTheSameInCAndCxx) {
    const std::vector<size_t> cxx = Probe(probe_sdk_layout_cxx);
    ASSERT_FALSE(cxx.empty());
    EXPECT_EQ(Probe(probe_sdk_layout_c99), cxx);
    EXPECT_EQ(Probe(probe_sdk_layout_c11), cxx);

    // The layouts applications were built against: FrameInfo's buffer after 4 bytes of padding,
    // the camera-info doubles at byte offsets 40 and 48, enumerations as wide as int32_t.
    const std::vector<size_t> expected = {32, 0,  4,  8,  12, 16, 24, 56, 0, 4, 8,
                                          12, 16, 20, 24, 28, 32, 40, 48, 4, 4, 4};
    EXPECT_EQ(cxx, expected);
}

TEST(PublicHeader, FunctionsLinkWithCLinkageFromEveryLanguage) {
    EXPECT_EQ(probe_dll_version_c99(), 0x02030520);
    EXPECT_EQ(probe_dll_version_c11(), 0x02030520);
    EXPECT_EQ(probe_dll_version_cxx(), 33752352);
}

TEST(PublicHeader, Win32BaseTypesHaveWin64SizesInC) {
    // BOOL, WORD, DWORD, LONG, HANDLE, HWND, WPARAM, LPARAM, LRESULT, GUID, RECT.
    const std::vector<size_t> win64 = {4, 2, 4, 4, 8, 8, 8, 8, 8, 16, 16};
    EXPECT_EQ(Probe(probe_win32_sizes_c99), win64);
    EXPECT_EQ(Probe(probe_win32_sizes_c11), win64);
}

}  // namespace
