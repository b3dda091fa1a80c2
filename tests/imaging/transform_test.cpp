#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/exif.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>

namespace orvix {
namespace {

using test::TempDir;

// A JPEG with an EXIF segment and a comment, 101 x 75 so that 4:2:0 blocks do not fit.
std::string camera_jpeg(const TempDir& dir) {
    const std::string path = dir.file("camera.jpg");
    test::make_jpeg(path, 101, 75);
    const std::string plain = test::read_file(path);
    const std::string exif_body = std::string("Exif\0\0MM\0*\0\0\0\x08", 14) + "Orvix-EXIF-payload";
    const std::string exif =
        std::string("\xFF\xE1") + char(0) + char(exif_body.size() + 2) + exif_body;
    const std::string comment_body = "taken on holiday";
    const std::string comment =
        std::string("\xFF\xFE") + char(0) + char(comment_body.size() + 2) + comment_body;
    test::write_file(path, plain.substr(0, 2) + exif + comment + plain.substr(2));
    return path;
}

struct LosslessCase {
    int code;
    const char* jpegtran;
};

class LosslessTransform : public testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessTransform, GivesThePixelsJpegtranGives) {
    TempDir dir;
    const std::string source = camera_jpeg(dir);
    const std::string ours = dir.file("ours.jpg"), theirs = dir.file("theirs.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, ours, int16_t(GetParam().code)), 0);
    int status = -1;
    test::run_command(std::string("/usr/bin/jpegtran ") + GetParam().jpegtran +
                          " -trim -copy all -outfile " + test::quoted(theirs) + " " +
                          test::quoted(source),
                      &status);
    ASSERT_EQ(status, 0);
    const test::RgbImage a = test::read_rgb(ours), b = test::read_rgb(theirs);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(get_image_size(ours), get_image_size(theirs));
    EXPECT_EQ(test::max_difference(a, b), 0);
    // The camera's markers travel with the picture.
    const std::string bytes = test::read_file(ours);
    EXPECT_NE(bytes.find("Orvix-EXIF-payload"), std::string::npos);
    EXPECT_NE(bytes.find("taken on holiday"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Codes, LosslessTransform,
                         testing::Values(LosslessCase{1, "-flip horizontal"},
                                         LosslessCase{2, "-flip vertical"},
                                         LosslessCase{5, "-rotate 90"},
                                         LosslessCase{6, "-rotate 180"},
                                         LosslessCase{7, "-rotate 270"}));

// Camera-sized pictures take another output road; the file must still be exactly the one
// jpegtran writes.
TEST(LosslessTransformLarge, WritesTheBytesJpegtranWrites) {
    TempDir dir;
    const std::string source = dir.file("large.jpg"), ours = dir.file("ours.jpg");
    const std::string theirs = dir.file("theirs.jpg");
    test::make_jpeg(source, 2400, 2403);
    ASSERT_EQ(jpeg_lossless_transform(source, ours, 7), 0);
    int status = -1;
    test::run_command("/usr/bin/jpegtran -rotate 270 -trim -copy all -outfile " +
                          test::quoted(theirs) + " " + test::quoted(source),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(get_image_size(ours), "2403,2400");
    EXPECT_TRUE(test::read_file(ours) == test::read_file(theirs));
}

TEST(LosslessTransformEdges, PartialBlocksAreTrimmedNotGarbled) {
    TempDir dir;
    const std::string source = camera_jpeg(dir), target = dir.file("turned.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, target, 5), 0);
    // The 75 rows hold four whole 16-row blocks; the partial fifth, which the turn would
    // bring to the left edge, goes.
    EXPECT_EQ(get_image_size(target), "64,101");
    // What is left matches a decoded and turned original, up to compression noise.
    const test::RgbImage original = test::read_rgb(source), turned = test::read_rgb(target);
    double sum = 0;
    for (int y = 0; y < turned.height; ++y)
        for (int x = 0; x < turned.width; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(turned.at(x, y)[c]) -
                                int(original.at(y, turned.width - 1 - x)[c]));
    EXPECT_LT(sum / (turned.width * turned.height * 3.0), 1.0);
}

TEST(LosslessTransformFailures, WriteNothingAndReportTheCause) {
    TempDir dir;
    const std::string target = dir.file("out.jpg");
    EXPECT_EQ(jpeg_lossless_transform(dir.path() + "missing.jpg", target, 5), picture::kOpenFailed);
    const std::string bmp = dir.file("in.bmp");
    test::make_picture(bmp, 20, 20);
    EXPECT_NE(jpeg_lossless_transform(bmp, target, 5), 0);
    const std::string jpeg = dir.file("in.jpg");
    test::make_jpeg(jpeg, 64, 48);
    EXPECT_EQ(jpeg_lossless_transform(jpeg, target, 3), picture::kBadArgument);
    // Code 0 does nothing and makes no (empty) file that a caller could copy over a picture.
    EXPECT_EQ(jpeg_lossless_transform(jpeg, target, 0), 0);
    const std::string bytes = test::read_file(jpeg);
    const std::string cut = dir.file("cut.jpg");
    test::write_file(cut, bytes.substr(0, bytes.size() / 2));
    EXPECT_NE(jpeg_lossless_transform(cut, target, 6), 0);
    EXPECT_FALSE(::access(target.c_str(), F_OK) == 0);
    EXPECT_EQ(test::folder_entries(dir.path()).size(), 3u);
}

TEST(LosslessTransformFailures, HugeDeclaredSizeIsRefusedBeforeAnyWork) {
    TempDir dir;
    const std::string source = dir.file("huge.jpg");
    test::make_jpeg(source, 16, 16);
    std::string bytes = test::read_file(source);
    bytes.replace(bytes.find("\xFF\xC0") + 5, 4, "\xFF\xDC\xFF\xDC");
    test::write_file(source, bytes);
    EXPECT_EQ(jpeg_lossless_transform(source, dir.file("out.jpg"), 5), picture::kTooLarge);
    EXPECT_EQ(test::folder_entries(dir.path()).size(), 1u);
}

TEST(LosslessTransformInPlace, TargetMayBeTheSource) {
    TempDir dir;
    const std::string source = camera_jpeg(dir);
    ASSERT_EQ(jpeg_lossless_transform(source, source, 6), 0);
    EXPECT_EQ(get_image_size(source), "96,64");
    EXPECT_EQ(test::folder_entries(dir.path()).size(), 1u);
}

// --- Sizes that do not allow a lossless turn exactly ----------------------------------

enum class Layout { Sampled420, Gray, Sampled410 };

// A w x h picture in the layout: make_jpeg's 4:2:0 (16 x 16 MCUs), grayscale (8 x 8), or
// 4:1:0, which TurboJPEG does not transform.
std::string jpeg_in_layout(const TempDir& dir, int width, int height, Layout layout) {
    const std::string path = dir.file("source.jpg");
    if (layout == Layout::Sampled420) {
        test::make_jpeg(path, width, height);
        return path;
    }
    const std::string bmp = dir.file("source.bmp");
    test::make_picture(bmp, width, height);
    int status = -1;
    test::run_command(std::string("/usr/bin/cjpeg ") +
                          (layout == Layout::Gray ? "-grayscale" : "-sample 4x2,1x1,1x1") +
                          " -outfile " + test::quoted(path) + " " + test::quoted(bmp),
                      &status);
    EXPECT_EQ(status, 0);
    return path;
}

struct EdgeCase {
    const char* name;
    int width;
    int height;
    Layout layout;
    int code;
    std::optional<int> lost; // std::nullopt: cannot be turned without decoding
    const char* trimmed;     // the size a trimmed turn gives; "" when none is made
};

class EdgeLoss : public testing::TestWithParam<EdgeCase> {};

// The loss told in advance is what a trimmed turn really cuts off, and a turn asked to be
// exact is made only when there is none.
TEST_P(EdgeLoss, IsWhatATrimCutsAndAnExactTurnRefuses) {
    const EdgeCase& c = GetParam();
    TempDir dir;
    const std::string source = jpeg_in_layout(dir, c.width, c.height, c.layout);
    const std::string original = test::read_file(source);
    EXPECT_EQ(jpeg_transform_loss(source, int16_t(c.code)), c.lost);

    const std::string exact = dir.file("exact.jpg");
    const int32_t rc = jpeg_lossless_transform(source, exact, int16_t(c.code), JpegEdges::Exact);
    if (c.lost == 0) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(get_image_size(exact), c.trimmed);
    } else {
        EXPECT_EQ(rc, picture::kTransformFailed);
        EXPECT_NE(::access(exact.c_str(), F_OK), 0) << "nothing is written";
    }
    if (*c.trimmed != '\0') {
        const std::string trimmed = dir.file("trimmed.jpg");
        ASSERT_EQ(jpeg_lossless_transform(source, trimmed, int16_t(c.code), JpegEdges::Trim), 0);
        EXPECT_EQ(get_image_size(trimmed), c.trimmed);
    }
    EXPECT_EQ(test::read_file(source), original);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, EdgeLoss,
    testing::Values(
        EdgeCase{"Odd_FlipH", 1001, 751, Layout::Sampled420, 1, 9, "992,751"},
        EdgeCase{"Odd_FlipV", 1001, 751, Layout::Sampled420, 2, 15, "1001,736"},
        EdgeCase{"Odd_Rotate90", 1001, 751, Layout::Sampled420, 5, 15, "736,1001"},
        EdgeCase{"Odd_Rotate180", 1001, 751, Layout::Sampled420, 6, 15, "992,736"},
        EdgeCase{"Odd_Rotate270", 1001, 751, Layout::Sampled420, 7, 9, "751,992"},
        EdgeCase{"800x600_FlipH", 800, 600, Layout::Sampled420, 1, 0, "800,600"},
        EdgeCase{"800x600_FlipV", 800, 600, Layout::Sampled420, 2, 8, "800,592"},
        EdgeCase{"800x600_Rotate90", 800, 600, Layout::Sampled420, 5, 8, "592,800"},
        EdgeCase{"800x600_Rotate180", 800, 600, Layout::Sampled420, 6, 8, "800,592"},
        EdgeCase{"800x600_Rotate270", 800, 600, Layout::Sampled420, 7, 0, "600,800"},
        EdgeCase{"1600x1200_Rotate90", 1600, 1200, Layout::Sampled420, 5, 0, "1200,1600"},
        EdgeCase{"1600x1200_Rotate180", 1600, 1200, Layout::Sampled420, 6, 0, "1600,1200"},
        EdgeCase{"1600x1200_FlipV", 1600, 1200, Layout::Sampled420, 2, 0, "1600,1200"},
        EdgeCase{"Gray_Rotate90", 1001, 751, Layout::Gray, 5, 7, "744,1001"},
        EdgeCase{"Gray_Rotate270", 1001, 751, Layout::Gray, 7, 1, "751,1000"},
        EdgeCase{"Gray_800x600_Rotate90", 800, 600, Layout::Gray, 5, 0, "600,800"},
        // A moved edge shorter than one MCU is not trimmed by libjpeg but left as it was.
        EdgeCase{"Strip_Rotate90", 64, 8, Layout::Sampled420, 5, std::nullopt, ""},
        EdgeCase{"Strip_Rotate270", 64, 8, Layout::Sampled420, 7, 0, "8,64"},
        EdgeCase{"Layout410", 64, 48, Layout::Sampled410, 5, std::nullopt, ""}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST(EdgeLossFailures, UnreadableFilesAndUnknownCodes) {
    TempDir dir;
    EXPECT_EQ(jpeg_transform_loss(dir.file("missing.jpg"), 5), std::nullopt);
    const std::string bmp = dir.file("in.bmp");
    test::make_picture(bmp, 64, 48);
    EXPECT_EQ(jpeg_transform_loss(bmp, 5), std::nullopt);
    const std::string jpeg = dir.file("in.jpg");
    test::make_jpeg(jpeg, 64, 48);
    EXPECT_EQ(jpeg_transform_loss(jpeg, 3), std::nullopt);
    EXPECT_EQ(jpeg_transform_loss(jpeg, 0), std::nullopt);
}

// The re-encoded turn of a picture whose size does not allow a lossless one: the
// exchanged size exact, the pixels ImageMagick's turn gives, the camera's markers kept and
// its orientation reset as a lossless turn does.
TEST(ReencodedTurn, KeepsTheWholePictureAndItsMarkers) {
    for (const auto& [width, height] : {std::pair{1001, 751}, std::pair{800, 600}}) {
        SCOPED_TRACE(width);
        TempDir dir;
        const std::string source = dir.file("camera.jpg");
        test::make_jpeg(source, width, height);
        const std::string plain = test::read_file(source);
        const std::string comment = "taken on holiday";
        test::write_file(source, plain.substr(0, 2) + "\xFF\xFE" + char(0) +
                                     char(comment.size() + 2) + comment + plain.substr(2));
        test::add_exif(source, test::ExifFields{6, width, height, true});
        const std::string markers = test::other_metadata(source);
        ASSERT_NE(markers.find(comment), std::string::npos);
        const std::string reference = dir.file("reference.png");
        int status = -1;
        test::run_command("/usr/bin/convert " + test::quoted(source) + " -rotate 90 " +
                              test::quoted(reference),
                          &status);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(convert_image3(source, source, "", "", false, 100, 0, false, "", "", 5), 0);
        EXPECT_EQ(get_image_size(source), std::to_string(height) + "," + std::to_string(width));
        const test::RgbImage ours = test::read_rgb(source), theirs = test::read_rgb(reference);
        // Quality 100 without chroma subsampling: little more than rounding apart.
        EXPECT_LT(test::mean_difference(ours, theirs), 0.5);
        EXPECT_LE(test::max_difference(ours, theirs), 8);
        EXPECT_EQ(test::read_exif(source), (test::ExifFields{1, height, width, false}));
        EXPECT_EQ(test::other_metadata(source), markers);
    }
}

// --- A thumbnail keeps a pixel on each side -----------------------------------------------

struct SliverCase {
    const char* name;
    int width;
    int height;
    const char* resize;
    const char* size;
};

class Sliver : public testing::TestWithParam<SliverCase> {};

TEST_P(Sliver, GetsAPictureOfAtLeastOnePixelASide) {
    const SliverCase& c = GetParam();
    TempDir dir;
    const std::string source = dir.file("sliver.jpg"), target = dir.file("thumb.jpg");
    test::make_jpeg(source, c.width, c.height);
    ASSERT_EQ(convert_image3(source, target, "", c.resize, false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(get_image_size(target), c.size);
}

INSTANTIATE_TEST_SUITE_P(Resizes, Sliver,
                         testing::Values(SliverCase{"Thumbnail", 8000, 1, "100", "100,1"},
                                         SliverCase{"LongerSide", 1, 8000, "*100", "1,100"},
                                         SliverCase{"Box", 8000, 1, "100,100", "100,100"}),
                         [](const testing::TestParamInfo<SliverCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace orvix
