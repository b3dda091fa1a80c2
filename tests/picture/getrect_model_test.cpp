// The crop rectangle's clamping, frame, handles, dragging and reports, without a display.
#include "controls/picture/getrect_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace orvix {
namespace {

GetrectModel control(int32_t width, int32_t height) {
    GetrectModel model;
    model.set_inner_size(width, height);
    return model;
}

// Presses handle i, moves the pointer to (x, y) of the control and lets go.
void drag(GetrectModel& model, int i, int32_t x, int32_t y) {
    const Rect at = model.handle(i);
    model.handle_MouseDown(i);
    ASSERT_TRUE(model.handle_MouseMove(i, float(x - at.left), float(y - at.top)));
    ASSERT_TRUE(model.handle_MouseUp(i));
}

TEST(Selection, ANewControlReportsItsFirstRectangle) {
    EXPECT_EQ(GetrectModel().get_selrect(), "0,0,508,508");
    EXPECT_EQ(control(3000, 2000).get_selrect(), "0,0,508,508");
    EXPECT_EQ(control(3000, 2000).get_selrect_as_percents("."),
              "0/0/" + format_fraction(508.0 / 3000, ".") + "/0.254");
}

TEST(Selection, AllOfItSelectsTheWholeControl) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect_as_percents(0, 0, 100, 100);
    EXPECT_EQ(model.selection(), (Rect{0, 0, 3000, 2000}));
    EXPECT_EQ(model.get_selrect_as_percents("."), "0/0/1/1");
    EXPECT_EQ(model.get_selrect(), "0,0,3008,2008");
}

TEST(Selection, SetRectIsLeftTopWidthHeightThenClamped) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect(-50, 100, 4000, 500);
    EXPECT_EQ(model.selection(), (Rect{0, 100, 3000, 600}));
    model.set_selrect_as_percents(0.25f, 0.5f, 0.75f, 0.625f);
    EXPECT_EQ(model.selection(), (Rect{750, 1000, 2250, 1250}));
    // 3000 x 0.0005 = 1.5 and 2000 x 0.00125 = 2.5 round to the even 2.
    model.set_selrect_as_percents(0.0005f, 0.00125f, 1, 1);
    EXPECT_EQ(model.selection().left, 2);
    EXPECT_EQ(model.selection().top, 2);
}

TEST(Selection, FractionsUseTheLocaleSeparatorBothWays) {
    GetrectModel model = control(4000, 2000);
    model.set_selrect(1000, 500, 992, 492);
    const std::string french = model.get_selrect_as_percents(",");
    EXPECT_EQ(french, "0,25/0,25/0,5/0,5");
    const auto values = read_fractions(french, ",");
    ASSERT_TRUE(values);
    EXPECT_EQ(*values, (std::array<double, 4>{0.25, 0.25, 0.5, 0.5}));
    EXPECT_EQ(read_fractions(model.get_selrect_as_percents("."), "."), values);
    EXPECT_FALSE(read_fractions("0,25/0,25/0,5", ","));
    EXPECT_FALSE(read_fractions("0,25/x/0,5/1", ","));
    EXPECT_FALSE(read_fractions("", "."));
    // A control without area divides nothing.
    EXPECT_EQ(control(0, 0).get_selrect_as_percents("."), "0/0/0/0");
}

TEST(Frame, LinesStopShortOfRightAndBottomAndHandlesSitOnTheCorners) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect(100, 200, 1000, 600);
    const GetrectFrame& f = model.frame();
    EXPECT_EQ(f.lines[0], (FrameLine{100, 200, 1092, 200})) << "a, top";
    EXPECT_EQ(f.lines[1], (FrameLine{1092, 200, 1092, 792})) << "b, right";
    EXPECT_EQ(f.lines[2], (FrameLine{100, 792, 1092, 792})) << "c, bottom";
    EXPECT_EQ(f.lines[3], (FrameLine{100, 200, 100, 792})) << "d, left";
    EXPECT_EQ(model.handle(0), Rect::sized(100, 200, 135, 135));
    EXPECT_EQ(model.handle(1), Rect::sized(1100 - 135 + 20, 200, 135, 135));
    EXPECT_EQ(model.handle(2), Rect::sized(1100 - 135 + 20, 800 - 135 + 15, 135, 135));
    EXPECT_EQ(model.handle(3), Rect::sized(100, 800 - 135 + 15, 135, 135));
    EXPECT_TRUE(model.handles_visible());
}

