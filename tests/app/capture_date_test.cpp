// Naming by the date a picture was taken, from the setup page to the files on disk: the
// option as the preferences keep it, the date folders it offers, and a clicked transfer of a
// card whose EXIF dates differ from its file dates.
#include "app_fixture.h"

#include "fs/fs.h"
#include "settings/prefs.h"
#include "support/exif.h"
#include "support/images.h"
#include "text/text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <set>
#include <string>

namespace orvix::test {
namespace {

class CaptureDateTest : public AppTest {};

TEST_F(CaptureDateTest, TheOptionIsReadBackOffersDateFoldersAndIsSaved) {
    start({{"RENAME_WITH", "CAPTURE"}});
    for (const char* option : {"none", "cre", "modific", "otherrename"})
        EXPECT_FALSE(child<QRadioButton>(option)->isChecked()) << option;
    QRadioButton* capture = child<QRadioButton>("capture");
    EXPECT_TRUE(capture->isChecked());
    EXPECT_EQ(capture->text().toStdString(), shipped_text("ENGLISH", "copy_capturedate"));
    EXPECT_TRUE(child<QCheckBox>("subdir")->isEnabled());

    child<QRadioButton>("none")->click();
    EXPECT_FALSE(child<QCheckBox>("subdir")->isEnabled());
    capture->click();
    EXPECT_TRUE(child<QCheckBox>("subdir")->isEnabled()) << "a click on it offers date folders";
    child<QRadioButton>("otherrename")->click();
    child<QLineEdit>("renpattern")->setText("{same}_{capturedate}");
    child<QRadioButton>("otherrename")->click();
    EXPECT_TRUE(child<QCheckBox>("subdir")->isEnabled()) << "and so does its token";

    capture->click();
    EXPECT_TRUE(m_form->close());
    EXPECT_NE(read_file(prefs_path(m_program)).find("$RENAME_WITH=CAPTURE"), std::string::npos);

    for (const char* stored : {"capture", "CAPTURED"}) {
        start({{"RENAME_WITH", stored}});
        EXPECT_FALSE(child<QRadioButton>("capture")->isChecked()) << stored;
    }
}

struct CaptureNaming {
    const char* label;
    const char* rename_with;
    const char* pattern;
    const char* prefix; // before the date in every name
};

class CaptureDateTransfer : public AppTest, public testing::WithParamInterface<CaptureNaming> {};

TEST_P(CaptureDateTransfer, NamesAndFilesTheCopiesByTheDateTheyWereTaken) {
    const CaptureNaming& c = GetParam();
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    // Two pictures of the same second, one dated only by its DateTime, a scan without EXIF;
    // every file written at the end of 2001.
    const std::string jpegs[] = {card + "IMG_0001.JPG", card + "IMG_0002.JPG",
                                 card + "IMG_0003.JPG"};
    for (const std::string& path : jpegs)
        make_picture(path, 24, 16);
    write_exif_dates(jpegs[0], {"2019:07:14 10:20:30", "", ""});
    write_exif_dates(jpegs[1], {"", "2019:07:14 10:20:30", ""});
    write_exif_dates(jpegs[2], {"", "", "2020:01:02 03:04:05"});
    const std::string scan = card + "SCAN.bmp";
    make_picture(scan, 24, 16);
    for (const std::string& path : {jpegs[0], jpegs[1], jpegs[2], scan})
        set_mtime(path, 1009290600);
    const std::string created = get_line(2, file_info(scan));
    ASSERT_EQ(created.size(), 14u);

    Form1& form = start({{"SOURCE_PATH", card},
                         {"DEST_PATH", photos},
                         {"RENAME_WITH", c.rename_with},
                         {"RENAME_PATTERN", c.pattern},
                         {"CREATE_SUBDIR", "1"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    m_dialogs.clear();
    click_transfer_and_wait();

    const std::string prefix = c.prefix;
    // The listing decides which of the twins is asked about; either takes "-bis".
    const std::set<std::string> expected = {
        "20190714/" + prefix + "20190714102030.jpg",
        "20190714/" + prefix + "20190714102030-bis.jpg",
        "20200102/" + prefix + "20200102030405.jpg",
        created.substr(0, 8) + "/" + prefix + created + ".bmp",
    };
    EXPECT_EQ(files_under(photos), expected);
    ASSERT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(m_dialogs.inputs()[0].default_answer, prefix + "20190714102030-bis");
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const std::string note = Remplacer("#1", "1", shipped_text("ENGLISH", "x_no_capture_date"));
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", "4", shipped_text("ENGLISH", "end_transfer")) + "\r\n" +
                  shipped_text("ENGLISH", "no_error") + "\r\n\r\n" + note);
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Information);
}

INSTANTIATE_TEST_SUITE_P(Namings, CaptureDateTransfer,
                         testing::Values(CaptureNaming{"Option", "CAPTURE", "{creationdate}", ""},
                                         CaptureNaming{"Pattern", "OTHER", "taken_{capturedate}",
                                                       "taken_"}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace orvix::test
