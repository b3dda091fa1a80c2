// Inputs the fuzzer (fuzz/convert_image3_fuzz.cpp) found or led to, each named after the
// fault it showed.
#include "fs/fs.h"
#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace orvix {
namespace {

using test::TempDir;

int64_t peak_memory_kb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Where the segment with the given marker starts (its 0xFF), walking from SOI.
size_t segment_offset(const std::string& jpeg, bool (*wanted)(uint8_t marker)) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
        if (wanted(uint8_t(jpeg[at + 1])))
            return at;
        at += 2 + size_t(uint8_t(jpeg[at + 2]) << 8 | uint8_t(jpeg[at + 3]));
    }
    return std::string::npos;
}

bool frame_marker(uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool scan_marker(uint8_t m) {
    return m == 0xDA;
}

// The JPEG with its frame header declaring width x height and only `kept` bytes of its
// first scan left.
std::string declaring_size(std::string jpeg, int width, int height, size_t kept) {
    const size_t frame = segment_offset(jpeg, frame_marker);
    const size_t scan = segment_offset(jpeg, scan_marker);
    if (frame == std::string::npos || scan == std::string::npos)
        return {};
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width);
    const size_t scan_header = size_t(uint8_t(jpeg[scan + 2]) << 8 | uint8_t(jpeg[scan + 3]));
    return jpeg.substr(0, scan + 2 + scan_header + kept);
}

// A few hundred bytes whose header declares hundreds of megapixels: libjpeg would make up
// the missing data and fill (or, progressive and for lossless transforms, pre-clear)
// gigabytes before noticing. Each coding is refused with little memory.
TEST(HostileJpeg, TruncatedFileDeclaringHugeSizeTakesNoMemory) {
    TempDir dir;
    const std::string plain = dir.file("plain.jpg");
    test::make_jpeg(plain, 64, 48);
    const struct {
        const char* name;
        const char* recode; // jpegtran options, or "" for the baseline file itself
        int side;
    } cases[] = {
        {"baseline", "", 20000},
        {"progressive", "-progressive", 20000},
        {"arithmetic", "-arithmetic", 15000},
    };
    for (const auto& c : cases) {
        std::string source_bytes = test::read_file(plain);
        if (*c.recode) {
            const std::string recoded = dir.file(std::string(c.name) + "-whole.jpg");
            int status = -1;
            test::run_command(std::string("/usr/bin/jpegtran ") + c.recode + " -outfile " +
                                  test::quoted(recoded) + " " + test::quoted(plain),
                              &status);
            ASSERT_EQ(status, 0) << c.name;
            source_bytes = test::read_file(recoded);
            ::unlink(recoded.c_str());
        }
        const std::string source = dir.file(std::string(c.name) + ".jpg");
        const std::string hostile = declaring_size(source_bytes, c.side, c.side, 100);
        ASSERT_FALSE(hostile.empty()) << c.name;
        test::write_file(source, hostile);

        const int64_t before = peak_memory_kb();
        EXPECT_NE(
            convert_image3(source, dir.file("out.bmp"), "", "", false, 90, 0, false, "", "", 0), 0)
            << c.name;
        EXPECT_NE(convert_image3(source, dir.file("thumb.jpg"), "", "100", false, 100, 0, false, "",
                                 "", 0),
                  0)
            << c.name;
        EXPECT_NE(jpeg_lossless_transform(source, dir.file("turned.jpg"), 5), 0) << c.name;
        (void)get_image_size(source);
        // Filling the declared size would take at least 675 MB; the allowance leaves room
        // for the shadow memory of a sanitizer build (an eighth of what is allocated).
        EXPECT_LT(peak_memory_kb() - before, 300 * 1024) << c.name;
        EXPECT_EQ(test::folder_entries(dir.path()).size(), 2u) << c.name; // plain and source
        ::unlink(source.c_str());
    }
}

// Huffman coding needs a bit a block at least: a file too short for its declared size is
// cut off, and its size is not reported as a decode's would not be.
TEST(HostileJpeg, FileTooShortForItsDeclaredSizeIsRefused) {
    TempDir dir;
    const std::string plain = dir.file("plain.jpg");
    test::make_jpeg(plain, 64, 48);
    const std::string source = dir.file("short.jpg");
    test::write_file(source, declaring_size(test::read_file(plain), 37, 32791, 100));
    EXPECT_EQ(get_image_size(source), "ERROR");
    EXPECT_EQ(convert_image3(source, dir.file("out.tif"), "", "", false, 90, 0, false, "", "", 0),
              picture::kDecodeFailed);
}

