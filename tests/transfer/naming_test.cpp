#include "transfer/naming.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvix {
namespace {

const PictureDates kDates{"20011225143000", "20020103090507", "20000704081510"};

struct NameCase {
    const char* label;
    NamingMode mode;
    const char* pattern;
    const char* base;
    const char* name;
    const char* folder; // with date folders on
};

class NewName : public ::testing::TestWithParam<NameCase> {};

TEST_P(NewName, FollowsTheModeAndThePattern) {
    const NameCase& c = GetParam();
    EXPECT_EQ(new_name(c.mode, c.pattern, c.base, kDates), c.name);
    EXPECT_EQ(date_folder(c.mode, c.pattern, true, kDates), c.folder);
    EXPECT_EQ(date_folder(c.mode, c.pattern, false, kDates), "");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, NewName,
    ::testing::Values(
        NameCase{"keep", NamingMode::Keep, "{same}x", "IMG_0001", "IMG_0001", ""},
        NameCase{"creation", NamingMode::CreationDate, "", "a", "20011225143000", "20011225"},
        NameCase{"modification", NamingMode::ModificationDate, "", "a", "20020103090507",
                 "20020103"},
        NameCase{"empty_pattern", NamingMode::Pattern, "", "Img_01", "Img_01", ""},
        NameCase{"same", NamingMode::Pattern, "{same}", "Img_01", "Img_01", ""},
        NameCase{"upper_lower", NamingMode::Pattern, "{sameupper}_{samelower}", "Img_01",
                 "IMG_01_img_01", ""},
        NameCase{"not_a_token", NamingMode::Pattern, "x{SAME}", "a", "x{SAME}", ""},
        NameCase{"repeated", NamingMode::Pattern, "{same}-{same}", "b", "b-b", ""},
        NameCase{"modification_token", NamingMode::Pattern, "{modificationdate}_{same}", "p",
                 "20020103090507_p", "20020103"},
        NameCase{"creation_token", NamingMode::Pattern, "c{creationdate}", "p", "c20011225143000",
                 "20011225"},
        NameCase{"both_tokens", NamingMode::Pattern, "{modificationdate}{creationdate}", "p",
                 "2002010309050720011225143000", "20011225"},
        NameCase{"capture", NamingMode::CaptureDate, "{creationdate}", "a", "20000704081510",
                 "20000704"},
        NameCase{"capture_token", NamingMode::Pattern, "{same}_{capturedate}", "p",
                 "p_20000704081510", "20000704"},
        // The date the picture was taken files it, whatever file date the name carries too.
        NameCase{"every_date_token", NamingMode::Pattern,
                 "{creationdate}{capturedate}{modificationdate}", "p",
                 "200112251430002000070408151020020103090507", "20000704"},
        // The base name is put in first; a token spelled inside it is replaced later on.
        NameCase{"token_in_base", NamingMode::Pattern, "{same}", "{sameupper}", "{SAMEUPPER}", ""},
        NameCase{"dots_kept", NamingMode::Pattern, "{same}.v2", "IMG.0001", "IMG.0001.v2", ""}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

struct DateCase {
    const char* label;
    NamingMode mode;
    const char* pattern;
    bool carries_date;
};

class DateToken : public ::testing::TestWithParam<DateCase> {};

// The setup page enables the date sub-folder box by this rule, and the run files by it:
// a name with a date gets a date folder exactly when the box could be checked.
TEST_P(DateToken, DecidesTheDateFolder) {
    const DateCase& c = GetParam();
    EXPECT_EQ(naming_carries_date(c.mode, c.pattern), c.carries_date);
    EXPECT_EQ(!date_folder(c.mode, c.pattern, true, kDates).empty(), c.carries_date);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DateToken,
    ::testing::Values(
        DateCase{"keep", NamingMode::Keep, "{creationdate}", false},
        DateCase{"creation", NamingMode::CreationDate, "", true},
        DateCase{"modification", NamingMode::ModificationDate, "", true},
        DateCase{"empty_pattern", NamingMode::Pattern, "", false},
        DateCase{"same_only", NamingMode::Pattern, "{same}", false},
        DateCase{"creation_token", NamingMode::Pattern, "x{creationdate}", true},
        DateCase{"modification_token", NamingMode::Pattern, "{modificationdate}_{same}", true},
        DateCase{"upper_case_token", NamingMode::Pattern, "{CreationDate}", false},
        DateCase{"capture", NamingMode::CaptureDate, "", true},
        DateCase{"capture_token", NamingMode::Pattern, "{capturedate}", true},
        DateCase{"capture_token_upper_case", NamingMode::Pattern, "{CaptureDate}", false},
        DateCase{"unclosed_token", NamingMode::Pattern, "{creationdate", false}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.label); });

struct FormatCase {
    int index;
    const char* label; // "" for the language's own text
    const char* extension_of_a_bmp;
    bool jpeg;
};

class FormatList : public ::testing::TestWithParam<FormatCase> {};

// The list shows the labels in index order and the run converts by the index: each label
// must give its own format.
TEST_P(FormatList, PairsEachLabelWithItsExtension) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(output_formats.at(static_cast<size_t>(c.index)).label, c.label);
    EXPECT_EQ(output_extension(c.index, "bmp"), c.extension_of_a_bmp);
    EXPECT_EQ(is_jpeg_choice(c.index), c.jpeg);
    EXPECT_EQ(format_index_of(c.index), c.index);
}

INSTANTIATE_TEST_SUITE_P(Entries, FormatList,
                         ::testing::Values(FormatCase{0, "", "bmp", false},
                                           FormatCase{1, "JPEG", "jpg", true},
                                           FormatCase{2, "BMP", "bmp", false},
                                           FormatCase{3, "TIFF", "tif", false},
                                           FormatCase{4, "PNG", "png", false},
                                           FormatCase{5, "Adobe Photoshop", "psd", false}));

TEST(NamingRules, StoredFormatIndexOutsideTheListSelectsNothing) {
    EXPECT_EQ(output_formats.size(), 6u);
    for (int stored : {-2, -1, 6, 99})
        EXPECT_EQ(format_index_of(stored), -1) << stored;
}

struct WordCase {
    const char* word;
    std::optional<NamingMode> mode;
};

class RenameWith : public ::testing::TestWithParam<WordCase> {};

TEST_P(RenameWith, NamesANamingMode) {
    const WordCase& c = GetParam();
    EXPECT_EQ(naming_mode_of_word(c.word), c.mode);
    if (c.mode) {
        EXPECT_EQ(rename_with_word(*c.mode), c.word);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Words, RenameWith,
    ::testing::Values(WordCase{"NO", NamingMode::Keep}, WordCase{"CRE", NamingMode::CreationDate},
                      WordCase{"MOD", NamingMode::ModificationDate},
                      WordCase{"OTHER", NamingMode::Pattern},
                      WordCase{"CAPTURE", NamingMode::CaptureDate},
                      WordCase{"capture", std::nullopt}, WordCase{"", std::nullopt},
                      WordCase{"cre", std::nullopt}, WordCase{"CRE ", std::nullopt}));

TEST(NamingRules, ReadsDatesFromTheFileRecord) {
    const PictureDates dates =
        dates_from_record("1234\r20011225143000\r20020103090507\r20020103090600\rA");
    EXPECT_EQ(dates.creation, "20011225143000");
    EXPECT_EQ(dates.modification, "20020103090507");
    EXPECT_EQ(dates_from_record("").creation, "");
    EXPECT_EQ(dates_from_record("").modification, "");
}

TEST(NamingRules, BuildsTargetsAndOutputExtensions) {
    EXPECT_EQ(base_name("/card/DCIM/IMG.0001.JPG"), "IMG.0001");
    EXPECT_EQ(target_folder("/dest/", ""), "/dest/");
    EXPECT_EQ(target_folder("/dest/", "20011225"), "/dest/20011225/");
    EXPECT_EQ(file_target("/dest/20011225/", "x", "bmp"), "/dest/20011225/x.bmp");

    const char* expected[] = {"bmp", "jpg", "bmp", "tif", "png", "psd"};
    for (int index = 0; index < 6; ++index)
        EXPECT_EQ(output_extension(index, "bmp"), expected[index]) << index;
    EXPECT_EQ(output_extension(-1, "tif"), "tif");
    EXPECT_EQ(output_extension(6, "tif"), "tif");
    EXPECT_TRUE(is_jpeg_choice(1));
    EXPECT_FALSE(is_jpeg_choice(0));
    EXPECT_FALSE(is_jpeg_choice(-1));
}

TEST(NamingRules, RefusesNamesThatAreFolders) {
    EXPECT_TRUE(is_plain_name("IMG_0001"));
    EXPECT_TRUE(is_plain_name(".."));
    EXPECT_FALSE(is_plain_name("a/b"));
    EXPECT_FALSE(is_plain_name("/etc/passwd"));
    EXPECT_FALSE(is_plain_name(std::string("a\0b", 3)));
}

// The question itself is exercised by whole runs; these are the names it proposes.
class Collision : public ::testing::Test {
protected:
    void touch(const std::string& name) { test::write_file(m_dir.file(name), "taken"); }

    test::TempDir m_dir;
};

TEST_F(Collision, ProposesBisNamesUntilOneIsFree) {
    EXPECT_EQ(bis_proposal(m_dir.file("a.jpg")), m_dir.file("a.jpg"));
    touch("a.jpg");
    EXPECT_EQ(bis_proposal(m_dir.file("a.jpg")), m_dir.file("a-bis.jpg"));
    touch("a-bis.jpg");
    EXPECT_EQ(bis_proposal(m_dir.file("a.jpg")), m_dir.file("a-bis-bis.jpg"));
}

TEST_F(Collision, GivesThumbnailsFreeNames) {
    EXPECT_EQ(free_thumb_path(m_dir.path(), "IMG"), m_dir.file("IMG.jpg"));
    touch("IMG.jpg");
    EXPECT_EQ(free_thumb_path(m_dir.path(), "IMG"), m_dir.file("IMG_2.jpg"));
    touch("IMG_2.jpg");
    // Without a trailing separator the thumbnail still lands inside the folder.
    std::string folder = m_dir.path();
    folder.pop_back();
    EXPECT_EQ(free_thumb_path(folder, "IMG"), m_dir.file("IMG_3.jpg"));
    // Names handed out to thumbnails not written yet are taken as well.
    EXPECT_EQ(free_thumb_path(m_dir.path(), "IMG", {m_dir.file("IMG_3.jpg")}),
              m_dir.file("IMG_4.jpg"));
}

struct ThumbNameCase {
    const char* label;
    std::string base;
    std::string name;
};

class ThumbName : public ::testing::TestWithParam<ThumbNameCase> {};

// The grid takes its list one path a line and drops a file named "m_" + another's name.
TEST_P(ThumbName, IsSafeForTheGrid) {
    test::TempDir dir;
    EXPECT_EQ(free_thumb_path(dir.path(), GetParam().base), dir.file(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Bases, ThumbName,
    testing::Values(ThumbNameCase{"Plain", "IMG_0001", "IMG_0001.jpg"},
                    ThumbNameCase{"NotUtf8", "caf\xE9", "caf\xE9.jpg"},
                    ThumbNameCase{"CarriageReturn", "a\rb", "a_b.jpg"},
                    ThumbNameCase{"ControlCharacters", "line\nfeed\t\x7F", "line_feed__.jpg"},
                    ThumbNameCase{"CompanionPrefix", "m_a", "_m_a.jpg"},
                    ThumbNameCase{"CompanionReference", "m_ref", "_m_ref.jpg"},
                    ThumbNameCase{"OtherCase", "M_a", "M_a.jpg"},
                    ThumbNameCase{"Long", std::string(300, 'x'), std::string(200, 'x') + ".jpg"},
                    // A two-byte character across byte 200 is left out whole.
                    ThumbNameCase{"LongCutAtACharacter", std::string(199, 'x') + "\xC3\xA9" + "yy",
                                  std::string(199, 'x') + ".jpg"}),
    [](const testing::TestParamInfo<ThumbNameCase>& info) { return info.param.label; });

TEST_F(Collision, AThumbnailMadeSafeStillGetsAFreeName) {
    touch("_m_a.jpg");
    EXPECT_EQ(free_thumb_path(m_dir.path(), "m_a"), m_dir.file("_m_a_2.jpg"));
}

} // namespace
} // namespace orvix
