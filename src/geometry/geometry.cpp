#include "geometry/geometry.h"

#include "text/text.h"

#include <cstdint>

namespace orvix {

namespace {

bool in_32_bits(double value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

// The edges of a rectangle at (left, top) of that size, when every one of them holds in
// 32 bits.
std::optional<Rect> held_rect(double left, double top, double width, double height) {
    if (!in_32_bits(left) || !in_32_bits(top) || !in_32_bits(width) || !in_32_bits(height) ||
        !in_32_bits(left + width) || !in_32_bits(top + height))
        return std::nullopt;
    return Rect{int32_t(left), int32_t(top), int32_t(left + width), int32_t(top + height)};
}

} // namespace

std::optional<Rect> fit_rect(const Rect& picture, const Rect& box) {
    const double picture_width = double(picture.right) - picture.left;
    const double picture_height = double(picture.bottom) - picture.top;
    const double box_width = double(box.right) - box.left;
    const double box_height = double(box.bottom) - box.top;
    if (!in_32_bits(picture_width) || !in_32_bits(picture_height) || !in_32_bits(box_width) ||
        !in_32_bits(box_height) || picture_width <= 0 || picture_height <= 0)
        return std::nullopt;
    // Single precision, as the scale has always been computed.
    const float ratio_x = float(box_width) / float(picture_width);
    const float ratio_y = float(box_height) / float(picture_height);
    const float scale = ratio_x < ratio_y ? ratio_x : ratio_y;
    const double width = round_half_even(double(scale * float(picture_width)));
    const double height = round_half_even(double(scale * float(picture_height)));
    const double left = box.left + round_half_even((box_width - width) / 2);
    const double top = box.top + round_half_even((box_height - height) / 2);
    return held_rect(left, top, width, height);
}

std::optional<Rect> FitRect(const Rect& src, const Rect& dst, bool allowEnlarge, bool sizeForm) {
    const double sw = double(src.right) - src.left;
    const double sh = double(src.bottom) - src.top;
    const double dw = double(dst.right) - dst.left;
    const double dh = double(dst.bottom) - dst.top;
    if (!in_32_bits(sw) || !in_32_bits(sh) || !in_32_bits(dw) || !in_32_bits(dh) || sw == 0 ||
        sh == 0)
        return std::nullopt;
    const float rx = float(dw) / float(sw);
    const float ry = float(dh) / float(sh);
    double left = 0, top = 0, nw = sw, nh = sh;
    if (rx < 1 || ry < 1 || allowEnlarge) {
        const float k = rx < ry ? rx : ry;
        nw = round_half_even(double(k * float(sw)));
        nh = round_half_even(double(k * float(sh)));
        left = dst.left + round_half_even((dw - nw) / 2);
        top = dst.top + round_half_even((dh - nh) / 2);
    } else {
        // A picture that fits keeps its size; here the whole position is rounded, not
        // the offset alone.
        left = round_half_even(dst.left + (dw - sw) / 2);
        top = round_half_even(dst.top + (dh - sh) / 2);
    }
    const std::optional<Rect> placed = held_rect(left, top, nw, nh);
    if (placed && sizeForm)
        return Rect{placed->left, placed->top, int32_t(nw), int32_t(nh)};
    return placed;
}

Rect DeflateRect(const Rect& rect, int32_t amount) {
    return {rect.left + amount, rect.top + amount, rect.right - amount, rect.bottom - amount};
}

double twips_per_pixel(int logical_dpi) {
    return logical_dpi > 0 ? twips_per_inch / logical_dpi : 15.0;
}

int32_t to_twips(double pixels, double twips_per_pixel) {
    return to_int(pixels * twips_per_pixel);
}

int32_t to_pixels(double twips, double twips_per_pixel) {
    return to_int(twips / twips_per_pixel);
}

} // namespace orvix
