// The EXIF block after a turn, a flip, a crop or a resize of a JPEG: no viewer may turn
// the picture a second time, and every other marker stays as it was.
#include "helpers.h"
#include "imaging/imaging.h"
#include "support/exif.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::ExifFields;
using test::TempDir;

// Inserts a segment right after SOI.
void add_segment(const std::string& path, char marker, const std::string& body) {
    const std::string jpeg = test::read_file(path);
    const size_t length = body.size() + 2;
    test::write_file(path, jpeg.substr(0, 2) + '\xFF' + marker + char(length >> 8) +
                               char(length & 0xFF) + body + jpeg.substr(2));
}

// A camera picture: EXIF with orientation 6, its pixel dimensions and a thumbnail, then
// an XMP block, a colour profile and a comment that must survive untouched.
std::string camera_picture(const TempDir& dir, const std::string& name, int width, int height,
                           bool little_endian) {
    const std::string path = dir.file(name);
    test::make_jpeg(path, width, height);
    add_segment(path, '\xFE', "taken on holiday");
    add_segment(path, '\xE2', std::string("ICC_PROFILE\0\x01\x01", 14) + "profile bytes");
    add_segment(path, '\xE1',
                std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                    "<x:xmpmeta tiff:Orientation=\"6\"/>");
    test::add_exif(path, ExifFields{6, width, height, true}, little_endian);
    return path;
}

std::string identify(const std::string& format, const std::string& path) {
    return test::run_command("/usr/bin/identify -format '" + format + "' " + test::quoted(path) +
                             " 2>/dev/null");
}

// The tags as exiftool, a reader of its own, sees them: one "Name: value" line each, numbers
// as stored; a missing tag gives no line.
std::string exiftool_tags(const std::string& path) {
    return test::run_command("/usr/bin/exiftool -n -S -Orientation -ExifImageWidth "
                             "-ExifImageHeight -ThumbnailLength " +
                             test::quoted(path) + " 2>&1");
}

struct TurnCase {
    const char* name;
    int code;
    const char* jpegtran;
    bool little_endian;
};

class LosslessExif : public testing::TestWithParam<TurnCase> {};