struct DragCase {
    const char* name;
    int handle;
    int32_t x, y;
    Rect expected;
};

class Drags : public testing::TestWithParam<DragCase> {};

// From (500, 400, 2000, 1500) in a 3000 x 2000 control.
TEST_P(Drags, MoveTheDraggedCornerOnly) {
    const DragCase& c = GetParam();
    GetrectModel model = control(3000, 2000);
    model.set_selrect(500, 400, 1500, 1100);
    drag(model, c.handle, c.x, c.y);
    EXPECT_EQ(model.selection(), c.expected);
    EXPECT_TRUE(model.handles_visible());
    EXPECT_FALSE(model.dragging(c.handle));
}

INSTANTIATE_TEST_SUITE_P(
    Corners, Drags,
    testing::Values(
        DragCase{"TopLeft", 0, 700, 600, {700, 600, 2000, 1500}},
        DragCase{"TopRight", 1, 2500, 100, {500, 100, 2500, 1500}},
        DragCase{"BottomRight", 2, 1000, 900, {500, 400, 1000, 900}},
        DragCase{"BottomLeft", 3, 50, 1900, {50, 400, 2000, 1900}},
        DragCase{"PastTheBottomRightCornerClamps", 2, 5000, 9000, {500, 400, 3000, 2000}},
        DragCase{"PastTheTopLeftCornerClamps", 0, -400, -1, {0, 0, 2000, 1500}},
        // Not prevented: left passes right, top passes bottom.
        DragCase{"InvertedPastTheOppositeCorner", 0, 2600, 1800, {2600, 1800, 2000, 1500}}),
    [](const testing::TestParamInfo<DragCase>& info) { return std::string(info.param.name); });

TEST(Dragging, EdgesNotDraggedStayAcrossManyDrags) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect(500, 400, 1500, 1100);
    for (int i = 0; i < 10; ++i) {
        drag(model, 0, 600 + i, 500);
        drag(model, 2, 1800, 1400 - i);
    }
    EXPECT_EQ(model.selection(), (Rect{609, 500, 1800, 1391}));
    // As seen: the right line at 1792, reported 8 further.
    EXPECT_EQ(model.get_selrect(), "609,500,1808,1399");
}

TEST(Dragging, TheFrameFollowsThePointerButTheRectangleWaitsForTheRelease) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect(500, 400, 1500, 1100);
    const Rect handle = model.handle(2);
    model.handle_MouseDown(2);
    EXPECT_FALSE(model.handles_visible());
    // x and y are relative to the handle; halves round to even.
    ASSERT_TRUE(model.handle_MouseMove(2, 2500.5f - handle.left, 1000.5f - handle.top));
    EXPECT_EQ(model.dragged(), (Rect{500, 400, 2500, 1000}));
    EXPECT_EQ(model.frame().lines[1], (FrameLine{2492, 400, 2492, 992}));
    EXPECT_EQ(model.selection(), (Rect{500, 400, 2000, 1500}));
    ASSERT_TRUE(model.handle_MouseUp(2));
    EXPECT_EQ(model.selection(), (Rect{500, 400, 2500, 1000}));
}

