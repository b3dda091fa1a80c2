#include "helpers.h"
#include "imaging/picture_layer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace orvix::picture {
namespace {

using test::TempDir;

RgbImage layer_image(const test::RgbImage& from) {
    RgbImage image = RgbImage::allocate(from.width, from.height);
    std::copy(from.pixels.begin(), from.pixels.end(), image.data());
    return image;
}

test::RgbImage test_image(const RgbImage& from) {
    return {from.width(), from.height(),
            std::vector<uint8_t>(from.data(), from.data() + from.byte_size())};
}

RgbImage read_file_as(const std::string& path, int code, PictureSize min_size = {}) {
    PictureSource source;
    EXPECT_TRUE(source.open(path)) << path;
    return read_picture(source, code, min_size);
}

bool write_file_as(const std::string& path, const RgbImage& image, TargetFormat format,
                   int quality = 92) {
    PictureTarget target;
    return target.open(path) && write_picture(target, image, format, quality) && target.commit();
}

std::string u16(int v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}

std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// --- Sizes and allocation ---------------------------------------------------------------

TEST(RgbImageAllocation, RefusesEmptyAndOversizedBuffers) {
    EXPECT_TRUE(RgbImage::allocate(0, 10).empty());
    EXPECT_EQ(last_error(), kEmptyPicture);
    EXPECT_TRUE(RgbImage::allocate(10, -1).empty());
    EXPECT_EQ(last_error(), kEmptyPicture);
    // 65500 x 65500 x 3 bytes: refused by arithmetic, not by a failed allocation.
    EXPECT_TRUE(RgbImage::allocate(65500, 65500).empty());
    EXPECT_EQ(last_error(), kTooLarge);
    EXPECT_FALSE(picture_size_allowed(26755, 26755)); // just above 2^31 bytes
    EXPECT_TRUE(picture_size_allowed(26754, 26754));
    // Sides beyond 16 bits are refused even with a small buffer.
    EXPECT_FALSE(picture_size_allowed(65536, 1));
    EXPECT_EQ(last_error(), kTooLarge);
    EXPECT_TRUE(picture_size_allowed(65535, 1));
    const RgbImage small = RgbImage::allocate(3, 2);
    ASSERT_FALSE(small.empty());
    EXPECT_EQ(small.stride(), 9u);
    EXPECT_EQ(last_error(), kNoError);
}

// --- Format guess -------------------------------------------------------------------------

std::string wbmp_bytes() {
    // 10 x 3 pixels, two bytes a row: a white first row, a black one, then alternating.
    return std::string("\x00\x00\x0A\x03", 4) + std::string("\xFF\xC0\x00\x00\xAA\x80", 6);
}

TEST(GuessFileType, RecognisesHeaderOnlyFormatsAndRefusesText) {
    TempDir dir;
    std::string emf(44, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    const struct {
        std::string bytes;
        int code;
    } cases[] = {
        {wbmp_bytes(), kFormatWbmp},
        {wbmp_bytes() + "x", kFormatUnknown}, // the size must match exactly
        {std::string("\xD7\xCD\xC6\x9A", 4) + std::string(40, '\0'), kFormatWmf},
        {std::string("\x01\x00\x09\x00\x00\x03", 6) + std::string(30, '\0'), kFormatWmf},
        {emf, kFormatEmf},
        {"push graphic-context\nviewbox 0 0 10 10\npop graphic-context\n", kFormatUnknown},
        {"", kFormatUnknown},
        {std::string("\xFF\xD8", 2), kFormatUnknown},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("guess.dat");
        test::write_file(path, c.bytes);
        PictureSource source;
        ASSERT_TRUE(source.open(path));
        EXPECT_EQ(guess_file_type(source), c.code) << c.bytes.size() << " bytes";
    }
}

TEST(ReadPicture, CodesWithoutReaderFailWithTheirOwnErrors) {
    TempDir dir;
    const std::string path = dir.file("a.jpg");
    test::make_jpeg(path, 8, 8);
    for (int code : {2, 15, 99, -1}) {
        EXPECT_TRUE(read_file_as(path, code).empty());
        EXPECT_EQ(last_error(), kNoReader) << code;
    }
    for (int code : {kFormatUnknown, kFormatEmf, kFormatPax, kFormatTla, kFormatTlaPlain}) {
        EXPECT_TRUE(read_file_as(path, code).empty());
        EXPECT_EQ(last_error(), kUnknownFormat) << code;
    }
}

TEST(ReadPicture, WbmpBitsBecomeBlackAndWhite) {
    TempDir dir;
    const std::string path = dir.file("a.wbmp");
    test::write_file(path, wbmp_bytes());
    const RgbImage image = read_file_as(path, kFormatWbmp);
    ASSERT_EQ(image.width(), 10);
    ASSERT_EQ(image.height(), 3);
    EXPECT_EQ(image.row(0)[9 * 3], 255);
    EXPECT_EQ(image.row(1)[5 * 3], 0);
    EXPECT_EQ(image.row(2)[0], 255);
    EXPECT_EQ(image.row(2)[3], 0);
}

// A metafile drawn here by hand: a 200 x 100 window (10 x 5 pixels at 72 dpi) with a red
// rectangle in its middle.
std::string wmf_bytes() {
    auto record = [&](int function, std::initializer_list<int> params) {
        std::string r = le32(uint32_t(3 + params.size())) + u16(function);
        for (int p : params)
            r += u16(p);
        return r;
    };
    std::string records = record(0x020B, {0, 0}) + record(0x020C, {100, 200});
    records += le32(7) + u16(0x02FC) + u16(0) + le32(0x000000FF) + u16(0); // solid red brush
    records += record(0x012D, {0}) + record(0x041B, {80, 150, 20, 50}) + record(0, {});
    const std::string standard = u16(1) + u16(9) + u16(0x0300) +
                                 le32(uint32_t((18 + records.size()) / 2)) + u16(1) + le32(7) +
                                 u16(0);
    std::string placeable =
        le32(0x9AC6CDD7) + u16(0) + u16(0) + u16(0) + u16(200) + u16(100) + u16(1440) + le32(0);
    int checksum = 0;
    for (size_t i = 0; i < placeable.size(); i += 2)
        checksum ^= uint8_t(placeable[i]) | (uint8_t(placeable[i + 1]) << 8);
    return placeable + u16(checksum) + standard + records;
}

TEST(ReadPicture, MetafilesAreDrawnAtTheirOwnSize) {
    TempDir dir;
    const std::string path = dir.file("drawing.dat");
    test::write_file(path, wmf_bytes());
    PictureSource source;
    ASSERT_TRUE(source.open(path));
    ASSERT_EQ(guess_file_type(source), kFormatWmf);
    source.seek(0);
    EXPECT_EQ(read_picture_size(source, kFormatWmf), (PictureSize{10, 5}));
    const RgbImage image = read_picture(source, kFormatWmf);
    ASSERT_EQ(image.width(), 10) << last_error();
    const uint8_t* middle = image.row(3) + 5 * 3;
    EXPECT_GT(middle[0], 200);
    EXPECT_LT(middle[1], 50);
}

// Plain RGB TIFFs take the direct libtiff road, the others Magick++'s; both must give
// what ImageMagick's own tools read.
TEST(ReadPicture, TiffVariantsGiveWhatImageMagickReads) {
    TempDir dir;
    const std::string original = dir.file("original.bmp");
    test::make_picture(original, 37, 23);
    const struct {
        const char* name;
        const char* options;
    } variants[] = {
        {"plain", "-compress none"},    {"lzw", "-compress lzw"},
        {"deflate", "-compress zip"},   {"tiled", "-define tiff:tile-geometry=16x16"},
        {"grey", "-colorspace Gray"},   {"deep", "-depth 16"},
        {"planar", "-interlace plane"}, {"cmyk", "-colorspace CMYK"},
    };
    for (const auto& v : variants) {
        const std::string path = dir.file(std::string(v.name) + ".tif");
        int status = -1;
        test::run_command("/usr/bin/convert " + test::quoted(original) + " " + v.options + " " +
                              test::quoted(path),
                          &status);
        ASSERT_EQ(status, 0) << v.name;
        const std::string expected =
            test::run_command("/usr/bin/convert " + test::quoted(path) + " -depth 8 rgb:-");
        const RgbImage image = read_file_as(path, kFormatTiff);
        ASSERT_FALSE(image.empty()) << v.name << " " << last_error();
        EXPECT_EQ(std::string(image.data(), image.data() + image.byte_size()), expected) << v.name;
    }
}

TEST(ReadPicture, TgaPicturesStandTheRightWayUpWhereverTheirOriginIs) {
    TempDir dir;
    // A 3 x 2 picture, top row red green blue, bottom row white black grey, stored from
    // each of the four corners that the header's descriptor byte can name.
    const uint32_t top[] = {0xFF0000, 0x00FF00, 0x0000FF};
    const uint32_t bottom[] = {0xFFFFFF, 0x000000, 0x808080};
    auto row = [](const uint32_t* pixels, bool right_to_left) {
        std::string bytes;
        for (int i = 0; i < 3; ++i) {
            const uint32_t p = pixels[right_to_left ? 2 - i : i];
            bytes += {char(p & 0xFF), char((p >> 8) & 0xFF), char(p >> 16)}; // BGR
        }
        return bytes;
    };
    const struct {
        const char* name;
        uint8_t descriptor;
    } origins[] = {
        {"bottom_left", 0x00}, {"bottom_right", 0x10}, {"top_left", 0x20}, {"top_right", 0x30}};
    for (const auto& origin : origins) {
        const bool from_top = origin.descriptor & 0x20;
        const bool from_right = origin.descriptor & 0x10;
        std::string file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        file += u16(3) + u16(2) + std::string{24, char(origin.descriptor)};
        file += row(from_top ? top : bottom, from_right) + row(from_top ? bottom : top, from_right);
        const std::string path = dir.file(std::string(origin.name) + ".tga");
        test::write_file(path, file);
        const test::RgbImage image = test_image(read_file_as(path, kFormatTga));
        ASSERT_EQ(image.width, 3) << origin.name;
        ASSERT_EQ(image.height, 2) << origin.name;
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(test::pixel_value(image, x, 0), int(top[x])) << origin.name << " x " << x;
            EXPECT_EQ(test::pixel_value(image, x, 1), int(bottom[x])) << origin.name << " x " << x;
        }
        // What we write says where it starts: the top row first, marked as such.
        const std::string written = dir.file(std::string(origin.name) + "_out.tga");
        ASSERT_TRUE(write_file_as(written, layer_image(image), TargetFormat::Tga));
        const std::string bytes = test::read_file(written);
        ASSERT_GE(bytes.size(), 18u + 18u);
        EXPECT_EQ(uint8_t(bytes[17]) & 0x30, 0x20) << origin.name;
        EXPECT_EQ(bytes.substr(18 + uint8_t(bytes[0]), 9), row(top, false)) << origin.name;
    }
}

TEST(ReadPicture, JpegLayoutsThatTurboJpegRefusesAreDecodedAllTheSame) {
    TempDir dir;
    const std::string original = dir.file("original.ppm");
    test::run_command("/usr/bin/convert -size 64x48 gradient:red-blue " + test::quoted(original));
    // 4:1:0: chroma at a quarter of the width and half the height.
    const std::string path = dir.file("q50.410.jpeg");
    int status = -1;
    test::run_command("/usr/bin/cjpeg -sample 4x2,1x1,1x1 -quality 50 -outfile " +
                          test::quoted(path) + " " + test::quoted(original),
                      &status);
    ASSERT_EQ(status, 0);
    PictureSource source;
    ASSERT_TRUE(source.open(path));
    const std::optional<PictureSize> size = read_picture_size(source, kFormatJpeg);
    ASSERT_TRUE(size) << last_error();
    EXPECT_EQ(size->width, 64);
    EXPECT_EQ(size->height, 48);
    const RgbImage image = read_file_as(path, kFormatJpeg);
    ASSERT_FALSE(image.empty()) << last_error();
    const std::string expected = test::run_command("/usr/bin/djpeg -pnm " + test::quoted(path) +
                                                   " | tail -c " + std::to_string(64 * 48 * 3));
    ASSERT_EQ(expected.size(), image.byte_size());
    const test::RgbImage decoded = test_image(image);
    const test::RgbImage reference{64, 48, std::vector<uint8_t>(expected.begin(), expected.end())};
    EXPECT_LE(test::max_difference(decoded, reference), 8);
}

// --- Readers and writers --------------------------------------------------------------------

struct FormatCase {
    const char* extension;
    int code;
    TargetFormat format;
    int tolerance; // mean absolute difference allowed; 0 means exact
};

class RoundTrip : public testing::TestWithParam<FormatCase> {};

TEST_P(RoundTrip, WriterMakesAFileOthersReadBack) {
    TempDir dir;
    const std::string path = dir.file(std::string("out.") + GetParam().extension);
    const test::RgbImage expected = test::pattern_image(45, 31);
    ASSERT_TRUE(write_file_as(path, layer_image(expected), GetParam().format)) << last_error();
    const test::RgbImage decoded = test::read_rgb(path);
    if (GetParam().tolerance == 0)
        EXPECT_EQ(test::max_difference(decoded, expected), 0);
    else
        EXPECT_LT(test::mean_difference(decoded, expected), GetParam().tolerance);
    // Our own reader agrees with the other decoder.
    const RgbImage again = read_file_as(path, GetParam().code);
    EXPECT_EQ(test::max_difference(test_image(again), decoded), 0);
    EXPECT_EQ(test::folder_entries(dir.path()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         testing::Values(FormatCase{"jpg", kFormatJpeg, TargetFormat::Jpeg, 8},
                                         FormatCase{"bmp", kFormatBmp, TargetFormat::Bmp, 0},
                                         FormatCase{"png", kFormatPng, TargetFormat::Png, 0},
                                         FormatCase{"tif", kFormatTiff, TargetFormat::Tiff, 0},
                                         FormatCase{"tga", kFormatTga, TargetFormat::Tga, 0},
                                         FormatCase{"pcx", kFormatPcx, TargetFormat::Pcx, 0},
                                         FormatCase{"psd", kFormatPsd, TargetFormat::Psd, 0}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             return info.param.extension;
                         });

// Another program must accept what we write: ImageMagick's own command-line tools.
TEST(Writers, PsdAndTiffAreReadByImageMagickTools) {
    TempDir dir;
    const test::RgbImage expected = test::pattern_image(29, 19);
    for (const auto& [name, format, magick] : {std::tuple{"out.psd", TargetFormat::Psd, "PSD"},
                                               std::tuple{"out.tif", TargetFormat::Tiff, "TIFF"}}) {
        const std::string path = dir.file(name);
        ASSERT_TRUE(write_file_as(path, layer_image(expected), format));
        int status = -1;
        EXPECT_EQ(test::run_command("/usr/bin/identify -format '%m %w %h %z' " +
                                        test::quoted(path + "[0]"),
                                    &status),
                  std::string(magick) + " 29 19 8");
        EXPECT_EQ(status, 0);
        const std::string rgb =
            test::run_command("/usr/bin/convert " + test::quoted(path + "[0]") + " -depth 8 rgb:-");
        EXPECT_EQ(rgb, std::string(expected.pixels.begin(), expected.pixels.end())) << name;
    }
}

// --- Hostile and broken files -------------------------------------------------------------------

std::string png_declaring(uint32_t width, uint32_t height) {
    const std::string ihdr = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
    return std::string("\x89PNG\r\n\x1A\n", 8) + be32(13) + ihdr + be32(crc32(ihdr)) +
           std::string(64, '\0');
}

std::string bmp_declaring(uint32_t width, uint32_t height) {
    std::string bytes = "BM" + le32(54 + 64) + le32(0) + le32(54) + le32(40) + le32(width) +
                        le32(height) + std::string("\x01\0\x18\0", 4) + le32(0) + le32(0) +
                        le32(2835) + le32(2835) + le32(0) + le32(0);
    return bytes + std::string(64, '\x7F');
}

// A minimal strip TIFF whose first directory claims the size.
std::string tiff_declaring(uint32_t width, uint32_t height) {
    auto entry = [&](int tag, int type, uint32_t value) {
        return u16(tag) + u16(type) + le32(1) +
               (type == 3 ? u16(int(value)) + u16(0) : le32(value));
    };
    const uint32_t data_offset = 8 + 2 + 9 * 12 + 4;
    return std::string("II*\0", 4) + le32(8) + u16(9) + entry(256, 4, width) +
           entry(257, 4, height) + entry(258, 3, 8) + entry(259, 3, 1) + entry(262, 3, 2) +
           entry(273, 4, data_offset) + entry(277, 3, 3) + entry(278, 4, height) +
           entry(279, 4, 64) + le32(0) + std::string(64, '\x40');
}

// A real JPEG whose frame header is changed to claim another size.
std::string jpeg_declaring(const std::string& path, int width, int height) {
    test::make_jpeg(path, 16, 16);
    std::string bytes = test::read_file(path);
    const size_t sof = bytes.find("\xFF\xC0");
    EXPECT_NE(sof, std::string::npos);
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width);
    return bytes;
}

TEST(HostileHeaders, HugeDeclaredSizesAreRefusedFromTheHeader) {
    TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
        int code;
    } cases[] = {
        {"huge.jpg", jpeg_declaring(dir.file("small.jpg"), 65500, 65500), kFormatJpeg},
        {"huge.png", png_declaring(65500, 65500), kFormatPng},
        {"huge.bmp", bmp_declaring(65500, 65500), kFormatBmp},
        {"wide.png", png_declaring(1000000, 1), kFormatPng},
        {"huge.tif", tiff_declaring(65500, 65500), kFormatTiff},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        test::write_file(path, c.bytes);
        PictureSource source;
        ASSERT_TRUE(source.open(path));
        EXPECT_EQ(read_picture_size(source, c.code), std::nullopt) << c.name;
        EXPECT_EQ(last_error(), kTooLarge) << c.name;
        EXPECT_TRUE(read_picture(source, c.code).empty()) << c.name;
        EXPECT_EQ(last_error(), kTooLarge) << c.name;
    }
}

TEST(HostileHeaders, ZeroSizesAreRefused) {
    TempDir dir;
    const std::string path = dir.file("zero.jpg");
    test::write_file(path, jpeg_declaring(dir.file("small.jpg"), 0, 16));
    EXPECT_TRUE(read_file_as(path, kFormatJpeg).empty());
    EXPECT_NE(last_error(), kNoError);
    const std::string png = dir.file("zero.png");
    test::write_file(png, png_declaring(0, 10));
    EXPECT_TRUE(read_file_as(png, kFormatPng).empty());
    EXPECT_NE(last_error(), kNoError);
}

// Every reader, every cut: never a crash, never a damaged picture. A file cut in its
// pixels fails; one cut only in trailing parts (a PSD's composite when its layer holds the
// picture, TIFF fields after the pixels) may still give the whole picture.
TEST(BrokenFiles, TruncatedFilesOfEveryFormatFailOrGiveTheWholePicture) {
    TempDir dir;
    const std::pair<const char*, int> formats[] = {
        {"jpg", kFormatJpeg}, {"png", kFormatPng}, {"bmp", kFormatBmp}, {"tif", kFormatTiff},
        {"psd", kFormatPsd},  {"tga", kFormatTga}, {"pcx", kFormatPcx}};
    const test::RgbImage original = test::pattern_image(40, 30);
    for (const auto& [extension, code] : formats) {
        const std::string whole = dir.file(std::string("whole.") + extension);
        test::make_picture(whole, 40, 30);
        const std::string bytes = test::read_file(whole);
        for (double fraction : {0.0, 0.05, 0.5, 0.9, 0.99}) {
            const std::string cut = dir.file(std::string("cut.") + extension);
            test::write_file(cut, bytes.substr(0, size_t(bytes.size() * fraction)));
            const RgbImage image = read_file_as(cut, code);
            if (fraction <= 0.5) {
                EXPECT_TRUE(image.empty()) << extension << " " << fraction;
            }
            if (image.empty()) {
                EXPECT_NE(last_error(), kNoError) << extension << " " << fraction;
            } else {
                EXPECT_EQ(test::max_difference(test_image(image), original), 0)
                    << extension << " " << fraction;
            }
        }
    }
}

TEST(BrokenFiles, ScriptsNamedAsPicturesAreNotRun) {
    TempDir dir;
    const std::string marker = dir.file("ran");
    const std::string path = dir.file("evil.png");
    test::write_file(path, "push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 1,1 '|touch " +
                               marker + "'\npop graphic-context\n");
    EXPECT_TRUE(read_file_as(path, kFormatPng).empty());
    EXPECT_NE(last_error(), kNoError);
    EXPECT_TRUE(read_file_as(path, kFormatTga).empty());
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);
}

