#include "controls/thumbgrid/grid_layout.h"

#include "text/text.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace orvix {

namespace {

constexpr int32_t kFitStart = 10000;
constexpr int32_t kFitStep = 50;

int32_t held(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The row-by-row walk of fixed cells: x starts one cell left of the area, y one margin
// down; a cell goes right of the previous one while one more cell and margin still fit
// before the area's right edge, else it starts a new row.
class FixedWalk {
public:
    FixedWalk(int32_t s, int32_t margin, int32_t width)
        : m_s(s), m_margin(margin), m_width(width), m_x(-int64_t{s}), m_y(margin) {}

    // Moves to the next cell; true when it starts a new row.
    bool next() {
        if (m_x + m_s + m_margin + m_s < m_width) {
            m_x += m_s + m_margin;
            return false;
        }
        m_x = m_margin;
        m_y += m_s + m_margin;
        return true;
    }
    int64_t x() const { return m_x; }
    int64_t y() const { return m_y; }

private:
    int64_t m_s, m_margin, m_width, m_x, m_y;
};

// The part of the caption band an area can give: at most half its height, never negative.
int32_t band_in(const Rect& area, int32_t caption_band) {
    return std::clamp(caption_band, 0, std::max(area.height() / 2, 0));
}

} // namespace

int32_t fitted_cell_size(int32_t width, int32_t height, int32_t n, int32_t margin) {
    int32_t s = kFitStart;
    for (;;) {
        s -= kFitStep;
        if (s <= 0)
            return 0;
        const int64_t step = int64_t{s} + margin;
        if (step <= 0)
            continue;
        const int64_t cols = width / step, rows = height / step;
        if (cols * rows > n)
            return s;
    }
}

GridLayout lay_out(int16_t ThumbnailsSize, int16_t Margin, int32_t width, int32_t height,
                   int32_t n) {
    const bool negative = ThumbnailsSize < 0;
    const int32_t s0 = std::abs(int32_t{ThumbnailsSize});
    GridLayout layout;
    if (s0 != 0 && !negative) {
        layout.fixed = true;
        layout.s = s0;
    } else {
        layout.s = fitted_cell_size(width, height, n, Margin);
        if (negative && layout.s < s0) {
            layout.fixed = true;
            layout.s = s0;
        }
    }
    if (!layout.fixed) {
        layout.canvas_width = width;
        layout.canvas_height = height;
        return layout;
    }
    int64_t canvas_width = layout.s, canvas_height = layout.s;
    FixedWalk walk(layout.s, Margin, width);
    for (int32_t i = 0; i < n; ++i) {
        if (walk.next())
            canvas_height = std::max(canvas_height, walk.y() + layout.s);
        else
            canvas_width = std::max(canvas_width, walk.x() + layout.s);
    }
    layout.canvas_width = held(canvas_width);
    layout.canvas_height = held(canvas_height);
    return layout;
}

std::vector<Rect> cell_rects(const GridLayout& layout, int32_t width, int32_t n, int32_t margin) {
    std::vector<Rect> cells;
    cells.reserve(static_cast<size_t>(std::max(n, 0)));
    const int64_t s = layout.s;
    const auto cell = [s](int64_t x, int64_t y) {
        return Rect{held(x), held(y), held(x + s), held(y + s)};
    };
    if (layout.fixed) {
        FixedWalk walk(layout.s, margin, width);
        for (int32_t i = 0; i < n; ++i) {
            walk.next();
            cells.push_back(cell(walk.x(), walk.y()));
        }
        return cells;
    }
    int64_t c = 1, r = 1;
    for (int32_t i = 0; i < n; ++i) {
        if (c * s + (c - 1) * margin >= width) {
            c = 1;
            ++r;
        }
        cells.push_back(cell((c - 1) * s + c * margin, (r - 1) * s + r * margin));
        ++c;
    }
    return cells;
}

Rect picture_rect(const Rect& cell, int32_t margin, int32_t thumb_width, int32_t thumb_height,
                  int32_t caption_band, bool enlarge) {
    Rect area = DeflateRect(cell, margin);
    area.bottom -= band_in(area, caption_band);
    return FitRect({0, 0, thumb_width, thumb_height}, area, enlarge, false).value_or(area);
}

Rect caption_rect(const Rect& cell, int32_t margin, int32_t caption_band) {
    const Rect area = DeflateRect(cell, margin);
    const int32_t band = band_in(area, caption_band);
    return {cell.left, area.bottom - band, cell.right, area.bottom};
}

int32_t smallest_zoom(int16_t ThumbnailsSize, double twips_per_pixel) {
    return std::clamp(to_pixels(std::abs(int32_t{ThumbnailsSize}), twips_per_pixel), 1,
                      kLargestZoom);
}

int32_t bounded_zoom(int32_t zoom, int32_t smallest) {
    return std::clamp(zoom, std::min(smallest, kLargestZoom), kLargestZoom);
}

int16_t zoomed_ThumbnailsSize(int16_t ThumbnailsSize, int32_t zoom, double twips_per_pixel) {
    const int32_t smallest = smallest_zoom(ThumbnailsSize, twips_per_pixel);
    if (bounded_zoom(zoom, smallest) <= smallest)
        return ThumbnailsSize;
    const int32_t twips = std::clamp(to_twips(bounded_zoom(zoom, smallest), twips_per_pixel), 1,
                                     int32_t{std::numeric_limits<int16_t>::max()});
    return static_cast<int16_t>(ThumbnailsSize > 0 ? twips : -twips);
}

int32_t zoom_of_text(std::string_view text, int32_t smallest) {
    const int zoom = numeric_value(text);
    return zoom >= smallest && zoom <= kLargestZoom ? zoom : bounded_zoom(smallest, smallest);
}

int32_t wheel_zoom(int32_t zoom, int angle_delta, int32_t smallest) {
    const int64_t change = int64_t{angle_delta} * kZoomStep / 120;
    return bounded_zoom(held(int64_t{zoom} + change), smallest);
}

ScrollRange scroll_range(const GridLayout& layout, int32_t height, double twips_per_pixel_y) {
    const int64_t overflow = int64_t{layout.canvas_height} - height;
    if (overflow < 1)
        return {};
    return {true, to_pixels(static_cast<double>(overflow), twips_per_pixel_y),
            to_pixels(height, twips_per_pixel_y), to_pixels(layout.s, twips_per_pixel_y)};
}

} // namespace orvix
