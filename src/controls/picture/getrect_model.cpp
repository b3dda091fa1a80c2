#include "controls/picture/getrect_model.h"

#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

namespace orvix {

namespace {

bool valid_index(int index) {
    return index >= 0 && index < kHandleCount;
}

double fraction(int32_t part, int32_t whole) {
    return whole > 0 ? double(part) / whole : 0.0;
}

Rect ordered(Rect rect) {
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    return rect;
}

// The rectangle moved by x and y pixels, as far as the picture lets it.
Rect shifted_inside(Rect rect, int32_t x, int32_t y, Size picture) {
    x = std::max(-rect.left, std::min(x, picture.width - rect.right));
    y = std::max(-rect.top, std::min(y, picture.height - rect.bottom));
    rect.move_to(rect.left + x, rect.top + y);
    return rect;
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
    m_framed = r;
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

SelectionFractions GetrectModel::fractions_of(const Rect& r) const {
    return {fraction(r.left, m_width), fraction(r.top, m_height),
            std::min(1.0, fraction(r.right + kFrameAllowance, m_width)),
            std::min(1.0, fraction(r.bottom + kFrameAllowance, m_height))};
}

SelectionFractions GetrectModel::selection_fractions() const {
    return fractions_of(m_rect);
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
    m_dragged = m_ratio.constrains() && has_area() ? shaped_drag(index, px, py) : clamped(r);
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

bool GetrectModel::has_area() const {
    return m_width > 0 && m_height > 0;
}

bool GetrectModel::any_drag() const {
    return m_moving || std::find(m_dragging.begin(), m_dragging.end(), true) != m_dragging.end();
}

Size GetrectModel::picture() const {
    if (m_picture.width > 0 && m_picture.height > 0)
        return m_picture;
    return {m_width, m_height};
}

Rect GetrectModel::to_picture(const Rect& rect) const {
    return ordered(crop_corners_of(fractions_of(rect), picture()));
}

Rect GetrectModel::from_picture(const Rect& pixels) const {
    const Size whole = picture();
    const auto at = [](int32_t pixel, int32_t units, int32_t pixel_count) {
        return pixel_count > 0 ? to_int(double(pixel) * units / pixel_count) : 0;
    };
    // Right and bottom are reported the allowance beyond what is stored.
    return {at(pixels.left, m_width, whole.width), at(pixels.top, m_height, whole.height),
            at(pixels.right, m_width, whole.width) - kFrameAllowance,
            at(pixels.bottom, m_height, whole.height) - kFrameAllowance};
}

void GetrectModel::set_picture_size(Size picture) {
    m_picture = picture;
}

Rect GetrectModel::picture_selection() const {
    return to_picture(m_framed);
}

void GetrectModel::set_picture_selection(Rect pixels) {
    const Size whole = picture();
    pixels = ordered(pixels);
    pixels = {std::clamp(pixels.left, 0, whole.width), std::clamp(pixels.top, 0, whole.height),
              std::clamp(pixels.right, 0, whole.width), std::clamp(pixels.bottom, 0, whole.height)};
    m_rect = from_picture(pixels);
    repaint();
}

void GetrectModel::set_ratio(AspectRatio ratio) {
    m_ratio = ratio;
    const Size whole = picture();
    if (!ratio.constrains() || whole.width <= 0 || whole.height <= 0)
        return;
    const Rect was = picture_selection();
    const double shape = double(ratio.width) / ratio.height;
    int32_t width = whole.width, height = to_int(whole.width / shape);
    if (height > whole.height) {
        height = whole.height;
        width = std::min(whole.width, to_int(whole.height * shape));
    }
    const int32_t left = std::clamp((was.left + was.right - width) / 2, 0, whole.width - width);
    const int32_t top = std::clamp((was.top + was.bottom - height) / 2, 0, whole.height - height);
    set_picture_selection(Rect::sized(left, top, width, height));
}

Rect GetrectModel::shaped_drag(int index, int32_t x, int32_t y) const {
    const Size whole = picture();
    const Rect from = to_picture(m_rect);
    const bool right = index == 1 || index == 2, bottom = index == 2 || index == 3;
    // The corner opposite the dragged one stays.
    const int32_t anchor_x = right ? from.left : from.right;
    const int32_t anchor_y = bottom ? from.top : from.bottom;
    // The pointer in picture pixels, where a right or bottom edge would be reported.
    const double px = double(x + (right ? kFrameAllowance : 0)) * whole.width / m_width;
    const double py = double(y + (bottom ? kFrameAllowance : 0)) * whole.height / m_height;
    const double shape = double(m_ratio.width) / m_ratio.height;
    const int32_t room_x = right ? whole.width - anchor_x : anchor_x;
    const int32_t room_y = bottom ? whole.height - anchor_y : anchor_y;
    const double want_x = std::max(0.0, right ? px - anchor_x : anchor_x - px);
    const double want_y = std::max(0.0, bottom ? py - anchor_y : anchor_y - py);
    // Large enough to reach the pointer both ways, no larger than the picture allows.
    const double width =
        std::min({std::max(want_x, want_y * shape), double(room_x), double(room_y) * shape});
    int32_t w = to_int(width), h = to_int(w / shape);
    if (h > room_y) {
        h = room_y;
        w = std::min(room_x, to_int(h * shape));
    }
    return from_picture({right ? anchor_x : anchor_x - w, bottom ? anchor_y : anchor_y - h,
                         right ? anchor_x + w : anchor_x, bottom ? anchor_y + h : anchor_y});
}

Rect GetrectModel::reported() const {
    return ordered({m_rect.left, m_rect.top, std::min(m_rect.right + kFrameAllowance, m_width),
                    std::min(m_rect.bottom + kFrameAllowance, m_height)});
}

bool GetrectModel::inside(float x, float y) const {
    const Rect shown = reported();
    return x >= float(shown.left) && x < float(shown.right) && y >= float(shown.top) &&
           y < float(shown.bottom);
}

void GetrectModel::body_MouseDown() {
    if (any_drag())
        return;
    m_moving = true;
    m_move_from = to_picture(m_rect);
    m_dragged = m_rect;
    m_handles_visible = false;
}

bool GetrectModel::body_MouseMove(float x, float y) {
    if (!m_moving || !has_area())
        return false;
    const Size whole = picture();
    const int32_t dx = to_int(double(x) * whole.width / m_width);
    const int32_t dy = to_int(double(y) * whole.height / m_height);
    m_dragged = from_picture(shifted_inside(m_move_from, dx, dy, whole));
    draw_frame(m_dragged);
    return true;
}

bool GetrectModel::body_MouseUp() {
    if (!m_moving)
        return false;
    m_moving = false;
    m_rect = m_dragged;
    repaint();
    return true;
}

void GetrectModel::nudge(int32_t x, int32_t y) {
    if (any_drag() || !has_area())
        return;
    const Size whole = picture();
    // A twip may hold several pixels of a very large picture; a step always shows.
    const int32_t step_x = std::max(1, (whole.width + m_width - 1) / m_width);
    const int32_t step_y = std::max(1, (whole.height + m_height - 1) / m_height);
    m_rect = from_picture(shifted_inside(to_picture(m_rect), x * step_x, y * step_y, whole));
    repaint();
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
