// The crop rectangle's clamping, frame, handles, dragging and reports, without a display.
#include "controls/picture/getrect_model.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace orvix
