// Transfers clicked in the main window with the setup page's choices as the preferences set
// them: naming, date folders, conversion and deletion, checked by the files they leave on
// disk. The choices travel from the window's controls to the run on its worker, which is
// where they can get lost.
#include "app_fixture.h"

#include "fs/fs.h"
#include "support/images.h"
#include "text/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvix::test {
namespace {

// One picture of the card and what the naming rules read from it.
struct CardPicture {
    std::string name;         // on the card
    std::string base;         // name without extension
    std::string extension;    // of the copy: lower case
    std::string modification; // YYYYMMDDhhmmss, set by the test
    std::string creation;     // YYYYMMDDhhmmss, the file system's own
};

using StemRule = std::string (*)(const CardPicture&);

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A naming option, with the name and the folder it gives.
struct Naming {
    const char* label;
    const char* rename_with;
    const char* pattern;
    StemRule stem;                      // the copy's name without extension
    std::string CardPicture::*dated_by; // the date of its folder; nullptr: never filed
};

const Naming keep = {"Keep", "NO", "", [](const CardPicture& p) { return p.base; }, nullptr};
const Naming creation = {"CreationDate", "CRE", "", [](const CardPicture& p) { return p.creation; },
                         &CardPicture::creation};
const Naming modification = {"ModificationDate", "MOD", "",
                             [](const CardPicture& p) { return p.modification; },
                             &CardPicture::modification};
const Naming plain_pattern = {"PatternWithoutDate", "OTHER", "{sameupper}_{samelower}",
                              [](const CardPicture& p) { return p.base + "_" + lower(p.base); },
                              nullptr};
const Naming modification_pattern = {
    "PatternWithModificationDate", "OTHER", "{samelower}_{modificationdate}",
    [](const CardPicture& p) { return lower(p.base) + "_" + p.modification; },
    &CardPicture::modification};
const Naming creation_pattern = {"PatternWithCreationDate", "OTHER", "{creationdate}-{same}",
                                 [](const CardPicture& p) { return p.creation + "-" + p.base; },
                                 &CardPicture::creation};

struct FilingCase {
    Naming naming;
    bool subdir; // "Create a sub-folder per date" checked
    int format;  // FILECONVERSION: 0 none, 1 jpg, 2 bmp, 3 tif, 4 png, 5 psd
    bool delete_originals;
};

const char* const format_extensions[] = {"", "jpg", "bmp", "tif", "png", "psd"};
const char* const format_labels[] = {"NoConversion", "Jpeg", "Bmp", "Tiff", "Png", "Psd"};
// What the format list shows for each entry but the first, whose text is the language's.
const char* const format_shown[] = {"", "JPEG", "BMP", "TIFF", "PNG", "Adobe Photoshop"};

FilingCase filing(const Naming& naming, bool subdir, int format, bool delete_originals) {
    return {naming, subdir, format, delete_originals};
}

// Every naming option with and without date folders, and every format with and without
// deletion; the other choices vary along. The three pictures of the card are mostly created
// in the same second, which gives them one creation-date name: those cases keep each
// picture's own format, where the names still differ by their extension.
std::vector<FilingCase> filing_cases() {
    return {
        filing(keep, false, 0, false),
        filing(keep, true, 4, true),
        filing(creation, false, 0, true),
        filing(creation, true, 0, false),
        filing(modification, false, 1, false),
        filing(modification, true, 5, true),
        filing(plain_pattern, false, 2, true),
        filing(plain_pattern, true, 3, false),
        filing(modification_pattern, false, 3, false),
        filing(modification_pattern, true, 2, true),
        filing(creation_pattern, false, 0, false),
        filing(creation_pattern, true, 0, true),

        filing(keep, true, 0, true),
        filing(modification, true, 0, false),
        filing(keep, true, 1, true),
        filing(modification, true, 1, false),
        filing(keep, true, 2, false),
        filing(modification, true, 2, true),
        filing(keep, true, 3, true),
        filing(modification, true, 3, false),
        filing(keep, true, 4, false),
        filing(modification, true, 4, true),
        filing(keep, true, 5, false),
        filing(modification_pattern, true, 5, true),
    };
}

std::string case_name(const FilingCase& c) {
    return std::string(c.naming.label) + (c.subdir ? "_DateFolders_" : "_NoDateFolders_") +
           format_labels[c.format] + (c.delete_originals ? "_DeleteOriginals" : "_KeepOriginals");
}

void PrintTo(const FilingCase& c, std::ostream* out) {
    *out << case_name(c);
}

// YYYYMMDDhhmmss of a local time, and the time itself.
std::pair<std::string, int64_t> local_time(int year, int month, int day, int hour, int minute,
                                           int second) {
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return {text, static_cast<int64_t>(std::mktime(&when))};
}

// Whether the file starts as its extension's format does.
bool has_magic_of(const std::string& path, const std::string& extension) {
    const std::string head = read_file(path).substr(0, 8);
    const std::map<std::string, std::vector<std::string>> magic = {
        {"jpg", {"\xFF\xD8\xFF"}},
        {"bmp", {"BM"}},
        {"tif", {std::string("II*\0", 4), std::string("MM\0*", 4)}},
        {"png", {"\x89PNG\r\n\x1A\n"}},
        {"psd", {"8BPS"}},
    };
    for (const std::string& start : magic.at(extension))
        if (head.starts_with(start))
            return true;
    return false;
}

class TransferFilingTest : public AppTest, public ::testing::WithParamInterface<FilingCase> {};

TEST_P(TransferFilingTest, TheCopiesAreNamedFiledAndConvertedAsTheWindowSays) {
    const FilingCase& c = GetParam();
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");

    // A picture in each format the card may hold, each last written on its own day.
    std::vector<CardPicture> on_card = {
        {"IMG_0001.JPG", "IMG_0001", "jpg", "", ""},
        {"IMG_0002.tif", "IMG_0002", "tif", "", ""},
        {"IMG_0003.bmp", "IMG_0003", "bmp", "", ""},
    };
    const std::pair<std::string, int64_t> times[] = {
        local_time(2001, 12, 25, 14, 30, 0),
        local_time(2002, 1, 2, 8, 5, 7),
        local_time(2003, 2, 3, 9, 5, 7),
    };
    std::map<std::string, std::string> originals;
    for (size_t i = 0; i < on_card.size(); ++i) {
        CardPicture& picture = on_card[i];
        const std::string path = card + picture.name;
        make_picture(path, 24, 16);
        set_mtime(path, times[i].second);
        picture.modification = times[i].first;
        picture.creation = get_line(2, file_info(path));
        ASSERT_EQ(picture.creation.size(), 14u);
        originals[picture.name] = read_file(path);
    }

    Form1& form = start({{"SOURCE_PATH", card},
                         {"DEST_PATH", photos},
                         {"RENAME_WITH", c.naming.rename_with},
                         {"RENAME_PATTERN", c.naming.pattern},
                         {"CREATE_SUBDIR", c.subdir ? "1" : "0"},
                         {"FILECONVERSION", std::to_string(c.format)},
                         {"DELETE_ORIGINAL", c.delete_originals ? "1" : "0"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(child<QCheckBox>("subdir")->isEnabled(), c.naming.dated_by != nullptr)
        << "the box is offered exactly with a dated name";
    if (c.format != 0) {
        EXPECT_EQ(child<QComboBox>("formatchoice")->currentText(), format_shown[c.format])
            << "the entry the user sees is the format written";
    }
    m_dialogs.clear();
    click_transfer_and_wait();

    std::set<std::string> expected;
    std::map<std::string, const CardPicture*> copies;
    for (const CardPicture& picture : on_card) {
        const std::string folder =
            c.subdir && c.naming.dated_by ? (picture.*c.naming.dated_by).substr(0, 8) + "/" : "";
        const std::string extension = c.format ? format_extensions[c.format] : picture.extension;
        const std::string copy = folder + c.naming.stem(picture) + "." + extension;
        expected.insert(copy);
        copies[copy] = &picture;
    }
    EXPECT_EQ(files_under(photos), expected) << "no other file, no intermediate copy left";
    for (const auto& [copy, picture] : copies) {
        SCOPED_TRACE(copy);
        if (file_exists(photos + copy)) {
            EXPECT_TRUE(has_magic_of(photos + copy, file_extension(copy)));
            if (file_extension(copy) == picture->extension) {
                EXPECT_EQ(read_file(photos + copy), originals[picture->name]) << "copied as is";
            }
        }
        EXPECT_EQ(file_exists(card + picture->name), !c.delete_originals);
    }

    EXPECT_TRUE(m_dialogs.inputs().empty()) << "no name was taken";
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Information) << m_dialogs.messages()[0].text;
}

INSTANTIATE_TEST_SUITE_P(EveryChoice, TransferFilingTest, ::testing::ValuesIn(filing_cases()),
                         [](const auto& info) { return case_name(info.param); });

} // namespace
} // namespace orvix::test