// A file of many small segments before its frame (a hostile one, or one a faulty tool
// wrote) is read and turned whole, each segment kept in its place. Every walk over the
// segments is one pass; libjpeg's own copy of them took minutes for such a file.
TEST(HostileJpeg, ManySmallSegmentsBeforeTheFrameAreReadAndKeptByATurn) {
    TempDir dir;
    const std::string source = dir.file("segments.jpg");
    test::make_jpeg(source, 64, 48);
    constexpr size_t kSegments = 100000;
    test::add_small_segments(source, kSegments);
    const std::string metadata = test::other_metadata(source);
    ASSERT_EQ(metadata.size(), kSegments * 8);

    EXPECT_EQ(get_image_size(source), "64,48");
    const std::string thumb = dir.file("thumb.jpg");
    ASSERT_EQ(convert_image3(source, thumb, "", "100", false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(get_image_size(thumb), "100,75");

    const std::string turned = dir.file("turned.jpg"), theirs = dir.file("theirs.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, turned, 5), 0);
    int status = -1;
    test::run_command("/usr/bin/jpegtran -rotate 90 -copy none -outfile " + test::quoted(theirs) +
                          " " + test::quoted(source),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(test::max_difference(test::read_rgb(turned), test::read_rgb(theirs)), 0);
    // Compared whole, printed by size: a failure would print megabytes.
    const std::string kept = test::other_metadata(turned);
    EXPECT_TRUE(kept == metadata) << kept.size() << " bytes of segments";

    ASSERT_EQ(convert_image3(source, source, "", "", false, 100, 0, false, "", "", 7), 0);
    EXPECT_EQ(get_image_size(source), "48,64");
    EXPECT_TRUE(test::other_metadata(source) == metadata);
}

// A JPEG made by make_jpeg, recoded by jpegtran with the given options ("" for none).
std::string jpeg_bytes(const TempDir& dir, int width, int height, const std::string& recode) {
    const std::string path = dir.file("made.jpg");
    test::make_jpeg(path, width, height);
    if (!recode.empty()) {
        int status = -1;
        test::run_command("/usr/bin/jpegtran " + recode + " -copy all -outfile " +
                              test::quoted(path) + " " + test::quoted(path),
                          &status);
        EXPECT_EQ(status, 0) << recode;
    }
    std::string bytes = test::read_file(path);
    ::unlink(path.c_str());
    return bytes;
}

// A camera file cut short by no more than its final EOI marker holds every pixel: it is
// read whole, as djpeg and every viewer read it, gets its thumbnail, and every edit works
// on it, the lossless turn too.
class WithoutItsEndMarker : public testing::TestWithParam<const char*> {};

TEST_P(WithoutItsEndMarker, IsReadWholeAndEveryEditWorks) {
    TempDir dir;
    const std::string whole = dir.file("whole.jpg"), cut = dir.file("cut.jpg");
    const std::string bytes = jpeg_bytes(dir, 640, 480, GetParam());
    test::write_file(whole, bytes);
    test::write_file(cut, bytes.substr(0, bytes.size() - 2));

    const std::string thumb = dir.file("thumb.jpg");
    ASSERT_EQ(convert_image3(cut, thumb, "", "100", false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(get_image_size(thumb), "100,75");

    const std::string ours = dir.file("ours.bmp"), djpeg = dir.file("djpeg.bmp");
    ASSERT_EQ(convert_image3(cut, ours, "", "", false, 100, 0, false, "", "", 0), 0);
    test::run_command("/usr/bin/djpeg -bmp -outfile " + test::quoted(djpeg) + " " +
                      test::quoted(whole));
    EXPECT_EQ(test::max_difference(test::read_rgb(ours), test::read_rgb(djpeg)), 0);

    const std::string turned = dir.file("turned.jpg"), jpegtran = dir.file("jpegtran.jpg");
    ASSERT_EQ(jpeg_lossless_transform(cut, turned, 5), 0);
    int status = -1;
    test::run_command("/usr/bin/jpegtran -rotate 90 -copy none -outfile " + test::quoted(jpegtran) +
                          " " + test::quoted(whole),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(test::max_difference(test::read_rgb(turned), test::read_rgb(jpegtran)), 0);

    ASSERT_EQ(convert_image3(cut, cut, "", "", false, 100, 0, false, "", "", 7), 0);
    EXPECT_EQ(get_image_size(cut), "480,640");
}

INSTANTIATE_TEST_SUITE_P(Codings, WithoutItsEndMarker, testing::Values("", "-progressive"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(*info.param ? "Progressive" : "Baseline");
                         });

// A file that lacks part of its pixels is refused, as a cut file of any other format is:
// no thumbnail, conversion or edit makes up the missing part in grey and calls it the
// picture (the viewer alone shows what is there). That covers a cut inside the scan, a
// damaged scan, and an arithmetic-coded file without its end marker, which libjpeg cannot
// tell from one cut inside its data.
TEST(CutShortJpeg, AFileMissingPartOfItsPixelsIsRefusedAndLeftAsItIs) {
    TempDir dir;
    const std::string baseline = jpeg_bytes(dir, 640, 480, "");
    const std::string progressive = jpeg_bytes(dir, 640, 480, "-progressive");
    const std::string arithmetic = jpeg_bytes(dir, 640, 480, "-arithmetic");
    std::string damaged = baseline;
    const size_t scan = segment_offset(baseline, scan_marker);
    ASSERT_NE(scan, std::string::npos);
    // Restart markers where none are declared break the entropy data.
    for (size_t at = scan + 40; at + 100 < damaged.size(); at += 997) {
        damaged[at] = '\xFF';
        damaged[at + 1] = '\xD3';
    }
    const std::pair<const char*, std::string> files[] = {
        {"BaselineCutInItsScan", baseline.substr(0, baseline.size() * 2 / 3)},
        {"BaselineCutInItsLastBytes", baseline.substr(0, baseline.size() - 4)},
        {"ProgressiveCutInItsScans", progressive.substr(0, progressive.size() * 2 / 3)},
        {"ArithmeticWithoutItsEndMarker", arithmetic.substr(0, arithmetic.size() - 2)},
        {"DamagedScan", damaged},
        {"CutBeforeItsScan", baseline.substr(0, scan)},
    };
    for (const auto& [name, contents] : files) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("cut.jpg");
        test::write_file(path, contents);
        EXPECT_NE(
            convert_image3(path, dir.file("thumb.jpg"), "", "100", false, 100, 0, false, "", "", 0),
            0);
        EXPECT_NE(jpeg_lossless_transform(path, dir.file("turned.jpg"), 5), 0);
        EXPECT_NE(convert_image3(path, path, "", "", false, 100, 0, false, "", "", 7), 0);
        EXPECT_EQ(test::read_file(path), contents);
        EXPECT_EQ(test::folder_entries(dir.path()).size(), 1u);
    }
}

// ImageMagick 6 does not throw when asked to make an image beyond its size limits from our
// pixels: an assertion ends the whole process. Such pictures are refused before.
TEST(HostileJpeg, PictureBeyondImageMagickLimitsIsRefusedNotAborted) {
    TempDir dir;
    for (const auto& [width, height] : {std::pair{40000, 8}, std::pair{8, 40000}}) {
        const std::string source = dir.file("long.jpg");
        test::make_jpeg(source, width, height);
        for (const char* extension : {"tif", "bmp", "psd", "tga", "pcx"}) {
            const std::string target = dir.file(std::string("out.") + extension);
            EXPECT_EQ(convert_image3(source, target, "", "", false, 90, 0, false, "", "", 0),
                      picture::kTooLarge)
                << width << "x" << height << " " << extension;
            EXPECT_FALSE(file_exists(target)) << extension;
        }
        // JPEG and PNG are written without ImageMagick and take it.
        for (const char* extension : {"jpg", "png"})
            EXPECT_EQ(convert_image3(source, dir.file(std::string("out.") + extension), "", "",
                                     false, 90, 0, false, "", "", 0),
                      0)
                << extension;
    }
}

std::string le16(int value) {
    return {char(value & 0xFF), char((value >> 8) & 0xFF)};
}

std::string le32(uint32_t value) {
    return le16(int(value & 0xFFFF)) + le16(int(value >> 16));
}

// A placeable metafile with the given box (in units of 1/96 inch): a grey rectangle.
std::string metafile(int left, int top, int right, int bottom) {
    const int words[] = {0xCDD7, 0x9AC6, 0, left, top, right, bottom, 96, 0, 0};
    int checksum = 0;
    std::string bytes;
    for (int word : words) {
        checksum ^= word & 0xFFFF;
        bytes += le16(word);
    }
    bytes += le16(checksum);
    bytes += le16(1) + le16(9) + le16(0x0300) + le32(40) + le16(1) + le32(7) + le16(0);
    auto record = [&](uint32_t size, int function, std::initializer_list<int> parameters) {
        bytes += le32(size) + le16(function);
        for (int p : parameters)
            bytes += le16(p);
    };
    record(5, 0x020B, {0, 0});
    record(5, 0x020C, {60, 100});
    record(7, 0x02FC, {0, 0x8080, 0x0080, 0});
    record(4, 0x012D, {0});
    record(7, 0x041B, {50, 90, 10, 10});
    record(3, 0x0000, {});
    return bytes;
}

// A metafile whose box makes a picture taller than ImageMagick allows: its reader fails
// there without freeing its state (about 23 KB a file). Such sizes are refused from the
// ping, before the reader runs.
TEST(HostileMetafile, BoxBeyondImageMagickLimitsIsRefusedBeforeTheReaderLeaks) {
    TempDir dir;
    const std::string fine = dir.file("fine.dat"), tall = dir.file("tall.dat");
    test::write_file(fine, metafile(0, 0, 100, 60));
    test::write_file(tall, metafile(0, 0x6000, 100, 60)); // upside down: 24516 units high
    EXPECT_EQ(get_image_size(fine), "75,45");
    EXPECT_EQ(convert_image3(fine, dir.file("fine.bmp"), "", "", false, 90, 0, false, "", "", 0),
              0);
    EXPECT_EQ(get_image_size(tall), "ERROR");
    EXPECT_EQ(convert_image3(tall, dir.file("tall.bmp"), "", "", false, 90, 0, false, "", "", 0),
              picture::kTooLarge);
    EXPECT_FALSE(file_exists(dir.file("tall.bmp")));
}

} // namespace
} // namespace orvix
