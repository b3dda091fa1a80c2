// Colour values as the controls take them: 32-bit, red in the low byte; with the high bit
// set the low byte names a system colour instead, which the desktop translates.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace orvix {

inline constexpr std::uint32_t system_colour_flag = 0x80000000u;

std::int32_t rgb(int r, int g, int b);
void split_rgb(std::int32_t colour, int& r, int& g, int& b);

// The RGB value of a system colour index, or nothing when the index names no colour.
using SystemColours = std::function<std::optional<std::int32_t>(int index)>;

// Plain RGB for any colour value, -1 when it cannot be translated (an unknown system
// colour, or flags in the high byte other than the system flag).
std::int32_t translate_colour(std::uint32_t colour, const SystemColours& system_colours);

} // namespace orvix
