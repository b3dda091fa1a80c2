// The toolbar on the main window: each button and menu entry reaches its command on the
// selected pictures, the pointer is back to normal afterwards and the toolbar follows
// the selection that is left.
#include "grid_fixture.h"

#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "controls/progress/vumbar.h"
#include "editing/cropwindow.h"
#include "fs/fs.h"
#include "imaging/helpers.h"
#include "imaging/imaging.h"
#include "platform/qt/qt_dialogs.h"
#include "text/text.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>

namespace orvix::test {
namespace {

class ToolbarTest : public GridWindowTest {
protected:
    void SetUp() override {
        start_with_card({"IMG_1.jpg", "IMG_2.jpg", "IMG_3.bmp"});
        transfer();
        m_dialogs.clear();
    }
    QAction* button(int number) const {
        return child<QToolBar>("tb")->findChild<QAction*>(
            QStringLiteral("tb_button%1").arg(number));
    }
    QAction* entry(const char* menu, const char* key) const {
        for (QAction* action : child<QMenu>(menu)->actions())
            if (action->data().toString() == QLatin1String(key))
                return action;
        ADD_FAILURE() << "no entry " << key;
        return nullptr;
    }
    void select(const char* items) {
        m_tex->setSelectedItems(QString::fromLatin1(items));
        QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    }
    // The commands have ended: a command on several pictures runs beside the window until
    // the grid is given back; then no hourglass is left and the grid is drawn again.
    void after_command() {
        wait_for_command_end();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the pointer is back";
        settle();
    }
    std::string size_of(int item) const { return get_image_size(picture_of(item)); }
    // The item that shows the picture of that name.
    int item_of(const std::string& name) const {
        for (int item = 1; item <= m_tex->model().count(); ++item)
            if (file_name(picture_of(item), true) == name)
                return item;
        ADD_FAILURE() << name;
        return 0;
    }
};

TEST_F(ToolbarTest, EveryRotateEntryTurnsTheSelectedPictures) {
    const std::pair<const char*, const char*> entries[] = {{"qvd", "48,64"},
                                                           {"cqv", "48,64"},
                                                           {"dcsd", "64,48"},
                                                           {"fliph", "64,48"},
                                                           {"flipv", "64,48"}};
    select("1,3");
    for (const auto& [key, size] : entries) {
        SCOPED_TRACE(key);
        const test::RgbImage before = read_rgb(picture_of(3));
        entry("tb_rotate_menu", key)->trigger();
        after_command();
        EXPECT_EQ(size_of(1), size);
        EXPECT_EQ(size_of(3), size);
        EXPECT_EQ(size_of(2), "64,48") << "not selected";
        EXPECT_NE(read_rgb(picture_of(3)).pixels, before.pixels);
        EXPECT_EQ(m_tex->SelectedItems(), "1,3");
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// Three pictures turned beside the window: its event loop serves the bar while pictures
// are left, the grid, the toolbar and the transfer wait, and Stop after the first picture
// leaves the other two as they were, byte for byte.
TEST_F(ToolbarTest, ATurnOfManyPicturesRunsBesideTheWindowAndStopsWhenAsked) {
    select("1,2,3");
    const std::string first = picture_of(1);
    const std::string second = read_file(picture_of(2)), third = read_file(picture_of(3));
    auto* bar = child<Vumbar>("pbar");
    auto* stop = child<QPushButton>("cancelxfer");
    bool seen = false;
    const auto watch = QObject::connect(bar, &Vumbar::ValueChanged, [&] {
        if (bar->Value() != 1 || seen)
            return;
        seen = true;
        // On the window's thread, with two pictures still to do.
        EXPECT_EQ(bar->Max(), 3);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_TRUE(stop->isVisible());
        EXPECT_FALSE(m_tex->isEnabled());
        EXPECT_FALSE(child<QPushButton>("xfer")->isEnabled());
        EXPECT_FALSE(button(1)->isEnabled());
        EXPECT_EQ(size_of(1), "48,64");
        EXPECT_EQ(read_file(picture_of(2)), second);
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    entry("tb_rotate_menu", "qvd")->trigger();
    EXPECT_FALSE(m_tex->isEnabled()) << "the command goes on beside the window";
    after_command();
    QObject::disconnect(watch);
    EXPECT_TRUE(seen) << "the bar counted the first picture while the others waited";
    EXPECT_EQ(get_image_size(first), "48,64");
    EXPECT_EQ(read_file(picture_of(2)), second);
    EXPECT_EQ(read_file(picture_of(3)), third);
    EXPECT_TRUE(m_tex->File_Titlestring(1).contains(QStringLiteral("(48 x 64)")));
    EXPECT_EQ(m_tex->SelectedItems(), "1,2,3");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(child<QPushButton>("xfer")->isEnabled());
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, false, true, true, true}));
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// Closing the window while pictures are being turned: the command ends after the picture in
// hand, and the window closes only then, so the thumbnail folder is not cleared under it.
TEST_F(ToolbarTest, ClosingTheWindowDuringALongCommandWaitsForThePictureInHand) {
    select("1,2,3");
    const std::string first = picture_of(1), third = picture_of(3);
    const std::string third_bytes = read_file(third);
    const std::string thumbs = m_form->state().thumbs_dir;
    auto* bar = child<Vumbar>("pbar");
    bool visible_after_close = false;
    const auto watch = QObject::connect(bar, &Vumbar::ValueChanged, [&] {
        if (bar->Value() != 1)
            return;
        m_form->close();
        visible_after_close = m_form->isVisible();
    });
    entry("tb_rotate_menu", "qvd")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_form->isVisible(); }, 60000));
    QObject::disconnect(watch);
    EXPECT_TRUE(visible_after_close) << "the window waited for the command's end";
    EXPECT_EQ(get_image_size(first), "48,64");
    EXPECT_EQ(read_file(third), third_bytes);
    EXPECT_FALSE(folder_exists(thumbs)) << "cleared once the command had ended";
}

TEST_F(ToolbarTest, TheRotateButtonTurnsClockwise) {
    select("2");
    button(1)->trigger();
    after_command();
    EXPECT_EQ(size_of(2), "48,64");
    EXPECT_EQ(m_tex->File_Titlestring(2).contains(QStringLiteral("(48 x 64)")), true);
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, true, true, true, true}));
}

