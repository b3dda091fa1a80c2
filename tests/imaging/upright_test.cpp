// Pictures standing as the camera was held: a JPEG's EXIF orientation applied to its pixels
// when asked, the new file without an orientation of its own.
#include "helpers.h"
#include "imaging/imaging.h"
#include "support/exif.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::ExifFields;
using test::RgbImage;
using test::TempDir;

// Where the upright pixel (x, y) of a picture of that orientation lies in its stored
// pixels, as the EXIF standard defines the eight values.
const uint8_t* stored_at(const RgbImage& stored, int orientation, int x, int y) {
    const int w = stored.width, h = stored.height;
    switch (orientation) {
    case 2:
        return stored.at(w - 1 - x, y);
    case 3:
        return stored.at(w - 1 - x, h - 1 - y);
    case 4:
        return stored.at(x, h - 1 - y);
    case 5:
        return stored.at(y, x);
    case 6:
        return stored.at(y, h - 1 - x);
    case 7:
        return stored.at(w - 1 - y, h - 1 - x);
    case 8:
        return stored.at(w - 1 - y, x);
    default:
        return stored.at(x, y);
    }
}

std::string exiftool_orientation(const std::string& path) {
    return test::run_command("/usr/bin/exiftool -n -S -Orientation " + test::quoted(path) +
                             " 2>&1");
}

struct UprightCase {
    int orientation;
    bool little_endian;
};

class Upright : public testing::TestWithParam<UprightCase> {};

TEST_P(Upright, TheOrientationIsAppliedToThePixelsAndTheNewFileHasNone) {
    const UprightCase c = GetParam();
    TempDir dir;
    const std::string plain = dir.file("plain.jpg"), tagged = dir.file("tagged.jpg");
    test::make_jpeg(plain, 48, 32);
    test::write_file(tagged, test::read_file(plain));
    test::add_exif(tagged, ExifFields{c.orientation, 48, 32, true}, c.little_endian);
    EXPECT_EQ(exif_orientation(tagged), c.orientation);

    // The stored pixels, decoded by the same road, and the upright ones.
    ASSERT_EQ(convert_image(plain, dir.file("stored.bmp"), {}), 0);
    ConvertRequest upright;
    upright.upright = true;
    ASSERT_EQ(convert_image(tagged, dir.file("upright.bmp"), upright), 0);
    const RgbImage stored = test::read_rgb(dir.file("stored.bmp"));
    const RgbImage result = test::read_rgb(dir.file("upright.bmp"));
    const bool sideways = c.orientation >= 5;
    ASSERT_EQ(result.width, sideways ? 32 : 48);
    ASSERT_EQ(result.height, sideways ? 48 : 32);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            ASSERT_TRUE(std::equal(result.at(x, y), result.at(x, y) + 3,
                                   stored_at(stored, c.orientation, x, y)))
                << "orientation " << c.orientation << " at " << x << "," << y;

    // A JPEG made from it carries no orientation a viewer would apply a second time.
    ASSERT_EQ(convert_image(tagged, dir.file("copy.jpg"), upright), 0);
    EXPECT_EQ(exiftool_orientation(dir.file("copy.jpg")), "");
    EXPECT_EQ(exif_orientation(dir.file("copy.jpg")), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryOrientation, Upright,
                         testing::Values(UprightCase{1, false}, UprightCase{2, false},
                                         UprightCase{3, true}, UprightCase{4, false},
                                         UprightCase{5, true}, UprightCase{6, false},
                                         UprightCase{6, true}, UprightCase{7, false},
                                         UprightCase{8, true}));

TEST(Upright, TheOrientationIsReadInEveryIntegerTypeAndNonsenseIsNone) {
    TempDir dir;
    const std::string path = dir.file("p.jpg");
    for (const test::ExifType type : {test::ExifType::Byte, test::ExifType::Short,
                                      test::ExifType::Long, test::ExifType::SignedLong}) {
        test::make_jpeg(path, 16, 16);
        test::add_exif(path, ExifFields{8, 16, 16, false}, test::ExifLayout{true, type});
        EXPECT_EQ(exif_orientation(path), 8) << int(type);
    }
    test::make_jpeg(path, 16, 16);
    test::add_exif(path, ExifFields{9, 0, 0, false});
    EXPECT_EQ(exif_orientation(path), 1);
    EXPECT_EQ(exif_orientation(dir.file("none.jpg")), 1);
}

// A shrinking JPEG is decoded small by the sides of its upright box, not its stored one.
TEST(Upright, AResizedSidewaysPictureFitsItsUprightBox) {
    TempDir dir;
    const std::string path = dir.file("p.jpg");
    test::make_jpeg(path, 400, 300);
    test::add_exif(path, ExifFields{6, 400, 300, false});
    ConvertRequest request{.crop = {}, .resize = {.width = 100}, .upright = true};
    ASSERT_EQ(convert_image(path, dir.file("t.jpg"), request), 0);
    EXPECT_EQ(get_image_size(dir.file("t.jpg")), "100,133");
    request.upright = false;
    ASSERT_EQ(convert_image(path, dir.file("t.jpg"), request), 0);
    EXPECT_EQ(get_image_size(dir.file("t.jpg")), "100,75");
}

} // namespace
} // namespace orvix
