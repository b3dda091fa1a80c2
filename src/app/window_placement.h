// Where the main window opens: where it was when it closed, kept in the preferences, or on a
// first start a size that fits the screen. Plain rules in pixels, checked without a display;
// the window reads the screen and applies the answer.
#pragma once

#include "geometry/geometry.h"

#include <optional>
#include <string>

namespace orvix {

// The window as it closed: its inner area in screen pixels (the size it had before it was
// maximised, when it was), whether it was maximised, and the splitter bar's left edge in
// its page, in pixels.
struct WindowPlacement {
    Rect window;
    bool maximized = false;
    int32_t splitter = 0;
};

// The placement stored in prefs_text; a part that is absent or that no window could have
// had (not a whole number, a size below min_window_size) is std::nullopt.
struct StoredPlacement {
    std::optional<Rect> window;
    bool maximized = false;
    std::optional<int32_t> splitter;
};

// The smallest saved size taken as the user's own; anything smaller is a hand edit.
inline constexpr Size min_window_size{320, 240};

StoredPlacement read_placement(const std::string& prefs_text);
// Sets WINDOW_LEFT, WINDOW_TOP, WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_MAXIMIZED and
// SPLITTER_LEFT.
void write_placement(std::string& prefs_text, const WindowPlacement& placement);

// The inner size of a first start on a screen whose free area is available: three quarters
// of that area, never smaller than the window's design size, never larger than the area.
Size first_window_size(const Rect& available, double twips_per_pixel);

// The window's inner area: the stored one moved and shrunk as little as needed to lie
// within available; without one, the first-start size centred in available.
Rect placed_window(const std::optional<Rect>& stored, const Rect& available,
                   double twips_per_pixel);

// The splitter bar's left edge in a page page_width pixels wide: the stored one, kept a
// quarter of the page away from either side as a drag keeps it; fallback when none is stored.
int32_t placed_splitter(const std::optional<int32_t>& stored, int32_t page_width, int32_t bar_width,
                        int32_t fallback);

} // namespace orvix