TEST_F(ToolbarTest, EverySizeEntryResizesTheLongerSideAtTheBoxQuality) {
    const std::pair<const char*, int> entries[] = {{"qcqv", 480}, {"scq", 640},    {"hc", 800},
                                                   {"mvq", 1024}, {"mdcqv", 1280}, {"dmqh", 2048}};
    child<QLineEdit>("quality")->setText(QStringLiteral("40"));
    const int jpeg = item_of("IMG_1.jpg");
    select(std::to_string(jpeg).c_str());
    for (const auto& [key, size] : entries) {
        SCOPED_TRACE(key);
        entry("tb_resize_menu", key)->trigger();
        after_command();
        EXPECT_EQ(size_of(jpeg), std::to_string(size) + "," + std::to_string(size * 3 / 4));
    }
    // Quality 40 against 100: the same pixels in far fewer bytes.
    const std::string same = m_dir.file("same.jpg");
    ASSERT_EQ(convert_image3(picture_of(jpeg), same, "", "", false, 100, 0, false, "", "", 0), 0);
    EXPECT_LT(file_length(picture_of(jpeg)) * 2, file_length(same));
}

TEST_F(ToolbarTest, ResizeAsksForASize) {
    select("1,2");
    m_dialogs.queue_input("32");
    button(3)->trigger();
    after_command();
    EXPECT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(size_of(1), "32,24");
    EXPECT_EQ(size_of(2), "32,24");
    EXPECT_EQ(size_of(3), "64,48");
}

TEST_F(ToolbarTest, DeleteAsksThenRemovesAndTheToolbarFollows) {
    const std::string first = picture_of(1), third = picture_of(3);
    select("1,3");
    m_dialogs.queue_answer(Answer::Yes);
    button(5)->trigger();
    after_command();
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].buttons, Buttons::YesNo);
    EXPECT_FALSE(file_exists(first));
    EXPECT_FALSE(file_exists(third));
    EXPECT_EQ(m_form->state().transferred_pictures.size(), 1u);
    EXPECT_EQ(m_tex->model().count(), 1);
    EXPECT_EQ(toolbar(), (std::vector<bool>{false, false, false, false, false}));
}

