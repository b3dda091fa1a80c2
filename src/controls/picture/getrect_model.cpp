#include "controls/picture/getrect_model.h"

#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace orvix {

namespace {

bool valid_index(int index) {
    return index >= 0 && index < kHandleCount;
}

double fraction(int32_t part, int32_t whole) {
    return whole > 0 ? double(part) / whole : 0.0;
}

} // namespace

void GetrectModel::set_inner_size(int32_t width, int32_t height) {
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    repaint();
}

Rect GetrectModel::clamped(Rect rect) const {
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, m_width);
    rect.bottom = std::min(rect.bottom, m_height);
    return rect;
}

void GetrectModel::draw_frame(const Rect& r) {
    const int32_t right = r.right - kFrameAllowance, bottom = r.bottom - kFrameAllowance;
    m_frame.lines = {FrameLine{r.left, r.top, right, r.top}, FrameLine{right, r.top, right, bottom},
                     FrameLine{r.left, bottom, right, bottom},
                     FrameLine{r.left, r.top, r.left, bottom}};
}

void GetrectModel::repaint() {
    m_rect = clamped(m_rect);
    draw_frame(m_rect);
    const int32_t s = m_handle_size;
    const int32_t right = m_rect.right - s + 20, bottom = m_rect.bottom - s + 15;
    m_handles = {Rect::sized(m_rect.left, m_rect.top, s, s), Rect::sized(right, m_rect.top, s, s),
                 Rect::sized(right, bottom, s, s), Rect::sized(m_rect.left, bottom, s, s)};
    m_handles_visible = true;
}

std::string GetrectModel::get_selrect() const {
    return std::to_string(m_rect.left) + "," + std::to_string(m_rect.top) + "," +
           std::to_string(m_rect.right + kFrameAllowance) + "," +
           std::to_string(m_rect.bottom + kFrameAllowance);
}

SelectionFractions GetrectModel::selection_fractions() const {
    return {fraction(m_rect.left, m_width), fraction(m_rect.top, m_height),
            std::min(1.0, fraction(m_rect.right + kFrameAllowance, m_width)),
            std::min(1.0, fraction(m_rect.bottom + kFrameAllowance, m_height))};
}

std::string GetrectModel::get_selrect_as_percents(std::string_view separator) const {
    const SelectionFractions f = selection_fractions();
    return format_fraction(f.left, separator) + "/" + format_fraction(f.top, separator) + "/" +
           format_fraction(f.right, separator) + "/" + format_fraction(f.bottom, separator);
}

void GetrectModel::set_selrect(int32_t left, int32_t top, int32_t width, int32_t height) {
    m_rect = Rect::sized(left, top, width, height);
    repaint();
}

void GetrectModel::set_selrect_as_percents(float a, float b, float c, float d) {
    m_rect = {to_int(double(m_width) * a), to_int(double(m_height) * b),
              to_int(double(m_width) * c), to_int(double(m_height) * d)};
    repaint();
}

void GetrectModel::handle_MouseDown(int index) {
    if (!valid_index(index))
        return;
    m_dragging[size_t(index)] = true;
    m_dragged = m_rect;
    m_handles_visible = false;
}

bool GetrectModel::handle_MouseMove(int index, float x, float y) {
    if (!valid_index(index) || !m_dragging[size_t(index)])
        return false;
    const Rect& at = m_handles[size_t(index)];
    const int32_t px = to_int(double(at.left) + x), py = to_int(double(at.top) + y);
    Rect r = m_rect;
    switch (index) {
    case 0:
        r.left = px, r.top = py;
        break;
    case 1:
        r.right = px, r.top = py;
        break;
    case 2:
        r.right = px, r.bottom = py;
        break;
    default:
        r.left = px, r.bottom = py;
        break;
    }
    m_dragged = clamped(r);
    draw_frame(m_dragged);
    return true;
}

bool GetrectModel::handle_MouseUp(int index) {
    if (!valid_index(index) || !m_dragging[size_t(index)])
        return false;
    m_dragging[size_t(index)] = false;
    // The frame as drawn, with the corners that were not dragged where they stood.
    m_rect = m_dragged;
    repaint();
    return true;
}

Rect crop_corners_of(const SelectionFractions& fractions, Size picture) {
    const auto part = [](double fraction, int32_t length) {
        return int32_t(std::clamp(round_half_even(fraction * double(length)), double(INT16_MIN),
                                  double(INT16_MAX)));
    };
    return {part(fractions.left, picture.width), part(fractions.top, picture.height),
            part(fractions.right, picture.width), part(fractions.bottom, picture.height)};
}

std::string format_fraction(double value, std::string_view separator) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    const size_t point = text.find('.');
    if (point != std::string::npos)
        text.replace(point, 1, separator);
    return text;
}

std::optional<std::array<double, 4>> read_fractions(std::string_view text,
                                                    std::string_view separator) {
    std::array<double, 4> values{};
    const std::vector<std::string> fields = split(text, "/");
    if (fields.size() != values.size())
        return std::nullopt;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string field = fields[i];
        if (!separator.empty() && separator != ".") {
            const size_t at = field.find(separator);
            if (at != std::string::npos)
                field.replace(at, separator.size(), ".");
        }
        const char* end = field.data() + field.size();
        const auto result = std::from_chars(field.data(), end, values[i]);
        if (result.ec != std::errc() || result.ptr != end)
            return std::nullopt;
    }
    return values;
}

} // namespace orvix
