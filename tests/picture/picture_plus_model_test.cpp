// The viewer's drawing rules, scroll bars, property store, file test and keyed copy,
// checked without a display.
#include "controls/picture/picture_plus_model.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

struct DrawCase {
    const char* name;
    int32_t picture_width, picture_height;
    int32_t box_width, box_height;
    int16_t IfBoxLargerThanPict;
    int16_t IfBoxSmallerThanPict;
    float zoom;
    const char* drawn;
    bool hscroll, vscroll;
};

class Draws : public testing::TestWithParam<DrawCase> {};

TEST_P(Draws, WhereTheRulesSay) {
    const DrawCase& c = GetParam();
    PicturePlusModel model;
    model.properties().IfBoxLargerThanPict = c.IfBoxLargerThanPict;
    model.properties().IfBoxSmallerThanPict = c.IfBoxSmallerThanPict;
    model.properties().zoom = c.zoom;
    model.set_picture_size(c.picture_width, c.picture_height);
    model.set_box(c.box_width, c.box_height, 3);
    const PicturePlusLayout layout = model.layout();
    const PicturePlusPaint paint = model.redraw();
    EXPECT_EQ(model.drawn_rectangle(), c.drawn);
    EXPECT_EQ(layout.HScroll.visible, c.hscroll);
    EXPECT_EQ(layout.VScroll.visible, c.vscroll);
    EXPECT_EQ(layout.coin_visible, c.hscroll && c.vscroll);
    EXPECT_EQ(paint.picture, c.picture_width > 0);
    EXPECT_EQ(model.picture_dimensions(),
              std::to_string(c.picture_width) + "," + std::to_string(c.picture_height));
}

// The viewer's texts are its typed values written out.
TEST_P(Draws, TheTextsWriteTheTypedValues) {
    const DrawCase& c = GetParam();
    PicturePlusModel model;
    model.properties().IfBoxLargerThanPict = c.IfBoxLargerThanPict;
    model.properties().IfBoxSmallerThanPict = c.IfBoxSmallerThanPict;
    model.properties().zoom = c.zoom;
    model.set_picture_size(c.picture_width, c.picture_height);
    model.set_box(c.box_width, c.box_height, 3);
    model.layout();
    const PicturePlusPaint paint = model.redraw();
    EXPECT_EQ(model.drawn(), paint.drawn);
    const Rect& d = model.drawn();
    EXPECT_EQ(model.drawn_rectangle(), std::to_string(d.left) + "," + std::to_string(d.top) + "," +
                                           std::to_string(d.right) + "," +
                                           std::to_string(d.bottom));
    EXPECT_EQ(model.picture_size(), (Size{c.picture_width, c.picture_height}));
    EXPECT_EQ(model.picture_dimensions(), std::to_string(model.picture_size().width) + "," +
                                              std::to_string(model.picture_size().height));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Draws,
    testing::Values(
        DrawCase{"ShrunkToFit", 1600, 1200, 400, 400, 0, 1, 1, "0,50,400,350", false, false},
        DrawCase{"SmallCentredAtItsSize", 200, 100, 400, 400, 0, 2, 1, "100,150,300,250", false,
                 false},
        DrawCase{"SmallEnlargedToFit", 200, 100, 400, 400, 1, 2, 1, "0,100,400,300", false, false},
        DrawCase{"ZoomCountsForTheScrollBars", 300, 300, 400, 400, 0, 2, 2, "0,0,600,600", true,
                 true},
        DrawCase{"ZoomCountsForTheFit", 300, 300, 400, 400, 0, 1, 2, "0,0,400,400", false, false},
        DrawCase{"ZoomedButStillSmaller", 300, 300, 700, 700, 0, 2, 2, "50,50,650,650", false,
                 false},
        DrawCase{"LargerWithScrollBars", 1600, 1200, 400, 400, 0, 2, 1, "0,0,1600,1200", true,
                 true},
        DrawCase{"LargerWithoutScrollBars", 1600, 1200, 400, 400, 0, 0, 1, "0,0,1600,1200", false,
                 false},
        DrawCase{"OnlyTheWidthExceeds", 800, 300, 400, 400, 0, 2, 1, "0,0,800,300", true, false},
        DrawCase{"NoPicture", 0, 0, 400, 400, 1, 1, 1, "0,0,0,0", false, false}),
    [](const testing::TestParamInfo<DrawCase>& info) { return std::string(info.param.name); });

