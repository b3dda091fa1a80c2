#include "fs/fs.h"
#include "helpers.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvix {
namespace {

using test::RgbImage;
using test::TempDir;

int32_t convert(const std::string& source, const std::string& target, const std::string& crop = "",
                const std::string& resize = "", int16_t transform = 0, int16_t quality = 90) {
    return convert_image3(source, target, crop, resize, false, quality, 0, false, "", "",
                          transform);
}

void expect_transformed(const RgbImage& result, const RgbImage& original, int transform,
                        int left = 0, int top = 0) {
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            ASSERT_TRUE(std::equal(result.at(x, y), result.at(x, y) + 3,
                                   test::transformed_at(original, transform, x + left, y + top)))
                << "transform " << transform << " at " << x << "," << y;
}

class Transforms : public testing::TestWithParam<int> {};

TEST_P(Transforms, MoveEveryPixelWhereTheCodeSays) {
    TempDir dir;
    const std::string source = dir.file("in.bmp"), target = dir.file("out.bmp");
    test::make_picture(source, 23, 14);
    ASSERT_EQ(convert(source, target, "", "", int16_t(GetParam())), 0);
    const RgbImage result = test::read_rgb(target);
    const bool turned = GetParam() == 5 || GetParam() == 7;
    ASSERT_EQ(result.width, turned ? 14 : 23);
    ASSERT_EQ(result.height, turned ? 23 : 14);
    expect_transformed(result, test::pattern_image(23, 14), GetParam());
}

// 3 and 8 are no transform codes: the picture is left as it is.
INSTANTIATE_TEST_SUITE_P(Codes, Transforms, testing::Values(0, 1, 2, 5, 6, 7, 3, 8));

TEST(Crop, RectangleIsClampedToThePicture) {
    TempDir dir;
    const std::string source = dir.file("in.png"), target = dir.file("out.png");
    test::make_picture(source, 160, 120);
    ASSERT_EQ(convert(source, target, "10,10,5000,5000"), 0);
    const RgbImage result = test::read_rgb(target);
    ASSERT_EQ(result.width, 150);
    ASSERT_EQ(result.height, 110);
    expect_transformed(result, test::pattern_image(160, 120), 0, 10, 10);
    ASSERT_EQ(convert(source, target, "-30,-5,20,7"), 0);
    EXPECT_EQ(get_image_size(target), "20,7");
}

TEST(Crop, ComesAfterTheTransformInTheTurnedPicturesPixels) {
    TempDir dir;
    const std::string source = dir.file("in.bmp"), target = dir.file("out.bmp");
    test::make_picture(source, 40, 30);
    // The turned picture is 30 x 40; rows 25 to 40 exist only after the turn.
    ASSERT_EQ(convert(source, target, "5,25,20,40", "", 5), 0);
    const RgbImage result = test::read_rgb(target);
    ASSERT_EQ(result.width, 15);
    ASSERT_EQ(result.height, 15);
    expect_transformed(result, test::pattern_image(40, 30), 5, 5, 25);
}

TEST(Crop, EmptyOrOutOfRangeRectanglesFailAndWriteNothing) {
    TempDir dir;
    const std::string source = dir.file("in.bmp"), target = dir.file("out.bmp");
    test::make_picture(source, 40, 30);
    const struct {
        const char* crop;
        int32_t expected;
    } cases[] = {
        {"50,0,60,10", picture::kEmptyPicture}, // left beyond the width
        {"10,10,10,20", picture::kEmptyPicture},
        {"0,20,10,5", picture::kEmptyPicture},
        {"0,0,40000,10", kRuntimeFailure}, // beyond 16 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convert(source, target, c.crop), c.expected) << c.crop;
        EXPECT_FALSE(file_exists(target)) << c.crop;
    }
}

TEST(Formats, ContentIsGuessedWhenTheExtensionIsNotInTheTable) {
    TempDir dir;
    for (const char* extension : {"jpg", "png", "tif", "bmp", "tga", "pcx", "psd"}) {
        const std::string made = dir.file(std::string("made.") + extension);
        test::make_picture(made, 30, 20);
        const std::string disguised = dir.file("picture.dat");
        test::write_file(disguised, test::read_file(made));
        const std::string target = dir.file(std::string("from_") + extension + ".bmp");
        ASSERT_EQ(convert(disguised, target), 0) << extension;
        EXPECT_EQ(test::max_difference(test::read_rgb(target), test::read_rgb(made)), 0)
            << extension;
    }
}

TEST(Formats, TargetWithoutExtensionTakesTheSourcesFormat) {
    TempDir dir;
    const std::string source = dir.file("in.png"), target = dir.file("copy");
    test::make_picture(source, 30, 20);
    ASSERT_EQ(convert(source, target, "", "15"), 0);
    EXPECT_EQ(test::read_file(target).substr(1, 3), "PNG");
    EXPECT_EQ(get_image_size(target), "15,10");
}

TEST(Formats, TransformAndResizeTogetherUseTheTurnedGeometry) {
    TempDir dir;
    const std::string source = dir.file("in.jpg"), target = dir.file("out.bmp");
    const std::string reference = dir.file("ref.bmp");
    test::make_jpeg(source, 1600, 1200);
    ASSERT_EQ(convert(source, target, "", "100", 5), 0);
    EXPECT_EQ(get_image_size(target), "100,133");
    int status = -1;
    test::run_command("/usr/bin/convert " + test::quoted(source) +
                          " -rotate 90 -filter Lanczos -resize 100x133! " + test::quoted(reference),
                      &status);
    ASSERT_EQ(status, 0);
    EXPECT_LT(test::mean_difference(test::read_rgb(target), test::read_rgb(reference)), 1.0);
}

// --- Failures: the right code, no file left, the original intact -------------------------------

void expect_untouched_folder(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> entries = test::folder_entries(folder);
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries, expected);
}

