// Start-up from the preferences file and the shutdown that writes it back.
#include "app_fixture.h"

#include "app/program.h"
#include "fs/fs.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix::test {
namespace {

using StartupTest = AppTest;

TEST_F(StartupTest, QualityFactorOutOfRangeOrNotANumberShows100) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0", "100"},   {"abc", "100"}, {"150", "100"}, {"250", "100"}, {"75", "75"},
        {"100", "100"}, {"1", "1"},     {"74.5", "74"}, {"-5", "100"},
    };
    for (const auto& [stored, shown] : cases) {
        start({{"QUALITYFACTOR", stored}});
        EXPECT_EQ(child<QLineEdit>("quality")->text().toStdString(), shown) << stored;
    }
    start({});
    EXPECT_EQ(child<QLineEdit>("quality")->text(), "100") << "absent";
}

TEST_F(StartupTest, RenameWithSelectsAtMostOneOption) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"CRE", "cre"}, {"MOD", "modific"}, {"OTHER", "otherrename"}, {"NO", "none"}, {"cre", ""},
        {"XYZ", ""},    {"", ""},
    };
    for (const auto& [stored, selected] : cases) {
        start({{"RENAME_WITH", stored}});
        for (const char* option : {"none", "cre", "modific", "otherrename"})
            EXPECT_EQ(child<QRadioButton>(option)->isChecked(), std::string(option) == selected)
                << "RENAME_WITH=" << stored << " option " << option;
    }
}

TEST_F(StartupTest, FoldersPatternChecksAndFormatComeFromThePreferences) {
    Form1& form = start({{"SOURCE_PATH", "/media/card/DCIM"},
                         {"DEST_PATH", "/home/me/Pictures"},
                         {"RENAME_PATTERN", "{same}_{creationdate}"},
                         {"CREATE_SUBDIR", "1"},
                         {"DELETE_ORIGINAL", "1.4"},
                         {"SHOW_THUMBS", "abc"},
                         {"OPEN_ASLEEP", "0"},
                         {"FILECONVERSION", "3"}});
    EXPECT_EQ(child<QLineEdit>("chemin")->text(), "/media/card/DCIM");
    EXPECT_EQ(child<QLineEdit>("destin")->text(), "/home/me/Pictures");
    EXPECT_EQ(child<QLineEdit>("renpattern")->text(), "{same}_{creationdate}");
    EXPECT_TRUE(child<QCheckBox>("subdir")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("delete")->isChecked()) << "1.4 reads as 1";
    EXPECT_FALSE(child<QCheckBox>("showthumbs")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("asleep")->isChecked());
    EXPECT_EQ(child<QComboBox>("formatchoice")->currentIndex(), 3);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.tray_flag());
    EXPECT_FALSE(child<QWidget>("tex")->isVisibleTo(&form));
    const std::string infos = read_file(m_program + "extra/infos.txt");
    EXPECT_TRUE(child<QPlainTextEdit>("infobox")->toPlainText().startsWith(
        QString::fromStdString(infos.substr(0, infos.find('\r')))));
}

TEST_F(StartupTest, FormatIndexThatNamesNoEntryLeavesNoSelection) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"", 0}, {"5", 5}, {"-1", -1}, {"9", -1}, {"x", 0}};
    for (const auto& [stored, index] : cases) {
        start({{"FILECONVERSION", stored}});
        EXPECT_EQ(child<QComboBox>("formatchoice")->currentIndex(), index) << stored;
    }
}

TEST_F(StartupTest, OpenAsleepShowsOnlyTheTrayIcon) {
    Form1& form = start({{"OPEN_ASLEEP", "1"}});
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.tray_flag());
    EXPECT_EQ(m_tray->adds, 1);
    EXPECT_EQ(m_tray->tip, shipped_text("ENGLISH", "tray_tip"));
    EXPECT_TRUE(child<QCheckBox>("asleep")->isChecked());
}

TEST_F(StartupTest, OpenAsleepWithoutNotificationAreaMinimisesInstead) {
    Form1& form = start({{"OPEN_ASLEEP", "1"}}, false);
    EXPECT_TRUE(form.isVisible()) << "a hidden window could not be reached again";
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.tray_flag());
}

TEST_F(StartupTest, MissingPreferencesFileStartsWithDefaultsAfterOneErrorBox) {
    std::filesystem::remove(prefs_path(m_program));
    run(start_up());

    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(child<QLineEdit>("chemin")->text(), "");
    EXPECT_EQ(child<QLineEdit>("quality")->text(), "100");
    for (const char* option : {"none", "cre", "modific", "otherrename"})
        EXPECT_FALSE(child<QRadioButton>(option)->isChecked()) << option;
    for (const char* box : {"subdir", "delete", "showthumbs", "asleep"})
        EXPECT_FALSE(child<QCheckBox>(box)->isChecked()) << box;
    EXPECT_EQ(child<QTabWidget>("tabstrip")->tabText(0).toStdString(),
              shipped_text("ENGLISH", "tab_imagetransfer"));
}

