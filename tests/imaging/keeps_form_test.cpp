// An edit or a conversion keeps what the file held beyond 24-bit RGB: 16-bit samples, an
// alpha channel, and a TIFF's or PSD's compression, as far as the target format has them.
// The files are checked with ImageMagick's identify, a reader apart from the program.
#include "helpers.h"
#include "imaging/imaging.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <tuple>

namespace orvix {
namespace {

using test::Rgba16Image;
using test::TempDir;

int32_t convert(const std::string& source, const std::string& target, const std::string& crop,
                const std::string& resize, int16_t transform) {
    return convert_image3(source, target, crop, resize, false, 100, 0, false, "", "", transform);
}

// "depth alpha compression" of the file's first picture, as identify reports them.
std::string form_of(const std::string& path) {
    std::string form =
        test::run_command("identify -format '%z %A %C' " + test::quoted(path + "[0]") + " 2>&1");
    return form;
}

void expect_samples(const Rgba16Image& result, const Rgba16Image& original, int transform,
                    int left = 0, int top = 0) {
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(result.at(x, y)[c],
                          test::transformed_at(original, transform, x + left, y + top)[c])
                    << "transform " << transform << " at " << x << "," << y << " channel " << c;
}

struct FormCase {
    const char* name;
    const char* extension;
    int depth;
    bool alpha;
    const char* compression; // as written
    const char* reported;    // identify's name of it, which the file must keep
};

const FormCase kForms[] = {
    {"Tiff16Lzw", "tif", 16, false, "LZW", "LZW"},
    {"Tiff16Deflate", "tif", 16, false, "Zip", "Zip"},
    {"Tiff16Uncompressed", "tif", 16, false, "None", "None"},
    {"TiffRgbaLzw", "tif", 8, true, "LZW", "LZW"},
    {"Tiff16RgbaDeflate", "tif", 16, true, "Zip", "Zip"},
    {"TiffRgbLzw", "tif", 8, false, "LZW", "LZW"},
    {"Png16", "png", 16, false, "Zip", "Zip"},
    {"PngRgba", "png", 8, true, "Zip", "Zip"},
    {"Png16Rgba", "png", 16, true, "Zip", "Zip"},
    {"BmpRgba", "bmp", 8, true, "None", "Undefined"},
    {"Psd16Rle", "psd", 16, false, "RLE", "RLE"},
    {"PsdRgbaRle", "psd", 8, true, "RLE", "RLE"},
};

std::string expected_form(const FormCase& form) {
    return std::to_string(form.depth) + (form.alpha ? " True " : " False ") + form.reported;
}

class KeepsForm : public testing::TestWithParam<std::tuple<FormCase, int>> {
protected:
    const FormCase& form() const { return std::get<0>(GetParam()); }
    int transform() const { return std::get<1>(GetParam()); }

    // The picture, made and checked to hold what the case says.
    std::string make(const std::string& name) {
        const std::string path = m_dir.file(name + "." + form().extension);
        test::write_deep_picture(path, test::deep_pattern(24, 16, form().alpha), form().depth,
                                 form().alpha, form().compression);
        EXPECT_EQ(form_of(path), expected_form(form())) << "the fixture itself";
        return path;
    }

