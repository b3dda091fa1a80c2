// The crop rectangle without its widget: the chosen rectangle, its clamping to the
// control, the four frame lines, the four corner handles and their dragging, and the
// rectangle as the container reads it (in units or as fractions). Everything is in twips,
// the control's own unit; the widget converts the mouse to twips and places its children
// where it is told.
#pragma once

#include "geometry/geometry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvix {

// The frame lines stop this far inside right and bottom; the reported rectangle reaches
// that far beyond the lines.
inline constexpr int32_t kFrameAllowance = 8;
// A handle's side: 9 pixels of a 15-twips screen.
inline constexpr int32_t kHandleSize = 135;

struct FrameLine {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const FrameLine&) const = default;
};

// The lines a (top), b (right), c (bottom) and d (left).
struct GetrectFrame {
    std::array<FrameLine, 4> lines;
    bool operator==(const GetrectFrame&) const = default;
};

// The rectangle as parts of the control's inner size, 0 to 1.
struct SelectionFractions {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    bool operator==(const SelectionFractions&) const = default;
};

// Handles coin1 (top-left), coin2 (top-right), coin3 (bottom-right), coin4 (bottom-left):
// index 0 to 3 here.
inline constexpr int kHandleCount = 4;

// A shape the selection keeps while a corner is dragged: width to height in picture pixels.
// Without both sides the corners go free.
struct AspectRatio {
    int32_t width = 0;
    int32_t height = 0;
    bool constrains() const { return width > 0 && height > 0; }
    bool operator==(const AspectRatio&) const = default;
};

class GetrectModel {
public:
    explicit GetrectModel(int32_t handle_size = kHandleSize) : m_handle_size(handle_size) {}

    // The control's inner size, twips; a repaint follows (which clamps the rectangle).
    void set_inner_size(int32_t width, int32_t height);
    int32_t inner_width() const { return m_width; }
    int32_t inner_height() const { return m_height; }

    // The stored rectangle: right and bottom are the positions of the right and bottom
    // lines plus the allowance.
    const Rect& selection() const { return m_rect; }

    // Clamps the rectangle into the control, lays the frame and the handles out and shows
    // the handles. The container hears RectangleRefreshed after each.
    void repaint();
    const GetrectFrame& frame() const { return m_frame; }
    // The handle's square, twips.
    Rect handle(int index) const { return m_handles[size_t(index)]; }
    bool handles_visible() const { return m_handles_visible; }
    int32_t handle_size() const { return m_handle_size; }

    // "left,top,right,bottom", right and bottom reaching the allowance beyond the lines.
    std::string get_selrect() const;
    // The rectangle as fractions of the inner size, right and bottom reaching the
    // allowance beyond the lines and no more than 1. A control without area reports 0
    // throughout.
    SelectionFractions selection_fractions() const;
    // selection_fractions as "l/t/r/b", in the locale's decimal form.
    std::string get_selrect_as_percents(std::string_view decimal_separator) const;
    void set_selrect(int32_t left, int32_t top, int32_t width, int32_t height);
    void set_selrect_as_percents(float a, float b, float c, float d);

    // Dragging a handle: x and y are the pointer's position relative to the handle as it
    // stood at the press, twips. A move redraws the frame with the dragged corner at the
    // pointer, clamped, leaving the rectangle as it was; the release takes that frame as
    // the rectangle, the edges not dragged staying where they were. Moves and releases of
    // a handle that was not pressed do nothing and return false.
    void handle_MouseDown(int index);
    bool handle_MouseMove(int index, float x, float y);
    bool handle_MouseUp(int index);
    bool dragging(int index) const { return m_dragging[size_t(index)]; }
    // The rectangle that the frame of a running drag shows.
    const Rect& dragged() const { return m_dragged; }

    // The picture the control lies over, in its pixels; without one the control's own
    // units stand for pixels. The selection is not changed.
    void set_picture_size(Size picture);
    Size picture_size() const { return m_picture; }
    // The picture's pixels that the frame shows now (during a drag, the dragged frame), in
    // order: what a crop of the rectangle takes.
    Rect picture_selection() const;
    // Selects those pixels of the picture, held inside it.
    void set_picture_selection(Rect pixels);

    // A shape to keep: the selection becomes the largest rectangle of that shape inside the
    // picture, centred where the selection was, and the corners keep the shape as they are
    // dragged (the corner opposite the dragged one stays). A free shape leaves the selection
    // as it is.
    void set_ratio(AspectRatio ratio);
    AspectRatio ratio() const { return m_ratio; }

    // Moving the whole rectangle by dragging inside it: x and y are the pointer's offset
    // from the press, twips. The rectangle keeps its size in picture pixels and stays
    // inside the picture; like a corner, it is taken at the release.
    bool inside(float x, float y) const;
    // The stored rectangle as reported, in order: what the user sees, twips.
    Rect reported() const;
    void body_MouseDown();
    bool body_MouseMove(float x, float y);
    bool body_MouseUp();
    bool moving() const { return m_moving; }
    // Moves the rectangle by whole picture pixels (by more when a twip holds several),
    // kept inside the picture. Nothing happens during a drag.
    void nudge(int32_t x, int32_t y);

private:
    Rect clamped(Rect rect) const;
    void draw_frame(const Rect& rect);
    bool any_drag() const;
    bool has_area() const;
    // The picture, or the control's own units when none is known.
    Size picture() const;
    SelectionFractions fractions_of(const Rect& rect) const;
    // The stored rectangle of the picture's pixels, and back.
    Rect from_picture(const Rect& pixels) const;
    Rect to_picture(const Rect& rect) const;
    // The frame of a corner dragged to the pointer (twips) with the shape kept.
    Rect shaped_drag(int index, int32_t x, int32_t y) const;

    int32_t m_handle_size;
    int32_t m_width = 0;
    int32_t m_height = 0;
    Rect m_rect{0, 0, 500, 500};
    Rect m_dragged;
    Rect m_framed;
    Size m_picture;
    AspectRatio m_ratio;
    bool m_moving = false;
    Rect m_move_from;
    GetrectFrame m_frame;
    std::array<Rect, kHandleCount> m_handles{};
    bool m_handles_visible = false;
    std::array<bool, kHandleCount> m_dragging{};
};

// The corners of a picture of that size that the fractions stand for, each rounded with
// halves to even and held within 16 bits. A rectangle dragged inside out stays so here;
// whoever crops puts it in order.
Rect crop_corners_of(const SelectionFractions& fractions, Size picture);

// A fraction as the system writes decimal numbers: the shortest form that reads back to
// the same value, with the locale's decimal separator.
std::string format_fraction(double value, std::string_view decimal_separator);
// The four fractions of a get_selrect_as_percents text, read with the same separator;
// std::nullopt when the text does not hold four numbers.
std::optional<std::array<double, 4>> read_fractions(std::string_view text,
                                                    std::string_view decimal_separator);

} // namespace orvix
