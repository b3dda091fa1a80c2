// The crop window reached from the toolbar, used as a user would: a shape chosen, a corner
// dragged, the rectangle stepped with the keys, the size read off the window and OK
// clicked; the picture on disk is then exactly what the window showed. Cancel leaves the
// picture as it was, byte for byte.
#include "grid_fixture.h"

#include "controls/picture/getrect.h"
#include "editing/cropwindow.h"
#include "imaging/imaging.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>

#include <functional>

namespace orvix::test {
namespace {

void send_mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void drag_corner_to(getrect& gr, QPoint to) {
    const QPoint from = gr.findChild<QWidget*>(QStringLiteral("coin3"))->geometry().center();
    send_mouse(gr, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

class CropFromToolbarTest : public GridWindowTest {
protected:
    void SetUp() override {
        start_with_card({"IMG_1.jpg", "IMG_2.jpg"});
        transfer();
        m_dialogs.clear();
        // A picture of a camera's size in place of the small one the card gave.
        m_picture = picture_of(2);
        make_jpeg(m_picture, 1600, 1200);
        m_tex->setSelectedItems(QStringLiteral("2"));
        QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    }

    // Crops from the toolbar; use works in the crop window while it is shown.
    void crop(const std::function<void(cropwindow&)>& use) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<cropwindow*>(QApplication::activeModalWidget());
            if (window == nullptr)
                return;
            shown = true;
            use(*window);
            if (window->isVisible()) {
                ADD_FAILURE() << "the window was left open";
                window->reject();
            }
        });
        child<QToolBar>("tb")->findChild<QAction*>(QStringLiteral("tb_button2"))->trigger();
        wait_for_command_end();
        settle();
        EXPECT_TRUE(shown);
    }

    std::string m_picture;
};

TEST_F(CropFromToolbarTest, OkCropsExactlyWhatTheWindowShows) {
    QString size;
    Rect shown;
    crop([&](cropwindow& window) {
        window.findChild<QComboBox*>(QStringLiteral("cropratio"))->setCurrentIndex(6); // 3:2
        getrect& gr = *window.gr();
        drag_corner_to(gr, gr.rect().center() + QPoint(gr.width() / 5, gr.height() / 7));
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::ShiftModifier);
            QApplication::sendEvent(window.focusWidget(), &press);
        }
        size = window.findChild<QLabel*>(QStringLiteral("cropsize"))->text();
        shown = gr.model().picture_selection();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cropok")), Qt::LeftButton);
    });
    ASSERT_GT(shown.width(), 0);
    EXPECT_EQ(size, QStringLiteral("%1 × %2 pixels").arg(shown.width()).arg(shown.height()));
    EXPECT_NEAR(double(shown.width()) / shown.height(), 1.5, 0.002);
    EXPECT_EQ(shown.left, 20) << "stepped twice by ten";
    EXPECT_EQ(m_form->state().crop_result, crop_result_text(shown));
    EXPECT_EQ(get_image_size(m_picture),
              std::to_string(shown.width()) + "," + std::to_string(shown.height()));
}

TEST_F(CropFromToolbarTest, CancelChangesNothing) {
    const std::string before = read_file(m_picture);
    crop([&](cropwindow& window) {
        window.findChild<QComboBox*>(QStringLiteral("cropratio"))->setCurrentIndex(3); // 1:1
        getrect& gr = *window.gr();
        drag_corner_to(gr, gr.rect().center());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(window.focusWidget(), &press);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cropcancel")),
                          Qt::LeftButton);
    });
    EXPECT_EQ(read_file(m_picture), before);
    EXPECT_EQ(m_form->state().crop_result, "");
    EXPECT_EQ(get_image_size(m_picture), "1600,1200");
}

} // namespace
} // namespace orvix::test
