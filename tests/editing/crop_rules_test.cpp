// How an accepted crop window becomes a crop of the picture.
#include "editing/edit_commands.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvix {
namespace {

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
