#include "common/DebugLog.h"

#include "kelvra/win32.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

struct CategoryName {
    LogCategory category;
    const char* name;
};

constexpr std::array<CategoryName, 8> kCategories = {{{LogCategory::Api, "api"},
                                                      {LogCategory::Session, "session"},
                                                      {LogCategory::Settings, "settings"},
                                                      {LogCategory::Device, "device"},
                                                      {LogCategory::Sensor, "sensor"},
                                                      {LogCategory::Usb, "usb"},
                                                      {LogCategory::Imaging, "imaging"},
                                                      {LogCategory::Output, "output"}}};

unsigned Bit(LogCategory category) { return 1u << static_cast<unsigned>(category); }

// The categories a KELVRA_DEBUG value names; unknown words are ignored.
unsigned ParseCategories(const char* value) {
    if (!value) return 0;
    unsigned enabled = 0;
    std::string_view rest(value);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view word = rest.substr(0, comma);
        if (word == "all" || word == "1") return ~0u;
        for (const CategoryName& entry : kCategories) {
            if (word == entry.name) enabled |= Bit(entry.category);
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return enabled;
}

unsigned EnabledCategories() {
    // getenv is read once, before any thread of ours could change the environment.
    static const unsigned enabled = ParseCategories(std::getenv("KELVRA_DEBUG"));
    return enabled;
}

const char* NameOf(LogCategory category) {
    for (const CategoryName& entry : kCategories) {
        if (entry.category == category) return entry.name;
    }
    return "?";
}

}  // namespace

bool LogEnabled(LogCategory category) { return (EnabledCategories() & Bit(category)) != 0; }

void DebugLog(LogCategory category, const char* format, ...) {
    if (!LogEnabled(category)) return;
    char line[512];
    const int prefix = std::snprintf(line, sizeof line, "kelvra %s: ", NameOf(category));
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line + prefix, sizeof line - static_cast<size_t>(prefix) - 1, format, arguments);
    va_end(arguments);
    const size_t length = std::strlen(line);
    line[length] = '\n';
    line[length + 1] = '\0';
    // One call per line keeps the lines of concurrent threads apart.
    OutputDebugStringA(line);
}