// --- Reduced-scale JPEG decode ---------------------------------------------------------------

TEST(JpegScaling, DecodesAtTheSmallestScaleCoveringTheMinimum) {
    TempDir dir;
    const std::string path = dir.file("in.jpg");
    test::make_jpeg(path, 800, 600);
    const struct {
        PictureSize min;
        PictureSize expected;
    } cases[] = {
        {{0, 0}, {800, 600}},    {{100, 75}, {100, 75}},   {{101, 10}, {200, 150}},
        {{10, 300}, {400, 300}}, {{700, 500}, {700, 525}}, {{900, 10}, {800, 600}},
    };
    for (const auto& c : cases) {
        const RgbImage image = read_file_as(path, kFormatJpeg, c.min);
        EXPECT_EQ((PictureSize{image.width(), image.height()}), c.expected)
            << c.min.width << "x" << c.min.height;
    }
}

// --- Source and target handles ----------------------------------------------------------------

TEST(PictureTargetFile, NothingAppearsUntilCommitAndNothingIsLeftWithout) {
    TempDir dir;
    const std::string path = dir.file("out.bin");
    {
        PictureTarget target;
        ASSERT_TRUE(target.open(path));
        ASSERT_TRUE(target.write({reinterpret_cast<const uint8_t*>("abc"), 3}));
        EXPECT_FALSE(::access(path.c_str(), F_OK) == 0);
    }
    EXPECT_TRUE(test::folder_entries(dir.path()).empty());
}