    TempDir m_dir;
};

TEST_P(KeepsForm, ATurnOrFlipInPlace) {
    const std::string picture = make("picture");
    const Rgba16Image before = test::read_rgba16(picture);
    ASSERT_EQ(convert(picture, picture, "", "", int16_t(transform())), 0);
    EXPECT_EQ(form_of(picture), expected_form(form()));
    const Rgba16Image after = test::read_rgba16(picture);
    const bool turned = transform() == 5 || transform() == 7;
    ASSERT_EQ(after.width, turned ? 16 : 24);
    ASSERT_EQ(after.height, turned ? 24 : 16);
    expect_samples(after, before, transform());
}

INSTANTIATE_TEST_SUITE_P(Formats, KeepsForm,
                         testing::Combine(testing::ValuesIn(kForms),
                                          testing::Values(1, 2, 5, 6, 7)),
                         [](const testing::TestParamInfo<std::tuple<FormCase, int>>& info) {
                             return std::string(std::get<0>(info.param).name) + "Transform" +
                                    std::to_string(std::get<1>(info.param));
                         });

class KeepsFormCroppedOrResized : public testing::TestWithParam<FormCase> {};

// A crop after a turn: the asked part, every sample as it was.
TEST_P(KeepsFormCroppedOrResized, ACropInPlace) {
    const FormCase& form = GetParam();
    TempDir dir;
    const std::string picture = dir.file(std::string("picture.") + form.extension);
    test::write_deep_picture(picture, test::deep_pattern(24, 16, form.alpha), form.depth,
                             form.alpha, form.compression);
    const Rgba16Image before = test::read_rgba16(picture);
    ASSERT_EQ(convert(picture, picture, "3,2,13,12", "", 5), 0);
    EXPECT_EQ(form_of(picture), expected_form(form));
    const Rgba16Image after = test::read_rgba16(picture);
    ASSERT_EQ(after.width, 10);
    ASSERT_EQ(after.height, 10);
    expect_samples(after, before, 5, 3, 2);
}

// The picture fitted in a square box: the bands are opaque black, the picture keeps its
// alpha, and the samples keep their depth.
TEST_P(KeepsFormCroppedOrResized, AResizeInPlace) {
    const FormCase& form = GetParam();
    TempDir dir;
    const std::string picture = dir.file(std::string("picture.") + form.extension);
    test::write_deep_picture(picture, test::deep_pattern(48, 32, form.alpha), form.depth,
                             form.alpha, form.compression);
    ASSERT_EQ(convert(picture, picture, "", "36,36", 0), 0);
    EXPECT_EQ(form_of(picture), expected_form(form));
    const Rgba16Image after = test::read_rgba16(picture);
    ASSERT_EQ(after.width, 36);
    ASSERT_EQ(after.height, 36);
    // 36 x 24 at the top 6: bands of 6 rows above and below.
    const uint16_t black[4] = {0, 0, 0, 65535};
    for (int x = 0; x < 36; ++x) {
        EXPECT_TRUE(std::equal(black, black + 4, after.at(x, 0))) << x;
        EXPECT_TRUE(std::equal(black, black + 4, after.at(x, 35))) << x;
    }
    // The alpha still runs from nearly clear at the left to nearly opaque at the right.
    if (form.alpha) {
        EXPECT_LT(after.at(0, 18)[3], 8000);
        EXPECT_GT(after.at(35, 18)[3], 57000);
    }
    // Low bytes of their own in 16-bit files: the samples were not cut to 8 bits.
    if (form.depth == 16) {
        int low_bytes = 0;
        for (int x = 0; x < 36; ++x)
            low_bytes += after.at(x, 18)[0] % 257 != 0;
        EXPECT_GT(low_bytes, 18);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, KeepsFormCroppedOrResized, testing::ValuesIn(kForms),
                         [](const testing::TestParamInfo<FormCase>& info) {
                             return std::string(info.param.name);
                         });

struct ConversionCase {
    const char* name;
    const char* source;      // extension of the source
    int depth;               // of the source
    const char* target;      // extension of the target
    const char* target_form; // identify's "depth alpha compression" of the result
};

class ConversionKeepsAlpha : public testing::TestWithParam<ConversionCase> {};

// A conversion into a format that holds an alpha channel (or 16-bit samples) keeps it.
TEST_P(ConversionKeepsAlpha, EverySampleArrives) {
    const ConversionCase& c = GetParam();
    TempDir dir;
    const std::string source = dir.file(std::string("picture.") + c.source);
    const std::string target = dir.file(std::string("picture.") + c.target);
    test::write_deep_picture(source, test::deep_pattern(24, 16, true), c.depth, true, "LZW");
    ASSERT_EQ(convert(source, target, "", "", 0), 0);
    EXPECT_EQ(form_of(target), c.target_form);
    const Rgba16Image before = test::read_rgba16(source), after = test::read_rgba16(target);
    ASSERT_EQ(after.width, 24);
    expect_samples(after, before, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ConversionKeepsAlpha,
    testing::Values(ConversionCase{"TiffToPng", "tif", 8, "png", "8 True Zip"},
                    ConversionCase{"Tiff16ToPng", "tif", 16, "png", "16 True Zip"},
                    ConversionCase{"TiffToPsd", "tif", 8, "psd", "8 True None"},
                    ConversionCase{"TiffToBmp", "tif", 8, "bmp", "8 True Undefined"},
                    ConversionCase{"PngToTiff", "png", 16, "tif", "16 True None"}),
    [](const testing::TestParamInfo<ConversionCase>& info) {
        return std::string(info.param.name);
    });

// Thumbnails and mail copies are JPEGs: the picture's colours, its alpha left out.
TEST(ConversionKeepsAlpha, AJpegOfAPictureWithAlphaHasItsColours) {
    TempDir dir;
    const std::string source = dir.file("picture.tif"), thumb = dir.file("thumb.jpg");
    test::write_deep_picture(source, test::deep_pattern(160, 120, true), 16, true, "LZW");
    ASSERT_EQ(convert(source, thumb, "", "100", 0), 0);
    EXPECT_EQ(get_image_size(thumb), "100,75");
    // The same colours stored as plain 8-bit RGB give the same thumbnail.
    const std::string plain = dir.file("plain.tif"), plain_thumb = dir.file("plain.jpg");
    test::make_picture(plain, 160, 120);
    ASSERT_EQ(convert(plain, plain_thumb, "", "100", 0), 0);
    EXPECT_LT(test::mean_difference(test::read_rgb(thumb), test::read_rgb(plain_thumb)), 1.5);
}

} // namespace
} // namespace orvix