TEST_F(ToolbarTest, CropShowsTheWindowAndCropsWhatIsAccepted) {
    select("2");
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<cropwindow*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        shown = true;
        EXPECT_EQ(window->pplus()->picture_dimensions(), "64,48");
        window->gr()->set_selrect_as_percents(0, 0, 0.5f, 0.5f);
        QWidget* bk = window->pplus()->findChild<QWidget*>(QStringLiteral("bk"));
        QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(bk->rect().center()),
                          bk->mapToGlobal(QPointF(bk->rect().center())), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bk, &twice);
    });
    button(2)->trigger();
    after_command();
    EXPECT_TRUE(shown);
    // Half of each side, give or take the frame's half pixel.
    const std::string size = size_of(2);
    EXPECT_NEAR(numeric_value(get_tokens(1, size, ",")), 32, 1) << size;
    EXPECT_NEAR(numeric_value(get_tokens(2, size, ",")), 24, 1) << size;
    EXPECT_EQ(m_tex->SelectedItems(), "2");
    EXPECT_EQ(m_form->state().crop_result.substr(0, 4), "0/0/");
}

TEST_F(ToolbarTest, ClosingTheCropWindowChangesNothing) {
    select("3");
    const std::string before = read_file(picture_of(3));
    QTimer::singleShot(0, [] {
        if (QWidget* window = QApplication::activeModalWidget())
            window->close();
    });
    button(2)->trigger();
    after_command();
    EXPECT_EQ(read_file(picture_of(3)), before);
    EXPECT_EQ(m_form->state().crop_result, "");
    EXPECT_EQ(test::folder_entries(m_form->state().thumbs_dir).size(), 3u) << "no stand-in left";
}

// A camera picture whose size does not allow a lossless quarter turn: the window's own box
// asks, in the program's language, before the picture is touched.
TEST_F(ToolbarTest, ATurnThatWouldCutTheEdgesAsksInTheWindow) {
    const int item = item_of("IMG_1.jpg");
    const std::string picture = picture_of(item);
    make_jpeg(picture, 1001, 751);
    select(std::to_string(item).c_str());
    QtDialogs boxes(m_form.get());
    ScopedDialogs installed(boxes);
    // First Escape (nothing changes), then "Re-encode".
    for (const char* press : {"", "Re-encode"}) {
        SCOPED_TRACE(press);
        const std::string before = read_file(picture);
        QString text;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            text = box->text();
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            if (*press == '\0') {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QLatin1String(press))
                    button->click();
        });
        entry("tb_rotate_menu", "qvd")->trigger();
        after_command();
        EXPECT_EQ(text.toStdString(), "1 picture(s) cannot be turned without re-encoding or losing "
                                      "up to 15 pixels at their edges.");
        EXPECT_TRUE(buttons.contains(QStringLiteral("Cut the edges")))
            << buttons.join('|').toStdString();
        EXPECT_TRUE(buttons.contains(QStringLiteral("Re-encode")));
        EXPECT_EQ(buttons.size(), 3);
        if (*press == '\0') {
            EXPECT_EQ(read_file(picture), before);
        }
    }
    EXPECT_EQ(size_of(item), "751,1001");
    EXPECT_TRUE(m_tex->File_Titlestring(item).contains(QStringLiteral("(751 x 1001)")));
}

// A picture one pixel high still gets a thumbnail and so a place in the grid.
TEST_F(GridWindowTest, ATransferredStripOfOnePixelReachesTheGrid) {
    start_with_card({"IMG_1.jpg"});
    make_jpeg(m_card + "line.jpg", 8000, 1);
    transfer();
    const std::vector<TransferredPicture>& records = m_form->state().transferred_pictures;
    ASSERT_EQ(records.size(), 2u);
    ASSERT_EQ(m_tex->model().count(), 2);
    const auto line = std::find_if(records.begin(), records.end(), [](const TransferredPicture& r) {
        return file_name(r.picture_path, true) == "line.jpg";
    });
    ASSERT_NE(line, records.end());
    EXPECT_EQ(get_image_size(line->thumb_path), "100,1");
}

} // namespace
} // namespace orvix::test
