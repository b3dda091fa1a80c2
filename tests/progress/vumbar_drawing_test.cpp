// The bar's geometry, gradient, caption and colour rules, checked without a display.
#include "controls/progress/vumbar_drawing.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace orvix {
namespace {

TEST(Fraction, IsValueOverTheSpanNotOffsetByMin) {
    struct Case {
        int value, min, max;
        int percents;
    };
    for (const Case& c : {Case{50, 0, 200, 25}, Case{30, 20, 120, 30}, Case{5, 7, 7, 0},
                          Case{1, 0, 8, 12}, Case{3, 0, 8, 38}, Case{0, INT_MIN, INT_MAX, 0}})
        EXPECT_EQ(caption_text("{percents}", c.value, c.min, c.max), std::to_string(c.percents))
            << c.value << " in " << c.min << ".." << c.max;
}

TEST(CaptionText, ReplacesEveryTokenAndLeavesOtherTextAlone) {
    EXPECT_EQ(caption_text("{min}..{max}: {percents} % ({value}, {value})", 30, 20, 120),
              "20..120: 30 % (30, 30)");
    EXPECT_EQ(caption_text("Copying pictures", 50, 0, 200), "Copying pictures");
    EXPECT_EQ(caption_text("{Value} {percent} {max", 50, 0, 200), "{Value} {percent} {max");
}

std::array<int, 3> colour_of(const GradientBand& band) {
    return {band.r, band.g, band.b};
}

TEST(Gradient, TowardBlackClimbsFromTheBaseColourAndEndsOneStepBeyond) {
    int r = 10, g = 200, b = 255;
    const auto bands = gradient_bands("0,0,3000,315", r, g, b, false, true, 63);
    ASSERT_EQ(bands.size(), 63u);
    EXPECT_EQ(bands.front().rect, (Rect{0, 310, 3000, 315}));
    EXPECT_EQ(colour_of(bands.front()), (std::array{10, 200, 255}));
    EXPECT_EQ(colour_of(bands[1]), (std::array{6, 196, 251}));
    EXPECT_EQ(bands.back().rect, (Rect{0, 0, 3000, 5}));
    EXPECT_EQ(colour_of(bands.back()), (std::array{0, 0, 7}));
    EXPECT_EQ((std::array{r, g, b}), (std::array{0, 0, 3}));
}

TEST(Gradient, ChannelsClampAtBothEnds) {
    int r = 5, g = 3, b = 4;
    auto bands = gradient_bands("0,0,10,30", r, g, b, true, true, 3);
    EXPECT_EQ(colour_of(bands[1]), (std::array{1, 0, 0})); // 1 is not below 1
    EXPECT_EQ(colour_of(bands[2]), (std::array{0, 0, 0}));
    r = 250, g = 100, b = 251;
    bands = gradient_bands("10,20,110,80", r, g, b, true, false, 3);
    EXPECT_EQ(bands[2].rect, (Rect{10, 60, 110, 80}));
    EXPECT_EQ(colour_of(bands[1]), (std::array{254, 104, 255}));
    EXPECT_EQ((std::array{r, g, b}), (std::array{255, 112, 255}));
    // 290 / 20 = 14.5 rounds to the even 14.
    EXPECT_EQ(gradient_bands("0,0,10,290", r, g, b, false, false, 20).front().rect.top, 276);
    EXPECT_TRUE(gradient_bands("0,0,10,10", r, g, b, false, true, 0).empty());
}

TEST(CaptionPlacement, FollowsCaptionAlign) {
    using A = CaptionAlignment;
    struct Case {
        int align, fill_right, text_width;
        Rect rect;
        A alignment;
    };
    // Inner rectangle 15..3015; 5 twips of left offset; 45 twips beside the fill.
    for (const Case& c : {
             Case{1, 1000, 600, {20, 15, 3015, 285}, A::Right},
             Case{9, 1000, 600, {20, 15, 3015, 285}, A::Left},
             Case{3, 1000, 600, {1045, 15, 3015, 285}, A::Left},
             Case{3, 2800, 600, {20, 15, 2755, 285}, A::Right},
             Case{4, 1000, 600, {20, 15, 955, 285}, A::Right},
             Case{4, 300, 600, {345, 15, 3015, 285}, A::Left},
             Case{4, 1500, 2000, {1545, 15, 3015, 285}, A::Left},
             Case{5, 1000, 600, {700, 15, 1300, 285}, A::Centre},
             Case{5, 3000, 600, {2415, 15, 3015, 285}, A::Centre},
             Case{6, 1000, 600, {20, 15, 955, 285}, A::Left},
         }) {
        const CaptionPlace place =
            caption_place({15, 15, 3015, 285}, c.fill_right, c.text_width, c.align);
        EXPECT_EQ(place.rect, c.rect) << c.align << " at " << c.fill_right;
        EXPECT_EQ(place.alignment, c.alignment) << c.align << " at " << c.fill_right;
    }
}

TEST(Colours, SystemColoursGoThroughTheLookupAndUnknownOnesBecomeMinusOne) {
    const SystemColours lookup = [](int index) -> std::optional<std::int32_t> {
        return index == 13 ? std::optional(0x7F3300) : std::nullopt;
    };
    EXPECT_EQ(translate_colour(0x8000000Du, lookup), 0x7F3300);
    EXPECT_EQ(translate_colour(0x8000000Eu, lookup), -1);
    EXPECT_EQ(translate_colour(0x8000010Du, lookup), -1);
    EXPECT_EQ(translate_colour(0x00C0FFEEu, lookup), 0xC0FFEE);
    EXPECT_EQ(translate_colour(0x01000005u, lookup), -1);
    EXPECT_EQ(rgb(300, -5, 0x12), 0x1200FF);
}

} // namespace
} // namespace orvix
