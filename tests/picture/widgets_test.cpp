// The viewer and the crop rectangle as widgets on the offscreen platform: children under
// their names, what lands in the pixels, the mouse forwarded, clicks let through.
#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "platform/qt/text_codec.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/qt_environment.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

void send_mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

TEST(PicturePlusWidget, ChildrenPropertiesAndDefaults) {
    PicturePlus viewer;
    for (const char* name : {"bk", "tmp", "HScroll", "VScroll", "coin"})
        EXPECT_NE(viewer.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(viewer.property("ColorBackground").toUInt(), 0u);
    EXPECT_EQ(viewer.property("BorderStyle").toInt(), 1);
    EXPECT_EQ(viewer.property("IfBoxLargerThanPict").toInt(), 0);
    EXPECT_EQ(viewer.property("IfBoxSmallerThanPict").toInt(), 2);
    EXPECT_EQ(viewer.property("zoom").toFloat(), 1.0f);
    EXPECT_FALSE(viewer.property("Transparent").toBool());
    EXPECT_EQ(viewer.property("FilePath").toString(), QString());
    EXPECT_FALSE(viewer.findChild<QWidget*>("tmp")->isVisible());

    QSignalSpy changed(&viewer, &PicturePlus::zoomChanged);
    viewer.setProperty("zoom", 2.0f);
    EXPECT_EQ(changed.count(), 1);
    PropertyBag bag;
    viewer.WriteProperties(bag);
    EXPECT_EQ(std::get<std::string>(bag.at("Zoom")), "2");
}

TEST(PicturePlusWidget, ShrinksAPictureIntoTheBoxAndPaintsTheRestInTheBackground) {
    TempDir dir;
    const std::string path = dir.file("big.jpg");
    test::make_jpeg(path, 1600, 1200);
    PicturePlus viewer;
    viewer.resize(400, 400);
    viewer.setBorderStyle(0);
    viewer.setIfBoxSmallerThanPict(1);
    viewer.setColorBackground(0x404040);
    viewer.setFilePath(QString::fromStdString(path));
    EXPECT_EQ(viewer.drawn_rectangle(), "0,50,400,350");
    EXPECT_EQ(viewer.picture_dimensions(), "1600,1200");
    const QImage shown = render(viewer);
    EXPECT_EQ(shown.pixel(200, 20), qRgb(64, 64, 64));
    EXPECT_EQ(shown.pixel(200, 380), qRgb(64, 64, 64));
    // The picture is there, resized from the decoded pixels.
    const test::RgbImage original = test::read_rgb(path);
    const QRgb centre = shown.pixel(200, 200);
    const uint8_t* expected = original.at(800, 600);
    EXPECT_NEAR(qRed(centre), expected[0], 40);
    EXPECT_NEAR(qGreen(centre), expected[1], 40);
    EXPECT_FALSE(viewer.findChild<QScrollBar*>("HScroll")->isVisible());
}

TEST(PicturePlusWidget, ScrollBarsShowForALargePictureByDefaultAndMoveIt) {
    TempDir dir;
    const std::string path = dir.file("big.jpg");
    test::make_jpeg(path, 1600, 1200);
    PicturePlus viewer;
    viewer.resize(400, 300);
    viewer.setFilePath(QString::fromStdString(path));
    viewer.show();
    auto* h = viewer.findChild<QScrollBar*>("HScroll");
    auto* v = viewer.findChild<QScrollBar*>("VScroll");
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(viewer.findChild<QWidget*>("coin")->isVisible());
    EXPECT_GT(h->maximum(), 1000);
    h->setValue(300);
    v->setValue(20);
    EXPECT_EQ(viewer.scrollbars_values(), "300,20");
    viewer.setIfBoxSmallerThanPict(0);
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(viewer.scrollbars_values(), "0,0");
    EXPECT_EQ(viewer.drawn_rectangle(), "0,0,1600,1200");
}

TEST(PicturePlusWidget, AMissingFileShowsTheBackgroundOnly) {
    PicturePlus viewer;
    viewer.resize(200, 200);
    viewer.setBorderStyle(0);
    viewer.setColorBackground(0x0000FF);
    viewer.setFilePath(QStringLiteral("/nowhere/missing.jpg"));
    EXPECT_EQ(viewer.picture_dimensions(), "0,0");
    const QImage shown = render(viewer);
    EXPECT_EQ(shown.pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(3, 197), qRgb(255, 0, 0));
}

TEST(PicturePlusWidget, ANameThatIsNotUtf8StillLoads) {
    TempDir dir;
    const std::string path = dir.file("caf\xE9.jpg");
    test::make_jpeg(path, 40, 30);
    PicturePlus viewer;
    viewer.setFilePath(to_qt(path));
    EXPECT_EQ(from_qt(viewer.FilePath()), path);
    EXPECT_EQ(viewer.picture_dimensions(), "40,30");
    PictureBox box;
    viewer.copy_picture_in(box);
    EXPECT_EQ(box.picture().size(), QSize(40, 30));
}

TEST(PicturePlusWidget, SetPictureShowsTheGivenPictureAtItsOwnSize) {
    TempDir dir;
    const std::string path = dir.file("wide.jpg");
    test::make_jpeg(path, 300, 100);
    PicturePlus first, second;
    first.setFilePath(QString::fromStdString(path));
    PictureBox box;
    first.copy_picture_in(box);
    EXPECT_EQ(box.picture().size(), QSize(300, 100));
    second.resize(600, 600);
    second.setBorderStyle(0);
    second.set_picture(box);
    EXPECT_EQ(second.FilePath(), QStringLiteral("localpict"));
    EXPECT_EQ(second.picture_dimensions(), "300,100");
    EXPECT_EQ(second.drawn_rectangle(), "150,250,450,350");
}

// The picture as the camera was held: its top-left pixel is the stored one the EXIF
// orientation puts there.
TEST(PicturePlusWidget, ATaggedPictureIsShownUpright) {
    TempDir dir;
    const std::string plain = dir.file("plain.jpg");
    test::make_jpeg(plain, 320, 160);
    PicturePlus reader;
    reader.setFilePath(QString::fromStdString(plain));
    PictureBox stored;
    reader.copy_picture_in(stored);
    struct Case {
        int orientation;
        QSize size;
        QPoint stored_top_left;
    };
    for (const Case& c :
         {Case{3, QSize(320, 160), QPoint(319, 159)}, Case{6, QSize(160, 320), QPoint(0, 159)},
          Case{8, QSize(160, 320), QPoint(319, 0)}}) {
        SCOPED_TRACE(c.orientation);
        const std::string path = dir.file("tagged" + std::to_string(c.orientation) + ".jpg");
        test::write_file(path, test::read_file(plain));
        test::add_exif(path, test::ExifFields{c.orientation, 320, 160, false});
        PicturePlus viewer;
        viewer.setFilePath(QString::fromStdString(path));
        PictureBox box;
        viewer.copy_picture_in(box);
        EXPECT_EQ(box.picture().size(), c.size);
        EXPECT_EQ(viewer.picture_dimensions(),
                  QStringLiteral("%1,%2").arg(c.size.width()).arg(c.size.height()));
        EXPECT_EQ(box.picture().pixel(0, 0), stored.picture().pixel(c.stored_top_left));
    }
}

// Files the viewer must still show: one of many small segments before its frame (Qt's
// reader alone took minutes over it) and camera files cut short, without their final
// marker or inside their scan (what is there is shown, as other viewers do).
TEST(PicturePlusWidget, ShowsFilesOfManySegmentsAndFilesCutShort) {
    TempDir dir;
    const std::string many = dir.file("many.jpg"), no_end = dir.file("no_end.jpg"),
                      cut = dir.file("cut.jpg");
    test::make_jpeg(many, 64, 48);
    test::add_small_segments(many, 100000);
    test::make_jpeg(no_end, 640, 480);
    const std::string whole = test::read_file(no_end);
    test::write_file(no_end, whole.substr(0, whole.size() - 2));
    test::write_file(cut, whole.substr(0, whole.size() * 2 / 3));
    for (const auto& [path, size] :
         {std::pair{many, QSize(64, 48)}, {no_end, QSize(640, 480)}, {cut, QSize(640, 480)}}) {
        PicturePlus viewer;
        viewer.setFilePath(QString::fromStdString(path));
        PictureBox box;
        viewer.copy_picture_in(box);
        EXPECT_EQ(box.picture().size(), size) << path;
    }
}

TEST(PicturePlusWidget, ForwardsTheMouseOfTheBoxInItsPixels) {
    PicturePlus viewer;
    viewer.resize(200, 200);
    viewer.setBorderStyle(0);
    QWidget* bk = viewer.findChild<QWidget*>("bk");
    QSignalSpy down(&viewer, &PicturePlus::MouseDown);
    QSignalSpy twice(&viewer, &PicturePlus::DblClick);
    send_mouse(*bk, QEvent::MouseButtonPress, {30, 40}, Qt::RightButton, Qt::RightButton);
    send_mouse(*bk, QEvent::MouseButtonDblClick, {30, 40}, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toInt(), 2);
    EXPECT_EQ(down.at(0).at(2).toFloat(), 30.0f);
    EXPECT_EQ(down.at(0).at(3).toFloat(), 40.0f);
    EXPECT_EQ(twice.count(), 1);
}

TEST(PicturePlusWidget, TransparentModeLetsTheContainerShowThroughTheBackground) {
    TempDir dir;
    const std::string path = dir.file("small.bmp");
    test::make_picture(path, 20, 10);
    QWidget container;
    container.resize(100, 100);
    container.setAutoFillBackground(true);
    QPalette colours = container.palette();
    colours.setColor(QPalette::Window, Qt::green);
    container.setPalette(colours);
    PicturePlus viewer(&container);
    viewer.resize(100, 100);
    viewer.setBorderStyle(0);
    viewer.setColorBackground(0x000000);
    viewer.setFilePath(QString::fromStdString(path));
    viewer.setTransparent(true);
    EXPECT_FALSE(viewer.findChild<QWidget*>("bk")->isVisibleTo(&viewer));
    const QImage shown = render(container);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0)) << "the background colour is see-through";
    EXPECT_NE(shown.pixel(50, 50), qRgb(0, 255, 0)) << "the picture is drawn";
    EXPECT_EQ(viewer.drawn_rectangle(), "40,45,60,55");
}

