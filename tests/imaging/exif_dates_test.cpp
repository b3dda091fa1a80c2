// The capture date of a picture: which EXIF tag gives it, and which texts are no date.
#include "imaging/exif_dates.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace orvix {
namespace {

struct TagCase {
    const char* label;
    test::ExifDates dates;
    std::optional<std::string> capture;
};

void PrintTo(const TagCase& c, std::ostream* out) {
    *out << c.label;
}

class CaptureDate : public testing::TestWithParam<TagCase> {};

TEST_P(CaptureDate, ComesFromTheFirstTagThatHoldsADate) {
    const TagCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("camera.jpg");
    test::make_jpeg(path, 32, 24);
    test::write_exif_dates(path, c.dates);
    EXPECT_EQ(capture_date(path), c.capture);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, CaptureDate,
    testing::Values(TagCase{"Original", {"2019:07:14 10:20:30", "", ""}, "20190714102030"},
                    TagCase{"DigitizedOnly", {"", "2018:01:02 03:04:05", ""}, "20180102030405"},
                    TagCase{"DateTimeOnly", {"", "", "2017:12:31 23:59:59"}, "20171231235959"},
                    TagCase{"OriginalBeforeTheOthers",
                            {"2019:07:14 10:20:30", "2018:01:02 03:04:05", "2017:12:31 23:59:59"},
                            "20190714102030"},
                    TagCase{"DigitizedBeforeDateTime",
                            {"", "2018:01:02 03:04:05", "2017:12:31 23:59:59"},
                            "20180102030405"},
                    // A camera without a clock writes zeros or blanks: the next tag is asked.
                    TagCase{"ZeroOriginalGivesWayToDigitized",
                            {"0000:00:00 00:00:00", "2018:01:02 03:04:05", ""},
                            "20180102030405"},
                    TagCase{"BlankOriginalGivesWayToDateTime",
                            {"    :  :     :  :  ", "", "2017:12:31 23:59:59"},
                            "20171231235959"},
                    TagCase{"OnlyZeros", {"0000:00:00 00:00:00", "", ""}, std::nullopt},
                    TagCase{"NoDateTag", {"", "", ""}, std::nullopt}),
    [](const testing::TestParamInfo<TagCase>& info) { return std::string(info.param.label); });

TEST(CaptureDate, IsAbsentFromPicturesWithoutExifAndFromBrokenFiles) {
    test::TempDir dir;
    const std::string bmp = dir.file("scan.bmp");
    test::make_picture(bmp, 16, 8);
    EXPECT_EQ(capture_date(bmp), std::nullopt);
    EXPECT_EQ(capture_date(dir.file("missing.jpg")), std::nullopt);

    // An EXIF block cut short in the middle of its directory.
    const std::string cut = dir.file("cut.jpg");
    test::make_jpeg(cut, 32, 24);
    test::write_exif_dates(cut, {"2019:07:14 10:20:30", "", ""});
    std::string bytes = test::read_file(cut);
    const size_t tiff = bytes.find("Exif");
    ASSERT_NE(tiff, std::string::npos);
    bytes.erase(tiff + 30, 40);
    test::write_file(cut, bytes);
    EXPECT_EQ(capture_date(cut), std::nullopt);

    const std::string garbage = dir.file("garbage.jpg");
    // SOI, then an APP1 of 16 bytes whose first directory lies far beyond its end.
    static constexpr char kGarbage[] = "\xFF\xD8\xFF\xE1\x00\x10"
                                       "Exif\0\0MM\0*\xFF\xFF\xFF\xFF";
    test::write_file(garbage, std::string(kGarbage, sizeof kGarbage - 1));
    EXPECT_EQ(capture_date(garbage), std::nullopt);
}

struct TextCase {
    const char* text;
    const char* date; // "" for no date
};

class ExifDateText : public testing::TestWithParam<TextCase> {};

TEST_P(ExifDateText, GivesTheFourteenDigitsOfARealDate) {
    const std::optional<std::string> date = exif_date_text(GetParam().text);
    EXPECT_EQ(date.value_or(""), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExifDateText,
    testing::Values(TextCase{"2001:02:03 09:05:07", "20010203090507"},
                    TextCase{"2001-02-03T09:05:07", "20010203090507"},
                    TextCase{"2001:02:03 09:05:07.25+02:00", "20010203090507"},
                    TextCase{"0000:00:00 00:00:00", ""}, TextCase{"    :  :     :  :  ", ""},
                    TextCase{"", ""}, TextCase{"2001:02:03", ""},
                    TextCase{"2001:13:03 09:05:07", ""}, TextCase{"2001:02:00 09:05:07", ""},
                    TextCase{"2001:02:03 24:05:07", ""}, TextCase{"2001:02:03 09:60:07", ""},
                    TextCase{"2001/02/03 09:05:07", ""}, TextCase{"2001:02:03 9:05:07 ", ""},
                    TextCase{"+001:02:03 09:05:07", ""}));

} // namespace
} // namespace orvix
