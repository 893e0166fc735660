// --colour 16|48: the output depth of a command. The SDK takes 16-bit grey through its API and
// 48-bit colour only from the camera's stored format, which it reads when a session starts; so
// for 48 the tool stores it for the session it opens and puts the user's own value back at once.
#pragma once

#include "Options.h"
#include "kelvra/win32.h"

#include <cstdint>
#include <iosfwd>
#include <optional>

// 16 or 48 (16 when the option is absent); a bad value is reported to err.
std::optional<int32_t> ReadColourOption(const ParsedOptions& options, std::ostream& err);

class ColourChoice {
public:
    // Stores the colour format bits asks for as the format sessions start with (a session reads
    // its format from camera number 0's settings when it starts).
    explicit ColourChoice(int32_t bits);
    ~ColourChoice() { Restore(); }
    ColourChoice(const ColourChoice&) = delete;
    ColourChoice& operator=(const ColourChoice&) = delete;

    // Puts back what the user had stored; called once the session has started.
    void Restore() const;

private:
    bool changed = false;
    mutable bool restored = false;
    std::optional<DWORD> previous;
};
