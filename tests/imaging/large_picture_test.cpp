// Large pictures of other formats than JPEG are box-reduced as they are decoded before the
// Lanczos resize, and metafiles are drawn at the size wanted: the results must stay those
// of a Lanczos resize of the whole picture, of the exact size asked for.
#include "fs/fs.h"
#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/temp_dir.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

test::RgbImage test_image(const picture::RgbImage& from) {
    return {from.width(), from.height(),
            std::vector<uint8_t>(from.data(), from.data() + from.byte_size())};
}

picture::RgbImage read_as(const std::string& path, int code, picture::PictureSize min_size = {}) {
    picture::PictureSource source;
    EXPECT_TRUE(source.open(path)) << path;
    return picture::read_picture(source, code, min_size);
}

int format_of(const std::string& extension) {
    if (extension == "png")
        return picture::kFormatPng;
    if (extension == "tif")
        return picture::kFormatTiff;
    return picture::kFormatBmp;
}

// The resize as it was made before any reduction: Lanczos-3 over the whole decode.
test::RgbImage whole_lanczos(const std::string& path, int code, int width, int height) {
    const picture::RgbImage whole = read_as(path, code);
    return test_image(picture::resize(whole, width, height));
}

double psnr(const test::RgbImage& a, const test::RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = double(a.pixels[i]) - double(b.pixels[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.pixels.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

int32_t resize_to(const std::string& source, const std::string& target, const std::string& box) {
    return convert_image(source, target, {.crop = {}, .resize = resize_of_text(box)});
}

struct LargeCase {
    const char* name;
    const char* extension;
    int width;
    int height;
    const char* box;
    int thumb_width;
    int thumb_height;
};

class LargePicture : public testing::TestWithParam<LargeCase> {};

// Sizes no factor divides, a picture far wider than tall, and one a pixel wide.
TEST_P(LargePicture, ThumbnailIsTheLanczosOfTheWholePicture) {
    const LargeCase& c = GetParam();
    TempDir dir;
    const std::string source = dir.file(std::string("large.") + c.extension);
    test::make_picture(source, c.width, c.height);
    const std::string thumb = dir.file("thumb.png");
    ASSERT_EQ(resize_to(source, thumb, c.box), 0);
    const test::RgbImage made = test::read_rgb(thumb);
    ASSERT_EQ(made.width, c.thumb_width);
    ASSERT_EQ(made.height, c.thumb_height);
    EXPECT_GE(psnr(made, whole_lanczos(source, format_of(c.extension), made.width, made.height)),
              40.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LargePicture,
    testing::Values(LargeCase{"Tiff", "tif", 2403, 1601, "100", 100, 67},
                    LargeCase{"Png", "png", 2403, 1601, "100", 100, 67},
                    LargeCase{"Bmp", "bmp", 1999, 1333, "150", 150, 100},
                    LargeCase{"PngByItsHeight", "png", 1601, 2403, "0,120", 80, 120},
                    LargeCase{"WidePanorama", "tif", 6001, 211, "300", 300, 11},
                    LargeCase{"OnePixelWide", "png", 1, 6007, "0,100", 1, 100}),
    [](const testing::TestParamInfo<LargeCase>& info) { return std::string(info.param.name); });

struct ReductionCase {
    const char* name;
    const char* extension;
    int width;
    int height;
    picture::PictureSize min_size;
    picture::PictureSize reduced;
};

class Reduction : public testing::TestWithParam<ReductionCase> {};

// Whole factors along each side, leaving twice the size asked or more.
TEST_P(Reduction, DecodeComesOutReducedButNeverBelowTheSizeAsked) {
    const ReductionCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(std::string("picture.") + c.extension);
    test::make_picture(path, c.width, c.height);
    const picture::RgbImage image = read_as(path, format_of(c.extension), c.min_size);
    EXPECT_EQ(image.width(), c.reduced.width);
    EXPECT_EQ(image.height(), c.reduced.height);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Reduction,
    testing::Values(ReductionCase{"TiffExact", "tif", 1000, 700, {200, 140}, {500, 350}},
                    ReductionCase{"PngOdd", "png", 1001, 703, {200, 140}, {500, 351}},
                    ReductionCase{"BmpOdd", "bmp", 999, 703, {200, 140}, {499, 351}},
                    ReductionCase{"TallNarrow", "png", 3, 5000, {2, 200}, {3, 416}},
                    ReductionCase{"LargerThanThePicture", "tif", 300, 200, {400, 300}, {300, 200}},
                    ReductionCase{"NoSizeAsked", "png", 301, 203, {0, 0}, {301, 203}}),
    [](const testing::TestParamInfo<ReductionCase>& info) { return std::string(info.param.name); });

// A 7 x 7 picture, black but for its last 4 columns and rows, reduced by 3 along both
// sides: two boxes a side, the pixel left over going to the second, so that the first
// holds only black and the others only white.
TEST(Reduction, PixelsLeftOverAreSpreadOverTheBoxes) {
    TempDir dir;
    test::RgbImage picture{7, 7, std::vector<uint8_t>(7 * 7 * 3, 0)};
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            if (x >= 3 || y >= 3)
                std::fill_n(picture.pixels.begin() + (y * 7 + x) * 3, 3, uint8_t{255});
    for (const char* extension : {"png", "tif", "bmp"}) {
        const std::string path = dir.file(std::string("edges.") + extension);
        test::write_picture(path, picture);
        const test::RgbImage reduced = test_image(read_as(path, format_of(extension), {1, 1}));
        ASSERT_EQ(reduced.width, 2) << extension;
        ASSERT_EQ(reduced.height, 2) << extension;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(reduced.at(x, y)[0], x == 1 || y == 1 ? 255 : 0)
                    << extension << " at " << x << "," << y;
    }
}

// Thumbnails are the picture's colours, its alpha left out: a sharp alpha edge over one
// colour must not darken the pixels along it.
TEST(LargePictureAlpha, EdgesKeepTheirColour) {
    TempDir dir;
    const int width = 1203, height = 601;
    test::Rgba16Image image{width, height, std::vector<uint16_t>(size_t(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint16_t* p = image.samples.data() + (size_t(y) * width + x) * 4;
            p[0] = 200 * 257;
            p[1] = 40 * 257;
            p[2] = 90 * 257;
            p[3] = (x / 7 + y / 5) % 2 ? 65535 : 0;
        }
    }
    for (const auto& [extension, depth] : {std::pair{"png", 8}, {"png", 16}, {"tif", 8}}) {
        const std::string source = dir.file("alpha" + std::to_string(depth) + "." + extension);
        test::write_deep_picture(source, image, depth, true);
        const std::string thumb = dir.file("thumb.png");
        ASSERT_EQ(resize_to(source, thumb, "100"), 0) << extension << depth;
        const test::RgbImage made = test::read_rgb(thumb);
        ASSERT_EQ(made.width, 100);
        ASSERT_EQ(made.height, 50);
        int worst = 0;
        for (int y = 0; y < made.height; ++y)
            for (int x = 0; x < made.width; ++x)
                worst =
                    std::max({worst, std::abs(made.at(x, y)[0] - 200),
                              std::abs(made.at(x, y)[1] - 40), std::abs(made.at(x, y)[2] - 90)});
        EXPECT_LE(worst, 1) << extension << depth;
    }
}

// PNGs of every colour type and depth read as ImageMagick reads them, reduced or not.
TEST(ReadPng, VariantsGiveWhatImageMagickReads) {
    TempDir dir;
    const std::string original = dir.file("original.bmp");
    test::make_picture(original, 61, 37);
    const struct {
        const char* name;
        const char* options;
    } variants[] = {
        {"rgb", "PNG24:"},
        {"rgba", "-alpha set -channel A -fx 'i/w' +channel PNG32:"},
        {"deep", "-depth 16 PNG48:"},
        {"deep_alpha", "-depth 16 -alpha set -channel A -fx 'j/h' +channel PNG64:"},
        {"grey", "-colorspace Gray PNG8:"},
        {"grey_deep", "-colorspace Gray -depth 16 PNG:"},
        {"grey_alpha", "-colorspace Gray -alpha set -channel A -fx 'i/w' +channel PNG:"},
        {"palette", "-colors 17 PNG8:"},
        {"two_colours", "-monochrome PNG:"},
        {"interlaced", "-interlace PNG PNG24:"},
    };
    for (const auto& v : variants) {
        const std::string path = dir.file(std::string(v.name) + ".png");
        int status = -1;
        test::run_command("/usr/bin/convert " + test::quoted(original) + " " + v.options +
                              test::quoted(path),
                          &status);
        ASSERT_EQ(status, 0) << v.name;
        const std::string expected =
            test::run_command("/usr/bin/convert " + test::quoted(path) + " -depth 8 rgb:-");
        const picture::RgbImage image = read_as(path, picture::kFormatPng);
        ASSERT_FALSE(image.empty()) << v.name << " " << picture::last_error();
        ASSERT_EQ(image.byte_size(), expected.size()) << v.name;
        int worst = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(int(image.data()[i]) - int(uint8_t(expected[i]))));
        EXPECT_LE(worst, 1) << v.name;
    }
}

std::string u16(int v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}

std::string le32(uint32_t v) {
    return u16(int(v & 0xFFFF)) + u16(int(v >> 16));
}

// A metafile: a window of width x height units at units_an_inch, white, with a dark grey
// rectangle over its middle half.
std::string metafile(int width, int height, int units_an_inch) {
    auto record = [&](int function, std::initializer_list<int> params) {
        std::string r = le32(uint32_t(3 + params.size())) + u16(function);
        for (int p : params)
            r += u16(p);
        return r;
    };
    auto brush = [&](uint32_t colour) {
        return le32(7) + u16(0x02FC) + u16(0) + le32(colour) + u16(0);
    };
    std::string records = record(0x020B, {0, 0}) + record(0x020C, {height, width});
    records += brush(0x00FFFFFF) + record(0x012D, {0}) + record(0x041B, {height, width, 0, 0});
    records += brush(0x00404040) + record(0x012D, {1}) +
               record(0x041B, {height * 3 / 4, width * 3 / 4, height / 4, width / 4}) +
               record(0, {});
    const std::string standard = u16(1) + u16(9) + u16(0x0300) +
                                 le32(uint32_t((18 + records.size()) / 2)) + u16(2) + le32(7) +
                                 u16(0);
    std::string placeable = le32(0x9AC6CDD7) + u16(0) + u16(0) + u16(0) + u16(width) + u16(height) +
                            u16(units_an_inch) + le32(0);
    int checksum = 0;
    for (size_t i = 0; i < placeable.size(); i += 2)
        checksum ^= uint8_t(placeable[i]) | (uint8_t(placeable[i + 1]) << 8);
    return placeable + u16(checksum) + standard + records;
}

struct MetafileCase {
    const char* name;
    int width; // window, in units
    int height;
    int units_an_inch;
    int thumb_width;
    int thumb_height;
};

class MetafileThumbnail : public testing::TestWithParam<MetafileCase> {};

// The thumbnail of a metafile is drawn at the size wanted, however large it declares
// itself: one declaring 60000 x 60000 pixels, too large to draw whole, still gives it.
TEST_P(MetafileThumbnail, IsDrawnAtTheSizeWanted) {
    const MetafileCase& c = GetParam();
    TempDir dir;
    const std::string source = dir.file("drawing.wmf");
    test::write_file(source, metafile(c.width, c.height, c.units_an_inch));
    const std::string thumb = dir.file("thumb.png");
    ASSERT_EQ(resize_to(source, thumb, "100"), 0);
    const test::RgbImage made = test::read_rgb(thumb);
    ASSERT_EQ(made.width, c.thumb_width);
    ASSERT_EQ(made.height, c.thumb_height);
    // Drawn: white around, the dark rectangle in the middle.
    EXPECT_NEAR(made.at(made.width / 20 + 2, made.height / 2)[0], 255, 8);
    EXPECT_NEAR(made.at(made.width / 2, made.height / 2)[0], 0x40, 16);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MetafileThumbnail,
    testing::Values(MetafileCase{"Declared6042x6765", 6042, 6765, 72, 100, 112},
                    MetafileCase{"Declared60000x60000", 30000, 30000, 36, 100, 100},
                    MetafileCase{"Declared60000x3000", 30000, 1500, 36, 100, 5},
                    MetafileCase{"SmallerThanTheThumbnail", 60, 40, 72, 100, 67}),
    [](const testing::TestParamInfo<MetafileCase>& info) { return std::string(info.param.name); });

// Drawn smaller for a smaller size asked, at its own size for a whole conversion, and a
// whole conversion of one too large to draw is refused without taking its memory.
TEST(MetafileDrawing, SizeFollowsWhatIsAsked) {
    TempDir dir;
    const std::string large = dir.file("large.wmf"), huge = dir.file("huge.wmf");
    test::write_file(large, metafile(6042, 6765, 72));
    test::write_file(huge, metafile(30000, 30000, 36));
    const picture::RgbImage drawn = read_as(large, picture::kFormatWmf, {200, 224});
    EXPECT_GE(drawn.width(), 199);
    EXPECT_LE(drawn.width(), 202);
    EXPECT_GE(drawn.height(), 223);
    EXPECT_LE(drawn.height(), 226);
    EXPECT_EQ(get_image_size(large), "6042,6765");
    EXPECT_EQ(resize_to(huge, dir.file("whole.bmp"), ""), picture::kTooLarge);
    EXPECT_FALSE(file_exists(dir.file("whole.bmp")));
}

} // namespace
} // namespace orvix