TEST(Dragging, MovesAndReleasesOfAHandleNotPressedDoNothing) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect(500, 400, 1500, 1100);
    const GetrectFrame before = model.frame();
    EXPECT_FALSE(model.handle_MouseMove(1, 10, 10));
    EXPECT_FALSE(model.handle_MouseUp(1));
    model.handle_MouseDown(0);
    EXPECT_FALSE(model.handle_MouseMove(3, 10, 10)) << "only the pressed handle drags";
    EXPECT_EQ(model.frame(), before);
    EXPECT_FALSE(model.handle_MouseMove(7, 1, 1));
    EXPECT_TRUE(model.handle_MouseUp(0));
    EXPECT_EQ(model.selection(), (Rect{500, 400, 2000, 1500})) << "a press without a move";
}

// The fractions as numbers are those the text reports, read back in either decimal form.
TEST(Selection, FractionsAreThoseOfThePercentText) {
    struct Case {
        const char* label;
        int32_t width, height;
        Rect chosen; // left, top, width, height
        int dragged_handle;
        int32_t x, y;
    };
    for (const Case& c : {
             Case{"whole", 3000, 2000, {0, 0, 3000, 2000}, -1, 0, 0},
             Case{"inside", 3000, 2000, {500, 400, 1500, 1100}, -1, 0, 0},
             Case{"odd thirds", 2999, 1777, {333, 17, 1001, 999}, -1, 0, 0},
             Case{"dragged inside out", 3000, 2000, {500, 400, 1500, 1100}, 0, 2600, 1800},
             Case{"without area", 0, 0, {0, 0, 500, 500}, -1, 0, 0},
         }) {
        SCOPED_TRACE(c.label);
        GetrectModel model = control(c.width, c.height);
        model.set_selrect(c.chosen.left, c.chosen.top, c.chosen.right, c.chosen.bottom);
        if (c.dragged_handle >= 0)
            drag(model, c.dragged_handle, c.x, c.y);
        const SelectionFractions f = model.selection_fractions();
        for (const char* separator : {".", ","}) {
            const auto read = read_fractions(model.get_selrect_as_percents(separator), separator);
            ASSERT_TRUE(read);
            EXPECT_EQ(*read, (std::array<double, 4>{f.left, f.top, f.right, f.bottom}));
        }
    }
    // Right and bottom reach the allowance beyond the lines, and no further than the whole.
    GetrectModel model = control(4000, 2000);
    model.set_selrect(1000, 500, 992, 492);
    EXPECT_EQ(model.selection_fractions(), (SelectionFractions{0.25, 0.25, 0.5, 0.5}));
    model.set_selrect(0, 0, 4000, 2000);
    EXPECT_EQ(model.selection_fractions(), (SelectionFractions{0, 0, 1, 1}));
}

TEST(CropCorners, AreTheFractionsOfThePictureRoundedAndHeldWithin16Bits) {
    struct Case {
        const char* label;
        SelectionFractions fractions;
        Size picture;
        Rect expected;
    };
    for (const Case& c : {
             Case{"whole", {0, 0, 1, 1}, {1600, 1200}, {0, 0, 1600, 1200}},
             Case{"quarters", {0.25, 0.5, 0.75, 1}, {1600, 1200}, {400, 600, 1200, 1200}},
             // 2.5, 3.5 and 1.5 round to the even 2, 4 and 2; then 2.5 and 4.5 to 2 and 4.
             Case{"halves to even", {0.5, 0.5, 0.3, 0.3}, {5, 7}, {2, 4, 2, 2}},
             Case{"halves to even again", {0.1, 0.3, 1, 1}, {25, 15}, {2, 4, 25, 15}},
             Case{"nearest", {0.334, 0.666, 0.999, 1}, {1000, 10}, {334, 7, 999, 10}},
             // Corners dragged past each other stay so; the crop puts them in order.
             Case{"dragged inside out", {0.75, 0.9, 0.25, 0.1}, {100, 100}, {75, 90, 25, 10}},
             Case{"held within 16 bits", {0, 0, 1, 1}, {40000, 70000}, {0, 0, 32767, 32767}},
             Case{"held within 16 bits below",
                  {-1, -2, 0.5, 1},
                  {40000, 20000},
                  {-32768, -32768, 20000, 20000}},
             Case{"no picture", {0.25, 0.25, 0.75, 0.75}, {0, 0}, {0, 0, 0, 0}},
         })
        EXPECT_EQ(crop_corners_of(c.fractions, c.picture), c.expected) << c.label;
}

