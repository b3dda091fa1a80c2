#include "fs/fs.h"
#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::RgbImage;

TEST(TextToRect, ReadsFourRoundedFields) {
    EXPECT_EQ(text_to_rect("100,100,5000,5000"), (Rect{100, 100, 5000, 5000}));
    EXPECT_EQ(text_to_rect("1.5,2.5,-3.5,7abc"), (Rect{2, 2, -4, 7}));
    EXPECT_EQ(text_to_rect("10,20"), (Rect{10, 20, 0, 0}));
    EXPECT_EQ(text_to_rect("x,,3"), (Rect{0, 0, 3, 0}));
    EXPECT_EQ(text_to_rect("32767,-32768,0,0"), (Rect{32767, -32768, 0, 0}));
}

TEST(TextToRect, RefusesFieldsBeyondSixteenBits) {
    EXPECT_EQ(text_to_rect("0,0,32768,10"), std::nullopt);
    EXPECT_EQ(text_to_rect("-32769,0,1,1"), std::nullopt);
    EXPECT_EQ(text_to_rect("123456789012,0,1,1"), std::nullopt);
}

// Resize texts on camera-sized pictures; JPEG sources, so the reduced-scale decode is
// exercised with the geometry of the full picture.
struct ResizeCase {
    int width;
    int height;
    const char* resize;
    int expected_width;
    int expected_height;
};

class ResizeGeometry : public testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeGeometry, GivesTheBoxOfTheResizeText) {
    const ResizeCase& c = GetParam();
    test::TempDir dir;
    const std::string source = dir.file("in.jpg"), target = dir.file("out.jpg");
    test::make_jpeg(source, c.width, c.height);
    ASSERT_EQ(convert_image3(source, target, "", c.resize, false, 90, 0, false, "", "", 0), 0);
    EXPECT_EQ(get_image_size(target),
              std::to_string(c.expected_width) + "," + std::to_string(c.expected_height));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ResizeGeometry,
    testing::Values(
        ResizeCase{1600, 1200, "100", 100, 75}, ResizeCase{1200, 1600, "100", 100, 133},
        ResizeCase{1600, 1200, "*800", 800, 600}, ResizeCase{1200, 1600, "*800", 600, 800},
        ResizeCase{1000, 1000, "*800", 800, 800}, ResizeCase{1200, 1600, "800*", 600, 800},
        ResizeCase{1200, 1600, "800,600", 800, 600}, ResizeCase{640, 480, "800,800>", 640, 480},
        ResizeCase{640, 480, ">*800", 640, 480}, ResizeCase{1600, 1200, "800,800>", 800, 800},
        ResizeCase{1600, 1200, ",300", 400, 300}, ResizeCase{160, 120, "320", 320, 240},
        // "*" with a two-number box turns the box like the picture.
        ResizeCase{1200, 1600, "*400,300", 300, 400},
        // Markers are removed wherever they stand, several times over.
        ResizeCase{1200, 1600, "**40**", 30, 40}));

// Reads the target and checks which columns (or rows) are black bands.
void expect_bands(const RgbImage& image, int first, int last, bool columns) {
    const int along = columns ? image.width : image.height;
    const int across = columns ? image.height : image.width;
    for (int i = 0; i < along; i += 1) {
        const bool inside = i >= first && i < last;
        for (int j = 0; j < across; j += 7) {
            const int x = columns ? i : j, y = columns ? j : i;
            if (inside)
                ASSERT_NE(test::pixel_value(image, x, y), 0) << x << "," << y;
            else
                ASSERT_EQ(test::pixel_value(image, x, y), 0) << x << "," << y;
        }
    }
}

TEST(ResizeCanvas, PortraitInLandscapeBoxLiesBetweenBlackBands) {
    test::TempDir dir;
    const std::string source = dir.file("in.jpg"), target = dir.file("out.bmp");
    test::make_jpeg(source, 1200, 1600);
    ASSERT_EQ(convert_image3(source, target, "", "800,600", false, 90, 0, false, "", "", 0), 0);
    const RgbImage out = test::read_rgb(target);
    ASSERT_EQ(out.width, 800);
    ASSERT_EQ(out.height, 600);
    expect_bands(out, 175, 625, true);
}

TEST(ResizeCanvas, ShrinkOnlyBoxPutsLandscapeAtTop100) {
    test::TempDir dir;
    const std::string source = dir.file("in.jpg"), target = dir.file("out.bmp");
    test::make_jpeg(source, 1600, 1200);
    ASSERT_EQ(convert_image3(source, target, "", "800,800>", false, 90, 0, false, "", "", 0), 0);
    const RgbImage out = test::read_rgb(target);
    ASSERT_EQ(out.width, 800);
    ASSERT_EQ(out.height, 800);
    expect_bands(out, 100, 700, false);
}

TEST(ResizeCanvas, ShrinkOnlyLeavesSmallPicturesUntouched) {
    test::TempDir dir;
    const std::string source = dir.file("in.bmp"), target = dir.file("out.bmp");
    test::make_picture(source, 64, 48);
    ASSERT_EQ(convert_image3(source, target, "", "80,80>", false, 90, 0, false, "", "", 0), 0);
    EXPECT_EQ(test::max_difference(test::read_rgb(target), test::pattern_image(64, 48)), 0);
}

// The reduced-scale decode must not cost quality: compare with a full decode resized by
// ImageMagick's Lanczos filter.
TEST(ResizeQuality, ThumbnailMatchesFullDecodeWithLanczos) {
    test::TempDir dir;
    const std::string source = dir.file("in.jpg"), target = dir.file("out.png");
    const std::string reference = dir.file("ref.png");
    test::make_jpeg(source, 1600, 1200);
    ASSERT_EQ(convert_image3(source, target, "", "200", false, 100, 0, false, "", "", 0), 0);
    int status = -1;
    test::run_command("/usr/bin/convert " + test::quoted(source) +
                          " -filter Lanczos -resize 200x150! " + test::quoted(reference),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_LT(test::mean_difference(test::read_rgb(target), test::read_rgb(reference)), 1.0);
}

TEST(ResizeFailures, BoxesWithoutAreaOrBeyondTheArithmeticWriteNothing) {
    test::TempDir dir;
    const std::string source = dir.file("in.bmp");
    test::make_picture(source, 40, 30);
    const struct {
        const char* resize;
        int32_t expected;
    } cases[] = {
        {"-20", picture::kEmptyPicture},
        {"40000", kRuntimeFailure},       // the fit works in 16 bits
        {"30000,30000", kRuntimeFailure}, // a canvas beyond 2^31 bytes
        {"2000000000,2000000000", kRuntimeFailure},
    };
    for (const auto& c : cases) {
        const std::string target = dir.file(std::string("out") + c.resize + ".bmp");
        EXPECT_EQ(convert_image3(source, target, "", c.resize, false, 90, 0, false, "", "", 0),
                  c.expected)
            << c.resize;
        EXPECT_FALSE(file_exists(target)) << c.resize;
    }
}

} // namespace
} // namespace orvix
