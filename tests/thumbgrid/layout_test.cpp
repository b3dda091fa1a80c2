#include "controls/thumbgrid/grid_layout.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

TEST(FitLoop, StopsAtTheFirstSizeHoldingMoreCellsThanItems) {
    // 1250 + 50 gives 3 x 2 = 6 cells for 6 items: an exact fit is not taken.
    EXPECT_EQ(5000 / 1300 * (3000 / 1300), 6);
    EXPECT_EQ(fitted_cell_size(5000, 3000, 6, 50), 1200);
    EXPECT_EQ(fitted_cell_size(5000, 3000, 1, 50), 2450) << "2 x 1 cells of 2500";
    EXPECT_EQ(fitted_cell_size(100, 100, 10, 50), 0) << "even 50-twip cells cannot hold them";
    EXPECT_EQ(fitted_cell_size(30000, 30000, 0, 50), 9950);
}

struct LayoutCase {
    const char* name;
    int16_t ThumbnailsSize;
    int32_t width;
    int32_t height;
    int32_t n;
    GridLayout expected;
};

class LaysOut : public testing::TestWithParam<LayoutCase> {};

TEST_P(LaysOut, ChoosesTheCellsAndTheCanvas) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(lay_out(c.ThumbnailsSize, 50, c.width, c.height, c.n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LaysOut,
    testing::Values(
        LayoutCase{"FittedToTheArea", 0, 5000, 3000, 6, {false, 1200, 5000, 3000}},
        LayoutCase{
            "NegativeKeepsAFitLargerThanItself", -1000, 5000, 3000, 6, {false, 1200, 5000, 3000}},
        // 40 items fit at 500; that is below 1500, so fixed cells of 1500 scroll: three
        // a row (x = 50, 1600, 3150) and 14 rows, the last at 50 + 13 * 1550.
        LayoutCase{"NegativeFallsBackToFixedCells",
                   -1500,
                   5000,
                   3000,
                   40,
                   {true, 1500, 4650, 50 + 13 * 1550 + 1500}},
        // Not even one cell fits across: every item starts a row of its own.
        LayoutCase{"NegativeAfterTheZeroFallback",
                   -1500,
                   100,
                   100,
                   10,
                   {true, 1500, 1500, 50 + 10 * 1550 + 1500}},
        LayoutCase{"ZeroFallbackInFitMode", 0, 100, 100, 10, {false, 0, 100, 100}},
        // Fixed walk: x from -1000, a new cell while x + 2050 < 5000; four a row.
        LayoutCase{"FixedWalk", 1000, 5000, 3000, 7, {true, 1000, 4200, 2100}},
        // One row only: the canvas starts at s x s and only a new row grows its height.
        LayoutCase{"FixedSingleRow", 1000, 5000, 3000, 3, {true, 1000, 3150, 1000}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(Cells, FixedCellsWalkRowByRow) {
    const GridLayout layout = lay_out(1000, 50, 5000, 3000, 7);
    const std::vector<Rect> cells = cell_rects(layout, 5000, 7, 50);
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells[0], (Rect{50, 50, 1050, 1050}));
    EXPECT_EQ(cells[3], (Rect{3200, 50, 4200, 1050}));
    EXPECT_EQ(cells[4], (Rect{50, 1100, 1050, 2100}));
    EXPECT_EQ(cells[6], (Rect{2150, 1100, 3150, 2100}));
}

TEST(Cells, FittedCellsWrapWhenTheNextWouldReachTheEdge) {
    const GridLayout layout = lay_out(0, 50, 5000, 3000, 6);
    const std::vector<Rect> cells = cell_rects(layout, 5000, 6, 50);
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells[0], (Rect{50, 50, 1250, 1250}));
    EXPECT_EQ(cells[3], (Rect{3800, 50, 5000, 1250})) << "4 x 1200 + 3 x 50 < 5000";
    EXPECT_EQ(cells[4], (Rect{50, 1300, 1250, 2500}));
    EXPECT_EQ(cells[5], (Rect{1300, 1300, 2500, 2500}));
}

TEST(PictureRect, FitsTheThumbnailIntoTheCellLessItsMargin) {
    // 80 x 60 pixels at 15 twips in a 1300 cell: the 1200 area holds it at its own size.
    EXPECT_EQ(picture_rect({50, 50, 1350, 1350}, 50, 1200, 900), (Rect{100, 250, 1300, 1150}));
    // In a 1250 cell it shrinks: 1100 / 1200 of it, (1100 - 825) / 2 = 137.5 rounds to 138.
    EXPECT_EQ(picture_rect({50, 50, 1250, 1250}, 50, 1200, 900), (Rect{100, 238, 1200, 1063}));
    // A picture of unknown size takes the whole area, so it can still be pointed at.
    EXPECT_EQ(picture_rect({50, 50, 1250, 1250}, 50, 0, 0), (Rect{100, 100, 1200, 1200}));
}

TEST(CaptionBand, KeepsTheCaptionBelowThePicture) {
    // A 3000 cell, margin 50: the area is 100..2950 high; a band of 600 leaves 2300 above.
    const Rect cell{50, 50, 3050, 3050};
    const Rect picture = picture_rect(cell, 50, 3000, 3000, 600);
    const Rect caption = caption_rect(cell, 50, 600);
    EXPECT_EQ(caption, (Rect{50, 2400, 3050, 3000}));
    EXPECT_LE(picture.bottom, caption.top) << "the caption never covers the picture";
    EXPECT_EQ(picture.height(), 2300) << "a square picture fills the height left";
    EXPECT_EQ(picture.left, 400) << "and stays centred across";
    // Without a band the picture takes the area as ever, and there is no caption place.
    EXPECT_EQ(picture_rect(cell, 50, 3000, 3000, 0), (Rect{100, 100, 3000, 3000}));
    EXPECT_EQ(caption_rect(cell, 50, 0).height(), 0);
}

TEST(PictureRect, ZoomedCellsEnlargeTheThumbnailToFillThem) {
    // 80 x 60 pixels in a 3000 cell: 2900 wide, 2175 high, centred in what the band leaves.
    EXPECT_EQ(picture_rect({0, 0, 3000, 3000}, 50, 1200, 900, 0, true),
              (Rect{50, 412, 2950, 2587}));
    EXPECT_EQ(picture_rect({0, 0, 3000, 3000}, 50, 1200, 900, 900, true).bottom, 2050)
        << "the band below the picture stays free";
}

TEST(CaptionBand, NeverTakesMoreThanHalfTheArea) {
    const Rect cell{0, 0, 1300, 1300};
    EXPECT_EQ(caption_rect(cell, 50, 5000), (Rect{0, 650, 1300, 1250}));
    EXPECT_EQ(picture_rect(cell, 50, 0, 0, 5000), (Rect{50, 50, 1250, 650}));
    EXPECT_EQ(caption_rect(cell, 50, -30).height(), 0) << "a negative band is none";
}

struct ZoomCase {
    const char* name;
    int16_t ThumbnailsSize;
    int32_t zoom;
    int16_t expected;
};

class Zoom : public testing::TestWithParam<ZoomCase> {};

TEST_P(Zoom, GivesTheCellsOfTheZoomWithinItsBounds) {
    const ZoomCase& c = GetParam();
    EXPECT_EQ(zoomed_ThumbnailsSize(c.ThumbnailsSize, c.zoom, 15.0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Zoom,
                         testing::Values(
                             // 1300 twips are 87 pixels at 15 twips a pixel: the smallest zoom.
                             ZoomCase{"TheSmallestKeepsTheHostsOwnSize", -1300, 87, -1300},
                             ZoomCase{"BelowTheSmallestKeepsItToo", -1300, 10, -1300},
                             ZoomCase{"AboveFitsButNeverSmaller", -1300, 200, -3000},
                             ZoomCase{"TheLargestIs400Pixels", -1300, 401, -6000},
                             ZoomCase{"FarBeyondStopsThere", -1300, 100000, -6000},
                             ZoomCase{"FixedCellsStayFixed", 1500, 300, 4500},
                             ZoomCase{"FittedCellsZoomFromOnePixel", 0, 120, -1800}),
                         [](const testing::TestParamInfo<ZoomCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Zoom, TheWheelStepsWithinTheBounds) {
    EXPECT_EQ(smallest_zoom(-1300, 15.0), 87);
    EXPECT_EQ(wheel_zoom(100, 120, 87), 100 + kZoomStep);
    EXPECT_EQ(wheel_zoom(140, -240, 87), 140 - 2 * kZoomStep);
    EXPECT_EQ(wheel_zoom(90, -120, 87), 87) << "not below the host's own cells";
    EXPECT_EQ(wheel_zoom(395, 360, 87), kLargestZoom);
    EXPECT_EQ(wheel_zoom(200, 15, 87), 202) << "a touchpad's small turns add up to a notch";
    EXPECT_EQ(bounded_zoom(-5, 87), 87);
}

TEST(Zoom, ReadBackFromItsTextOrTheSmallest) {
    EXPECT_EQ(zoom_of_text("250", 87), 250);
    EXPECT_EQ(zoom_of_text("400", 87), 400);
    EXPECT_EQ(zoom_of_text("87", 87), 87);
    for (const char* bad : {"", "abc", "0", "86", "401", "-250", "99999999999"})
        EXPECT_EQ(zoom_of_text(bad, 87), 87) << bad;
}

TEST(ScrollRange, ShowsOnlyForACanvasTallerThanTheArea) {
    const GridLayout tall{true, 1500, 4650, 21650};
    EXPECT_EQ(scroll_range(tall, 3000, 15.0), (ScrollRange{true, 1243, 200, 100}));
    EXPECT_EQ(scroll_range(GridLayout{true, 1500, 4650, 3000}, 3000, 15.0), ScrollRange{});
    EXPECT_EQ(scroll_range(GridLayout{false, 1200, 5000, 3000}, 3000, 15.0), ScrollRange{});
}

} // namespace
} // namespace orvix
