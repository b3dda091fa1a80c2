#include "controls/thumbgrid/grid_layout.h"

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

Rect picture_rect(const Rect& cell, int32_t margin, int32_t thumb_width, int32_t thumb_height) {
    const Rect area = DeflateRect(cell, margin);
    return FitRect({0, 0, thumb_width, thumb_height}, area, false, false).value_or(area);
}

ScrollRange scroll_range(const GridLayout& layout, int32_t height, double twips_per_pixel_y) {
    const int64_t overflow = int64_t{layout.canvas_height} - height;
    if (overflow < 1)
        return {};
    return {true, to_pixels(static_cast<double>(overflow), twips_per_pixel_y),
            to_pixels(height, twips_per_pixel_y), to_pixels(layout.s, twips_per_pixel_y)};
}

} // namespace orvix
