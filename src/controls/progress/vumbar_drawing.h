// Geometry, colours and caption of the progress bar, kept apart from the widget so they can
// be checked without a display. Everything here is in twips, the bar's own unit; the widget
// converts to pixels only when it paints.
#pragma once

#include "geometry/geometry.h"
#include "platform/colours.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

// One filled box of a band gradient, in the colour it is drawn with.
struct GradientBand {
    Rect rect;
    int r = 0;
    int g = 0;
    int b = 0;
};

// The bands of a gradient over rect ("x1,y1,x2,y2"), first band in (r, g, b). Each further
// band is 4 units darker (toblack) or lighter per channel; bands move up from the bottom
// unless TopToBottom. r, g and b come back holding the colour one step beyond the last band.
// No band for nbsteps below 1.
std::vector<GradientBand> gradient_bands(std::string_view rect, int& r, int& g, int& b,
                                         bool TopToBottom, bool toblack, int nbsteps);

// Value / (Max - Min): not offset by Min, as the bar has always filled. 0 when Max == Min.
double bar_fraction(int value, int min, int max);

// The fraction as a whole percentage, halves to even.
int percents(double fraction);

// Right edge of the filled part: fraction x inner width from the inner left edge, kept
// inside the inner rectangle so a value beyond the range never paints over the frame.
int filled_right(const Rect& inner, double fraction);

// The caption template with {percents}, {value}, {max} and {min} replaced.
std::string caption_text(std::string_view caption, int value, int min, int max);

enum class CaptionAlignment { Left, Right, Centre };

struct CaptionPlace {
    Rect rect;
    CaptionAlignment alignment = CaptionAlignment::Left;
};

// Left offset of the caption across the bar.
inline constexpr int caption_offset = 5;
// Room left between the end of the filled part and a caption placed against it.
inline constexpr int caption_gap = 45;

// Where the caption goes, given its natural width. CaptionAlign:
//   0, 1, 2  across the inner rectangle, from caption_offset, aligned left, right or centred;
//   3        just after the fill when the text fits there, else inside it against its end;
//   4        inside the fill against its end when the text fits there, else just after it;
//   5        centred on the end of the fill, moved back inside the bar at its edges;
//   6        inside the fill from its left when the text fits there, else just after it.
// Where the text fits on neither side of the fill end it takes the roomier side (and wraps
// there). Any other value is taken as 0.
CaptionPlace caption_place(const Rect& inner, int fill_right, int text_width, int CaptionAlign);

} // namespace orvix