TEST(ScrollBars, RangesAreInPicturePixelsAndValuesStayInThem) {
    PicturePlusModel model;
    model.set_picture_size(1600, 1200);
    model.set_box(400, 300, 3);
    PicturePlusLayout layout = model.layout();
    EXPECT_EQ(layout.HScroll.max, 1600 - 397);
    EXPECT_EQ(layout.VScroll.max, 1200 - 297);
    EXPECT_EQ(layout.HScroll.large_change, 397);
    EXPECT_EQ(layout.HScroll.small_change, 40);

    model.properties().zoom = 2;
    layout = model.layout();
    EXPECT_EQ(layout.HScroll.max, 1402) << "(3200 - 397) / 2 = 1401.5, halves to even";

    model.set_scroll_values(5000, -3);
    EXPECT_EQ(model.scrollbars_values(), "1402,0");
    // Scrolled: the part from the scroll position on is drawn at the origin, while the
    // reported rectangle stays that of the whole zoomed picture.
    model.set_scroll_values(100, 50);
    const PicturePlusPaint paint = model.redraw();
    EXPECT_EQ(paint.source, (Rect{100, 50, 1600, 1200}));
    EXPECT_EQ(paint.target, (Rect{0, 0, 3000, 2300}));
    EXPECT_EQ(model.drawn_rectangle(), "0,0,3200,2400");

    // A picture that fits needs no bars and keeps no scroll position.
    model.set_box(4000, 4000, 3);
    layout = model.layout();
    EXPECT_FALSE(layout.HScroll.visible);
    EXPECT_EQ(model.scrollbars_values(), "0,0");
}

TEST(Redraw, AMissingPictureForgetsWhereTheLastOneWasDrawn) {
    PicturePlusModel model;
    model.set_picture_size(200, 100);
    model.set_box(400, 400, 3);
    model.layout();
    model.redraw();
    ASSERT_EQ(model.drawn_rectangle(), "100,150,300,250");
    model.set_picture_size(0, 0);
    model.layout();
    EXPECT_FALSE(model.redraw().picture);
    EXPECT_EQ(model.drawn_rectangle(), "0,0,0,0");
    EXPECT_EQ(model.picture_dimensions(), "0,0");
}

TEST(Properties, DefaultsAreNotStoredAndEveryOtherValueReadsBack) {
    PropertyBag bag;
    write_properties(PicturePlusProperties{}, bag);
    EXPECT_TRUE(bag.empty());
    EXPECT_EQ(read_properties<PicturePlusProperties>(bag), PicturePlusProperties{});

    PicturePlusProperties changed;
    changed.ColorBackground = 0x404040;
    changed.BorderStyle = 0;
    changed.IfBoxLargerThanPict = 1;
    changed.IfBoxSmallerThanPict = 1;
    changed.zoom = 1.5f;
    changed.Transparent = true;
    changed.FilePath = "/photos/a.jpg";
    write_properties(changed, bag);
    EXPECT_EQ(bag.size(), 7u);
    EXPECT_EQ(std::get<std::string>(bag.at("Zoom")), "1.5");
    EXPECT_EQ(std::get<int64_t>(bag.at("ColorBackground")), 0x404040);
    EXPECT_EQ(read_properties<PicturePlusProperties>(bag), changed);
}

TEST(Properties, ValuesOfTheWrongKindOrRangeKeepTheDefault) {
    for (const char* zoom : {"abc", "0", "-2", "", "1e99"}) {
        const PropertyBag bag{{"Zoom", std::string(zoom)},
                              {"BorderStyle", int64_t(70000)},
                              {"Transparent", std::string("yes")},
                              {"FilePath", int64_t(3)}};
        EXPECT_EQ(read_properties<PicturePlusProperties>(bag), PicturePlusProperties{}) << zoom;
    }
}

