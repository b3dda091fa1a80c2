// The crop window on the offscreen platform: the rectangle lies over the drawn picture,
// a double click accepts, anything else leaves crop_result empty.
#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "editing/cropwindow.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/qt_environment.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

QRect drawn_rect(const cropwindow& window) {
    const std::string d = window.pplus()->drawn_rectangle().toStdString();
    const int l = numeric_value(get_tokens(1, d, ",")), t = numeric_value(get_tokens(2, d, ","));
    const int r = numeric_value(get_tokens(3, d, ",")), b = numeric_value(get_tokens(4, d, ","));
    const QPoint origin = window.pplus()->findChild<QWidget*>("bk")->contentsRect().topLeft();
    return QRect(origin + QPoint(l, t), QSize(r - l, b - t));
}

void send_mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void double_click_picture(cropwindow& window) {
    QWidget* bk = window.pplus()->findChild<QWidget*>("bk");
    send_mouse(*bk, QEvent::MouseButtonDblClick, bk->rect().center(), Qt::LeftButton,
               Qt::LeftButton);
}

class CropWindowTest : public ::testing::Test {
protected:
    CropWindowTest() {
        m_picture = m_dir.file("IMG_0001.jpg");
        test::make_jpeg(m_picture, 1600, 1200);
        m_window.setpicture(QString::fromStdString(m_picture));
        m_window.show();
    }
    ~CropWindowTest() override { QLocale::setDefault(QLocale::c()); }

    TempDir m_dir;
    std::string m_picture;
    std::string m_crop_result;
    cropwindow m_window{m_crop_result, QStringLiteral("Crop")};
};

TEST_F(CropWindowTest, IsModalWithTheViewerAndTheRectangleUnderTheirNames) {
    EXPECT_TRUE(m_window.isModal());
    EXPECT_EQ(m_window.objectName(), "cropwindow");
    EXPECT_EQ(m_window.pplus()->objectName(), "pplus");
    EXPECT_EQ(m_window.gr()->objectName(), "gr");
    EXPECT_EQ(m_window.pplus()->ColorBackground(), 0x404040u);
    EXPECT_EQ(m_window.pplus()->IfBoxSmallerThanPict(), 1);
    EXPECT_EQ(m_window.pplus()->geometry(), m_window.rect());
}

TEST_F(CropWindowTest, TheRectangleLiesExactlyOverTheDrawnPictureAtEverySize) {
    for (const QSize size : {QSize(800, 600), QSize(500, 700), QSize(1000, 300)}) {
        m_window.resize(size);
        QApplication::processEvents();
        EXPECT_EQ(m_window.gr()->geometry(), drawn_rect(m_window)) << size.width();
        EXPECT_EQ(m_window.gr()->get_selrect_as_percents(), "0/0/1/1") << size.width();
    }
}

TEST_F(CropWindowTest, ADoubleClickUntouchedAcceptsThePictureWhole) {
    double_click_picture(m_window);
    EXPECT_EQ(m_crop_result, "0/0/1600/1200");
    EXPECT_EQ(m_window.result(), QDialog::Accepted);
    EXPECT_FALSE(m_window.isVisible());
}

// A picture the camera stored sideways or upside down is shown upright, and the rectangle
// is read in its upright pixels.
TEST_F(CropWindowTest, ATaggedPictureIsShownAndCroppedUpright) {
    for (const auto& [orientation, whole] :
         {std::pair{3, "0/0/1600/1200"}, {6, "0/0/1200/1600"}, {8, "0/0/1200/1600"}}) {
        SCOPED_TRACE(orientation);
        const std::string tagged = m_dir.file("tagged" + std::to_string(orientation) + ".jpg");
        test::make_jpeg(tagged, 1600, 1200);
        test::add_exif(tagged, test::ExifFields{orientation, 1600, 1200, false});
        std::string result;
        cropwindow window{result, QStringLiteral("Crop")};
        window.setpicture(QString::fromStdString(tagged));
        window.show();
        EXPECT_EQ(window.pplus()->picture_dimensions().toStdString(),
                  Remplacer("/", ",", std::string(whole).substr(4)));
        EXPECT_EQ(window.gr()->geometry(), drawn_rect(window));
        double_click_picture(window);
        EXPECT_EQ(result, whole);
    }
}

TEST_F(CropWindowTest, ADraggedCornerGivesThatPartOfThePicture) {
    getrect& gr = *m_window.gr();
    QWidget* coin1 = gr.findChild<QWidget*>("coin1");
    const QPoint middle = gr.rect().center();
    send_mouse(gr, QEvent::MouseButtonPress, coin1->geometry().topLeft() + QPoint(1, 1),
               Qt::LeftButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseMove, middle + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseButtonRelease, middle + QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    double_click_picture(m_window);
    const std::string r = m_crop_result;
    ASSERT_EQ(nb_tokens(r, "/"), 4) << r;
    // The top-left corner in the middle of the picture, within a screen pixel.
    const double scale = 1600.0 / gr.width();
    EXPECT_NEAR(numeric_value(get_tokens(1, r, "/")), 800, scale + 1);
    EXPECT_NEAR(numeric_value(get_tokens(2, r, "/")), 600, scale + 1);
    EXPECT_EQ(get_tokens("3-4", r, "/"), "1600/1200");
}

TEST_F(CropWindowTest, AFrenchDesktopReadsItsOwnDecimalCommas) {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    getrect& gr = *m_window.gr();
    gr.set_selrect_as_percents(0.25f, 0.5f, 1, 1);
    EXPECT_TRUE(gr.get_selrect_as_percents().startsWith("0,25"))
        << gr.get_selrect_as_percents().toStdString();
    double_click_picture(m_window);
    // A quarter of the width and half the height, within the rounding to twips.
    const std::string r = m_crop_result;
    EXPECT_NEAR(numeric_value(get_tokens(1, r, "/")), 400, 1);
    EXPECT_NEAR(numeric_value(get_tokens(2, r, "/")), 600, 1);
    EXPECT_EQ(get_tokens("3-4", r, "/"), "1600/1200");
}

TEST_F(CropWindowTest, ReturnAcceptsAndClosingOtherwiseLeavesNothing) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&m_window, &escape);
    EXPECT_EQ(m_window.result(), QDialog::Rejected);
    EXPECT_EQ(m_crop_result, "");
    m_window.show();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&m_window, &enter);
    EXPECT_EQ(m_crop_result, "0/0/1600/1200");
}

} // namespace
} // namespace orvix
