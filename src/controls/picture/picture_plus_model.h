// The picture viewer without its widget: its properties and how they are stored, where a
// picture bigger or smaller than the box is drawn, the scroll bars it needs, the file test
// with wildcards and the colour-keyed copy of the transparent mode. Everything here is in
// pixels of the drawing box `bk`; the widget measures the box and paints what it is told.
#pragma once

#include "controls/common/property_bag.h"
#include "geometry/geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvix {

// FilePath of a picture handed over by set_picture instead of read from a file.
inline constexpr const char* kLocalPicture = "localpict";

struct PicturePlusProperties {
    uint32_t ColorBackground = 0;
    int16_t BorderStyle = 1;
    int16_t IfBoxLargerThanPict = 0;
    int16_t IfBoxSmallerThanPict = 2;
    float zoom = 1;
    bool Transparent = false;
    std::string FilePath;
    bool operator==(const PicturePlusProperties&) const = default;

    // The names in the container's property store; a zoom of 0 or less is not read, as
    // nothing could be drawn at it.
    template <class Visit> static void for_each_property(Visit&& visit) {
        using P = PicturePlusProperties;
        visit("ColorBackground", &P::ColorBackground);
        visit("BorderStyle", &P::BorderStyle);
        visit("IfBoxLargerThanPict", &P::IfBoxLargerThanPict);
        visit("IfBoxSmallerThanPict", &P::IfBoxSmallerThanPict);
        visit("Zoom", &P::zoom, [](float zoom) { return zoom > 0; });
        visit("Transparent", &P::Transparent);
        visit("FilePath", &P::FilePath);
    }
};

// Room kept for the box's border, twips: none without a border, else that of a sunken
// (three-dimensional) frame. The scroll bars lie inside it.
int32_t border_allowance_twips(int16_t BorderStyle);

struct ScrollBarLayout {
    bool visible = false;
    int16_t max = 0; // picture pixels
    int16_t large_change = 1;
    int16_t small_change = 1;
    bool operator==(const ScrollBarLayout&) const = default;
};

struct PicturePlusLayout {
    ScrollBarLayout HScroll;
    ScrollBarLayout VScroll;
    bool coin_visible = false; // the square between the two bars
    bool operator==(const PicturePlusLayout&) const = default;
};

// What a redraw paints: the picture's part `source` (picture pixels) stretched into
// `target` (box pixels). `drawn` is what drawn_rectangle reports; it differs from target
// only while scrolled (the whole zoomed picture, as if it were drawn from the origin).
struct PicturePlusPaint {
    bool picture = false; // false: the background alone
    Rect drawn;
    Rect target;
    Rect source;
    bool operator==(const PicturePlusPaint&) const = default;
};

class PicturePlusModel {
public:
    PicturePlusProperties& properties() { return m_props; }
    const PicturePlusProperties& properties() const { return m_props; }

    // The loaded picture's size in pixels; 0 x 0 when there is none.
    void set_picture_size(int32_t width, int32_t height) { m_picture = {0, 0, width, height}; }
    const Rect& picture_rect() const { return m_picture; }
    Size picture_size() const { return {m_picture.width(), m_picture.height()}; }
    // The drawing box, pixels, and the border allowance in pixels.
    void set_box(int32_t width, int32_t height, int32_t border_allowance);

    // Which scroll bars show and their ranges. Stored scroll values beyond a new range are
    // brought back into it.
    PicturePlusLayout layout();
    // Scroll positions, picture pixels.
    void set_scroll_values(int32_t horizontal, int32_t vertical);
    int32_t horizontal_value() const { return m_hvalue; }
    int32_t vertical_value() const { return m_vvalue; }

    // Where the picture goes now; also what drawn_rectangle reports from then on.
    PicturePlusPaint redraw();

    // "h,v": the two scroll values.
    std::string scrollbars_values() const;
    // Where the last drawing put the picture, pixels.
    const Rect& drawn() const { return m_drawn; }
    // drawn as "left,top,right,bottom".
    std::string drawn_rectangle() const;
    // picture_size as "width,height".
    std::string picture_dimensions() const;

private:
    PicturePlusProperties m_props;
    Rect m_picture;
    int32_t m_box_width = 0;
    int32_t m_box_height = 0;
    int32_t m_border = 0;
    int32_t m_hvalue = 0;
    int32_t m_vvalue = 0;
    PicturePlusLayout m_layout;
    Rect m_drawn;
};

// True when a search for the path finds a name: a file or folder of that path, or, when
// its last part holds the wildcards '*' (any run) or '?' (one character), an entry of its
// folder that matches. No other character is special.
bool FileExists(const std::string& path);

// Takes out of a JPEG file's bytes, in one pass, the APPn and COM segments ahead of its
// first scan (but for the JFIF and Adobe segments, which say how to read the colours) and
// the stray bytes between segments. The viewer shows the stored pixels and needs none of
// them, and Qt's reader keeps the EXIF, ICC and comment segments in a list that libjpeg
// walks from its start for each one: a file of many small segments would take minutes.
// Other files are left as they are. With keep_exif, the first EXIF segment stays, so that
// the reader can stand the picture as the camera was held.
void drop_jpeg_metadata(std::string& jpeg, bool keep_exif = false);

// Copies a width x height block of 32-bit pixels (0xAARRGGBB as QImage holds them) from
// source to target, leaving out every pixel whose colour is transparent_colour (red in
// the low byte, as colours are kept). Strides are in pixels.
void TransparentBlt(const uint32_t* source, size_t source_stride, uint32_t* target,
                    size_t target_stride, int32_t width, int32_t height,
                    uint32_t transparent_colour);

} // namespace orvix