TEST(Failures, MissingOrUnknownSourcesAreUnreadable) {
    TempDir dir;
    const std::string target = dir.file("out.jpg");
    EXPECT_EQ(convert(dir.path() + "missing.jpg", target), kSourceUnreadable);
    EXPECT_EQ(convert(dir.path(), target), kSourceUnreadable);
    const std::string pipe = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(convert(pipe, target), kSourceUnreadable); // refused, not waited on
    const std::string text = dir.file("notes.dat");
    test::write_file(text, "just some words, not a picture\n");
    EXPECT_EQ(convert(text, target), kSourceUnreadable);
    // A metafile kind no library here reads.
    std::string emf(200, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    const std::string metafile = dir.file("drawing.emf");
    test::write_file(metafile, emf);
    EXPECT_EQ(convert(metafile, target), kSourceUnreadable);
    const std::string pax = dir.file("locked.pax");
    test::write_file(pax, "whatever a locked picture holds");
    EXPECT_EQ(convert(pax, target), kSourceUnreadable);
    expect_untouched_folder(dir.path(), {"pipe.jpg", "notes.dat", "drawing.emf", "locked.pax"});
}

TEST(Failures, UnsupportedTargetFormatsWriteNothing) {
    TempDir dir;
    const std::string source = dir.file("in.jpg");
    test::make_jpeg(source, 30, 20);
    for (const char* name : {"out.gif", "out.wmf", "out.emf", "out.pax", "out.tla", "out.txt"})
        EXPECT_EQ(convert(source, dir.path() + name), kTargetUnsupported) << name;
    expect_untouched_folder(dir.path(), {"in.jpg"});
}

TEST(Failures, TruncatedSourcesFailAndLeaveEverythingAsItWas) {
    TempDir dir;
    for (const char* extension : {"jpg", "png", "bmp", "tif"}) {
        const std::string made = dir.file(std::string("made.") + extension);
        test::make_picture(made, 64, 48);
        const std::string bytes = test::read_file(made);
        ::unlink(made.c_str());
        const std::string source = dir.file(std::string("cut.") + extension);
        const std::string cut = bytes.substr(0, bytes.size() * 2 / 3);
        test::write_file(source, cut);
        // The target exists already: it must survive the failure.
        const std::string target = dir.file("out.jpg");
        test::write_file(target, "previous picture");
        const int32_t rc = convert(source, target, "", "32");
        EXPECT_NE(rc, 0) << extension;
        EXPECT_GT(rc, 0) << extension; // a picture-layer code
        EXPECT_EQ(test::read_file(source), cut) << extension;
        EXPECT_EQ(test::read_file(target), "previous picture") << extension;
        expect_untouched_folder(dir.path(), {std::string("cut.") + extension, "out.jpg"});
        ::unlink(source.c_str());
    }
}

TEST(Failures, PictureDeclaringHugeSizeIsRefusedQuickly) {
    TempDir dir;
    const std::string small = dir.file("small.jpg");
    test::make_jpeg(small, 16, 16);
    std::string bytes = test::read_file(small);
    const size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes.replace(sof + 5, 4, "\xFF\xDC\xFF\xDC"); // 65500 x 65500
    const std::string source = dir.file("huge.jpg");
    test::write_file(source, bytes);
    EXPECT_EQ(convert(source, dir.file("out.jpg"), "", "100"), picture::kTooLarge);
    EXPECT_EQ(get_image_size(source), "ERROR");
    expect_untouched_folder(dir.path(), {"small.jpg", "huge.jpg"});
}

TEST(Failures, ReadOnlyTargetFolderGivesCreateFailure) {
    test::SmallVolume volume(1 << 20, true);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a read-only volume";
    TempDir dir;
    const std::string source = dir.file("in.jpg");
    test::make_jpeg(source, 30, 20);
    const std::string before = test::read_file(source);
    EXPECT_EQ(convert(source, volume.path() + "out.jpg"), picture::kCreateFailed);
    EXPECT_TRUE(test::folder_entries(volume.path()).empty());
    EXPECT_EQ(test::read_file(source), before);
}

TEST(Failures, FullVolumeKeepsTheOldTargetAndLeavesNoTemporaryFile) {
    test::SmallVolume volume(64 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a small volume";
    TempDir dir;
    const std::string source = dir.file("in.bmp");
    test::make_picture(source, 200, 150); // 90 KB of pixels: more than the volume holds
    const std::string target = volume.path() + "out.bmp";
    test::write_file(target, "the user's old picture");
    EXPECT_EQ(convert(source, target), picture::kWriteFailed);
    EXPECT_EQ(test::read_file(target), "the user's old picture");
    expect_untouched_folder(volume.path(), {"out.bmp"});
}

TEST(InPlace, SourceAndTargetMayBeTheSameFile) {
    TempDir dir;
    const std::string path = dir.file("photo.jpg");
    test::make_jpeg(path, 64, 48);
    ASSERT_EQ(convert(path, path, "", "", 5), 0);
    EXPECT_EQ(get_image_size(path), "48,64");
    expect_untouched_folder(dir.path(), {"photo.jpg"});
}

TEST(InPlace, FailureLeavesTheOriginalByteForByte) {
    TempDir dir;
    const std::string path = dir.file("photo.jpg");
    test::make_jpeg(path, 64, 48);
    const std::string before = test::read_file(path);
    EXPECT_NE(convert(path, path, "100,100,200,200"), 0);
    EXPECT_EQ(test::read_file(path), before);
    expect_untouched_folder(dir.path(), {"photo.jpg"});
}

// --- Picture size
// ---------------------------------------------------------------------------------

TEST(ImageSize, ComesFromTheHeaderOfEveryFormat) {
    TempDir dir;
    for (const char* extension : {"jpg", "png", "tif", "bmp", "tga", "pcx", "psd"}) {
        const std::string path = dir.file(std::string("p.") + extension);
        test::make_picture(path, 41, 27);
        EXPECT_EQ(get_image_size(path), "41,27") << extension;
        const std::string disguised = dir.file("p.dat");
        test::write_file(disguised, test::read_file(path));
        EXPECT_EQ(get_image_size(disguised), "41,27") << extension;
    }
}

TEST(ImageSize, BrokenOrMissingFilesGiveError) {
    TempDir dir;
    EXPECT_EQ(get_image_size(dir.path() + "missing.jpg"), "ERROR");
    EXPECT_EQ(get_image_size(dir.path()), "ERROR");
    const std::string empty = dir.file("empty.jpg");
    test::write_file(empty, "");
    EXPECT_EQ(get_image_size(empty), "ERROR");
    const std::string text = dir.file("text.png");
    test::write_file(text, "not a picture at all");
    EXPECT_EQ(get_image_size(text), "ERROR");
    const std::string header_cut = dir.file("cut.jpg");
    test::make_jpeg(header_cut, 30, 20);
    test::write_file(header_cut, test::read_file(header_cut).substr(0, 40));
    EXPECT_EQ(get_image_size(header_cut), "ERROR");
}

// Only the header is read: a JPEG whose pixel data is cut still tells its size.
TEST(ImageSize, DoesNotDecodeThePixels) {
    TempDir dir;
    const std::string path = dir.file("cut.jpg");
    test::make_jpeg(path, 300, 200);
    const std::string bytes = test::read_file(path);
    test::write_file(path, bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(get_image_size(path), "300,200");
    EXPECT_NE(convert(path, dir.file("out.bmp")), 0);
}

} // namespace
} // namespace orvix
