// The ANSI code pages are UTF-8 here, and WCHAR holds one UTF-32 code point.
#include "kelvra/win32/kernel.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsUtf8CodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8; }

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Length of the source in units, including the terminator when `length` is -1; 0 when invalid.
template <class Unit>
size_t SourceLength(const Unit* source, int length) {
    if (length >= 0) return static_cast<size_t>(length);
    size_t count = 0;
    while (source[count] != 0) ++count;
    return count + 1;
}

// Decodes one UTF-8 sequence at text[*pos]; advances past the sequence, or past the maximal invalid
// subpart so that each ill-formed subsequence becomes exactly one replacement character.
bool DecodeUtf8(const unsigned char* text, size_t size, size_t& pos, char32_t& out) {
    unsigned char lead = text[pos++];
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    int continuation = 0;
    unsigned char low = 0x80, high = 0xBF;  // valid range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        out = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        out = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        out = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return false;
    }
    for (int i = 0; i < continuation; ++i) {
        if (pos >= size) return false;
        unsigned char next = text[pos];
        unsigned char min = i == 0 ? low : 0x80, max = i == 0 ? high : 0xBF;
        if (next < min || next > max) return false;
        out = (out << 6) | (next & 0x3F);
        ++pos;
    }
    return true;
}

void EncodeUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Shared tail of both conversions: size query, buffer check and copy.
template <class Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* destination, int capacity) {
    if (converted.size() > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int needed = static_cast<int>(converted.size());
    if (capacity == 0) return needed;
    if (needed > capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(destination, converted.data(), converted.size() * sizeof(Unit));
    return needed;
}

bool CheckArguments(UINT codePage, DWORD flags, DWORD allowedFlags, const void* source, int sourceLength,
                    const void* destination, int capacity) {
    if (!IsUtf8CodePage(codePage) || !source || sourceLength == 0 || sourceLength < -1 || capacity < 0 ||
        (capacity > 0 && !destination) || (capacity > 0 && source == destination)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if ((flags & ~allowedFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return false;
    }
    return true;
}

}  // namespace

extern "C" {

WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
    if (!CheckArguments(CodePage, dwFlags, MB_ERR_INVALID_CHARS, lpMultiByteStr, cbMultiByte, lpWideCharStr,
                        cchWideChar))
        return 0;
    const auto* text = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    size_t size = SourceLength(lpMultiByteStr, cbMultiByte);
    std::wstring converted;
    converted.reserve(size);
    for (size_t pos = 0; pos < size;) {
        char32_t c = 0;
        if (!DecodeUtf8(text, size, pos, c)) {
            if (dwFlags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = kReplacement;
        }
        converted += static_cast<wchar_t>(c);
    }
    return Deliver(converted, lpWideCharStr, cchWideChar);
}

WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
    if (!CheckArguments(CodePage, dwFlags, WC_ERR_INVALID_CHARS, lpWideCharStr, cchWideChar, lpMultiByteStr,
                        cbMultiByte))
        return 0;
    // UTF-8 never needs a default character, and Windows refuses one for it.
    if (lpDefaultChar || lpUsedDefaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t size = SourceLength(lpWideCharStr, cchWideChar);
    std::string converted;
    converted.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        auto c = static_cast<char32_t>(lpWideCharStr[i]);
        if (!IsScalarValue(c)) {
            if (dwFlags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = kReplacement;
        }
        EncodeUtf8(c, converted);
    }
    return Deliver(converted, lpMultiByteStr, cbMultiByte);
}

}  // extern "C"
