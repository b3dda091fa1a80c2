// A BMP whose header gives a negative height stores its rows top first; every reader of
// the program takes the height's magnitude and the rows in that order.
#include "helpers.h"
#include "imaging/imaging.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::RgbImage;
using test::TempDir;

class TopDownBmp : public testing::Test {
protected:
    TopDownBmp() { test::write_top_down_bmp(m_source, m_original); }

    TempDir m_dir;
    std::string m_source = m_dir.file("scan.bmp");
    RgbImage m_original = test::pattern_image(64, 40);
};

TEST_F(TopDownBmp, ItsSizeIsThePositiveHeight) {
    EXPECT_EQ(get_image_size(m_source), "64,40");
}

// The crop of the crop window: the asked part of the picture, right way up.
TEST_F(TopDownBmp, ACropInPlaceGivesTheAskedPartRightWayUp) {
    ASSERT_EQ(
        convert_image3(m_source, m_source, "16,20,64,40", "", false, 100, 0, false, "", "", 0), 0);
    const RgbImage result = test::read_rgb(m_source);
    ASSERT_EQ(result.width, 48);
    ASSERT_EQ(result.height, 20);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            ASSERT_EQ(test::pixel_value(result, x, y),
                      test::pixel_value(m_original, x + 16, y + 20))
                << x << "," << y;
}

// The thumbnail is the one of the same pixels stored bottom first.
TEST_F(TopDownBmp, ItsThumbnailIsRightWayUp) {
    const std::string bottom_up = m_dir.file("bottom_up.bmp");
    test::write_picture(bottom_up, m_original);
    const std::string thumb = m_dir.file("thumb.jpg"), expected = m_dir.file("expected.jpg");
    ASSERT_EQ(convert_image3(m_source, thumb, "", "32", false, 90, 0, false, "", "", 0), 0);
    ASSERT_EQ(convert_image3(bottom_up, expected, "", "32", false, 90, 0, false, "", "", 0), 0);
    EXPECT_EQ(get_image_size(thumb), "32,20");
    EXPECT_EQ(test::max_difference(test::read_rgb(thumb), test::read_rgb(expected)), 0);
}

} // namespace
} // namespace orvix
