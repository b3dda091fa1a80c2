// The texts convert_image3 and get_image_size take and give, against the typed request and
// size the rest of the program uses.
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

struct RequestCase {
    const char* crop_text;
    const char* resize_text;
    std::optional<Rect> crop; // ignored when refused
    Resize resize;
    bool refused = false;
};

TEST(ConvertRequestOf, ReadsTheCropAndResizeTexts) {
    for (const RequestCase& c : {
             RequestCase{"", "", std::nullopt, {}},
             RequestCase{"1,2,3,4", "100", Rect{1, 2, 3, 4}, {100, 0, false, false}},
             // Halves round to even; missing and unreadable fields are 0.
             RequestCase{"1.5,2.5", "640,480", Rect{2, 2, 0, 0}, {640, 480, false, false}},
             RequestCase{"x,y,z,w", "", Rect{0, 0, 0, 0}, {}},
             RequestCase{
                 "-32768,0,32767,1", "*1024", Rect{-32768, 0, 32767, 1}, {1024, 0, true, false}},
             RequestCase{"", ">800", std::nullopt, {800, 0, false, true}},
             RequestCase{"", "*>1024,768", std::nullopt, {1024, 768, true, true}},
             RequestCase{"", "big", std::nullopt, {0, 0, false, false}},
             RequestCase{"40000,0,1,1", "100", std::nullopt, {}, true},
             RequestCase{"0,0,1,-32769", "", std::nullopt, {}, true},
         }) {
        const std::optional<ConvertRequest> request =
            convert_request_of(c.crop_text, c.resize_text, 85, 6);
        ASSERT_EQ(request.has_value(), !c.refused) << c.crop_text;
        if (!request)
            continue;
        EXPECT_EQ(request->crop, c.crop) << c.crop_text;
        EXPECT_EQ(request->resize, c.resize) << c.resize_text;
        EXPECT_EQ(request->quality, 85);
        EXPECT_EQ(request->transform, 6);
    }
}

TEST(ConvertImage3, GivesTheFileTheTypedRequestGives) {
    TempDir dir;
    const std::string source = dir.file("in.png");
    test::make_picture(source, 90, 60);
    ASSERT_EQ(convert_image3(source, dir.file("texts.jpg"), "5,4,85,50", "*40", false, 80, 0, false,
                             "", "", 5),
              0);
    ASSERT_EQ(convert_image(source, dir.file("typed.jpg"),
                            {.crop = Rect{5, 4, 85, 50},
                             .resize = {.width = 40, .height = 0, .orient = true},
                             .quality = 80,
                             .transform = 5}),
              0);
    EXPECT_EQ(test::read_file(dir.file("texts.jpg")), test::read_file(dir.file("typed.jpg")));
}

TEST(ConvertImage3, RefusesACropTextOutside16BitsWithoutWritingAnything) {
    TempDir dir;
    const std::string source = dir.file("in.png");
    test::make_picture(source, 30, 20);
    EXPECT_EQ(convert_image3(source, dir.file("out.jpg"), "0,0,70000,10", "", false, 90, 0, false,
                             "", "", 0),
              kRuntimeFailure);
    EXPECT_FALSE(file_exists(dir.file("out.jpg")));
}

TEST(SizeText, IsWidthCommaHeightOrError) {
    EXPECT_EQ(size_text(Size{1600, 1200}), "1600,1200");
    EXPECT_EQ(size_text(std::nullopt), "ERROR");
    TempDir dir;
    const std::string picture = dir.file("p.png");
    test::make_picture(picture, 41, 27);
    EXPECT_EQ(image_size(picture), (Size{41, 27}));
    EXPECT_EQ(get_image_size(picture), "41,27");
    EXPECT_EQ(image_size(dir.file("missing.png")), std::nullopt);
    EXPECT_EQ(get_image_size(dir.file("missing.png")), "ERROR");
}

} // namespace
} // namespace orvix
