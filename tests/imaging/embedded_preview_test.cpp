// Thumbnails drawn from the preview a camera stores in its JPEGs, on files made as a camera
// makes them: the picture and its EXIF thumbnail written by exiftool. The preview is given
// a colour of its own, so a copy's colour tells which of the two it came from.
#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/scaled_copies.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

namespace orvix {
namespace {

using test::TempDir;

struct Colour {
    uint8_t r, g, b;
};
constexpr Colour kPictureBlue{20, 40, 220};
constexpr Colour kPreviewRed{220, 30, 30};
constexpr Colour kPreviewGreen{30, 200, 40};

// A width x height picture, its left half of one colour and its right half of another.
test::RgbImage halves(int width, int height, Colour left, Colour right) {
    test::RgbImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = x < width / 2 ? left : right;
            uint8_t* p = image.pixels.data() + (size_t(y) * width + x) * 3;
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    return image;
}

struct CameraFile {
    int width, height;
    int preview_width, preview_height;
    int orientation = 0; // 0: no tag
    bool damaged_preview = false;
};

// The picture in blue, its embedded thumbnail red on the left and green on the right.
std::string make_camera_file(const TempDir& dir, const CameraFile& file) {
    const std::string picture = dir.file("camera.jpg"), thumb = dir.file("thumb.jpg");
    test::write_picture(picture, halves(file.width, file.height, kPictureBlue, kPictureBlue));
    test::write_picture(
        thumb, halves(file.preview_width, file.preview_height, kPreviewRed, kPreviewGreen));
    // Cut short in its scan, its headers whole: libjpeg warns and makes up the rest.
    if (file.damaged_preview) {
        const std::string bytes = test::read_file(thumb);
        test::write_file(thumb, bytes.substr(0, bytes.size() - 12));
    }
    std::string command =
        "/usr/bin/exiftool -q -q -overwrite_original \"-ThumbnailImage<=" + thumb + "\" ";
    if (file.orientation != 0)
        command += "-n -Orientation=" + std::to_string(file.orientation) + " ";
    int status = -1;
    test::run_command(command + test::quoted(picture) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    return picture;
}

bool near(const picture::RgbImage& image, int x, int y, Colour c) {
    const uint8_t* p = image.row(y) + size_t(x) * 3;
    return std::abs(p[0] - c.r) < 40 && std::abs(p[1] - c.g) < 40 && std::abs(p[2] - c.b) < 40;
}

constexpr CopySize kGridCopy{.box = {.width = 100}, .longest = 0};

TEST(EmbeddedPreview, CameraThumbnailLargeEnoughMakesTheGridCopy) {
    TempDir dir;
    const std::string picture = make_camera_file(dir, {4000, 3000, 160, 120});
    const std::array sizes{kGridCopy};
    const ScaledCopies drawn = scaled_copies(picture, true, sizes, Previews::FirstWhereFit);
    ASSERT_EQ(drawn.result, 0);
    EXPECT_EQ(drawn.shown, (picture::PictureSize{4000, 3000}));
    const picture::RgbImage& copy = drawn.copies[0];
    ASSERT_EQ(copy.width(), 100);
    ASSERT_EQ(copy.height(), 75);
    EXPECT_TRUE(near(copy, 10, 37, kPreviewRed));
    EXPECT_TRUE(near(copy, 90, 37, kPreviewGreen));
}

// Each preview here must not stand for the picture: the copy is drawn from the picture.
struct Refused {
    const char* name;
    CameraFile file;
    CopySize size;
};

class RefusedPreview : public testing::TestWithParam<Refused> {};

TEST_P(RefusedPreview, CopyComesFromThePicture) {
    TempDir dir;
    const Refused& c = GetParam();
    const std::string picture = make_camera_file(dir, c.file);
    const std::array sizes{c.size};
    const ScaledCopies drawn = scaled_copies(picture, true, sizes, Previews::FirstWhereFit);
    ASSERT_EQ(drawn.result, 0);
    const picture::RgbImage& copy = drawn.copies[0];
    ASSERT_FALSE(copy.empty());
    EXPECT_TRUE(near(copy, 2, copy.height() / 2, kPictureBlue));
    EXPECT_TRUE(near(copy, copy.width() - 3, copy.height() / 2, kPictureBlue));
}

INSTANTIATE_TEST_SUITE_P(
    Previews, RefusedPreview,
    testing::Values(
        // A 16:9 picture's thumbnail letter-boxed into 4:3.
        Refused{"LetterBoxed", {1600, 900, 160, 120}, kGridCopy},
        Refused{"Damaged", {800, 600, 160, 120, 0, true}, kGridCopy},
        Refused{"SmallerThanAsked", {800, 600, 160, 120}, {.box = {.width = 200}, .longest = 0}},
        Refused{"TooSmallForLongestSide", {800, 600, 160, 120}, {.box = {}, .longest = 256}},
        // A preview larger than the picture is none of it, and costs more to decode.
        Refused{"LargerThanThePicture", {160, 120, 320, 240}, kGridCopy}),
    [](const testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

TEST(EmbeddedPreview, TurnedUprightAsThePicture) {
    TempDir dir;
    // Orientation 6: the stored left edge is the top of the upright picture.
    const std::string picture = make_camera_file(dir, {800, 600, 160, 120, 6});
    const std::array sizes{kGridCopy};
    const ScaledCopies drawn = scaled_copies(picture, true, sizes, Previews::FirstWhereFit);
    ASSERT_EQ(drawn.result, 0);
    EXPECT_EQ(drawn.shown, (picture::PictureSize{600, 800}));
    const picture::RgbImage& copy = drawn.copies[0];
    ASSERT_EQ(copy.width(), 100);
    ASSERT_EQ(copy.height(), 133);
    EXPECT_TRUE(near(copy, 50, 10, kPreviewRed));
    EXPECT_TRUE(near(copy, 50, 122, kPreviewGreen));
}

// The copies the preview holds come from it, the larger ones from the picture, in order.
TEST(EmbeddedPreview, LargerCopiesStillComeFromThePicture) {
    TempDir dir;
    const std::string picture = make_camera_file(dir, {800, 600, 160, 120});
    const std::array sizes{kGridCopy, CopySize{.box = {}, .longest = 128},
                           CopySize{.box = {}, .longest = 256}};
    const ScaledCopies drawn = scaled_copies(picture, true, sizes, Previews::FirstWhereFit);
    ASSERT_EQ(drawn.result, 0);
    ASSERT_EQ(drawn.copies.size(), 3u);
    EXPECT_EQ(drawn.copies[1].width(), 128);
    EXPECT_EQ(drawn.copies[2].width(), 256);
    EXPECT_TRUE(near(drawn.copies[0], 10, 37, kPreviewRed));
    EXPECT_TRUE(near(drawn.copies[1], 10, 48, kPreviewRed));
    EXPECT_TRUE(near(drawn.copies[2], 10, 96, kPictureBlue));
}

// An edit may leave the camera's thumbnail behind: without the opt-in, no preview is used.
TEST(EmbeddedPreview, IgnoredUnlessAsked) {
    TempDir dir;
    const std::string picture = make_camera_file(dir, {800, 600, 160, 120});
    const std::array sizes{kGridCopy};
    const ScaledCopies drawn = scaled_copies(picture, true, sizes);
    ASSERT_EQ(drawn.result, 0);
    EXPECT_TRUE(near(drawn.copies[0], 10, 37, kPictureBlue));
}

} // namespace
} // namespace orvix

namespace orvix {
namespace {

// The caption's size, read from the header alone: a picture stored sideways is shown tall.
class ShownSize : public testing::TestWithParam<int> {};

TEST_P(ShownSize, FollowsTheOrientation) {
    TempDir dir;
    const std::string picture = dir.file("picture.jpg");
    test::make_jpeg(picture, 64, 48);
    int status = -1;
    test::run_command("/usr/bin/exiftool -q -q -overwrite_original -n -Orientation=" +
                          std::to_string(GetParam()) + " " + test::quoted(picture),
                      &status);
    ASSERT_EQ(status, 0);
    const Size expected = GetParam() >= 5 ? Size{48, 64} : Size{64, 48};
    EXPECT_EQ(shown_size(picture), expected);
}

INSTANTIATE_TEST_SUITE_P(Orientations, ShownSize, testing::Values(1, 3, 5, 6, 8));

TEST(ShownSizeOfOtherFiles, PngAndUnreadable) {
    TempDir dir;
    test::make_picture(dir.file("picture.png"), 30, 20);
    EXPECT_EQ(shown_size(dir.file("picture.png")), (Size{30, 20}));
    EXPECT_EQ(shown_size(dir.file("missing.jpg")), std::nullopt);
}

} // namespace
} // namespace orvix
