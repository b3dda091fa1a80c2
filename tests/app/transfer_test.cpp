// One whole transfer started by clicking the transfer button.
#include "app_fixture.h"

#include "controls/progress/vumbar.h"
#include "fs/fs.h"
#include "support/images.h"
#include "text/text.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace orvix::test {
namespace {

using TransferTest = AppTest;

// Counts the paints of a widget, to see the bar drawn while the run keeps the event loop.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

TEST_F(TransferTest, ClickingTransferCopiesThePicturesAndReports) {
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_jpeg(card + "IMG_0001.jpg", 64, 48);
    const std::string dcim = m_dir.folder("card/DCIM");
    make_jpeg(dcim + "IMG_0002.jpg", 48, 64);
    make_jpeg(dcim + "IMG_0003.jpg", 32, 32);
    make_picture(card + "drawing.png", 16, 16);
    Form1& form = start({{"SOURCE_PATH", card},
                         {"DEST_PATH", photos},
                         {"RENAME_WITH", "NO"},
                         {"SHOW_THUMBS", "1"}});
    m_dialogs.clear();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* bar = child<Vumbar>("pbar");
    PaintCounter counter;
    bar->installEventFilter(&counter);

    QTest::mouseClick(child<QPushButton>("xfer"), Qt::LeftButton);

    for (const char* original : {"IMG_0001.jpg", "DCIM/IMG_0002.jpg", "DCIM/IMG_0003.jpg"}) {
        const std::string copy = photos + file_name(original, true);
        ASSERT_TRUE(file_exists(copy)) << original;
        EXPECT_EQ(read_file(copy), read_file(card + original)) << "copied byte for byte";
    }
    EXPECT_FALSE(file_exists(photos + "drawing.png"));
    EXPECT_TRUE(file_exists(card + "DCIM/IMG_0002.jpg")) << "originals stay without delete";

    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const auto& report = m_dialogs.messages()[0];
    EXPECT_EQ(report.icon, Icon::Information);
    EXPECT_EQ(report.text, Remplacer("#1", "3", shipped_text("ENGLISH", "end_transfer")) + "\r\n" +
                               shipped_text("ENGLISH", "no_error"));

    ASSERT_EQ(form.state().transferred_pictures.size(), 3u);
    for (const TransferredPicture& picture : form.state().transferred_pictures) {
        EXPECT_EQ(parent_folder(picture.thumb_path), m_thumbs);
        EXPECT_EQ(read_rgb(picture.thumb_path).width, 100);
    }
    EXPECT_FALSE(bar->isVisible()) << "hidden again at the end";
    EXPECT_EQ(bar->Max(), 3);
    EXPECT_GE(counter.paints, 3) << "the bar is painted for each picture";
    EXPECT_TRUE(child<QLabel>("freedest")->text().contains("\r\n"))
        << "the destination status is refreshed before the report";
}

TEST_F(TransferTest, JpegConversionWritesTheCorrectedQualityBack) {
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_picture(card + "scan.bmp", 40, 30);
    start({{"SOURCE_PATH", card}, {"DEST_PATH", photos}, {"FILECONVERSION", "1"}});
    child<QLineEdit>("quality")->setText("0");
    child<QPushButton>("xfer")->click();

    EXPECT_EQ(child<QLineEdit>("quality")->text(), "100");
    EXPECT_TRUE(file_exists(photos + "scan.jpg"));
    EXPECT_FALSE(file_exists(photos + "scan.bmp")) << "the intermediate copy is removed";
    EXPECT_TRUE(file_exists(card + "scan.bmp"));
    EXPECT_LE(max_difference(read_rgb(photos + "scan.jpg"), read_rgb(card + "scan.bmp")), 48);
}

} // namespace
} // namespace orvix::test