TEST(Resizing, ShrinkingTheControlShrinksTheRectangleForGood) {
    GetrectModel model = control(3000, 2000);
    model.set_selrect_as_percents(0, 0, 100, 100);
    model.set_inner_size(1500, 1000);
    EXPECT_EQ(model.selection(), (Rect{0, 0, 1500, 1000}));
    model.set_inner_size(3000, 2000);
    EXPECT_EQ(model.selection(), (Rect{0, 0, 1500, 1000}));
    EXPECT_EQ(model.get_selrect_as_percents("."), "0/0/0.5026666666666667/0.504");
}

// A control of 12000 x 9000 twips (800 x 600 pixels of a 15-twips screen) over a
// 1600 x 1200 picture, everything selected.
GetrectModel over_picture(Size picture = {1600, 1200}, int32_t width = 12000,
                          int32_t height = 9000) {
    GetrectModel model = control(width, height);
    model.set_picture_size(picture);
    model.set_selrect_as_percents(0, 0, 100, 100);
    return model;
}

// A pixel of the picture as a position of the control, twips.
int32_t twips_of(int32_t pixel, int32_t pixels, int32_t twips) {
    return int32_t(std::lround(double(pixel) * twips / pixels));
}

// What a crop of the rectangle as it now stands takes, as the crop window reads it.
Rect cropped(const GetrectModel& model, Size picture) {
    Rect r = crop_corners_of(model.selection_fractions(), picture);
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

struct ShapeCase {
    const char* name;
    AspectRatio ratio;
    Rect whole; // the largest of the shape in the 1600 x 1200 picture, centred
};

class Shapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, ChoosingOneSelectsTheLargestOfItCentred) {
    GetrectModel model = over_picture();
    model.set_ratio(GetParam().ratio);
    EXPECT_EQ(model.picture_selection(), GetParam().whole);
    EXPECT_EQ(cropped(model, {1600, 1200}), GetParam().whole) << "what a crop takes";
}

