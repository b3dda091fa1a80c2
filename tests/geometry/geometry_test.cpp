#include "geometry/geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace orvix {
namespace {

TEST(Rect, SizedMovedAndResizedKeepWhatTheyShould) {
    Rect box = Rect::sized(100, 400, 11800, 8150);
    EXPECT_EQ(box, (Rect{100, 400, 11900, 8550}));
    box.move_to(-50, 10);
    EXPECT_EQ(box, (Rect{-50, 10, 11750, 8160})) << "a move keeps the size";
    box.set_width(70);
    box.set_height(0);
    EXPECT_EQ(box, (Rect{-50, 10, 20, 10})) << "a new size keeps the left and top edges";
}

struct FitCase {
    Rect picture;
    Rect box;
    Rect expected;
};

class FitToBox : public testing::TestWithParam<FitCase> {};

TEST_P(FitToBox, CentresTheScaledPicture) {
    EXPECT_EQ(fit_rect(GetParam().picture, GetParam().box), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, FitToBox,
    testing::Values(
        // Portrait picture in a landscape box: black bands left and right.
        FitCase{{0, 0, 1200, 1600}, {0, 0, 800, 600}, {175, 0, 625, 600}},
        // Landscape picture in a square box: bands above and below.
        FitCase{{0, 0, 1600, 1200}, {0, 0, 800, 800}, {0, 100, 800, 700}},
        // Same proportions: the box is filled.
        FitCase{{0, 0, 1600, 1200}, {0, 0, 100, 75}, {0, 0, 100, 75}},
        // 133 / 1600 is the smaller ratio; 1200 * it = 99.75 rounds to 100.
        FitCase{{0, 0, 1200, 1600}, {0, 0, 100, 133}, {0, 0, 100, 133}},
        // Enlarged when the box is bigger; the box's own offset is kept.
        FitCase{{0, 0, 10, 10}, {5, 7, 25, 47}, {5, 17, 25, 37}},
        // Offsets round halves to even: (5 - 2) / 2 = 1.5 gives 2, (6 - 1) / 2 = 2.5 gives 2.
        FitCase{{0, 0, 1, 2}, {0, 0, 5, 4}, {2, 0, 4, 4}},
        FitCase{{0, 0, 1, 5}, {0, 0, 6, 5}, {2, 0, 3, 5}}));

TEST(FitToBoxLimits, TakesThirtyTwoBitSizesAndRefusesEmptyPictures) {
    // A 40000-pixel-wide panorama shrunk into a 100-pixel box.
    EXPECT_EQ(fit_rect({0, 0, 40000, 100}, {0, 0, 100, 100}), (Rect{0, 50, 100, 50}));
    EXPECT_EQ(fit_rect({0, 0, 100, 100}, {0, 0, 100, 32768}), (Rect{0, 16334, 100, 16434}));
    EXPECT_EQ(fit_rect({0, 0, 70000, 35000}, {0, 0, 1000, 1000}), (Rect{0, 250, 1000, 750}));
    EXPECT_EQ(fit_rect({INT32_MIN, 0, INT32_MAX, 100}, {0, 0, 100, 100}), std::nullopt)
        << "a width beyond 32 bits";
    EXPECT_EQ(fit_rect({0, 0, 0, 100}, {0, 0, 100, 100}), std::nullopt);
    EXPECT_EQ(fit_rect({0, 0, 100, 0}, {0, 0, 100, 100}), std::nullopt);
}

struct CellFitCase {
    const char* name;
    Rect picture;
    Rect cell;
    bool allow_enlarge;
    bool size_form;
    std::optional<Rect> expected;
};

class FitIntoCell : public testing::TestWithParam<CellFitCase> {};

TEST_P(FitIntoCell, PlacesThePicture) {
    const CellFitCase& c = GetParam();
    EXPECT_EQ(FitRect(c.picture, c.cell, c.allow_enlarge, c.size_form), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, FitIntoCell,
    testing::Values(
        // 80 x 60 pixels at 15 twips a pixel in a 1200-twip cell: its own size, centred.
        CellFitCase{"SmallPictureKeepsItsSize",
                    {0, 0, 1200, 900},
                    {100, 100, 1300, 1300},
                    false,
                    false,
                    Rect{100, 250, 1300, 1150}},
        CellFitCase{"SmallerPictureCentred",
                    {0, 0, 800, 600},
                    {0, 0, 1200, 1200},
                    false,
                    false,
                    Rect{200, 300, 1000, 900}},
        // Taller than the cell: shrunk by the smaller ratio, 1/3 in single precision.
        CellFitCase{"TallPictureShrunk",
                    {0, 0, 1500, 3000},
                    {0, 0, 1000, 1000},
                    false,
                    false,
                    Rect{250, 0, 750, 1000}},
        // Kept at its size, the whole position rounds: 1 + 1.5 = 2.5 gives 2 ...
        CellFitCase{"KeptSizeRoundsThePosition",
                    {0, 0, 2, 2},
                    {1, 1, 6, 6},
                    false,
                    false,
                    Rect{2, 2, 4, 4}},
        // ... while shrunk, only the offset rounds: 1 + round(1.5) gives 3.
        CellFitCase{
            "ShrunkRoundsTheOffset", {0, 0, 4, 20}, {1, 0, 6, 10}, false, false, Rect{3, 0, 5, 10}},
        CellFitCase{"EnlargedWhenAllowed",
                    {0, 0, 10, 10},
                    {5, 7, 25, 47},
                    true,
                    false,
                    Rect{5, 17, 25, 37}},
        CellFitCase{"SizeFormGivesWidthAndHeight",
                    {0, 0, 10, 10},
                    {5, 7, 25, 47},
                    true,
                    true,
                    Rect{5, 17, 20, 20}},
        CellFitCase{
            "PictureWithoutWidth", {0, 0, 0, 900}, {0, 0, 1200, 1200}, false, false, std::nullopt},
        // A 3000 x 1000-pixel picture at 15 twips a pixel, 45000 twips wide: still 3:1.
        CellFitCase{"WidePictureBeyondSixteenBits",
                    {0, 0, 45000, 15000},
                    {50, 50, 1350, 1350},
                    false,
                    false,
                    Rect{50, 484, 1350, 917}},
        CellFitCase{"TallPictureBeyondSixteenBits",
                    {0, 0, 15000, 60000},
                    {0, 0, 1200, 1200},
                    false,
                    false,
                    Rect{450, 0, 750, 1200}},
        CellFitCase{"CellBeyondSixteenBits",
                    {0, 0, 100, 100},
                    {0, 0, 40000, 100},
                    false,
                    false,
                    Rect{19950, 0, 20050, 100}},
        CellFitCase{"PictureBeyondThirtyTwoBits",
                    {INT32_MIN, 0, INT32_MAX, 100},
                    {0, 0, 1200, 1200},
                    false,
                    false,
                    std::nullopt}),
    [](const testing::TestParamInfo<CellFitCase>& info) { return std::string(info.param.name); });

TEST(DeflateRect, MovesEveryEdgeInwards) {
    EXPECT_EQ(DeflateRect({100, 100, 1400, 1400}, 50), (Rect{150, 150, 1350, 1350}));
    EXPECT_EQ(DeflateRect({0, 0, 60, 60}, 50), (Rect{50, 50, 10, 10}))
        << "a margin wider than half the cell turns the rectangle inside out";
}

TEST(Twips, ConvertWithTheScreenFactorAndRoundHalvesToEven) {
    EXPECT_EQ(twips_per_pixel(96), 15.0);
    EXPECT_EQ(twips_per_pixel(120), 12.0);
    EXPECT_EQ(twips_per_pixel(0), 15.0) << "a screen that tells no resolution";
    EXPECT_EQ(to_twips(80, 15.0), 1200);
    EXPECT_EQ(to_pixels(1300, 15.0), 87);
    EXPECT_EQ(to_pixels(22.5, 15.0), 2) << "1.5 pixels";
    EXPECT_EQ(to_pixels(37.5, 15.0), 2) << "2.5 pixels";
    EXPECT_EQ(to_twips(1e12, 15.0), INT32_MAX);
}

} // namespace
} // namespace orvix
