#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ToWide(const std::string& text, DWORD flags = 0, UINT codePage = CP_UTF8) {
    int size = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string ToNarrow(const std::wstring& text, DWORD flags = 0) {
    int size =
        WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                            nullptr);
    return narrow;
}

const std::string kMixed = "Kamera \xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 end";  // ü 日本 😀

TEST(StringConversion, RoundTripsEveryPlaneAndTheAnsiPagesAreUtf8) {
    std::wstring wide = ToWide(kMixed);
    EXPECT_EQ(wide, L"Kamera \u00FC \u65E5\u672C \U0001F600 end");
    EXPECT_EQ(ToNarrow(wide), kMixed);
    EXPECT_EQ(ToWide(kMixed, 0, CP_ACP), wide);
    EXPECT_EQ(ToWide(kMixed, 0, CP_THREAD_ACP), wide);
}

TEST(StringConversion, TerminatedInputCountsTheTerminatorAndBuffersFollowTheRules) {
    // "ü" is two bytes; with its terminator three.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", 1, nullptr, 0, nullptr, nullptr), 2);
    char narrow[3] = {'x', 'x', 'x'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", -1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00FC", -1, narrow, 3, nullptr, nullptr), 3);
    EXPECT_STREQ(narrow, "\xC3\xBC");

    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xBC", -1, nullptr, 0), 2);
    wchar_t wide[2] = {L'x', L'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xBC", -1, wide, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xBC", -1, wide, 2), 2);
    EXPECT_EQ(wide[0], L'\u00FC');
    EXPECT_EQ(wide[1], L'\0');
}

TEST(StringConversion, InvalidUtf8FailsStrictlyOrBecomesOneReplacementPerBadSequence) {
    struct Case {
        std::string bytes;
        std::wstring lenient;
    };
    const Case cases[] = {
        {"a\xC3(", L"a\uFFFD("},                            // lead byte without its continuation
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                      // overlong encoding of '/'
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"x\xE6\x97", L"x\uFFFD"},                          // truncated at the end of the input
        {"\xFF", L"\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                      nullptr, 0),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(ToWide(c.bytes), c.lenient);
    }
}

TEST(StringConversion, InvalidCodePointsFailStrictlyOrBecomeReplacements) {
    const std::wstring invalid[] = {std::wstring(1, static_cast<wchar_t>(0xD800)),
                                    std::wstring(1, static_cast<wchar_t>(0x110000))};
    for (const std::wstring& text : invalid) {
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), 1, nullptr, 0, nullptr, nullptr), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(ToNarrow(text), "\xEF\xBF\xBD");
    }
}

TEST(StringConversion, BadArgumentsAreRefusedWithWindowsErrors) {
    char narrow[8];
    wchar_t wide[8];
    BOOL usedDefault = FALSE;
    auto expectFailure = [](int result, DWORD error) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(GetLastError(), error);
    };
    expectFailure(MultiByteToWideChar(1252, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8), ERROR_INVALID_FLAGS);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 8, nullptr, &usedDefault), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, -1, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0x400, L"a", 1, narrow, 8, nullptr, nullptr), ERROR_INVALID_FLAGS);
}

}  // namespace
