// Rectangles, the rules that fit a picture into a box, and the conversions between screen
// pixels and twips (1/1440 inch), shared by the imaging layer, the controls and the window
// layout. No Qt here: the rules are checked without a display.
#pragma once

#include <cstdint>
#include <optional>

namespace orvix {

// Edges in whatever unit the caller works in (pixels or twips); right and bottom lie one
// past the last unit inside.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    static constexpr Rect sized(int32_t left, int32_t top, int32_t width, int32_t height) {
        return {left, top, left + width, top + height};
    }
    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    // Moves the rectangle without changing its size.
    constexpr void move_to(int32_t new_left, int32_t new_top) {
        right += new_left - left;
        bottom += new_top - top;
        left = new_left;
        top = new_top;
    }
    // Keep the left and top edges.
    constexpr void set_width(int32_t width) { right = left + width; }
    constexpr void set_height(int32_t height) { bottom = top + height; }
    bool operator==(const Rect&) const = default;
};

// Where the picture lies, scaled to fit the box with its proportions (smaller or larger)
// and centred in it; the scale is computed in single precision and every position rounds
// halves to even. std::nullopt when a size or an edge lies outside 32 bits or the picture has
// no area.
std::optional<Rect> fit_rect(const Rect& picture, const Rect& box);

// The grid's fit of a picture (src) into a cell (dst): shrunk to fit with its proportions
// when it is larger than the cell on either side, enlarged only with allowEnlarge, else
// kept at its own size; centred either way. With sizeForm the result holds the width and
// height in right and bottom instead of the far edges. std::nullopt when a side or an edge
// lies outside 32 bits or the picture has a side of 0.
std::optional<Rect> FitRect(const Rect& src, const Rect& dst, bool allowEnlarge, bool sizeForm);

// A picture's width and height in pixels.
struct Size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Size&) const = default;
};

// The rectangle moved inwards by amount on all four sides.
Rect DeflateRect(const Rect& rect, int32_t amount);

inline constexpr double twips_per_inch = 1440.0;

// Twips in one pixel of a screen of logical_dpi dots per inch; 15, the factor of a 96-DPI
// screen, when the screen tells none.
double twips_per_pixel(int logical_dpi);

// A length converted between pixels and twips with that factor, rounded to the nearest
// integer with halves to even and held within 32 bits.
int32_t to_twips(double pixels, double twips_per_pixel);
int32_t to_pixels(double twips, double twips_per_pixel);

} // namespace orvix
