#include "controls/progress/vumbar_drawing.h"

#include "text/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace orvix {

namespace {

// Channel step between two bands of a gradient.
constexpr int band_step = 4;

int saturate(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

void darken(int& channel) {
    channel -= band_step;
    if (channel < 1)
        channel = 0;
}

void lighten(int& channel) {
    channel += band_step;
    if (channel >= 255)
        channel = 255;
}

Rect parse_rect(std::string_view rect) {
    const std::vector<std::string> fields = split(rect, ",");
    const auto field = [&fields](size_t i) {
        return i < fields.size() ? numeric_value(fields[i]) : 0;
    };
    return {field(0), field(1), field(2), field(3)};
}

bool fits(int text_width, const Rect& room) {
    return text_width <= room.width();
}

} // namespace

std::vector<GradientBand> gradient_bands(std::string_view rect, int& r, int& g, int& b,
                                         bool TopToBottom, bool toblack, int nbsteps) {
    std::vector<GradientBand> bands;
    if (nbsteps < 1)
        return bands;
    const Rect area = parse_rect(rect);
    const double height = static_cast<double>(area.bottom) - static_cast<double>(area.top);
    const std::int64_t step = to_int(height / nbsteps);
    std::int64_t pos = TopToBottom ? area.top : std::int64_t{area.bottom} - step;
    bands.reserve(static_cast<size_t>(nbsteps));
    for (int i = 0; i < nbsteps; ++i) {
        bands.push_back({{area.left, saturate(pos), area.right, saturate(pos + step)}, r, g, b});
        for (int* channel : {&r, &g, &b}) {
            if (toblack)
                darken(*channel);
            else
                lighten(*channel);
        }
        pos += TopToBottom ? step : -step;
    }
    return bands;
}

double bar_fraction(int value, int min, int max) {
    if (max == min)
        return 0.0;
    return static_cast<double>(value) / (static_cast<double>(max) - static_cast<double>(min));
}

int percents(double fraction) {
    return to_int(fraction * 100.0);
}

int filled_right(const Rect& inner, double fraction) {
    if (fraction <= 0.0 || inner.width() <= 0)
        return inner.left;
    const double width = inner.width() * std::min(fraction, 1.0);
    return inner.left + to_int(width);
}

std::string caption_text(std::string_view caption, int value, int min, int max) {
    std::string text(caption);
    text = Remplacer("{percents}", std::to_string(percents(bar_fraction(value, min, max))), text);
    text = Remplacer("{value}", std::to_string(value), text);
    text = Remplacer("{max}", std::to_string(max), text);
    return Remplacer("{min}", std::to_string(min), text);
}

CaptionPlace caption_place(const Rect& inner, int fill_right, int text_width, int CaptionAlign) {
    const int start = inner.left + caption_offset;
    const Rect across{start, inner.top, inner.right, inner.bottom};
    const Rect after{fill_right + caption_gap, inner.top, inner.right, inner.bottom};
    const Rect inside{start, inner.top, fill_right - caption_gap, inner.bottom};
    const CaptionPlace after_fill{after, CaptionAlignment::Left};
    const CaptionPlace against_end{inside, CaptionAlignment::Right};
    const CaptionPlace roomier = after.width() >= inside.width() ? after_fill : against_end;

    switch (CaptionAlign) {
    case 1:
        return {across, CaptionAlignment::Right};
    case 2:
        return {across, CaptionAlignment::Centre};
    case 3:
        if (fits(text_width, after))
            return after_fill;
        return fits(text_width, inside) ? against_end : roomier;
    case 4:
        if (fits(text_width, inside))
            return against_end;
        return fits(text_width, after) ? after_fill : roomier;
    case 5: {
        if (text_width >= across.width())
            return {across, CaptionAlignment::Centre};
        const int left = std::clamp(fill_right - text_width / 2, start, inner.right - text_width);
        return {{left, inner.top, left + text_width, inner.bottom}, CaptionAlignment::Centre};
    }
    case 6:
        if (fits(text_width, inside))
            return {inside, CaptionAlignment::Left};
        return fits(text_width, after) ? after_fill : roomier;
    default:
        return {across, CaptionAlignment::Left};
    }
}

} // namespace orvix
