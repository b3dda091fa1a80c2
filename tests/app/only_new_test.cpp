// The new-pictures box of the transfer page through the main window: the source status
// counts what is new, a clicked transfer copies only that, the record the run keeps lives
// in the user's data folder, and a record that cannot be read is said in the user's language.
#include "app_fixture.h"

#include "fs/fs.h"
#include "settings/prefs.h"
#include "support/images.h"
#include "text/text.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <set>
#include <string>

namespace orvix::test {
namespace {

constexpr int64_t kTaken = 1500000000;

class OnlyNewWindowTest : public AppTest {
protected:
    void add(const std::string& relative) {
        const std::string path = m_dir.file("card/" + relative);
        make_picture(path, 24, 16);
        set_mtime(path, kTaken);
    }
    std::string status() const { return child<QLabel>("statussrc")->text().toStdString(); }
    std::string new_status(const std::string& language, int new_count, int count) const {
        return Remplacer(
            "#1", std::to_string(new_count),
            Remplacer("#2", std::to_string(count), shipped_text(language, "new_pictures")));
    }

    std::string m_card = m_dir.folder("card");
    std::string m_photos = m_dir.folder("photos");
    std::string m_history = m_dir.path() + "xdg-data/orvix/history.sqlite";
};

TEST_F(OnlyNewWindowTest, ASecondClickedTransferCopiesOnlyWhatIsNew) {
    add("DCIM/IMG_0001.JPG");
    add("DCIM/IMG_0002.JPG");
    add("DCIM/IMG_0003.bmp");
    Form1& form = start({{"SOURCE_PATH", m_card}, {"DEST_PATH", m_photos}, {"ONLY_NEW", "1"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QCheckBox* box = child<QCheckBox>("onlynew");
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(box->text().toStdString(), shipped_text("ENGLISH", "only_new"));
    EXPECT_EQ(status(), new_status("ENGLISH", 3, 3));

    m_dialogs.clear();
    click_transfer_and_wait();
    EXPECT_EQ(files_under(m_photos),
              (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.bmp"}));
    EXPECT_TRUE(file_exists(m_history)) << "kept in the user's data folder";
    EXPECT_EQ(status(), new_status("ENGLISH", 0, 3));

    // The same card after its clock moved an hour, with one picture more.
    for (const char* name : {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.bmp"})
        set_mtime(m_card + "DCIM/" + name, kTaken + 3600);
    add("DCIM/IMG_0004.JPG");
    form.statussrc_Click();
    EXPECT_EQ(status(), new_status("ENGLISH", 1, 4));
    m_dialogs.clear();
    click_transfer_and_wait();
    EXPECT_EQ(files_under(m_photos).size(), 4u);
    EXPECT_TRUE(file_exists(m_photos + "IMG_0004.jpg"));
    EXPECT_TRUE(m_dialogs.inputs().empty()) << "no old picture came back to clash with its copy";
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", "1", shipped_text("ENGLISH", "end_transfer")) + "\r\n" +
                  shipped_text("ENGLISH", "no_error"));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(status(), Remplacer("#1", "4", shipped_text("ENGLISH", "x_pictures_transferable")));
    EXPECT_TRUE(form.close());
    EXPECT_EQ(get_key_value("ONLY_NEW", read_file(prefs_path(m_program))), "0");
}

TEST_F(OnlyNewWindowTest, ACorruptRecordIsSaidOnceInTheUsersLanguageAndLeftAsItWas) {
    add("IMG_0001.JPG");
    add("IMG_0002.JPG");
    std::string garbage;
    for (int i = 0; i < 4000; ++i)
        garbage += static_cast<char>((i * 37 + 11) % 256);
    m_dir.folder("xdg-data/orvix");
    write_file(m_history, garbage);

    Form1& form = start({{"SOURCE_PATH", m_card},
                         {"DEST_PATH", m_photos},
                         {"ONLY_NEW", "1"},
                         {"CURRENT_LANGUAGE", "FRENCH.lng"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(status(), new_status("FRENCH", 2, 2)) << "an unreadable record makes all new";
    m_dialogs.clear();
    click_transfer_and_wait();

    EXPECT_EQ(files_under(m_photos), (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg"}));
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", m_history,
                        Remplacer("<BR>", "\r\n", shipped_text("FRENCH", "no_history"))));
    EXPECT_EQ(m_dialogs.messages()[1].icon, Icon::Information);
    EXPECT_EQ(read_file(m_history), garbage);
    EXPECT_EQ(folder_entry_names(m_dir.path() + "xdg-data/orvix"),
              std::vector<std::string>{"history.sqlite"});
}

// The status says what the run will do: a record it cannot write to makes every picture new.
TEST_F(OnlyNewWindowTest, AReadOnlyRecordFolderMakesEveryPictureNewInTheStatusAndTheRun) {
    add("IMG_0001.JPG");
    add("IMG_0002.JPG");
    Form1& form = start({{"SOURCE_PATH", m_card}, {"DEST_PATH", m_photos}, {"ONLY_NEW", "1"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    click_transfer_and_wait();
    EXPECT_EQ(status(), new_status("ENGLISH", 0, 2));

    const ReadOnlyFolder read_only(m_dir.path() + "xdg-data/orvix");
    ASSERT_TRUE(read_only.ok());
    form.statussrc_Click();
    EXPECT_EQ(status(), new_status("ENGLISH", 2, 2));
    const std::string photos = m_dir.folder("photos2");
    child<QLineEdit>("destin")->setText(QString::fromStdString(photos));
    m_dialogs.clear();
    click_transfer_and_wait();
    EXPECT_EQ(files_under(photos), (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg"}));
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", m_history,
                        Remplacer("<BR>", "\r\n", shipped_text("ENGLISH", "no_history"))));
}

} // namespace
} // namespace orvix::test