TEST(PictureTargetFile, CommitReplacesTheFileAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir.file("out.bin");
    test::write_file(path, "old contents");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    PictureTarget target;
    ASSERT_TRUE(target.open(path));
    ASSERT_TRUE(target.write({reinterpret_cast<const uint8_t*>("new"), 3}));
    ASSERT_TRUE(target.commit());
    EXPECT_EQ(test::read_file(path), "new");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(test::folder_entries(dir.path()).size(), 1u);
}

// --- Pixel operations -------------------------------------------------------------------------

TEST(PixelOperations, CropChecksItsRectangle) {
    const RgbImage image = layer_image(test::pattern_image(20, 10));
    EXPECT_TRUE(crop(image, 5, 5, 0, 3).empty());
    EXPECT_EQ(last_error(), kEmptyPicture);
    EXPECT_TRUE(crop(image, 15, 0, 6, 3).empty());
    EXPECT_EQ(last_error(), kBadArgument);
    EXPECT_TRUE(crop(image, -1, 0, 2, 2).empty());
    const RgbImage cut = crop(image, 19, 9, 1, 1);
    ASSERT_FALSE(cut.empty());
    EXPECT_TRUE(std::equal(cut.data(), cut.data() + 3, image.row(9) + 19 * 3));
}

TEST(PixelOperations, OverlayIsClippedToTheBase) {
    RgbImage base = RgbImage::allocate(6, 4);
    fill_solid(base, 0x00332211);
    EXPECT_EQ(base.row(3)[5 * 3], 0x11);
    EXPECT_EQ(base.row(3)[5 * 3 + 2], 0x33);
    RgbImage white = RgbImage::allocate(4, 4);
    fill_solid(white, 0xFFFFFF);
    overlay(base, white, 4, -2);
    overlay(base, white, -10, 0); // entirely outside
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(base.row(y)[x * 3], (x >= 4 && y < 2) ? 0xFF : 0x11) << x << "," << y;
}

