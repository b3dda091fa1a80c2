#include "app/window_placement.h"

#include "settings/prefs.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace orvix {

namespace {

// The window's design size, in twips: the smallest a first start opens at.
constexpr int32_t design_width = 11400;
constexpr int32_t design_height = 7900;

// A whole number written as the program writes it: an optional minus sign and digits,
// nothing else, within 32 bits.
std::optional<int32_t> whole_number(const std::string& text) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<int32_t> stored_number(const char* key, const std::string& prefs_text) {
    return whole_number(get_key_value(key, prefs_text));
}

// Keeps a length of size within [start, start + room): the far edge first, then the near
// one, so a box larger than the room lines up with its start.
int32_t kept_within(int32_t position, int32_t size, int32_t start, int32_t room) {
    return std::max(start, std::min(position, start + room - size));
}

} // namespace

StoredPlacement read_placement(const std::string& prefs_text) {
    StoredPlacement stored;
    const std::optional<int32_t> left = stored_number("WINDOW_LEFT", prefs_text);
    const std::optional<int32_t> top = stored_number("WINDOW_TOP", prefs_text);
    const std::optional<int32_t> width = stored_number("WINDOW_WIDTH", prefs_text);
    const std::optional<int32_t> height = stored_number("WINDOW_HEIGHT", prefs_text);
    if (left && top && width && height && *width >= min_window_size.width &&
        *height >= min_window_size.height) {
        // Far edges past 32 bits are no place a screen reaches either.
        const int64_t right = int64_t{*left} + *width;
        const int64_t bottom = int64_t{*top} + *height;
        constexpr int64_t most = std::numeric_limits<int32_t>::max();
        if (right <= most && bottom <= most)
            stored.window = Rect::sized(*left, *top, *width, *height);
    }
    stored.maximized = get_key_value("WINDOW_MAXIMIZED", prefs_text) == "1";
    const std::optional<int32_t> splitter = stored_number("SPLITTER_LEFT", prefs_text);
    if (splitter && *splitter >= 0)
        stored.splitter = splitter;
    return stored;
}

void write_placement(std::string& prefs_text, const WindowPlacement& placement) {
    set_key_value("WINDOW_LEFT", prefs_text, std::to_string(placement.window.left));
    set_key_value("WINDOW_TOP", prefs_text, std::to_string(placement.window.top));
    set_key_value("WINDOW_WIDTH", prefs_text, std::to_string(placement.window.width()));
    set_key_value("WINDOW_HEIGHT", prefs_text, std::to_string(placement.window.height()));
    set_key_value("WINDOW_MAXIMIZED", prefs_text, placement.maximized ? "1" : "0");
    set_key_value("SPLITTER_LEFT", prefs_text, std::to_string(placement.splitter));
}

Size first_window_size(const Rect& available, double twips_per_pixel) {
    const auto three_quarters = [](int32_t length) {
        return static_cast<int32_t>(int64_t{length} * 3 / 4);
    };
    const int32_t width =
        std::max(three_quarters(available.width()), to_pixels(design_width, twips_per_pixel));
    const int32_t height =
        std::max(three_quarters(available.height()), to_pixels(design_height, twips_per_pixel));
    return {std::min(width, available.width()), std::min(height, available.height())};
}

Rect placed_window(const std::optional<Rect>& stored, const Rect& available,
                   double twips_per_pixel) {
    if (!stored) {
        const Size size = first_window_size(available, twips_per_pixel);
        return Rect::sized(available.left + (available.width() - size.width) / 2,
                           available.top + (available.height() - size.height) / 2, size.width,
                           size.height);
    }
    const int32_t width = std::min(stored->width(), available.width());
    const int32_t height = std::min(stored->height(), available.height());
    return Rect::sized(kept_within(stored->left, width, available.left, available.width()),
                       kept_within(stored->top, height, available.top, available.height()), width,
                       height);
}

int32_t placed_splitter(const std::optional<int32_t>& stored, int32_t page_width, int32_t bar_width,
                        int32_t fallback) {
    const int32_t low = page_width / 4;
    const int32_t high = std::max(low, page_width * 3 / 4 - bar_width);
    return std::clamp(stored.value_or(fallback), low, high);
}

} // namespace orvix