TEST(FileExistsTest, FindsFilesFoldersAndWildcardMatchesOnly) {
    TempDir dir;
    test::write_file(dir.file("IMG_1.jpg"), "x");
    test::write_file(dir.file("[a].jpg"), "x");
    dir.folder("sub");
    struct Case {
        std::string path;
        bool exists;
    };
    for (const Case& c :
         {Case{dir.file("IMG_1.jpg"), true}, Case{dir.path() + "sub", true},
          Case{dir.path() + "missing.jpg", false}, Case{dir.path() + "*.jpg", true},
          Case{dir.path() + "IMG_?.jpg", true}, Case{dir.path() + "IMG_??.jpg", false},
          Case{dir.path() + "*.tif", false}, Case{dir.path() + "[a].jpg", true},
          Case{dir.path() + "a.jpg", false}, Case{dir.path() + "s*", true},
          Case{dir.path() + "nowhere/*.jpg", false}, Case{"", false}})
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
    // Brackets are plain characters: "[a]" does not stand for "a".
    test::write_file(dir.file("b.jpg"), "x");
    EXPECT_FALSE(FileExists(dir.path() + "[b].png"));
}

TEST(TransparentBltTest, LeavesTheKeyColourOut) {
    // Red in the low byte for the key; pixels as 0xAARRGGBB.
    const uint32_t key = 0x00402010; // red 0x10, green 0x20, blue 0x40
    const uint32_t source[] = {0xFF102040, 0xFFFF0000, 0x00102040, 0xFF000001};
    uint32_t target[] = {1, 2, 3, 4, 5, 6};
    TransparentBlt(source, 2, target, 3, 2, 2, key);
    EXPECT_EQ(target[0], 1u) << "the key colour leaves the target as it was";
    EXPECT_EQ(target[1], 0xFFFF0000u);
    EXPECT_EQ(target[2], 3u) << "outside the block";
    EXPECT_EQ(target[3], 4u) << "the key whatever its alpha";
    EXPECT_EQ(target[4], 0xFF000001u);
}

std::string segment(uint8_t marker, const std::string& body) {
    const size_t length = body.size() + 2;
    return std::string{'\xFF', char(marker), char(length >> 8), char(length & 0xFF)} + body;
}

struct DropCase {
    const char* name;
    std::string jpeg;
    std::string kept;
};

// What Qt's reader is handed: the segments it would keep in a list go, and so do the
// stray bytes between segments; what says how to read the pixels and everything from the
// first scan on stays byte for byte.
class DropsJpegMetadata : public testing::TestWithParam<DropCase> {};

TEST_P(DropsJpegMetadata, KeepsWhatDecodingNeeds) {
    std::string jpeg = GetParam().jpeg;
    drop_jpeg_metadata(jpeg);
    EXPECT_EQ(jpeg, GetParam().kept);
}

const std::string kSoi = "\xFF\xD8";
const std::string kJfif = segment(0xE0, std::string("JFIF\0\x01\x01", 7));
const std::string kAdobe = segment(0xEE, "Adobe-transform");
const std::string kTables = segment(0xDB, "quantisation") + segment(0xC0, "frame");
const std::string kScan = segment(0xDA, "scan") + "\x12\xFF\x00\x34\xFF\xD0\x56\xFF\xD9";

INSTANTIATE_TEST_SUITE_P(
    Files, DropsJpegMetadata,
    testing::Values(DropCase{"CameraFile",
                             kSoi + segment(0xE1, std::string("Exif\0\0", 6)) + kJfif +
                                 segment(0xE2, "ICC_PROFILE") + segment(0xFE, "comment") + kAdobe +
                                 kTables + segment(0xE1, "after the frame") + kScan,
                             kSoi + kJfif + kAdobe + kTables + kScan},
                    DropCase{"StrayAndFillBytes",
                             kSoi + "junk" + segment(0xE1, "xmp") + "\xFF\xFF\xFF" + kJfif +
                                 "\x00" + kTables + kScan,
                             kSoi + kJfif + kTables + kScan},
                    DropCase{"ManySegments",
                             kSoi +
                                 [] {
                                     std::string many;
                                     for (int i = 0; i < 10000; ++i)
                                         many += segment(0xE1, "x");
                                     return many;
                                 }() +
                                 kTables + kScan,
                             kSoi + kTables + kScan},
                    DropCase{"CutInASegmentKeepsTheRest",
                             kSoi + segment(0xE1, "a") + "\xFF\xE1\x40\x00ab",
                             kSoi + "\xFF\xE1\x40\x00ab"},
                    DropCase{"NotAJpeg", "\x89PNG\r\n" + segment(0xE1, "a"),
                             "\x89PNG\r\n" + segment(0xE1, "a")},
                    DropCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace orvix
