// The crop window on the offscreen platform: the rectangle lies over the drawn picture,
// a double click, Return or OK accepts, anything else leaves crop_result empty; the hint,
// the shapes, the size and the buttons below the picture; the opening size.
#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "editing/cropwindow.h"
#include "editing/edit_commands.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/qt_environment.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace orvix {
namespace {

using test::TempDir;

// The screen the windows open on: 1366 x 768, wider and higher than the window's design
// size, so that opening at the screen's size shows. Set before the application starts.
class WideScreen {
public:
    WideScreen()
        : m_config(std::filesystem::temp_directory_path() /
                   ("orvix-wide-screen-" + std::to_string(getpid()) + ".json")) {
        std::ofstream(m_config) << R"({"screens": [{"name": "wide", "x": 0, "y": 0,
            "width": 1366, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + m_config.string()).c_str(), 1);
    }
    ~WideScreen() { std::filesystem::remove(m_config); }
    WideScreen(const WideScreen&) = delete;
    WideScreen& operator=(const WideScreen&) = delete;

private:
    std::filesystem::path m_config;
};
const WideScreen wide_screen;

// The shipped language file of that name.
LanguageTable shipped_language(const char* name) {
    LanguageTable table;
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    if (source == nullptr) {
        ADD_FAILURE() << "ORVIX_SOURCE_DIR is not set";
        return table;
    }
    table.parse_language_text(
        test::read_file(std::string(source) + "/resources/extra/languages/" + name));
    return table;
}

