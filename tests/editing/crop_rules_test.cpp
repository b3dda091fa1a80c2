// How an accepted crop window becomes a crop of the picture.
#include "editing/edit_commands.h"

#include "controls/picture/getrect_model.h"
#include "controls/picture/picture_plus_model.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvix {
namespace {

TEST(CropResult, FractionsTimesThePicturesDimensions) {
    struct Case {
        const char* fractions;
        const char* separator;
        const char* dimensions;
        const char* expected;
    };
    for (const Case& c : {
             Case{"0/0/1/1", ".", "1600,1200", "0/0/1600/1200"},
             Case{"0,25/0,5/0,75/1", ",", "1600,1200", "400/600/1200/1200"},
             Case{"0.25/0.5/0.75/1", ".", "1600,1200", "400/600/1200/1200"},
             // 0.5 x 5 = 2.5 and 0.5 x 7 = 3.5 round to the even 2 and 4.
             Case{"0.5/0.5/1/1", ".", "5,7", "2/4/5/7"},
             // An inverted rectangle stays inverted here; the crop puts it in order.
             Case{"0.75/0/0.25/1", ".", "100,100", "75/0/25/100"},
             Case{"0/0/1/1", ".", "0,0", "0/0/0/0"},
             Case{"0/0/1", ".", "100,100", ""},
             Case{"a/b/c/d", ".", "100,100", ""},
         })
        EXPECT_EQ(crop_result_text(crop_corners_of(c.fractions, c.dimensions, c.separator)),
                  c.expected)
            << c.fractions << " on " << c.dimensions;
}

// The corners read from the controls' texts are those of their typed values, whatever the
// decimal form.
TEST(CropResult, TheTextsGiveTheCornersOfTheTypedValues) {
    struct Case {
        int32_t control_width, control_height;
        Rect chosen; // left, top, width, height
        Size picture;
    };
    for (const Case& c : {
             Case{3000, 2000, {0, 0, 3000, 2000}, {1600, 1200}},
             Case{2999, 1777, {333, 17, 1001, 999}, {4031, 3023}},
             Case{4500, 3000, {1, 2, 3, 4}, {5, 7}},
             // Halves: 2.5 and 1.5.
             Case{4000, 2000, {1000, 500, 992, 492}, {10, 6}},
             Case{3000, 2000, {100, 100, 2000, 1500}, {60000, 50000}},
             Case{3000, 2000, {100, 100, 2000, 1500}, {0, 0}},
         }) {
        GetrectModel selection;
        selection.set_inner_size(c.control_width, c.control_height);
        selection.set_selrect(c.chosen.left, c.chosen.top, c.chosen.right, c.chosen.bottom);
        PicturePlusModel viewer;
        viewer.set_picture_size(c.picture.width, c.picture.height);
        const Rect typed = crop_corners_of(selection.selection_fractions(), viewer.picture_size());
        for (const char* separator : {".", ","})
            EXPECT_EQ(crop_corners_of(selection.get_selrect_as_percents(separator),
                                      viewer.picture_dimensions(), separator),
                      typed)
                << selection.get_selrect_as_percents(separator) << " on "
                << viewer.picture_dimensions();
    }
}

TEST(CropText, IsInOrderInsideThePictureAndOnlyWhenItCutsSomething) {
    struct Case {
        const char* crop_result;
        int width, height;
        std::optional<Rect> expected;
    };
    for (const Case& c : {
             Case{"10/20/110/70", 200, 100, Rect{10, 20, 110, 70}},
             Case{"110/70/10/20", 200, 100, Rect{10, 20, 110, 70}},
             Case{"-5/-5/500/50", 200, 100, Rect{0, 0, 200, 50}},
             Case{"0/0/200/100", 200, 100, std::nullopt},
             Case{"0/0/300/300", 200, 100, std::nullopt},
             Case{"5/5/5/50", 200, 100, std::nullopt},
             Case{"250/5/300/50", 200, 100, std::nullopt},
             Case{"", 200, 100, std::nullopt},
         }) {
        const std::optional<Rect> corners = crop_corners_of_result(c.crop_result);
        EXPECT_EQ(corners ? crop_in_picture(*corners, {c.width, c.height}) : std::nullopt,
                  c.expected)
            << c.crop_result;
    }
}

TEST(CropResultText, ReadsBackTheCornersItWrites) {
    EXPECT_EQ(crop_result_text(std::nullopt), "");
    EXPECT_EQ(crop_corners_of_result(""), std::nullopt);
    for (const Rect& corners : {Rect{0, 0, 1600, 1200}, Rect{75, 0, 25, 100}, Rect{-3, 4, -5, 6}}) {
        const std::string text = crop_result_text(corners);
        EXPECT_EQ(std::count(text.begin(), text.end(), '/'), 3) << text;
        EXPECT_EQ(crop_corners_of_result(text), corners) << text;
    }
    // Missing or unreadable fields are 0.
    EXPECT_EQ(crop_corners_of_result("10/20"), (Rect{10, 20, 0, 0}));
    EXPECT_EQ(crop_corners_of_result("a/5/b/7"), (Rect{0, 5, 0, 7}));
}

TEST(TransformCode, OfEveryRotateMenuKey) {
    EXPECT_EQ(transform_code("qvd"), 5);
    EXPECT_EQ(transform_code("cqv"), 6);
    EXPECT_EQ(transform_code("dcsd"), 7);
    EXPECT_EQ(transform_code("fliph"), 1);
    EXPECT_EQ(transform_code("flipv"), 2);
    EXPECT_EQ(transform_code("rotate"), 0);
    EXPECT_EQ(transform_code("QVD"), 0);
}

} // namespace
} // namespace orvix