TEST_P(LosslessExif, OrientationOneSizesOfTheResultThumbnailGoneRestUntouched) {
    const TurnCase& c = GetParam();
    TempDir dir;
    const std::string source = camera_picture(dir, "camera.jpg", 200, 120, c.little_endian);
    const std::string ours = dir.file("ours.jpg"), theirs = dir.file("theirs.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, ours, int16_t(c.code)), 0);
    int status = -1;
    test::run_command(std::string("/usr/bin/jpegtran ") + c.jpegtran +
                          " -trim -copy all -outfile " + test::quoted(theirs) + " " +
                          test::quoted(source),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(test::max_difference(test::read_rgb(ours), test::read_rgb(theirs)), 0);

    const std::string size = get_image_size(ours);
    const int width = std::stoi(size), height = std::stoi(size.substr(size.find(',') + 1));
    EXPECT_EQ(test::read_exif(ours), (ExifFields{1, width, height, false}));
    EXPECT_EQ(identify("%[EXIF:Orientation]", ours), "1");
    EXPECT_EQ(test::other_metadata(ours), test::other_metadata(source));
    EXPECT_NE(test::other_metadata(ours).find("taken on holiday"), std::string::npos);
    // The thumbnail ended the block, so its bytes went with it.
    EXPECT_LT(test::read_file(ours).size(), test::read_file(theirs).size());
}

INSTANTIATE_TEST_SUITE_P(Codes, LosslessExif,
                         testing::Values(TurnCase{"Rotate90", 5, "-rotate 90", false},
                                         TurnCase{"Rotate180", 6, "-rotate 180", false},
                                         TurnCase{"Rotate270", 7, "-rotate 270", false},
                                         TurnCase{"FlipHorizontal", 1, "-flip horizontal", false},
                                         TurnCase{"FlipVertical", 2, "-flip vertical", false},
                                         TurnCase{"Rotate90LittleEndian", 5, "-rotate 90", true}),
                         [](const testing::TestParamInfo<TurnCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(LosslessExif, QuarterTurnsExchangeThePixelDimensions) {
    TempDir dir;
    const std::string source = camera_picture(dir, "camera.jpg", 320, 160, false);
    ASSERT_EQ(jpeg_lossless_transform(source, source, 5), 0);
    EXPECT_EQ(test::read_exif(source), (ExifFields{1, 160, 320, false}));
    EXPECT_EQ(identify("%[EXIF:PixelXDimension]x%[EXIF:PixelYDimension]", source), "160x320");
}

// Some cameras leave stray bytes between segments. libjpeg passes over them, and the turn
// keeps the EXIF block behind them and brings it in line.
TEST(LosslessExif, ABlockBehindStrayBytesIsKeptAndBroughtInLine) {
    TempDir dir;
    const std::string source = dir.file("stray.jpg");
    test::make_jpeg(source, 64, 48);
    test::add_exif(source, ExifFields{6, 64, 48, true});
    const std::string jpeg = test::read_file(source);
    test::write_file(source, jpeg.substr(0, 2) + std::string("\0\x01\x02", 3) + jpeg.substr(2));
    const std::string turned = dir.file("turned.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, turned, 5), 0);
    EXPECT_EQ(test::read_exif(turned), (ExifFields{1, 48, 64, false}));
    EXPECT_EQ(exiftool_tags(turned), "Orientation: 1\nExifImageWidth: 48\nExifImageHeight: 64\n");
}

TEST(ReencodedExif, ATurnInPlaceKeepsTheMetadataBroughtInLine) {
    TempDir dir;
    const std::string path = camera_picture(dir, "camera.jpg", 200, 120, false);
    const std::string others = test::other_metadata(path);
    ASSERT_EQ(convert_image3(path, path, "", "", false, 100, 0, false, "", "", 5), 0);
    EXPECT_EQ(get_image_size(path), "120,200");
    EXPECT_EQ(test::read_exif(path), (ExifFields{1, 120, 200, false}));
    EXPECT_EQ(test::other_metadata(path), others);
}

TEST(ReencodedExif, ACropOrResizeInPlaceKeepsTheOrientationAndTakesTheNewSize) {
    TempDir dir;
    const std::string path = camera_picture(dir, "camera.jpg", 200, 120, true);
    ASSERT_EQ(convert_image3(path, path, "10,10,110,60", "", false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(test::read_exif(path), (ExifFields{6, 100, 50, false}));
    ASSERT_EQ(convert_image3(path, path, "", "50", false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(test::read_exif(path), (ExifFields{6, 50, 25, false}));
}

TEST(ReencodedExif, ANewFileMadeFromAPictureCarriesNoMetadata) {
    TempDir dir;
    const std::string path = camera_picture(dir, "camera.jpg", 200, 120, false);
    const std::string thumb = dir.file("thumb.jpg"), bmp = dir.file("copy.bmp");
    ASSERT_EQ(convert_image3(path, thumb, "", "100", false, 100, 0, false, "", "", 5), 0);
    EXPECT_FALSE(test::read_exif(thumb));
    EXPECT_EQ(test::other_metadata(thumb), "");
    ASSERT_EQ(convert_image3(path, bmp, "", "", false, 100, 0, false, "", "", 0), 0);
    // And a BMP edited in place stays a plain BMP.
    ASSERT_EQ(convert_image3(bmp, bmp, "", "", false, 100, 0, false, "", "", 5), 0);
    EXPECT_EQ(get_image_size(bmp), "120,200");
}

struct TypeCase {
    const char* name;
    test::ExifType type;
    bool little_endian;
};

// Every integer tag of the block in one type and byte order. The 8-bit types cannot hold
// the thumbnail's length, so those blocks have none.
class ExifIntegerTypes : public testing::TestWithParam<TypeCase> {
protected:
    bool wide() const {
        return GetParam().type != test::ExifType::Byte &&
               GetParam().type != test::ExifType::SignedByte;
    }
    std::string picture(const TempDir& dir) const {
        const std::string path = dir.file("camera.jpg");
        test::make_jpeg(path, 64, 48);
        test::add_exif(path, ExifFields{6, 64, 48, wide()},
                       test::ExifLayout{GetParam().little_endian, GetParam().type});
        return path;
    }
};

TEST_P(ExifIntegerTypes, ALosslessTurnResetsTheOrientationAndExchangesTheDimensions) {
    TempDir dir;
    const std::string source = picture(dir);
    const std::string before = exiftool_tags(source);
    ASSERT_EQ(before.rfind("Orientation: 6\nExifImageWidth: 64\nExifImageHeight: 48\n", 0), 0u)
        << before;
    ASSERT_EQ(before.find("ThumbnailLength: ") != std::string::npos, wide()) << before;
    const std::string turned = dir.file("turned.jpg");
    ASSERT_EQ(jpeg_lossless_transform(source, turned, 5), 0);
    EXPECT_EQ(exiftool_tags(turned), "Orientation: 1\nExifImageWidth: 48\nExifImageHeight: 64\n");
    EXPECT_EQ(test::read_exif(turned), (ExifFields{1, 48, 64, false}));
}

TEST_P(ExifIntegerTypes, AReencodedTurnResetsTheOrientationAndAResizeWritesSizesTheTypeCannotHold) {
    TempDir dir;
    const std::string path = picture(dir);
    ASSERT_EQ(convert_image3(path, path, "", "", false, 100, 0, false, "", "", 7), 0);
    EXPECT_EQ(exiftool_tags(path), "Orientation: 1\nExifImageWidth: 48\nExifImageHeight: 64\n");
    // 400 x 533 is beyond every 8-bit type and a signed SHORT's 32767 is not reached: the
    // narrow entries become LONGs, the others keep their type.
    ASSERT_EQ(convert_image3(path, path, "", "400", false, 100, 0, false, "", "", 0), 0);
    EXPECT_EQ(exiftool_tags(path), "Orientation: 1\nExifImageWidth: 400\nExifImageHeight: 533\n");
}

INSTANTIATE_TEST_SUITE_P(
    Types, ExifIntegerTypes,
    testing::Values(TypeCase{"Byte", test::ExifType::Byte, false},
                    TypeCase{"Short", test::ExifType::Short, false},
                    TypeCase{"Long", test::ExifType::Long, false},
                    TypeCase{"SignedByte", test::ExifType::SignedByte, false},
                    TypeCase{"SignedShort", test::ExifType::SignedShort, false},
                    TypeCase{"SignedLong", test::ExifType::SignedLong, false},
                    TypeCase{"ByteLittleEndian", test::ExifType::Byte, true},
                    TypeCase{"ShortLittleEndian", test::ExifType::Short, true},
                    TypeCase{"LongLittleEndian", test::ExifType::Long, true},
                    TypeCase{"SignedByteLittleEndian", test::ExifType::SignedByte, true},
                    TypeCase{"SignedShortLittleEndian", test::ExifType::SignedShort, true},
                    TypeCase{"SignedLongLittleEndian", test::ExifType::SignedLong, true}),
    [](const testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.name); });

// Blocks that lie about their offsets are left as they are and break nothing.
TEST(DamagedExif, IsLeftAsItIsAndThePictureStillTurns) {
    const std::string header = std::string("Exif\0\0", 6);
    const std::vector<std::pair<const char*, std::string>> blocks = {
        {"IfdBeyondTheEnd", header + std::string("MM\0*\xFF\xFF\xFF\xF0", 8)},
        {"TooManyEntries", header + std::string("II*\0\x08\0\0\0\xFF\xFF", 10)},
        {"NoTiffHeader", header + "XX"},
        {"ExifIfdBeyondTheEnd",
         header + std::string("MM\0*\0\0\0\x08\0\x01\x87\x69\0\x04\0\0\0\x01\x7F\xFF\xFF\xFF"
                              "\0\0\0\0",
                              26)},
        {"OrientationOfTwoValues",
         header + std::string("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x02\0\x06\0\x06"
                              "\0\0\0\0",
                              26)},
        {"NegativeSignedExifIfdLink",
         header + std::string("II*\0\x08\0\0\0\x01\0\x69\x87\x09\0\x01\0\0\0\xF0\xFF\xFF\xFF"
                              "\0\0\0\0",
                              26)},
        {"ExifIfdLinkedToIfd0",
         header + std::string("MM\0*\0\0\0\x08\0\x01\x87\x69\0\x09\0\0\0\x01\0\0\0\x08"
                              "\0\0\0\0",
                              26)},
    };
    for (const auto& [name, block] : blocks) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.file("damaged.jpg");
        test::make_jpeg(path, 64, 48);
        add_segment(path, '\xE1', block);
        const std::string out = dir.file("out.jpg");
        ASSERT_EQ(jpeg_lossless_transform(path, out, 5), 0);
        EXPECT_NE(test::read_file(out).find(block.substr(6)), std::string::npos);
        EXPECT_EQ(get_image_size(out), "48,64");
    }
}

// A camera block cut short at every few bytes, its segment length made to agree: whatever
// the reader makes of the rest, the picture turns and stays whole.
TEST(DamagedExif, ABlockCutShortAnywhereNeitherStopsNorSpoilsTheTurn) {
    TempDir dir;
    const std::string source = camera_picture(dir, "camera.jpg", 64, 48, false);
    const std::string jpeg = test::read_file(source);
    const size_t exif = jpeg.find("Exif");
    ASSERT_NE(exif, std::string::npos);
    const size_t segment = exif - 4;
    const size_t length = (size_t(uint8_t(jpeg[segment + 2])) << 8) | uint8_t(jpeg[segment + 3]);
    for (size_t kept = 8; kept < length - 6; kept += 7) {
        SCOPED_TRACE(kept);
        const size_t new_length = 2 + 6 + kept;
        const std::string cut = jpeg.substr(0, segment + 2) + char(new_length >> 8) +
                                char(new_length & 0xFF) + jpeg.substr(exif, 6 + kept) +
                                jpeg.substr(segment + 2 + length);
        const std::string path = dir.file("cut.jpg"), out = dir.file("out.jpg");
        test::write_file(path, cut);
        ASSERT_EQ(jpeg_lossless_transform(path, out, 5), 0);
        EXPECT_EQ(get_image_size(out), "48,64");
        EXPECT_NE(test::read_file(out).find("taken on holiday"), std::string::npos);
    }
}

TEST(DamagedExif, AnIfdLinkedToItselfIsUnlinkedNotFollowed) {
    TempDir dir;
    const std::string path = dir.file("looped.jpg");
    test::make_jpeg(path, 64, 48);
    add_segment(path, '\xE1', std::string("Exif\0\0MM\0*\0\0\0\x08\0\0\0\0\0\x08", 20));
    ASSERT_EQ(jpeg_lossless_transform(path, path, 7), 0);
    EXPECT_NE(test::read_file(path).find(std::string("MM\0*\0\0\0\x08\0\0\0\0\0\0", 14)),
              std::string::npos);
    EXPECT_EQ(get_image_size(path), "48,64");
}

} // namespace
} // namespace orvix