TEST_F(StartupTest, APreferencesFileThatIsNoTextFileStartsWithDefaultsAfterOneErrorBox) {
    struct Case {
        const char* label;
        std::function<void(const std::string&)> make;
        int error;
    };
    const Case cases[] = {
        {"fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
         EINVAL},
        {"link to /dev/zero",
         [](const std::string& path) { ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); },
         EINVAL},
        {"100 MiB", [](const std::string& path) { std::filesystem::resize_file(path, 100 << 20); },
         EFBIG},
    };
    for (const Case& c : cases) {
        const std::string path = prefs_path(m_program);
        write_file(path, "$SOURCE_PATH=/media/card");
        if (std::string(c.label) != "100 MiB")
            std::filesystem::remove(path);
        c.make(path);
        m_dialogs.clear();
        m_form = Main(start_up(), std::make_unique<FakeTray>(true), m_desktop);
        ASSERT_EQ(m_dialogs.messages().size(), 1u) << c.label;
        EXPECT_EQ(m_dialogs.messages()[0].title, "Error") << c.label;
        EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(c.error)) << c.label;
        EXPECT_TRUE(m_form->isVisible()) << c.label;
        EXPECT_EQ(child<QLineEdit>("chemin")->text(), "") << c.label;
        EXPECT_EQ(child<QLineEdit>("quality")->text(), "100") << c.label;
        m_form.reset();
        std::filesystem::remove(path);
    }
}

TEST_F(StartupTest, ASourcePathHoldingANulByteIsAMissingSource) {
    const std::string card = m_dir.folder("card");
    write_file(card + "DCIM/IMG_0001.JPG", "x");
    Form1& form = start_with_text("$SOURCE_PATH=" + card + std::string("\0", 1) + "x");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(child<QPushButton>("Command3")->isEnabled());
    EXPECT_EQ(child<QLabel>("statussrc")->text().toStdString(),
              shipped_text("ENGLISH", "source_unavailable"));
}

TEST_F(StartupTest, FolderNamesThatAreNotUtf8ComeBackByteForByte) {
    const std::string source = "/media/\xff\xfe"
                               "card";
    const std::string destination = "/home/me/caf\xe9";
    Form1& form = start({{"SOURCE_PATH", source}, {"DEST_PATH", destination}});
    EXPECT_TRUE(form.close());
    const std::string saved = read_file(prefs_path(m_program));
    EXPECT_NE(saved.find("$SOURCE_PATH=" + source + "\r"), std::string::npos);
    EXPECT_NE(saved.find("$DEST_PATH=" + destination + "\r"), std::string::npos);
}

TEST_F(StartupTest, ClosingWritesTheNineKeysInOrderAndRemovesTheThumbnails) {
    Form1& form = start({{"CURRENT_LANGUAGE", "ENGLISH.LNG"}, {"QUALITYFACTOR", "80"}});
    write_file(m_thumbs + "IMG_0001.jpg", "thumb");
    write_file(m_thumbs + "IMG_0002.jpg", "thumb");
    child<QLineEdit>("chemin")->setText("/media/card");
    child<QLineEdit>("destin")->setText("/home/me/Photos");
    child<QLineEdit>("renpattern")->setText("{same}");
    child<QRadioButton>("modific")->setChecked(true);
    child<QCheckBox>("delete")->setChecked(true);
    child<QCheckBox>("asleep")->setChecked(true);
    child<QLineEdit>("quality")->setText("abc");
    child<QComboBox>("formatchoice")->setCurrentIndex(2);
    form.formatchoice_Click();

    EXPECT_TRUE(form.close());

    EXPECT_FALSE(folder_exists(m_thumbs));
    const std::vector<std::string> lines = split(read_file(prefs_path(m_program)), "\r");
    ASSERT_GE(lines.size(), 9u);
    const std::vector<std::string> last_nine(lines.end() - 9, lines.end());
    EXPECT_EQ(last_nine,
              (std::vector<std::string>{"$RENAME_PATTERN={same}", "$QUALITYFACTOR=abc",
                                        "$RENAME_WITH=MOD", "$SOURCE_PATH=/media/card",
                                        "$DEST_PATH=/home/me/Photos", "$CREATE_SUBDIR=0",
                                        "$DELETE_ORIGINAL=1", "$SHOW_THUMBS=0", "$OPEN_ASLEEP=1"}));
    EXPECT_EQ(lines[0], "$CURRENT_LANGUAGE=ENGLISH.LNG");
    EXPECT_EQ(lines[1], "$FILECONVERSION=2");
}

} // namespace
} // namespace orvix::test

namespace orvix::test {
namespace {

TEST(ThumbsDir, EachRunGetsAPrivateFolderOfItsOwn) {
    const std::string first = new_thumbs_dir();
    const std::string second = new_thumbs_dir();
    EXPECT_NE(first, second);
    for (const std::string& folder : {first, second}) {
        ASSERT_TRUE(folder_exists(folder)) << folder;
        EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
        clear_folder(folder, true, true);
    }
}

} // namespace
} // namespace orvix::test
