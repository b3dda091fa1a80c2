#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace orvix