// Each corner dragged inside the picture, beyond its own corner of the picture and past
// the corner that stays: the frame keeps the shape to half a pixel, stays inside the
// picture, keeps the opposite corner, and the release keeps what the frame showed.
TEST_P(Shapes, EveryCornerKeepsTheShapeInsideThePicture) {
    const AspectRatio ratio = GetParam().ratio;
    const double shape = double(ratio.width) / ratio.height;
    const Size picture{1600, 1200};
    for (int handle = 0; handle < kHandleCount; ++handle) {
        const bool right = handle == 1 || handle == 2, bottom = handle == 2 || handle == 3;
        const struct {
            const char* where;
            int32_t x, y; // picture pixels
        } targets[] = {{"inside", right ? 1100 : 500, bottom ? 900 : 300},
                       {"beyond the picture", right ? 5000 : -3000, bottom ? 4000 : -2000},
                       {"past the opposite corner", right ? 10 : 1590, bottom ? 10 : 1190},
                       {"across only", right ? 1500 : 100, bottom ? 650 : 550}};
        for (const auto& target : targets) {
            SCOPED_TRACE(std::string("handle ") + std::to_string(handle + 1) + " " + target.where);
            GetrectModel model = over_picture();
            model.set_ratio(ratio);
            model.set_picture_selection({400, 300, 1200, 900});
            const Rect before = model.picture_selection();
            const int32_t x = twips_of(target.x, 1600, 12000), y = twips_of(target.y, 1200, 9000);
            const Rect at = model.handle(handle);
            model.handle_MouseDown(handle);
            ASSERT_TRUE(model.handle_MouseMove(handle, float(x - at.left), float(y - at.top)));
            const Rect shown = model.picture_selection();
            EXPECT_GE(shown.left, 0);
            EXPECT_GE(shown.top, 0);
            EXPECT_LE(shown.right, picture.width);
            EXPECT_LE(shown.bottom, picture.height);
            EXPECT_EQ(right ? shown.left : shown.right, right ? before.left : before.right);
            EXPECT_EQ(bottom ? shown.top : shown.bottom, bottom ? before.top : before.bottom);
            const double w = shown.width(), h = shown.height();
            EXPECT_LE(std::min(std::abs(w - h * shape), std::abs(h - w / shape)), 0.5)
                << w << " x " << h;
            if (std::string(target.where) == "inside") {
                // The frame reaches the pointer both ways unless the picture stops it.
                const bool reaches =
                    w + 1 >= std::abs(target.x - (right ? before.left : before.right)) &&
                    h + 1 >= std::abs(target.y - (bottom ? before.top : before.bottom));
                const bool stopped = shown.left == 0 || shown.top == 0 ||
                                     shown.right == picture.width || shown.bottom == picture.height;
                EXPECT_TRUE(reaches || stopped) << w << " x " << h;
            }
            ASSERT_TRUE(model.handle_MouseUp(handle));
            EXPECT_EQ(model.picture_selection(), shown);
            EXPECT_EQ(cropped(model, picture), shown) << "a crop takes what was shown";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, Shapes,
    testing::Values(ShapeCase{"Square", {1, 1}, {200, 0, 1400, 1200}},
                    ShapeCase{"FourThreeLandscape", {4, 3}, {0, 0, 1600, 1200}},
                    ShapeCase{"FourThreePortrait", {3, 4}, {350, 0, 1250, 1200}},
                    ShapeCase{"ThreeTwoLandscape", {3, 2}, {0, 66, 1600, 1133}},
                    ShapeCase{"ThreeTwoPortrait", {2, 3}, {400, 0, 1200, 1200}},
                    ShapeCase{"SixteenNineLandscape", {16, 9}, {0, 150, 1600, 1050}},
                    ShapeCase{"SixteenNinePortrait", {9, 16}, {462, 0, 1137, 1200}},
                    // A camera's own shape that no small numbers give.
                    ShapeCase{"OddLandscape", {4000, 2667}, {0, 66, 1600, 1133}},
                    ShapeCase{"OddPortrait", {2667, 4000}, {400, 0, 1200, 1200}}),
    [](const testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST(Shapes, ANewShapeCentresOnTheSelectionAndAFreeOneLeavesItAlone) {
    GetrectModel model = over_picture();
    model.set_picture_selection({0, 0, 400, 300});
    model.set_ratio({1, 1});
    EXPECT_EQ(model.picture_selection(), (Rect{0, 0, 1200, 1200})) << "held inside";
    model.set_picture_selection({1000, 100, 1500, 500});
    model.set_ratio({16, 9});
    EXPECT_EQ(model.picture_selection(), (Rect{0, 0, 1600, 900}));
    model.set_picture_selection({333, 222, 777, 555});
    model.set_ratio({});
    EXPECT_EQ(model.picture_selection(), (Rect{333, 222, 777, 555}));
    // Free again, a corner goes where the pointer goes.
    const Rect at = model.handle(2);
    model.handle_MouseDown(2);
    ASSERT_TRUE(model.handle_MouseMove(2, float(twips_of(1400, 1600, 12000) - 8 - at.left),
                                       float(twips_of(600, 1200, 9000) - 8 - at.top)));
    EXPECT_EQ(model.picture_selection(), (Rect{333, 222, 1400, 600}));
}

TEST(Moving, DraggingInsideMovesTheWholeRectangleKeptInsideThePicture) {
    struct Case {
        const char* label;
        float x, y; // the pointer's offset, twips
        Rect expected;
    } cases[] = {{"right and down", 75 * 7.5f, 30 * 7.5f, {475, 330, 1275, 930}},
                 {"left and up", -100 * 7.5f, -50 * 7.5f, {300, 250, 1100, 850}},
                 {"past the right edge", 20000, 0, {800, 300, 1600, 900}},
                 {"past the top left corner", -9000, -9000, {0, 0, 800, 600}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        GetrectModel model = over_picture();
        model.set_picture_selection({400, 300, 1200, 900});
        ASSERT_TRUE(model.inside(6000, 4500));
        const Rect stored = model.selection();
        model.body_MouseDown();
        EXPECT_FALSE(model.handles_visible());
        ASSERT_TRUE(model.body_MouseMove(c.x, c.y));
        EXPECT_EQ(model.picture_selection(), c.expected) << "the frame follows";
        EXPECT_EQ(model.selection(), stored) << "the rectangle waits for the release";
        ASSERT_TRUE(model.body_MouseUp());
        EXPECT_EQ(model.picture_selection(), c.expected);
        EXPECT_EQ(cropped(model, {1600, 1200}), c.expected);
        EXPECT_TRUE(model.handles_visible());
        EXPECT_FALSE(model.body_MouseUp()) << "released once";
    }
}

TEST(Moving, OnlyInsideTheRectangleAndNotDuringACornerDrag) {
    GetrectModel model = over_picture();
    model.set_picture_selection({400, 300, 1200, 900});
    EXPECT_TRUE(model.inside(3000, 2250)) << "the top left corner";
    EXPECT_FALSE(model.inside(2990, 4000));
    EXPECT_FALSE(model.inside(9000, 4000)) << "the right edge";
    EXPECT_FALSE(model.inside(6000, 8000));
    EXPECT_FALSE(model.body_MouseMove(100, 100)) << "not pressed";
    model.handle_MouseDown(0);
    model.body_MouseDown();
    EXPECT_FALSE(model.moving());
    model.nudge(1, 0);
    EXPECT_TRUE(model.handle_MouseUp(0));
    EXPECT_EQ(model.picture_selection(), (Rect{400, 300, 1200, 900}));
}

TEST(Nudging, MovesByWholePicturePixelsKeepingTheSizeAndStopsAtTheEdges) {
    // Twips per picture pixel: 7.5 on the first control, 8.3 on the second; the steps must
    // not drift or change the size whatever the rounding.
    for (const auto& [width, height] : {std::pair{12000, 9000}, std::pair{13333, 9999}}) {
        SCOPED_TRACE(width);
        GetrectModel model = over_picture({1600, 1200}, width, height);
        model.set_picture_selection({100, 100, 900, 700});
        for (int i = 0; i < 37; ++i)
            model.nudge(1, 0);
        EXPECT_EQ(model.picture_selection(), (Rect{137, 100, 937, 700}));
        for (int i = 0; i < 3; ++i)
            model.nudge(0, -1);
        model.nudge(-10, 10);
        EXPECT_EQ(model.picture_selection(), (Rect{127, 107, 927, 707}));
        model.nudge(-1000, 1000);
        EXPECT_EQ(model.picture_selection(), (Rect{0, 600, 800, 1200}));
        EXPECT_EQ(cropped(model, {1600, 1200}), (Rect{0, 600, 800, 1200}));
    }
}

TEST(Nudging, AlwaysMovesAPictureLargerThanTheControlsUnits) {
    GetrectModel model = over_picture({24000, 18000});
    model.set_picture_selection({1000, 1000, 9000, 7000});
    const Rect before = model.picture_selection();
    model.nudge(1, 1);
    const Rect after = model.picture_selection();
    EXPECT_GT(after.left, before.left);
    EXPECT_GT(after.top, before.top);
    EXPECT_LE(after.left - before.left, 3);
}

} // namespace
} // namespace orvix