template <class Widget> Widget* child(const QWidget& window, const char* name) {
    auto* found = window.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString size_shown(const cropwindow& window) {
    return child<QLabel>(window, "cropsize")->text();
}

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

    // Presses coin3 and moves it to that point of the rectangle control.
    void drag_corner_to(QPoint to, bool release = true) {
        getrect& gr = *m_window.gr();
        QWidget* coin3 = gr.findChild<QWidget*>("coin3");
        send_mouse(gr, QEvent::MouseButtonPress, coin3->geometry().center(), Qt::LeftButton,
                   Qt::LeftButton);
        send_mouse(gr, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        if (release)
            send_mouse(gr, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    // The rectangle that an acceptance now would crop, "x1/y1/x2/y2".
    std::string accepted() {
        double_click_picture(m_window);
        return m_crop_result;
    }

    TempDir m_dir;
    std::string m_picture;
    std::string m_crop_result;
    LanguageTable m_english = shipped_language("ENGLISH.LNG");
    cropwindow m_window{m_crop_result, m_english};
};

TEST_F(CropWindowTest, IsModalWithTheViewerAndTheRectangleUnderTheirNames) {
    EXPECT_TRUE(m_window.isModal());
    EXPECT_EQ(m_window.objectName(), "cropwindow");
    EXPECT_EQ(m_window.windowTitle(), "Crop");
    EXPECT_EQ(m_window.pplus()->objectName(), "pplus");
    EXPECT_EQ(m_window.gr()->objectName(), "gr");
    EXPECT_EQ(m_window.pplus()->ColorBackground(), 0x404040u);
    EXPECT_EQ(m_window.pplus()->IfBoxSmallerThanPict(), 1);
    // The picture above, the bar with the hint, the shapes, the size and the buttons below.
    m_window.resize(800, 600);
    const QWidget* bar = child<QWidget>(m_window, "cropbar");
    EXPECT_EQ(m_window.pplus()->geometry(), QRect(0, 0, 800, bar->y()));
    EXPECT_EQ(bar->geometry().bottom(), m_window.rect().bottom());
    EXPECT_GT(bar->height(), 0);
    for (const char* name : {"crophint", "cropratio", "cropsize", "cropok", "cropcancel"}) {
        const QWidget* widget = child<QWidget>(m_window, name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible()) << name;
        EXPECT_TRUE(bar->isAncestorOf(widget)) << name;
    }
}

// The picture's pixels the rectangle covers are kept however the window is resized.
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
        cropwindow window{result, m_english};
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

TEST_F(CropWindowTest, OkAcceptsAndCancelLeavesNothing) {
    m_window.resize(800, 600);
    drag_corner_to(m_window.gr()->rect().center());
    QTest::mouseClick(child<QPushButton>(m_window, "cropcancel"), Qt::LeftButton);
    EXPECT_EQ(m_window.result(), QDialog::Rejected);
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_EQ(m_crop_result, "");
    m_window.show();
    QTest::mouseClick(child<QPushButton>(m_window, "cropok"), Qt::LeftButton);
    EXPECT_EQ(m_window.result(), QDialog::Accepted);
    EXPECT_FALSE(m_window.isVisible());
    const Rect shown = m_window.gr()->model().picture_selection();
    EXPECT_EQ(m_crop_result,
              "0/0/" + std::to_string(shown.right) + "/" + std::to_string(shown.bottom));
    EXPECT_LT(shown.right, 1600);
}

struct LanguageCase {
    const char* file;
    const char* hint;
    const char* size;
    std::vector<const char*> shapes;
};

TEST(CropWindowLanguages, TheHintTheSizeAndTheShapesSpeakTheLanguage) {
    TempDir dir;
    const std::string picture = dir.file("IMG_0002.jpg");
    test::make_jpeg(picture, 640, 480);
    const LanguageCase cases[] = {
        {"ENGLISH.LNG",
         "Drag the corners; double-click or press Enter to crop",
         "640 × 480 pixels",
         {"Free", "As the picture, landscape", "As the picture, portrait", "1:1", "4:3, landscape",
          "3:4, portrait", "3:2, landscape", "2:3, portrait", "16:9, landscape", "9:16, portrait"}},
        {"FRENCH.LNG",
         "Faites glisser les coins ; double-cliquez ou appuyez sur Entrée pour recadrer",
         "640 × 480 pixels",
         {"Libres", "Comme la photo, paysage", "Comme la photo, portrait", "1:1", "4:3, paysage",
          "3:4, portrait", "3:2, paysage", "2:3, portrait", "16:9, paysage", "9:16, portrait"}},
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::string result;
        const LanguageTable language = shipped_language(c.file);
        cropwindow window(result, language);
        window.setpicture(QString::fromStdString(picture));
        window.show();
        EXPECT_EQ(child<QLabel>(window, "crophint")->text(), QString::fromUtf8(c.hint));
        EXPECT_EQ(size_shown(window), QString::fromUtf8(c.size));
        const QComboBox* shapes = child<QComboBox>(window, "cropratio");
        ASSERT_EQ(shapes->count(), int(c.shapes.size()));
        for (int i = 0; i < shapes->count(); ++i)
            EXPECT_EQ(shapes->itemText(i), QString::fromUtf8(c.shapes[size_t(i)])) << i;
        EXPECT_EQ(shapes->currentIndex(), 0) << "free unless chosen";
    }
}

TEST_F(CropWindowTest, TheSizeFollowsTheFrameWhileACornerIsDragged) {
    m_window.resize(800, 600);
    EXPECT_EQ(size_shown(m_window), QString::fromUtf8("1600 × 1200 pixels"));
    drag_corner_to(m_window.gr()->rect().center(), false);
    const Rect dragged = m_window.gr()->model().picture_selection();
    EXPECT_NEAR(dragged.width(), 800, 4);
    EXPECT_NEAR(dragged.height(), 600, 4);
    EXPECT_EQ(size_shown(m_window),
              QStringLiteral("%1 × %2 pixels").arg(dragged.width()).arg(dragged.height()))
        << "before the release";
    send_mouse(*m_window.gr(), QEvent::MouseButtonRelease, m_window.gr()->rect().center(),
               Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(accepted(),
              "0/0/" + std::to_string(dragged.right) + "/" + std::to_string(dragged.bottom));
}

struct ShapeCase {
    int entry;
    const char* chosen; // the size shown once the shape is chosen
    double shape;       // width over height
};

class CropWindowShapes : public CropWindowTest, public testing::WithParamInterface<ShapeCase> {};

// Each shape of the list, chosen, then a corner dragged: the size shown keeps the shape and
// an acceptance crops exactly what is shown.
TEST_P(CropWindowShapes, KeepTheShapeAndCropWhatIsShown) {
    const ShapeCase& c = GetParam();
    m_window.resize(800, 600);
    child<QComboBox>(m_window, "cropratio")->setCurrentIndex(c.entry);
    EXPECT_EQ(size_shown(m_window), QString::fromUtf8(c.chosen));
    const QRect area = m_window.gr()->rect();
    drag_corner_to(area.topLeft() + QPoint(area.width() * 2 / 3, area.height() * 3 / 5));
    const Rect shown = m_window.gr()->model().picture_selection();
    const double w = shown.width(), h = shown.height();
    EXPECT_LE(std::min(std::abs(w - h * c.shape), std::abs(h - w / c.shape)), 0.5)
        << w << " x " << h;
    EXPECT_EQ(size_shown(m_window), QStringLiteral("%1 × %2 pixels").arg(int(w)).arg(int(h)));
    EXPECT_EQ(accepted(), crop_result_text(shown));
}

INSTANTIATE_TEST_SUITE_P(EveryEntry, CropWindowShapes,
                         testing::Values(ShapeCase{1, "1600 × 1200 pixels", 4.0 / 3},
                                         ShapeCase{2, "900 × 1200 pixels", 3.0 / 4},
                                         ShapeCase{3, "1200 × 1200 pixels", 1},
                                         ShapeCase{4, "1600 × 1200 pixels", 4.0 / 3},
                                         ShapeCase{5, "900 × 1200 pixels", 3.0 / 4},
                                         ShapeCase{6, "1600 × 1067 pixels", 3.0 / 2},
                                         ShapeCase{7, "800 × 1200 pixels", 2.0 / 3},
                                         ShapeCase{8, "1600 × 900 pixels", 16.0 / 9},
                                         ShapeCase{9, "675 × 1200 pixels", 9.0 / 16}));

TEST_F(CropWindowTest, DraggingInsideMovesTheRectangleWithinThePicture) {
    m_window.resize(800, 600);
    child<QComboBox>(m_window, "cropratio")->setCurrentIndex(8); // 16:9, 1600 x 900
    getrect& gr = *m_window.gr();
    const QPoint middle = gr.rect().center();
    send_mouse(gr, QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseMove, middle + QPoint(0, 20), Qt::NoButton, Qt::LeftButton);
    const Rect moved = gr.model().picture_selection();
    EXPECT_GT(moved.top, 150);
    EXPECT_EQ(moved.height(), 900);
    send_mouse(gr, QEvent::MouseMove, middle + QPoint(0, 2000), Qt::NoButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseButtonRelease, middle + QPoint(0, 2000), Qt::LeftButton,
               Qt::NoButton);
    EXPECT_EQ(size_shown(m_window), QString::fromUtf8("1600 × 900 pixels"));
    EXPECT_EQ(accepted(), "0/300/1600/1200") << "stopped at the bottom";
}

TEST_F(CropWindowTest, TheArrowKeysMoveTheRectangleByAPicturePixel) {
    m_window.resize(800, 600);
    child<QComboBox>(m_window, "cropratio")->setCurrentIndex(9); // 9:16, 675 x 1200 from 462
    ASSERT_EQ(m_window.focusWidget(), m_window.gr()) << "the rectangle has the keys at first";
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Right, Qt::NoModifier},
                                         {Qt::Key_Right, Qt::NoModifier},
                                         {Qt::Key_Left, Qt::ShiftModifier},
                                         {Qt::Key_Down, Qt::NoModifier}}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(m_window.focusWidget(), &press);
    }
    EXPECT_EQ(size_shown(m_window), QString::fromUtf8("675 × 1200 pixels"));
    EXPECT_EQ(accepted(), "454/0/1129/1200") << "two right, ten left, none down";
}

TEST(CropWindowOpening, OpensAsLargeAsTheScreenAllows) {
    TempDir dir;
    const std::string picture = dir.file("IMG_0003.jpg");
    test::make_jpeg(picture, 640, 480);
    std::string result;
    cropwindow window(result, LanguageTable{});
    window.setpicture(QString::fromStdString(picture));
    window.show();
    const QRect available = window.screen()->availableGeometry();
    ASSERT_EQ(available.size(), QSize(1366, 768)) << "the wide screen is in place";
    EXPECT_EQ(window.frameGeometry(), available);
    // Still laid out: the bar along the bottom, the picture above it, the rectangle on it.
    const QWidget* bar = child<QWidget>(window, "cropbar");
    EXPECT_EQ(bar->geometry().bottom(), window.rect().bottom());
    EXPECT_EQ(bar->width(), window.width());
    EXPECT_EQ(window.pplus()->height(), bar->y());
    EXPECT_EQ(window.gr()->geometry(), drawn_rect(window));
    EXPECT_EQ(window.gr()->size(), QSize(640, 480)) << "drawn at its own size";
}

} // namespace
} // namespace orvix
