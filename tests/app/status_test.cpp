// The source and destination status, the folder buttons, and the way back from the tray.
#include "app_fixture.h"

#include "app/status_text.h"
#include "fs/fs.h"
#include "settings/language.h"
#include "support/images.h"
#include "text/text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvix::test {
namespace {

using StatusTest = AppTest;

std::string label_text(const QLabel* label) {
    return label->text().toStdString();
}

TEST_F(StatusTest, MissingSourceIsRedAndCannotBeOpened) {
    start({{"SOURCE_PATH", m_dir.path() + "no-card"}});
    const QLabel* status = child<QLabel>("statussrc");
    EXPECT_EQ(label_text(status), shipped_text("ENGLISH", "source_unavailable"));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_FALSE(child<QPushButton>("Command3")->isEnabled());
}

TEST_F(StatusTest, SourceCountsPicturesOfEverySubfolderAndNothingElse) {
    const std::string card = m_dir.folder("card");
    write_file(card + "notes.txt", "x");
    make_picture(card + "drawing.png", 8, 8);
    Form1& form = start({{"SOURCE_PATH", card}});
    const QLabel* status = child<QLabel>("statussrc");
    EXPECT_EQ(label_text(status), shipped_text("ENGLISH", "no_picture_transferable"));
    EXPECT_NE(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(child<QPushButton>("Command3")->isEnabled());

    make_jpeg(card + "IMG_0001.JPG", 16, 12);
    make_picture(m_dir.folder("card/DCIM/100") + "IMG_0002.tif", 16, 12);
    make_picture(m_dir.folder("card/DCIM/101") + "IMG_0003.bmp", 16, 12);
    form.statussrc_Click();
    EXPECT_EQ(label_text(status),
              Remplacer("#1", "3", shipped_text("ENGLISH", "x_pictures_transferable")));
}

TEST_F(StatusTest, DestinationShowsFreeSpaceAndThePicturesThatStillFit) {
    SmallVolume volume(4 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs a tmpfs mount";
    Form1& form = start({{"DEST_PATH", volume.path()}});
    const QLabel* free_label = child<QLabel>("freedest");
    const std::string kilobytes =
        kilobytes_text(free_space(volume.path()), QLocale::system()).toStdString();
    EXPECT_EQ(label_text(free_label),
              Remplacer("#1", kilobytes, shipped_text("ENGLISH", "how_free")))
        << "an empty destination has no picture estimate";
    EXPECT_TRUE(child<QPushButton>("Command4")->isEnabled());

    write_file(volume.path() + "a.jpg", std::string(100000, 'a'));
    write_file(volume.path() + "old/b.jpg", std::string(300000, 'b'));
    write_file(volume.path() + "c.txt", std::string(900000, 'c'));
    form.update();
    const double free_bytes = free_space(volume.path());
    const std::string expected =
        Remplacer("#1", kilobytes_text(free_bytes, QLocale::system()).toStdString(),
                  shipped_text("ENGLISH", "how_free")) +
        "\r\n" +
        Remplacer("#1", std::to_string(to_int(free_bytes / 200000.0)),
                  shipped_text("ENGLISH", "how_freepics"));
    EXPECT_EQ(label_text(free_label), expected);
}

TEST_F(StatusTest, MissingDestinationLeavesTheLineEmpty) {
    start({{"DEST_PATH", m_dir.path() + "nowhere"}});
    EXPECT_EQ(label_text(child<QLabel>("freedest")), "");
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
}

TEST(DestinationStatus, KilobytesInTheLocaleFormatAndAnEstimateRoundedHalfToEven) {
    LanguageTable language;
    language.parse_language_text("how_free=#1 KB\rhow_freepics=#1 more");
    const QLocale c(QLocale::C);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        double free_bytes, average;
        const QLocale& locale;
        const char* text;
    } cases[] = {
        {10240, 0, c, "10 KB"},
        {1536, 0, german, "1,5 KB"},
        {1024.0 * 1234567, 0, german, "1234567 KB"},
        {1024.0 * 123456789 + 1, 0, c, "123456789.000977 KB"},
        {2500, 1000, c, "2.44140625 KB\r\n2 more"},
        {3500, 1000, c, "3.41796875 KB\r\n4 more"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(destination_status(language, test.free_bytes, test.average, test.locale),
                  test.text);
}

TEST_F(StatusTest, BrowseButtonsFillTheFolderBoxesUnlessCancelled) {
    const std::string card = m_dir.folder("card");
    make_jpeg(card + "a.jpg", 8, 8);
    Form1& form = start({{"SOURCE_PATH", "/old"}, {"DEST_PATH", "/old-dest"}});
    m_desktop.answers = {card, ""};
    form.Command2_Click();
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), card);
    EXPECT_EQ(label_text(child<QLabel>("statussrc")),
              Remplacer("#1", "1", shipped_text("ENGLISH", "x_pictures_transferable")));
    form.dest_Click();
    EXPECT_EQ(child<QLineEdit>("destin")->text(), "/old-dest");
    EXPECT_EQ(m_desktop.titles,
              (std::vector<std::string>{shipped_text("ENGLISH", "select_sourcedir"),
                                        shipped_text("ENGLISH", "select_destdir")}));

    form.Command3_Click();
    form.Command4_Click();
    EXPECT_EQ(m_desktop.opened, (std::vector<std::string>{card, "/old-dest"}));
}

TEST_F(StatusTest, CameraWatchBringsTheWindowBackWhenPicturesAppear) {
    const std::string card = m_dir.path() + "card/";
    Form1& form = start({{"SOURCE_PATH", card}, {"OPEN_ASLEEP", "1"}});
    ASSERT_FALSE(form.isVisible());

    form.Timer1_Timer();
    EXPECT_FALSE(form.isVisible()) << "no card yet";
    EXPECT_FALSE(form.drive_list().empty());

    m_dir.folder("card");
    make_jpeg(card + "IMG_0001.jpg", 16, 12);
    form.Timer1_Timer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.tray_flag()) << "waking keeps the icon until the program ends";
    EXPECT_TRUE(m_tray->shown);
}

TEST_F(StatusTest, MinimisingGoesAsleepOnceThenOnlyMinimises) {
    const std::string card = m_dir.folder("card");
    Form1& form = start({{"SOURCE_PATH", card}});
    form.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m_tray->adds, 1);

    m_tray->click();
    EXPECT_TRUE(form.isVisible()) << "a click shows the window even with an empty source";
    EXPECT_FALSE(form.isMinimized());

    form.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
    EXPECT_EQ(m_tray->adds, 1) << "no second icon";

    make_jpeg(card + "IMG_0001.jpg", 16, 12);
    form.Timer1_Timer();
    EXPECT_FALSE(form.isMinimized());
    form.close();
    EXPECT_FALSE(m_tray->shown) << "closing removes the icon";
}

TEST_F(StatusTest, WithoutNotificationAreaMinimisingKeepsTheWindowReachable) {
    const std::string card = m_dir.folder("card");
    Form1& form = start({{"SOURCE_PATH", card}}, false);
    form.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.tray_flag());

    m_dir.folder("card");
    make_jpeg(card + "IMG_0001.jpg", 16, 12);
    form.Timer1_Timer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
}

} // namespace
} // namespace orvix::test
