#include "controls/common/image_header.h"

#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace orvix {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string le16(uint32_t v) {
    return {char(v), char(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(v) + le16(v >> 16);
}

std::string png_header(uint32_t width, uint32_t height, int depth, int colour_type) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(width) + be32(height) +
           char(depth) + char(colour_type) + std::string(3, '\0') + be32(0);
}

std::string gif_header(int width, int height, int flags) {
    return "GIF89a" + le16(width) + le16(height) + char(flags) + std::string(2, '\0');
}

std::string bmp_header(uint32_t width, uint32_t height, int bits) {
    return "BM" + le32(0) + le32(0) + le32(54) + le32(40) + le32(width) + le32(height) + le16(1) +
           le16(bits) + std::string(24, '\0');
}

// A segment of a JPEG: marker, big-endian length (itself included) and payload.
std::string segment(int marker, const std::string& payload) {
    const size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(marker), char(length >> 8), char(length)} + payload;
}

// A frame header of the given marker: precision 8, height, width, components.
std::string frame(int marker, int width, int height, int components) {
    std::string payload{char(8),          char(height >> 8), char(height),
                        char(width >> 8), char(width),       char(components)};
    payload += std::string(3 * components, '\x11');
    return segment(marker, payload);
}

const std::string kSoi("\xFF\xD8", 2);
const std::string kEoi("\xFF\xD9", 2);

// A camera picture: an EXIF segment right after the start holds a whole JPEG thumbnail,
// whose own frame marker comes long before the picture's.
std::string camera_jpeg(const TempDir& dir, int width, int height) {
    test::make_jpeg(dir.file("main.jpg"), width, height);
    test::make_jpeg(dir.file("thumb.jpg"), 160, 120);
    const std::string main = read_file(dir.file("main.jpg"));
    const std::string exif =
        std::string("Exif\0\0II*\0\x08\0\0\0", 14) + read_file(dir.file("thumb.jpg"));
    return kSoi + segment(0xE1, exif) + main.substr(2);
}

struct HeaderCase {
    const char* name;
    std::string bytes;
    ImageInfo expected; // FileSize is checked against the bytes' length
};

class ReadsHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(ReadsHeader, GivesSizeAndType) {
    TempDir dir;
    const std::string path = dir.file("picture");
    write_file(path, GetParam().bytes);
    ImageInfo expected = GetParam().expected;
    expected.FileSize = static_cast<int32_t>(GetParam().bytes.size());
    EXPECT_EQ(ReadImageHeader(path), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadsHeader,
    testing::Values(
        HeaderCase{"PngTrueColour", png_header(640, 480, 8, 2), {640, 480, 24, 0, kTypePng}},
        HeaderCase{"PngGreyAlpha", png_header(10, 20, 16, 4), {10, 20, 32, 0, kTypePng}},
        HeaderCase{"PngPalette", png_header(10, 20, 4, 3), {10, 20, 8, 0, kTypePng}},
        // Only the low 16 bits of the big-endian fields are read.
        HeaderCase{
            "PngWiderThan65535", png_header(70000, 3, 8, 6), {70000 - 65536, 3, 32, 0, kTypePng}},
        HeaderCase{"PngUnknownColourType", png_header(640, 480, 8, 5), {0, 0, 0, 0, kTypeUnknown}},
        HeaderCase{"PngCutBeforeItsSize",
                   png_header(640, 480, 8, 2).substr(0, 20),
                   {0, 0, 0, 0, kTypePng}},
        HeaderCase{"Gif", gif_header(300, 200, 0xF4), {300, 200, 5, 0, kTypeGif}},
        HeaderCase{"Bitmap", bmp_header(1024, 768, 24), {1024, 768, 24, 0, kTypeBitmap}},
        // A negative height: the rows are stored top first, the height is the same.
        HeaderCase{"BitmapStoredTopFirst",
                   bmp_header(1024, uint32_t(-768), 24),
                   {1024, 768, 24, 0, kTypeBitmap}},
        HeaderCase{"BitmapTallerThan65535", bmp_header(2, 70000, 8), {2, 70000, 8, 0, kTypeBitmap}},
        HeaderCase{"BitmapOs2Header",
                   "BM" + le32(0) + le32(0) + le32(26) + le32(12) + le16(300) + le16(200) +
                       le16(1) + le16(24),
                   {300, 200, 24, 0, kTypeBitmap}},
        HeaderCase{"JpegBaseline",
                   kSoi + segment(0xE0, "JFIF") + frame(0xC0, 4000, 3000, 3) + kEoi,
                   {4000, 3000, 24, 0, kTypeJpeg}},
        HeaderCase{
            "JpegProgressiveGrey", kSoi + frame(0xC2, 33, 44, 1) + kEoi, {33, 44, 8, 0, kTypeJpeg}},
        HeaderCase{
            "JpegArithmetic", kSoi + frame(0xC9, 160, 120, 3) + kEoi, {160, 120, 24, 0, kTypeJpeg}},
        // A comment holding the bytes of a frame marker, fill bytes before a marker, and a
        // table segment (C4) whose marker lies in the frame range but is none.
        HeaderCase{"JpegMarkersThatAreNoFrame",
                   kSoi +
                       segment(0xFE, std::string("\xFF\xC0\x00\x11\x08\x00\x10\x00\x10\x03", 10)) +
                       std::string("\xFF\xFF", 2) + segment(0xC4, std::string(20, '\0')) +
                       frame(0xC1, 800, 600, 3) + kEoi,
                   {800, 600, 24, 0, kTypeJpeg}},
        HeaderCase{"JpegScanBeforeAnyFrame",
                   kSoi + segment(0xDA, std::string(10, '\0')) + kEoi,
                   {0, 0, 0, 0, kTypeUnknown}},
        HeaderCase{"JpegCutInsideItsFrame",
                   (kSoi + frame(0xC0, 4000, 3000, 3)).substr(0, 8),
                   {0, 0, 0, 0, kTypeUnknown}},
        HeaderCase{"JpegLengthOfZero",
                   kSoi + std::string("\xFF\xE0\x00\x00", 4) + frame(0xC0, 10, 10, 3),
                   {0, 0, 0, 0, kTypeUnknown}},
        HeaderCase{"PlainText", "no picture here", {0, 0, 0, 0, kTypeUnknown}},
        HeaderCase{"EmptyFile", "", {0, 0, 0, 0, kTypeUnknown}}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(ReadImageHeader, CameraJpegGivesThePictureNotItsExifThumbnail) {
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    const std::string bytes = camera_jpeg(dir, 640, 480);
    write_file(path, bytes);
    const ImageInfo info = ReadImageHeader(path);
    EXPECT_EQ(info.FileType, kTypeJpeg);
    EXPECT_EQ(info.Width, 640);
    EXPECT_EQ(info.Height, 480);
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(info.FileSize, static_cast<int32_t>(bytes.size()));
}

TEST(ReadImageHeader, MissingFilesFoldersAndFifosGiveZeros) {
    TempDir dir;
    EXPECT_EQ(ReadImageHeader(dir.file("missing.jpg")), ImageInfo{});
    EXPECT_EQ(ReadImageHeader(dir.path()), ImageInfo{});
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadImageHeader(fifo), ImageInfo{}) << "a fifo must not block the grid";
    EXPECT_FALSE(read_header_if_file(fifo).has_value());
}

// Bytes this process has read so far, as the kernel counts them.
long long bytes_read_so_far() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

TEST(ReadImageHeader, ReadsOnlyTheBytesItNeeds) {
    TempDir dir;
    const std::string path = dir.file("big.jpg");
    // A 64 KB EXIF block before the frame, then 30 MB of picture data.
    write_file(path, kSoi + segment(0xE1, std::string(65000, 'x')) + frame(0xC0, 6000, 4000, 3) +
                         segment(0xDA, std::string(12, '\0')));
    ASSERT_EQ(::truncate(path.c_str(), 30 << 20), 0);
    const long long before = bytes_read_so_far();
    ASSERT_GE(before, 0);
    const ImageInfo info = ReadImageHeader(path);
    const long long read = bytes_read_so_far() - before;
    EXPECT_EQ(info.Width, 6000);
    EXPECT_EQ(info.Height, 4000);
    EXPECT_EQ(info.FileSize, 30 << 20);
    EXPECT_LT(read, 16 * 1024) << "the EXIF block is skipped, not read";
}

TEST(ReadImageHeader, AnEmbeddedPreviewDoesNotMakeAnotherFormatAJpeg) {
    TempDir dir;
    const std::string path = dir.file("scan.tif");
    test::make_jpeg(dir.file("preview.jpg"), 64, 48);
    write_file(path, std::string("II*\0\x08\0\0\0", 8) + std::string(100, '\0') +
                         read_file(dir.file("preview.jpg")));
    EXPECT_EQ(ReadImageHeader(path).FileType, kTypeUnknown);
}

} // namespace
} // namespace orvix
