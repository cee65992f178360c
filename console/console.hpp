#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "report/catalogue.hpp"

namespace kelmora::console {

// How a colour shows on each kind of console: a Windows character attribute
// (foreground bits blue 1, green 2, red 4, intensity 8) and the ANSI sequence
// that a POSIX terminal gets instead. The neutral colour hands a terminal its
// own default back rather than forcing grey on black.
struct Colour {
    std::uint16_t attribute;
    std::string_view ansi;
};

inline constexpr Colour neutralColour{7, "\x1b[0m"};

// Indexed by SizeVerdict: bright green, bright red, yellow.
inline constexpr std::array<Colour, 3> verdictColours{{
    {10, "\x1b[92m"},
    {12, "\x1b[91m"},
    {14, "\x1b[93m"},
}};

constexpr const Colour& colourOf(SizeVerdict verdict) {
    return verdictColours[static_cast<std::size_t>(verdict)];
}

// What the report needs from a console: a colour for each verdict tag, and the
// neutral colour after it.
class Colouring {
  public:
    virtual void setVerdictAttribute(SizeVerdict verdict) = 0;
    virtual void setNeutralAttribute() = 0;

  protected:
    Colouring() = default;
    Colouring(const Colouring&) = default;
    Colouring& operator=(const Colouring&) = default;
    ~Colouring() = default;
};

// Implemented once per platform.

// Makes output failures harmless to the process; call before the first write.
void prepareOutput();
// The console behind standard output.
Colouring& platformColouring();
// Waits, showing nothing, for one key press.
void waitForKey();

}  // namespace kelmora::console
