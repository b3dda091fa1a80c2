#include "platform/colours.h"

#include <algorithm>

namespace orvix {

std::int32_t rgb(int r, int g, int b) {
    const auto channel = [](int c) { return static_cast<std::int32_t>(std::clamp(c, 0, 255)); };
    return channel(r) | channel(g) << 8 | channel(b) << 16;
}

void split_rgb(std::int32_t colour, int& r, int& g, int& b) {
    r = colour & 0xFF;
    g = (colour >> 8) & 0xFF;
    b = (colour >> 16) & 0xFF;
}

std::int32_t translate_colour(std::uint32_t colour, const SystemColours& system_colours) {
    if ((colour & system_colour_flag) == 0)
        return (colour >> 24) == 0 ? static_cast<std::int32_t>(colour) : -1;
    if ((colour & ~system_colour_flag) > 0xFF || !system_colours)
        return -1;
    const std::optional<std::int32_t> value = system_colours(static_cast<int>(colour & 0xFF));
    return value ? (*value & 0xFFFFFF) : -1;
}

} // namespace orvix