TEST(PixelOperations, ResizeKeepsPixelsAtScaleOneAndFlatAreasFlat) {
    const test::RgbImage original = test::pattern_image(31, 17);
    const RgbImage same = resize(layer_image(original), 31, 17);
    EXPECT_EQ(test::max_difference(test_image(same), original), 0);
    RgbImage grey = RgbImage::allocate(50, 40);
    fill_solid(grey, 0x808080);
    const RgbImage smaller = resize(grey, 7, 3);
    ASSERT_EQ(smaller.width(), 7);
    for (size_t i = 0; i < smaller.byte_size(); ++i)
        ASSERT_EQ(smaller.data()[i], 0x80);
    EXPECT_TRUE(resize(grey, 0, 3).empty());
    EXPECT_EQ(last_error(), kEmptyPicture);
}

// The resampler against ImageMagick's Lanczos-3 on the same pixels: shrinking by odd
// factors, enlarging, a one-pixel strip and everything into one pixel. The two round
// differently, by at most one level.
TEST(PixelOperations, ResizeAgreesWithLanczosOfImageMagick) {
    TempDir dir;
    const struct {
        int width, height, new_width, new_height;
    } cases[] = {
        {300, 200, 97, 61}, {45, 31, 128, 90}, {240, 1, 37, 1}, {64, 48, 1, 1}, {200, 150, 3, 149},
    };
    for (const auto& c : cases) {
        const std::string label = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                  " to " + std::to_string(c.new_width) + "x" +
                                  std::to_string(c.new_height);
        const test::RgbImage original = test::pattern_image(c.width, c.height);
        const std::string path = dir.file("original.png");
        test::write_picture(path, original);
        int status = -1;
        const std::string expected =
            test::run_command("/usr/bin/convert " + test::quoted(path) +
                                  " -filter Lanczos -resize " + std::to_string(c.new_width) + "x" +
                                  std::to_string(c.new_height) + "! -depth 8 rgb:-",
                              &status);
        ASSERT_EQ(status, 0) << label;
        const RgbImage resized = resize(layer_image(original), c.new_width, c.new_height);
        ASSERT_EQ(resized.width(), c.new_width) << label;
        ASSERT_EQ(resized.height(), c.new_height) << label;
        const test::RgbImage reference{c.new_width, c.new_height,
                                       std::vector<uint8_t>(expected.begin(), expected.end())};
        EXPECT_LT(test::mean_difference(test_image(resized), reference), 0.6) << label;
        EXPECT_LE(test::max_difference(test_image(resized), reference), 1) << label;
    }
}

