// Fuzz target of the registry file's text parser: any bytes a user or a crash could leave in the file.
//
// Besides not crashing, what is read must write back to a text that reads as the same registry: the
// written text of the parsed text is a fixed point, and it is never longer than the limit it was given.
#include "RegistryText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kelvra::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<RegistryTree> tree = ParseRegistryText(text);
    if (!tree) return 0;
    constexpr size_t kLimit = 64 * 1024 * 1024;
    std::optional<std::string> written = FormatRegistryText(*tree, kLimit);
    if (!written) std::abort();  // the input was far smaller than the limit
    std::optional<RegistryTree> reread = ParseRegistryText(*written);
    if (!reread) std::abort();
    std::optional<std::string> rewritten = FormatRegistryText(*reread, kLimit);
    if (!rewritten || *rewritten != *written) std::abort();
    // A tight limit is refused, never overrun.
    if (written->size() > 1) {
        std::optional<std::string> truncated = FormatRegistryText(*tree, written->size() - 1);
        if (truncated) std::abort();
    }
    return 0;
}
