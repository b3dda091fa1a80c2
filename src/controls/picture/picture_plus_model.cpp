#include "controls/picture/picture_plus_model.h"

#include "fs/fs.h"
#include "text/text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>

namespace orvix {

namespace {

int16_t to_int16(double value) {
    return static_cast<int16_t>(std::clamp<double>(round_half_even(value), INT16_MIN, INT16_MAX));
}

int32_t zoomed(int32_t length, float zoom) {
    return to_int(double(float(length) * zoom));
}

ScrollBarLayout scroll_bar(bool visible, int32_t picture, int32_t box, int32_t border, float zoom) {
    ScrollBarLayout bar;
    bar.visible = visible;
    const double visible_pixels = double(box - border) / zoom;
    bar.max =
        std::max<int16_t>(0, to_int16((double(float(picture) * zoom) - (box - border)) / zoom));
    bar.large_change = std::max<int16_t>(1, to_int16(visible_pixels));
    bar.small_change = std::max<int16_t>(1, to_int16(bar.large_change / 10.0));
    return bar;
}

std::string rect_text(const Rect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// '*' matches any run of characters, '?' exactly one; nothing else is special.
bool wildcard_match(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

int32_t border_allowance_twips(int16_t BorderStyle) {
    return BorderStyle == 0 ? 0 : 45;
}

void PicturePlusModel::set_box(int32_t width, int32_t height, int32_t border_allowance) {
    m_box_width = std::max(0, width);
    m_box_height = std::max(0, height);
    m_border = std::max(0, border_allowance);
}

PicturePlusLayout PicturePlusModel::layout() {
    const float zoom = m_props.zoom;
    const bool scrolls = m_props.IfBoxSmallerThanPict == 2;
    const int32_t width = m_picture.width(), height = m_picture.height();
    const bool h = scrolls && double(float(width) * zoom) > m_box_width;
    const bool v = scrolls && double(float(height) * zoom) > m_box_height;
    m_layout.HScroll = scroll_bar(h, width, m_box_width, m_border, zoom);
    m_layout.VScroll = scroll_bar(v, height, m_box_height, m_border, zoom);
    m_layout.coin_visible = h && v;
    set_scroll_values(m_hvalue, m_vvalue);
    return m_layout;
}

void PicturePlusModel::set_scroll_values(int32_t horizontal, int32_t vertical) {
    m_hvalue =
        m_layout.HScroll.visible ? std::clamp<int32_t>(horizontal, 0, m_layout.HScroll.max) : 0;
    m_vvalue =
        m_layout.VScroll.visible ? std::clamp<int32_t>(vertical, 0, m_layout.VScroll.max) : 0;
}

PicturePlusPaint PicturePlusModel::redraw() {
    PicturePlusPaint paint;
    const int32_t width = m_picture.width(), height = m_picture.height();
    if (width <= 0 || height <= 0) {
        m_drawn = Rect{};
        return paint;
    }
    const float zoom = m_props.zoom;
    const int32_t zoomed_width = zoomed(width, zoom), zoomed_height = zoomed(height, zoom);
    const Rect box{0, 0, m_box_width, m_box_height};
    const bool larger_than_box =
        double(float(width) * zoom) > m_box_width || double(float(height) * zoom) > m_box_height;
    const bool fit =
        larger_than_box ? m_props.IfBoxSmallerThanPict == 1 : m_props.IfBoxLargerThanPict == 1;
    paint.picture = true;
    paint.source = m_picture;
    if (fit) {
        // Sizes beyond what the fitting rule holds show the background alone.
        const std::optional<Rect> fitted = fit_rect(m_picture, box);
        if (!fitted) {
            m_drawn = Rect{};
            return PicturePlusPaint{};
        }
        paint.drawn = paint.target = *fitted;
    } else if (larger_than_box) {
        paint.drawn = {0, 0, zoomed_width, zoomed_height};
        paint.source = {m_hvalue, m_vvalue, width, height};
        paint.target = {0, 0, zoomed(width - m_hvalue, zoom), zoomed(height - m_vvalue, zoom)};
    } else {
        const int32_t left = to_int((double(m_box_width) - double(float(width) * zoom)) / 2);
        const int32_t top = to_int((double(m_box_height) - double(float(height) * zoom)) / 2);
        paint.drawn = paint.target = Rect::sized(left, top, zoomed_width, zoomed_height);
    }
    m_drawn = paint.drawn;
    return paint;
}

std::string PicturePlusModel::scrollbars_values() const {
    return std::to_string(m_hvalue) + "," + std::to_string(m_vvalue);
}

std::string PicturePlusModel::drawn_rectangle() const {
    return rect_text(m_drawn);
}

std::string PicturePlusModel::picture_dimensions() const {
    const Size size = picture_size();
    return std::to_string(size.width) + "," + std::to_string(size.height);
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    const size_t slash = path.find_last_of(SEP);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.find_first_of("*?") == std::string::npos) {
        return path_exists(path);
    }
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::optional<std::vector<std::string>> names = folder_entry_names(folder);
    return names && std::any_of(names->begin(), names->end(), [&](const std::string& entry) {
               return wildcard_match(name, entry);
           });
}

void drop_jpeg_metadata(std::string& jpeg, bool keep_exif) {
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(jpeg[at]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return;
    size_t read = 2, write = 2;
    const auto keep = [&](size_t count) {
        if (write != read)
            std::memmove(jpeg.data() + write, jpeg.data() + read, count);
        read += count;
        write += count;
    };
    for (;;) {
        // Stray bytes and all but the last of a run of fill bytes go, as libjpeg skips them.
        while (read < jpeg.size() && byte(read) != 0xFF)
            ++read;
        while (read + 1 < jpeg.size() && byte(read + 1) == 0xFF)
            ++read;
        if (read + 4 > jpeg.size())
            break;
        const uint8_t marker = byte(read + 1);
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            keep(2); // no length
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || marker == 0xD8)
            break;
        const size_t length = size_t(byte(read + 2)) << 8 | byte(read + 3);
        if (length < 2 || read + 2 + length > jpeg.size())
            break;
        const bool app = marker >= 0xE0 && marker <= 0xEF;
        const bool exif = marker == 0xE1 && length >= 8 &&
                          jpeg.compare(read + 4, 6, std::string_view("Exif\0\0", 6)) == 0;
        if (exif && keep_exif) {
            keep_exif = false; // only the first: a reader applies no other
            keep(2 + length);
        } else if ((app && marker != 0xE0 && marker != 0xEE) || marker == 0xFE)
            read += 2 + length;
        else
            keep(2 + length);
    }
    // The rest, from the first scan on, as it is.
    keep(jpeg.size() - read);
    jpeg.resize(write);
}

void TransparentBlt(const uint32_t* source, size_t source_stride, uint32_t* target,
                    size_t target_stride, int32_t width, int32_t height,
                    uint32_t transparent_colour) {
    // Colours keep red in the low byte; the pixels hold it in the third.
    const uint32_t key = ((transparent_colour & 0xFF) << 16) | (transparent_colour & 0xFF00) |
                         ((transparent_colour >> 16) & 0xFF);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* from = source + size_t(y) * source_stride;
        uint32_t* to = target + size_t(y) * target_stride;
        for (int32_t x = 0; x < width; ++x)
            if ((from[x] & 0xFFFFFF) != key)
                to[x] = from[x];
    }
}

} // namespace orvix