// What goes the way of a picture kept whole: only what 24-bit RGB in the target format
// would lose. ImageMagick's header read does not report a TIFF's alpha channel.
struct FullCase {
    const char* name;
    const char* extension;
    int depth;
    bool alpha;
    const char* compression;
    TargetFormat target;
    bool needed;
};

class NeedsFullPicture : public testing::TestWithParam<FullCase> {};

TEST_P(NeedsFullPicture, OnlyWhenRgbWouldLoseSomething) {
    const FullCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(std::string("picture.") + c.extension);
    test::write_deep_picture(path, test::deep_pattern(8, 6, c.alpha), c.depth, c.alpha,
                             c.compression);
    PictureSource source;
    ASSERT_TRUE(source.open(path));
    const int code = guess_file_type(source);
    source.seek(0);
    EXPECT_EQ(needs_full_picture(source, code, c.target), c.needed);
    EXPECT_EQ(last_error(), kNoError);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NeedsFullPicture,
    testing::Values(FullCase{"PlainPng", "png", 8, false, "", TargetFormat::Png, false},
                    FullCase{"Png16", "png", 16, false, "", TargetFormat::Png, true},
                    FullCase{"Png16ToBmp", "png", 16, false, "", TargetFormat::Bmp, false},
                    FullCase{"PngAlphaToJpeg", "png", 8, true, "", TargetFormat::Jpeg, false},
                    FullCase{"TiffAlphaToBmp", "tif", 8, true, "None", TargetFormat::Bmp, true},
                    FullCase{"TiffAlphaToTga", "tif", 8, true, "None", TargetFormat::Tga, false},
                    FullCase{"TiffLzw", "tif", 8, false, "LZW", TargetFormat::Tiff, true},
                    FullCase{"TiffLzwToPng", "tif", 8, false, "LZW", TargetFormat::Png, false},
                    FullCase{"PlainTiff", "tif", 8, false, "None", TargetFormat::Tiff, false},
                    FullCase{"PlainBmp", "bmp", 8, false, "", TargetFormat::Bmp, false},
                    FullCase{"BmpAlpha", "bmp", 8, true, "", TargetFormat::Bmp, true}),
    [](const testing::TestParamInfo<FullCase>& info) { return std::string(info.param.name); });

