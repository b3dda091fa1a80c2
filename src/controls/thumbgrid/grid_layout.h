// How the grid places its cells: the cell size (fitted to the drawing area or fixed), the
// size of the whole grid (its canvas), each item's cell, and the scroll bar's range. All
// in twips.
#pragma once

#include "geometry/geometry.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvix {

struct GridLayout {
    bool fixed = false; // fixed cells on a canvas that scrolls; else fitted to the area
    int32_t s = 0;      // cell size
    int32_t canvas_width = 0;
    int32_t canvas_height = 0;
    bool operator==(const GridLayout&) const = default;
};

// The fit loop: from 10000 down in steps of 50, the first cell size s for which the whole
// columns and rows of (s + margin) in width x height hold strictly more than n cells; 0
// when even 50 is too large.
int32_t fitted_cell_size(int32_t width, int32_t height, int32_t n, int32_t margin);

// The layout of n items in a width x height area. ThumbnailsSize 0 fits the cells to the
// area; a positive size gives fixed cells of that size; a negative one fits, but falls
// back to fixed cells of its absolute value when the fitted ones would be smaller.
// Fixed cells are walked row by row to give the canvas size; fitted ones use the area's.
GridLayout lay_out(int16_t ThumbnailsSize, int16_t Margin, int32_t width, int32_t height,
                   int32_t n);

// The cells (BoundsGrid) of items 1 to n, in item order.
std::vector<Rect> cell_rects(const GridLayout& layout, int32_t width, int32_t n, int32_t margin);

// Where the picture of a thumb_width x thumb_height image is drawn in its cell: fitted
// into the cell less the margin on every side, never enlarged. An image of unknown size
// takes the whole of that area, so its item can still be pointed at. A caption band
// (twips) keeps the bottom of that area for the caption, below the picture; it never takes
// more than half the area, so a picture always shows. With enlarge a smaller picture grows
// to fill what is left (zoomed cells, drawn from a larger source).
Rect picture_rect(const Rect& cell, int32_t margin, int32_t thumb_width, int32_t thumb_height,
                  int32_t caption_band = 0, bool enlarge = false);
// The caption's place below the picture: the cell's width, over the band that
// picture_rect keeps. Empty without a band.
Rect caption_rect(const Rect& cell, int32_t margin, int32_t caption_band);

// Zoom of the cells, in pixels: from the cells the host asked for (its ThumbnailsSize) up
// to kLargestZoom.
inline constexpr int32_t kLargestZoom = 400;
// Pixels a notch of the wheel (120 eighths of a degree) adds or takes.
inline constexpr int32_t kZoomStep = 16;
// The host's ThumbnailsSize in pixels: the smallest zoom. A size of 0 (cells fitted to the
// area whatever their size) gives 1.
int32_t smallest_zoom(int16_t ThumbnailsSize, double twips_per_pixel);
// The zoom held within smallest to kLargestZoom.
int32_t bounded_zoom(int32_t zoom, int32_t smallest);
// The ThumbnailsSize that shows a zoom: the host's own at the smallest zoom; above it
// cells of the zoom, still fitted larger when few pictures leave room, as a negative size
// does (fixed cells when the host's were fixed).
int16_t zoomed_ThumbnailsSize(int16_t ThumbnailsSize, int32_t zoom, double twips_per_pixel);
// A zoom as the preferences keep it (decimal pixels); a text that is no zoom within the
// bounds gives the smallest, the host's own cells.
int32_t zoom_of_text(std::string_view text, int32_t smallest);
// The zoom after a turn of the wheel by angle_delta (eighths of a degree, positive away
// from the user: larger), bounded.
int32_t wheel_zoom(int32_t zoom, int angle_delta, int32_t smallest);

struct ScrollRange {
    bool visible = false;
    int32_t maximum = 0;    // pixels
    int32_t large_step = 0; // pixels: the area's height
    int32_t small_step = 0; // pixels: a cell
    int32_t value = 0;      // pixels: the position shown
    bool operator==(const ScrollRange&) const = default;
};

// The vertical scroll bar for a canvas taller than the area, with the twips per pixel of
// the vertical axis, at the top; hidden when the canvas fits.
ScrollRange scroll_range(const GridLayout& layout, int32_t height, double twips_per_pixel_y);

} // namespace orvix