TEST(GetrectWidget, ChildrenUnderTheirNamesAndTheWholeSelectionReportedInTwips) {
    getrect gr;
    for (const char* name : {"coin1", "coin2", "coin3", "coin4", "a", "b", "c", "d"})
        EXPECT_NE(gr.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    gr.resize(200, 100);
    QSignalSpy refreshed(&gr, &getrect::RectangleRefreshed);
    gr.set_selrect_as_percents(0, 0, 100, 100);
    EXPECT_EQ(refreshed.count(), 1);
    const int w = to_int(200 * gr.twips_per_pixel_x()), h = to_int(100 * gr.twips_per_pixel_y());
    EXPECT_EQ(gr.get_selrect(),
              QStringLiteral("0,0,%1,%2").arg(w + kFrameAllowance).arg(h + kFrameAllowance));
    EXPECT_EQ(gr.get_selrect_as_percents(), QStringLiteral("0/0/1/1"));
}

TEST(GetrectWidget, DraggingAHandleMovesItsCornerAndTellsTheContainer) {
    getrect gr;
    gr.resize(200, 100);
    gr.set_selrect_as_percents(0, 0, 100, 100);
    QWidget* coin3 = gr.findChild<QWidget*>("coin3");
    const QPoint start = coin3->geometry().center();
    QSignalSpy down(&gr, &getrect::MouseDown), up(&gr, &getrect::MouseUp);
    QSignalSpy refreshed(&gr, &getrect::RectangleRefreshed);
    send_mouse(gr, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(coin3->isVisibleTo(&gr)) << "handles hide while dragging";
    send_mouse(gr, QEvent::MouseMove, {100, 50}, Qt::NoButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseButtonRelease, {100, 50}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_TRUE(coin3->isVisibleTo(&gr));
    const Rect r = gr.model().selection();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, to_int(100 * gr.twips_per_pixel_x()));
    EXPECT_EQ(r.bottom, to_int(50 * gr.twips_per_pixel_y()));
}

TEST(GetrectWidget, OnlyTheRectangleTakesTheMouse) {
    QWidget window;
    window.resize(300, 200);
    QWidget beneath(&window);
    beneath.setGeometry(0, 0, 300, 200);
    getrect gr(&window);
    gr.setGeometry(0, 0, 300, 200);
    gr.set_selrect_as_percents(0, 0, 100, 100);
    EXPECT_EQ(window.childAt(150, 100), &gr) << "inside the rectangle";
    EXPECT_EQ(window.childAt(2, 2), &gr) << "a handle";
    EXPECT_EQ(window.childAt(150, 0), &gr) << "the top line";
    gr.set_selrect_as_percents(0.25f, 0.25f, 0.5f, 0.5f);
    EXPECT_EQ(window.childAt(100, 70), &gr);
    EXPECT_EQ(window.childAt(250, 150), &beneath) << "outside the rectangle lets clicks through";
    EXPECT_EQ(window.childAt(20, 20), &beneath);
}

// A 150 x 100 picture shown at 300 x 200 pixels: two screen pixels to a picture pixel.
struct OverPicture {
    OverPicture() {
        gr.resize(300, 200);
        gr.set_picture_size({150, 100});
        gr.set_picture_selection({30, 20, 90, 60});
    }
    getrect gr;
};

TEST(GetrectWidget, DraggingInsideMovesTheWholeRectangleAndTellsAsItGoes) {
    OverPicture over;
    getrect& gr = over.gr;
    QSignalSpy changed(&gr, &getrect::SelectionChanged), down(&gr, &getrect::MouseDown);
    send_mouse(gr, QEvent::MouseButtonPress, {120, 80}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(gr.findChild<QWidget*>("coin1")->isVisibleTo(&gr));
    send_mouse(gr, QEvent::MouseMove, {140, 70}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(changed.count(), 1) << "the frame follows the pointer";
    EXPECT_EQ(gr.model().picture_selection(), (Rect{40, 15, 100, 55}));
    send_mouse(gr, QEvent::MouseMove, {400, 70}, Qt::NoButton, Qt::LeftButton);
    send_mouse(gr, QEvent::MouseButtonRelease, {400, 70}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(gr.model().picture_selection(), (Rect{90, 15, 150, 55})) << "held inside";
    EXPECT_TRUE(gr.findChild<QWidget*>("coin1")->isVisibleTo(&gr));
    EXPECT_EQ(down.count(), 0) << "the handles' events are the handles' own";
}

TEST(GetrectWidget, ArrowKeysMoveTheRectangleByAPicturePixelAndShiftByTen) {
    OverPicture over;
    getrect& gr = over.gr;
    EXPECT_EQ(gr.focusPolicy(), Qt::StrongFocus);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        Rect expected;
    } presses[] = {{Qt::Key_Right, Qt::NoModifier, {31, 20, 91, 60}},
                   {Qt::Key_Down, Qt::NoModifier, {31, 21, 91, 61}},
                   {Qt::Key_Left, Qt::ShiftModifier, {21, 21, 81, 61}},
                   {Qt::Key_Up, Qt::ShiftModifier, {21, 11, 81, 51}},
                   {Qt::Key_Up, Qt::ShiftModifier, {21, 1, 81, 41}},
                   {Qt::Key_Up, Qt::ShiftModifier, {21, 0, 81, 40}}};
    for (const auto& press : presses) {
        QKeyEvent event(QEvent::KeyPress, press.key, press.modifiers);
        QApplication::sendEvent(&gr, &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_EQ(gr.model().picture_selection(), press.expected);
    }
    QKeyEvent other(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&gr, &other);
    EXPECT_FALSE(other.isAccepted()) << "Return is the window's";
}

TEST(GetrectWidget, ADoubleClickInsideTellsTheContainer) {
    OverPicture over;
    QSignalSpy twice(&over.gr, &getrect::DblClick);
    send_mouse(over.gr, QEvent::MouseButtonDblClick, {120, 80}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(twice.count(), 1);
    send_mouse(over.gr, QEvent::MouseButtonDblClick, {250, 150}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(twice.count(), 1) << "outside";
}

} // namespace
} // namespace orvix