TEST(FullPictureOperations, RefuseWhatTheRgbOperationsRefuse) {
    TempDir dir;
    const std::string path = dir.file("picture.png");
    test::write_deep_picture(path, test::deep_pattern(8, 6, true), 16, true);
    PictureSource source;
    ASSERT_TRUE(source.open(path));
    FullPicture picture = read_full_picture(source, kFormatPng);
    ASSERT_FALSE(picture.empty());
    EXPECT_FALSE(picture.crop(4, 0, 5, 6));
    EXPECT_EQ(last_error(), kBadArgument);
    EXPECT_FALSE(picture.crop(0, 0, 0, 6));
    EXPECT_EQ(last_error(), kEmptyPicture);
    EXPECT_FALSE(picture.quick_rotate(3));
    EXPECT_EQ(last_error(), kBadArgument);
    EXPECT_EQ(picture.width(), 8);
    EXPECT_EQ(picture.height(), 6);

    FullPicture none;
    EXPECT_FALSE(none.flip_horizontal());
    EXPECT_EQ(last_error(), kEmptyPicture);
    PictureTarget target;
    ASSERT_TRUE(target.open(dir.file("out.png")));
    EXPECT_FALSE(none.write(target, TargetFormat::Png));
    EXPECT_FALSE(picture.write(target, TargetFormat::Jpeg));
    EXPECT_EQ(last_error(), kBadArgument);
}

TEST(FullPictureOperations, ADamagedFileIsNoPicture) {
    TempDir dir;
    const std::string path = dir.file("picture.tif");
    test::write_deep_picture(path, test::deep_pattern(64, 48, true), 16, true, "None");
    std::string bytes = test::read_file(path);
    test::write_file(path, bytes.substr(0, bytes.size() / 3));
    PictureSource source;
    ASSERT_TRUE(source.open(path));
    EXPECT_TRUE(read_full_picture(source, kFormatTiff).empty());
    EXPECT_NE(last_error(), kNoError);
}

} // namespace
} // namespace orvix::picture
