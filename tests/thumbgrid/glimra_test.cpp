// The grid widget on the offscreen platform: properties, events as the container sees
// them, redraw rules, and what actually lands in the pixels.
#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"

#include "platform/qt/text_codec.h"
#include "support/images.h"
#include "support/qt_environment.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <thread>

namespace orvix {
namespace {

// A wait for the loader's workers gives up only at this bound, which is there against a
// hang: a loaded machine may take seconds to decode what takes milliseconds here.
constexpr int hang_bound_ms = 30000;

void solid_jpeg(const std::string& path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    test::RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), {r, g, b});
    test::write_picture(path, image, 95);
}

// `count` green 80 x 60 pictures c0.jpg, c1.jpg, ... in the folder, each wanted at 40 x 30.
std::vector<CellRequest> green_cells(const test::TempDir& dir, int count) {
    std::vector<CellRequest> cells;
    for (int i = 0; i < count; ++i) {
        cells.push_back({dir.file("c" + std::to_string(i) + ".jpg"), QSize(40, 30)});
        solid_jpeg(cells.back().path, 80, 60, 0, 200, 0);
    }
    return cells;
}

bool near_colour(QRgb pixel, int r, int g, int b, int tolerance = 12) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

// Records the nine events as text, in the order they come.
class EventLog : public QObject {
public:
    explicit EventLog(Glimra& grid) {
        const auto mouse = [this](const char* name) {
            return [this, name](qint16 b, qint16 s, float x, float y) {
                add(QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(QLatin1String(name))
                        .arg(b)
                        .arg(s)
                        .arg(qRound(x))
                        .arg(qRound(y)));
            };
        };
        connect(&grid, &Glimra::MouseDown, this, mouse("MouseDown"));
        connect(&grid, &Glimra::MouseUp, this, mouse("MouseUp"));
        connect(&grid, &Glimra::MouseMove, this, mouse("MouseMove"));
        connect(&grid, &Glimra::Reorder, this, [this](qint32& a, qint32& b) {
            add(QStringLiteral("Reorder %1 %2").arg(a).arg(b));
        });
        connect(&grid, &Glimra::DblClick, this,
                [this](qint32& item) { add(QStringLiteral("DblClick %1").arg(item)); });
        for (auto [signal, name] : {std::pair{&Glimra::GlimraDrawingStart, "GlimraDrawingStart"},
                                    std::pair{&Glimra::GlimraDrawingEnd, "GlimraDrawingEnd"},
                                    std::pair{&Glimra::GlimraLoadStart, "GlimraLoadStart"},
                                    std::pair{&Glimra::GlimraLoadEnd, "GlimraLoadEnd"}})
            connect(&grid, signal, this, [this, name = name] { add(QLatin1String(name)); });
    }
    int count(const QString& name) const { return int(events.count(name)); }

    QStringList events;

private:
    void add(const QString& text) { events.append(text); }
};

// Ten 80 x 60 pictures in fixed 1300-twip cells.
class GlimraTest : public testing::Test {
protected:
    GlimraTest() {
        for (int i = 1; i <= 10; ++i) {
            m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
            solid_jpeg(m_paths.back(), 80, 60, 250, 0, 0);
        }
        m_grid.resize(400, 300);
        m_grid.setThumbnailsSize(1300);
        m_grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
        tick();
    }
    ~GlimraTest() override { Glimra::set_present_hook({}); }

    QString list() const {
        QStringList paths;
        for (const std::string& path : m_paths)
            paths << QString::fromStdString(path);
        return paths.join(QLatin1Char('\r'));
    }

    // Sizing the grid put its redraw off to the next tick of its timer; the tests do not
    // wait a second for it.
    void tick() { QMetaObject::invokeMethod(timer(), "timeout"); }
    QTimer* timer() const { return m_grid.findChild<QTimer*>(QStringLiteral("Timer1")); }

    void load() {
        m_grid.setFilelist(list());
        wait_for_pictures();
    }

    void wait_for_pictures() {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] {
                return m_grid.loader().in_flight() == 0 &&
                       m_grid.loader().missing_among_first(1000) == 0;
            },
            hang_bound_ms));
    }

    QWidget* fond() const { return m_grid.findChild<QWidget*>(QStringLiteral("fond")); }

    // Item i's cell or picture in pixels, from its twips text.
    QRect pixels(const QString& twips) const {
        const QStringList v = twips.split(QLatin1Char(','));
        const double tx = m_grid.twips_per_pixel_x(), ty = m_grid.twips_per_pixel_y();
        return {QPoint(qRound(v[0].toInt() / tx), qRound(v[1].toInt() / ty)),
                QPoint(qRound(v[2].toInt() / tx) - 1, qRound(v[3].toInt() / ty) - 1)};
    }
    QRect cell(int i) const { return pixels(m_grid.File_BoundsGrid(i)); }
    QRect picture(int i) const { return pixels(m_grid.File_Bounds(i)); }

    void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(at), fond()->mapToGlobal(QPointF(at)), button, buttons,
                          modifiers);
        QCoreApplication::sendEvent(fond(), &event);
    }
    void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at, modifiers);
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at, modifiers);
    }
    void hover(QPoint at) { mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at); }

    QImage shot() { return m_grid.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    test::TempDir m_dir;
    std::vector<std::string> m_paths;
    Glimra m_grid;
};

// --- Properties and events ---------------------------------------------------------------------

TEST(GlimraProperties, HaveTheirDefaultsAndTellEachChange) {
    Glimra grid;
    const std::pair<const char*, QVariant> defaults[] = {
        {"filelist", QString()},
        {"ThumbnailsSize", QVariant::fromValue<qint16>(0)},
        {"ColorBackground", QVariant::fromValue<quint32>(0)},
        {"ColorGrid", QVariant::fromValue<quint32>(0xC0C0C0)},
        {"ColorText", QVariant::fromValue<quint32>(0xFFFFFF)},
        {"ShowGrid", false},
        {"ShowStatus", false},
        {"ShowTitle", true},
        {"ShowFrames", false},
        {"BorderWidth", QVariant::fromValue<quint8>(2)},
        {"Enabled", true},
        {"ShowTooltips", true},
        {"ShowFolderIcon", true},
        {"StatusText", QStringLiteral("#FILENAME#   #DIMENSIONS#")},
        {"BorderStyle", QVariant::fromValue<qint16>(1)},
        {"TitleText", QStringLiteral("#SHORTFILENAME#")},
        {"SelectionMode", QVariant::fromValue<qint16>(1)},
        {"ColorSelection", QVariant::fromValue<quint32>(0x8000000D)},
        {"SelectionDrawStyle", QVariant::fromValue<qint16>(1)},
        {"Margin", QVariant::fromValue<qint16>(50)},
        {"SelectedItems", QString()},
        {"LockScreen", false},
        {"AllowReorder", false},
        {"DitherTextBackground", QVariant::fromValue<qint16>(3)},
    };
    for (const auto& [name, value] : defaults) {
        EXPECT_EQ(grid.property(name), value) << name;
        const QMetaProperty property =
            grid.metaObject()->property(grid.metaObject()->indexOfProperty(name));
        ASSERT_TRUE(property.hasNotifySignal()) << name;
        QSignalSpy spy(&grid, property.notifySignal());
        grid.setProperty(name, value);
        EXPECT_EQ(spy.count(), 1) << name;
    }
    EXPECT_EQ(grid.Font(), grid.font()) << "the container's font until one is set";
}

TEST(GlimraEvents, AreDeclaredInTheirFixedOrder) {
    Glimra grid;
    const QMetaObject& meta = *grid.metaObject();
    QStringList signals_;
    for (int i = meta.methodOffset(); i < meta.methodCount() && signals_.size() < 9; ++i)
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            signals_ << QString::fromLatin1(meta.method(i).name());
    EXPECT_EQ(signals_, (QStringList{"MouseDown", "MouseUp", "MouseMove", "Reorder", "DblClick",
                                     "GlimraDrawingStart", "GlimraDrawingEnd", "GlimraLoadStart",
                                     "GlimraLoadEnd"}));
}

TEST_F(GlimraTest, EventsComeWithTheirArgumentsOnAnEmptyGrid) {
    EventLog log(m_grid);
    const double tx = m_grid.twips_per_pixel_x(), ty = m_grid.twips_per_pixel_y();
    const QPoint at(10, 20);
    const QString where = QStringLiteral("%1 %2").arg(qRound(10 * tx)).arg(qRound(20 * ty));
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, at, Qt::ShiftModifier);
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, at, Qt::ShiftModifier);
    click(at, Qt::ControlModifier);
    mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, at);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
    hover(at);
    EXPECT_EQ(log.events,
              (QStringList{"MouseDown 2 1 " + where, "MouseUp 2 1 " + where,
                           "MouseDown 1 2 " + where, "MouseUp 1 2 " + where, "DblClick 0",
                           "MouseUp 1 0 " + where, "MouseMove 0 0 " + where}));
}

TEST_F(GlimraTest, ADisabledGridStillRaisesEveryEventButSelectsNothing) {
    load();
    m_grid.setGridEnabled(false);
    EventLog log(m_grid);
    const QPoint at = picture(2).center();
    click(at);
    mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, at);
    EXPECT_EQ(log.count(QStringLiteral("DblClick 0")), 1) << "no press reached the item";
    EXPECT_EQ(log.events.size(), 3);
    EXPECT_EQ(m_grid.SelectedItems(), "");
    hover(at);
    EXPECT_NE(fond()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(GlimraTest, AClickSelectsAndADoubleClickTellsWhichItem) {
    load();
    m_grid.setSelectionMode(2);
    EventLog log(m_grid);
    click(picture(2).center());
    click(picture(5).center(), Qt::ShiftModifier);
    EXPECT_EQ(m_grid.SelectedItems(), "2,3,4,5");
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, picture(7).center());
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, picture(7).center());
    mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, picture(7).center());
    EXPECT_EQ(log.events.last(), "DblClick 7");
}

TEST_F(GlimraTest, DraggingOnePictureOntoAnotherSwapsThemAndTellsTheContainer) {
    load();
    m_grid.setAllowReorder(true);
    EventLog log(m_grid);
    const QString third = m_grid.File_Path(3), eighth = m_grid.File_Path(8);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, picture(3).center());
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, picture(8).center());
    auto* dragpic = m_grid.findChild<QLabel*>(QStringLiteral("dragpic"));
    EXPECT_TRUE(dragpic->isVisible());
    EXPECT_EQ(dragpic->size(), cell(3).size());
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, picture(8).center());
    EXPECT_FALSE(dragpic->isVisible());
    EXPECT_EQ(m_grid.File_Path(3), eighth);
    EXPECT_EQ(m_grid.File_Path(8), third);
    const int reorder = int(log.events.indexOf(QStringLiteral("Reorder 3 8")));
    ASSERT_GE(reorder, 0);
    EXPECT_TRUE(log.events[reorder + 1].startsWith(QStringLiteral("MouseUp")));
}

// --- Redrawing ---------------------------------------------------------------------------------

TEST_F(GlimraTest, LockScreenHoldsBackRedrawsButNotRefresh) {
    load();
    EventLog log(m_grid);
    m_grid.setLockScreen(true);
    m_grid.setColorBackground(0x202020);
    m_grid.setMargin(80);
    m_grid.setFilelist(list());
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingStart")), 0);
    m_grid.refresh();
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingStart")), 1);
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingEnd")), 1);
    m_grid.setLockScreen(false);
    m_grid.setMargin(50);
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingEnd")), 2);
}

TEST_F(GlimraTest, ABurstOfResizesRedrawsOnceAtTheNextTimerTick) {
    load();
    ASSERT_NE(timer(), nullptr);
    EXPECT_EQ(timer()->interval(), 1000);
    const QString before = m_grid.File_BoundsGrid(7);
    EventLog log(m_grid);
    for (int width : {500, 560, 640})
        m_grid.resize(width, 300);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(m_grid.File_BoundsGrid(7), before) << "the cells wait for the timer";
    const int passes = log.count(QStringLiteral("GlimraDrawingEnd"));
    tick();
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingEnd")), passes + 1);
    EXPECT_NE(m_grid.File_BoundsGrid(7), before) << "seven a row now fit";
    tick();
    EXPECT_EQ(log.count(QStringLiteral("GlimraDrawingEnd")), passes + 1);
}

TEST_F(GlimraTest, PicturesArriveAfterTheirPlaceholders) {
    m_grid.setFilelist(list());
    // Painted at once, before any picture could be decoded: the placeholder's grey-red.
    const QImage first = shot();
    EXPECT_FALSE(near_colour(first.pixel(picture(1).center()), 250, 0, 0, 40));
    wait_for_pictures();
    EXPECT_TRUE(near_colour(shot().pixel(picture(1).center()), 250, 0, 0));
}

TEST_F(GlimraTest, ThePresentationFailingForLackOfMemorySaysSo) {
    load();
    Glimra::set_present_hook([] { throw std::bad_alloc(); });
    const QImage image = shot();
    int white = 0;
    for (int y = 50; y < 200; ++y)
        for (int x = 50; x < 300; ++x)
            white += near_colour(image.pixel(x, y), 255, 255, 255, 30);
    EXPECT_GT(white, 20);
}

// --- Pixels ------------------------------------------------------------------------------------

struct StyleCase {
    const char* name;
    int16_t style;
    bool cell_margin_selected;  // the cell around the picture takes the selection colour
    bool picture_tinted;        // the picture is covered by the selection colour
    bool frame_on_picture_edge; // a frame of the selection colour on the picture's edge
};

class SelectionStyles : public GlimraTest, public testing::WithParamInterface<StyleCase> {};

TEST_P(SelectionStyles, PaintTheSelectedItem) {
    const StyleCase& c = GetParam();
    m_grid.setShowTitle(false);
    m_grid.setBorderWidth(2);
    m_grid.setColorSelection(0x00FF00); // green
    m_grid.setSelectionDrawStyle(c.style);
    load();
    m_grid.setSelectedItems(QStringLiteral("1"));
    const QImage image = shot();
    const QRect pic = picture(1), inside = pic.adjusted(6, 6, -6, -6);
    const QPoint margin(cell(1).left() + 1, cell(1).top() + 1);
    const QRgb centre = image.pixel(inside.center());

    EXPECT_EQ(near_colour(image.pixel(margin), 0, 255, 0), c.cell_margin_selected);
    if (!c.cell_margin_selected) {
        EXPECT_TRUE(near_colour(image.pixel(margin), 0, 0, 0)) << "the background";
    }
    if (c.picture_tinted) {
        EXPECT_GT(qGreen(centre), 60);
        EXPECT_GT(qRed(centre), 60);
    } else {
        EXPECT_TRUE(near_colour(centre, 250, 0, 0));
    }
    EXPECT_EQ(near_colour(image.pixel(pic.left(), pic.center().y()), 0, 255, 0),
              c.frame_on_picture_edge);
    EXPECT_TRUE(near_colour(shot().pixel(picture(2).center()), 250, 0, 0)) << "not selected";
}

INSTANTIATE_TEST_SUITE_P(Styles, SelectionStyles,
                         testing::Values(StyleCase{"None", 0, false, false, false},
                                         StyleCase{"Overlay", 1, false, true, true},
                                         StyleCase{"OpaqueBack", 2, true, false, false},
                                         StyleCase{"Frame", 3, false, false, true}),
                         [](const testing::TestParamInfo<StyleCase>& info) {
                             return std::string(info.param.name);
                         });

struct DitherCase {
    const char* name;
    int16_t mode;
    bool shadow;   // dark pixels of the background colour among the letters
    bool filled;   // the band behind the title in the background colour
    bool darkened; // the band behind the title darker than the picture
};

class TitleBackground : public GlimraTest, public testing::WithParamInterface<DitherCase> {};

// A white title over the bottom of a red picture on black.
TEST_P(TitleBackground, TreatsTheBandBehindTheTitle) {
    const DitherCase& c = GetParam();
    for (const std::string& path : m_paths)
        solid_jpeg(path, 60, 80, 250, 0, 0); // tall, so the picture reaches the title
    m_grid.setTitleText(QStringLiteral("WWWW"));
    m_grid.setDitherTextBackground(c.mode);
    load();
    const QImage image = shot();
    const QRect pic = picture(1);
    const QFontMetrics metrics(m_grid.Font());
    const QRect band(pic.left() + 1, cell(1).bottom() - metrics.height() + 2, pic.width() - 2,
                     pic.bottom() - (cell(1).bottom() - metrics.height() + 2));
    ASSERT_GT(band.height(), 2);
    int dark = 0, black = 0, red = 0, dimmed = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            dark += qRed(p) < 120 && qGreen(p) < 60;
            black += near_colour(p, 0, 0, 0, 20);
            red += near_colour(p, 250, 0, 0, 15);
            dimmed += qRed(p) > 60 && qRed(p) < 230 && qGreen(p) < 40;
        }
    const int area = band.width() * band.height();
    EXPECT_EQ(dark > 0, c.shadow || c.filled || c.darkened) << dark;
    EXPECT_EQ(black > area / 3, c.filled) << black;
    EXPECT_EQ(dimmed > area / 3, c.darkened) << dimmed;
    if (!c.filled && !c.darkened) {
        EXPECT_GT(red, area / 3) << "the picture shows behind the letters";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TitleBackground,
                         testing::Values(DitherCase{"Nothing", 0, false, false, false},
                                         DitherCase{"Darkened", 1, true, false, true},
                                         DitherCase{"Filled", 2, false, true, false},
                                         DitherCase{"Shadow", 3, true, false, false}),
                         [](const testing::TestParamInfo<DitherCase>& info) {
                             return std::string(info.param.name);
                         });

// --- Pointer, tooltips and the status strip ----------------------------------------------------

TEST_F(GlimraTest, HoveringAPictureShowsItsTooltipAndTheHand) {
    load();
    m_grid.setFile_Tooltip(3, QStringLiteral("#SHORTFILENAME# (#CURRENTNUM#/#TOTAL#)"));
    hover(picture(2).center());
    EXPECT_EQ(fond()->toolTip(), m_grid.File_Path(2));
    EXPECT_EQ(fond()->cursor().shape(), Qt::PointingHandCursor);
    hover(picture(3).center());
    EXPECT_EQ(fond()->toolTip(), "p3.jpg (3/10)");
    hover(QPoint(1, 1));
    EXPECT_NE(fond()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(GlimraTest, TheStatusStripDescribesTheHoveredPicture) {
    m_grid.setShowStatus(true);
    load();
    auto* status = m_grid.findChild<QLabel*>(QStringLiteral("status"));
    hover(picture(4).center());
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), m_grid.File_Path(4) + "   80 x 60");
    hover(QPoint(1, 1));
    EXPECT_EQ(status->text(), "");
}

TEST_F(GlimraTest, PerItemPropertiesOutsideTheRange) {
    load();
    EXPECT_EQ(m_grid.File_Width(0), -1);
    EXPECT_EQ(m_grid.File_Path(11), "");
    QSignalSpy spy(&m_grid, &Glimra::File_TagChanged);
    m_grid.setFile_Tag(0, QStringLiteral("x"));
    m_grid.setFile_Tag(2, QStringLiteral("x"));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(m_grid.File_Tag(2), "x");
}

TEST_F(GlimraTest, ScrollingShowsTheLowerRows) {
    for (int i = 11; i <= 40; ++i) {
        m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
        solid_jpeg(m_paths.back(), 80, 60, 0, 0, 250);
    }
    load();
    auto* bar = m_grid.findChild<QScrollBar*>(QStringLiteral("VScroll"));
    ASSERT_TRUE(bar->isVisible());
    bar->setValue(bar->maximum());
    wait_for_pictures();
    const QRect last = picture(40).translated(0, -bar->maximum());
    EXPECT_TRUE(near_colour(shot().pixel(last.center()), 0, 0, 250));
    EXPECT_EQ(m_grid.get_xy_pict(float(last.center().x() * m_grid.twips_per_pixel_x()),
                                 float(last.center().y() * m_grid.twips_per_pixel_y())),
              40);

    m_grid.setFilelist(QString());
    EXPECT_FALSE(bar->isVisible()) << "an empty list hides the scroll bar";
    EXPECT_TRUE(near_colour(shot().pixel(last.center()), 0, 0, 0)) << "and clears the grid";
}

// --- The pictures' cache and the order they are read in ----------------------------------------

class GlimraManyTest : public GlimraTest {
protected:
    // `count` pictures in all, the same 80 x 60 JPEG under each name.
    void add_pictures(int count) {
        const std::string bytes = test::read_file(m_paths.front());
        for (int i = int(m_paths.size()) + 1; i <= count; ++i) {
            m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
            test::write_file(m_paths.back(), bytes);
        }
    }
    QScrollBar* bar() const { return m_grid.findChild<QScrollBar*>(QStringLiteral("VScroll")); }
    // Scrolls as the user does and waits for the pictures asked for.
    void scroll_to(int value) {
        bar()->setValue(value);
        fond()->repaint();
        wait_for_pictures();
    }
    std::vector<std::string> visible_paths() const {
        const int32_t offset = m_grid.model().scroll_offset();
        std::vector<std::string> paths;
        for (int32_t index :
             m_grid.model().items_between(offset, offset + m_grid.model().area_height()))
            paths.push_back(m_grid.model().item(index)->ThumbPath);
        return paths;
    }
    // How far below the view the cell of a path lies, in twips: negative above it.
    int32_t below_view(const std::string& path) const {
        const int32_t offset = m_grid.model().scroll_offset();
        for (int32_t index = 1; index <= m_grid.model().count(); ++index) {
            const Rect& cell = m_grid.model().item(index)->BoundsGrid;
            if (m_grid.model().item(index)->ThumbPath == path)
                return cell.top >= offset ? cell.top - (offset + m_grid.model().area_height())
                                          : cell.bottom - offset;
        }
        ADD_FAILURE() << path << " is not in the grid";
        return 0;
    }
};

TEST_F(GlimraManyTest, TheCacheHoldsAFewScreensOfCellsNotTheWholeList) {
    add_pictures(400);
    m_grid.resize(300, 200);
    tick();
    load();
    const qint64 small_window = m_grid.loader().budget();
    for (int value = 0; value < bar()->maximum(); value += bar()->pageStep())
        scroll_to(value);
    scroll_to(bar()->maximum());
    const qint64 all = 400 * QImage(80, 60, QImage::Format_RGB32).sizeInBytes();
    EXPECT_LE(m_grid.loader().cached_bytes(), m_grid.loader().budget());
    EXPECT_LT(m_grid.loader().cached_bytes(), all / 2) << "the pictures scrolled past went";

    // A window four times as large keeps three times the cells (the rows cut at the top
    // and the bottom count in both).
    m_grid.resize(600, 400);
    tick();
    fond()->repaint();
    EXPECT_GT(m_grid.loader().budget(), 2 * small_window);
    EXPECT_LT(m_grid.loader().budget(), 6 * small_window);
    // Cells of twice the size in the same window: about as many bytes, fewer cells.
    const qint64 large_window = m_grid.loader().budget();
    m_grid.setThumbnailsSize(2600);
    fond()->repaint();
    EXPECT_GT(m_grid.loader().budget(), large_window / 2);
    EXPECT_LT(m_grid.loader().budget(), 2 * large_window);
    EXPECT_NE(m_grid.loader().budget(), large_window);
}

TEST_F(GlimraManyTest, VisibleCellsAreAskedForFirstThenTheWayTheUserScrolls) {
    add_pictures(200);
    load();
    scroll_to(bar()->maximum() / 2);
    for (const bool down : {true, false}) {
        SCOPED_TRACE(down ? "scrolling down" : "scrolling up");
        scroll_to(bar()->value() + (down ? 1 : -1) * bar()->pageStep());
        const std::vector<CellRequest>& wanted = m_grid.loader().wanted();
        const std::vector<std::string> visible = visible_paths();
        ASSERT_GT(wanted.size(), visible.size());
        for (size_t i = 0; i < visible.size(); ++i) {
            EXPECT_EQ(wanted[i].path, visible[i]);
            EXPECT_FALSE(wanted[i].ahead) << "a visible cell is decoded at once";
        }
        // The next page the way the user goes, whole, before anything behind.
        const int32_t page = m_grid.model().area_height();
        bool behind_seen = false;
        int ahead_of_user = 0;
        for (size_t i = visible.size(); i < wanted.size(); ++i) {
            EXPECT_TRUE(wanted[i].ahead) << wanted[i].path << " is off the screen";
            const int32_t below = below_view(wanted[i].path);
            const int32_t away = down ? below : -below;
            if (away < 0) {
                behind_seen = true;
            } else if (away <= page) {
                EXPECT_FALSE(behind_seen) << wanted[i].path << " comes after a cell behind";
                ++ahead_of_user;
            }
        }
        EXPECT_GT(ahead_of_user, 0);
    }
}

struct ResizeCase {
    const char* name;
    std::vector<QSize> sizes; // a burst of resizes before the timer ticks
};

class ResizeWhileScrolled : public GlimraTest, public testing::WithParamInterface<ResizeCase> {};

// Eighty pictures four a row; the row of item 65 at the top of the view.
TEST_P(ResizeWhileScrolled, KeepsTheFirstVisibleRowInView) {
    for (int i = 11; i <= 80; ++i) {
        m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
        solid_jpeg(m_paths.back(), 80, 60, 0, 0, 250);
    }
    load();
    auto* bar = m_grid.findChild<QScrollBar*>(QStringLiteral("VScroll"));
    ASSERT_TRUE(bar->isVisible());
    bar->setValue(cell(65).top());
    ASSERT_EQ(bar->value(), cell(65).top());
    const int32_t offset = m_grid.model().scroll_offset();
    for (const QSize& size : GetParam().sizes)
        m_grid.resize(size);
    EXPECT_EQ(m_grid.model().scroll_offset(), offset) << "the rows stay while the redraw waits";
    tick();
    ASSERT_TRUE(bar->isVisible());
    const QRect shown = cell(65).translated(0, -bar->value());
    EXPECT_TRUE(fond()->rect().contains(shown))
        << "item 65 at " << shown.top() << " of " << fond()->height();
    EXPECT_TRUE(shown.top() <= 1 || bar->value() == bar->maximum())
        << "its row at the top, unless the grid ends before";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeWhileScrolled,
    testing::Values(ResizeCase{"Wider", {QSize(500, 300), QSize(560, 300), QSize(640, 300)}},
                    ResizeCase{"Narrower", {QSize(260, 300)}},
                    ResizeCase{"Taller", {QSize(400, 420)}}),
    [](const testing::TestParamInfo<ResizeCase>& info) { return std::string(info.param.name); });

// A picture of 3000 x 1000 pixels has no companion thumbnail: drawn from itself, 3:1.
TEST_F(GlimraTest, AWidePictureWithoutACompanionKeepsItsProportions) {
    m_paths = {m_dir.file("wide.jpg")};
    solid_jpeg(m_paths[0], 3000, 1000, 250, 0, 0);
    m_grid.setShowTitle(false);
    load();
    const QStringList b = m_grid.File_Bounds(1).split(QLatin1Char(','));
    const double width = b[2].toInt() - b[0].toInt(), height = b[3].toInt() - b[1].toInt();
    EXPECT_NEAR(width / height, 3.0, 0.02) << m_grid.File_Bounds(1).toStdString();
    const QImage image = shot();
    const QRect pic = picture(1);
    EXPECT_TRUE(near_colour(image.pixel(pic.center()), 250, 0, 0));
    EXPECT_TRUE(near_colour(image.pixel(pic.center().x(), pic.top() - 5), 0, 0, 0))
        << "the background above the picture";
    EXPECT_TRUE(near_colour(image.pixel(pic.center().x(), pic.bottom() + 5), 0, 0, 0))
        << "and below it";
}

// Counts the paints of a widget that cover a point, once `counting` is set.
class PaintsOver : public QObject {
public:
    PaintsOver(QWidget& widget, QPoint point) : m_point(point) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (counting && event->type() == QEvent::Paint &&
            static_cast<QPaintEvent*>(event)->region().contains(m_point))
            ++count;
        return false;
    }
    bool counting = false;
    int count = 0;

private:
    QPoint m_point;
};

TEST_F(GlimraTest, APictureWhoseNameIsNotUtf8IsPaintedWhenItArrives) {
    m_paths = {m_dir.file("caf\xE9.jpg")};
    solid_jpeg(m_paths[0], 80, 60, 250, 0, 0);
    m_grid.setFilelist(to_qt(m_paths[0]));
    ASSERT_EQ(m_grid.model().count(), 1);
    // The placeholder is painted before the picture can arrive: that needs the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    PaintsOver paints(*fond(), picture(1).center());
    QObject::connect(&m_grid.loader(), &CellLoader::cell_ready, &paints,
                     [&paints] { paints.counting = true; });
    wait_for_pictures();
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 2000))
        << "the cell is painted again once its picture is there";
    EXPECT_TRUE(near_colour(shot().pixel(picture(1).center()), 250, 0, 0));
}

// --- The cell loader ---------------------------------------------------------------------------

// --- The keyboard and the context menu -------------------------------------------------------

class GlimraKeysTest : public GlimraTest {
protected:
    GlimraKeysTest() {
        load();
        m_grid.setSelectionMode(2);
        m_grid.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m_grid));
    }
    // The pixels of the line just inside item i's cell, along its top.
    int light_pixels_along_the_top_of(int i) {
        const QImage image = shot();
        const QRect c = cell(i);
        int light = 0;
        for (int x = c.left() + 2; x <= c.right() - 2; ++x)
            light += near_colour(image.pixel(x, c.top() + 2), 255, 255, 255, 40) ? 1 : 0;
        return light;
    }
};

TEST_F(GlimraKeysTest, AClickGivesTheGridTheKeysAndTheyRaiseSelectionChange) {
    QSignalSpy changes(&m_grid, &Glimra::SelectionChange);
    QTest::mouseClick(fond(), Qt::LeftButton, Qt::NoModifier, picture(2).center());
    EXPECT_TRUE(m_grid.hasFocus());
    EXPECT_EQ(changes.count(), 1);
    QTest::keyClick(&m_grid, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&m_grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(m_grid.SelectedItems(), "2,3,4,5,6,7") << "four a row";
    EXPECT_EQ(changes.count(), 3);
    QTest::keyClick(&m_grid, Qt::Key_Escape);
    EXPECT_EQ(m_grid.SelectedItems(), "");
    QTest::keyClick(&m_grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_grid.SelectedItems(), "1,2,3,4,5,6,7,8,9,10");
    EXPECT_EQ(changes.count(), 5);
}

TEST_F(GlimraKeysTest, EnterRaisesDblClickForTheCurrentItem) {
    EventLog log(m_grid);
    click(picture(4).center());
    QTest::keyClick(&m_grid, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(&m_grid, Qt::Key_Return);
    QTest::keyClick(&m_grid, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(log.count(QStringLiteral("DblClick 3")), 2);
    EXPECT_EQ(m_grid.SelectedItems(), "4");
}

TEST_F(GlimraKeysTest, KeysTheGridHasNoUseForGoToItsContainer) {
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_B, Qt::NoModifier}, std::pair{Qt::Key_A, Qt::NoModifier},
          std::pair{Qt::Key_Delete, Qt::NoModifier}, std::pair{Qt::Key_R, Qt::ControlModifier}}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&m_grid, &event);
        EXPECT_FALSE(event.isAccepted()) << key;
    }
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_grid, &right);
    EXPECT_TRUE(right.isAccepted());
}

TEST_F(GlimraKeysTest, TabReachesTheGridAndTheScrollBarNeverTakesTheKeys) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* grid = new Glimra(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(grid->findChild<QScrollBar*>(QStringLiteral("VScroll"))->focusPolicy(), Qt::NoFocus);
}

// A long command on the pictures disables the grid meanwhile; the keys come back to it.
TEST_F(GlimraKeysTest, TheGridTakesTheKeysBackWhenEnabledAgain) {
    QWidget window;
    auto* grid = new Glimra(&window);
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    grid->setFocus();
    grid->setEnabled(false);
    EXPECT_FALSE(grid->hasFocus());
    grid->setEnabled(true);
    EXPECT_TRUE(grid->hasFocus());

    grid->setEnabled(false);
    QLineEdit* chosen = first->hasFocus() ? second : first;
    chosen->setFocus(); // the user's choice meanwhile stays
    grid->setEnabled(true);
    EXPECT_TRUE(chosen->hasFocus());
}

TEST_F(GlimraKeysTest, TheCurrentItemIsFramedWhileTheGridHasTheFocus) {
    click(picture(2).center());
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(m_grid.SelectedItems(), "2");
    EXPECT_GT(light_pixels_along_the_top_of(3), 4) << "item 3 framed, not selected";
    EXPECT_EQ(light_pixels_along_the_top_of(2), 0) << "the selection alone is no frame";
    m_grid.clearFocus();
    EXPECT_EQ(light_pixels_along_the_top_of(3), 0);
}

TEST_F(GlimraKeysTest, TheContextMenuOpensOnWhatWasPointedAt) {
    QMenu menu;
    menu.addAction(QStringLiteral("Turn"));
    m_grid.set_context_menu(&menu);
    m_grid.setSelectedItems(QStringLiteral("1,3"));
    const auto right_click = [this](QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, fond()->mapToGlobal(at));
        QCoreApplication::sendEvent(fond(), &event);
    };
    right_click(picture(3).center());
    EXPECT_EQ(m_grid.SelectedItems(), "1,3") << "a picture of the selection keeps it";
    EXPECT_EQ(QApplication::activePopupWidget(), &menu);
    menu.hide();
    right_click(picture(4).center());
    EXPECT_EQ(m_grid.SelectedItems(), "4");
    EXPECT_EQ(QApplication::activePopupWidget(), &menu);
    menu.hide();

    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                          m_grid.mapToGlobal(QPoint(0, 0)));
    QCoreApplication::sendEvent(&m_grid, &key);
    EXPECT_EQ(QApplication::activePopupWidget(), &menu);
    EXPECT_TRUE(menu.geometry().contains(m_grid.mapToGlobal(picture(4).center())) ||
                menu.pos() == m_grid.mapToGlobal(fond()->mapTo(&m_grid, picture(4).center())))
        << "opened on the current item";
    menu.hide();
}

TEST(CellLoader, DecodesWhatIsWantedNowAndForgetsWhatWasReplaced) {
    test::TempDir dir;
    std::vector<CellRequest> cells = green_cells(dir, 4);
    // The first picture is large and wanted whole, so the one worker is still busy with it
    // when the request is replaced, however loaded the machine.
    solid_jpeg(cells[0].path, 4000, 3000, 0, 200, 0);
    cells[0].size = QSize(4000, 3000);
    CellLoader loader(1 << 20, 1);
    QStringList ready;
    QObject::connect(&loader, &CellLoader::cell_ready, [&](const QByteArray& path) {
        ready << QFileInfo(QString::fromUtf8(path)).fileName();
    });
    loader.request(cells);      // c0 may start at once; the others wait
    loader.request({cells[3]}); // the waiting ones are replaced
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loader.in_flight() == 0 && ready.contains(QStringLiteral("c3.jpg")); },
        hang_bound_ms));
    QTest::qWait(20);
    EXPECT_FALSE(ready.contains(QStringLiteral("c1.jpg")));
    EXPECT_FALSE(ready.contains(QStringLiteral("c2.jpg")));
    EXPECT_EQ(ready.count(QStringLiteral("c3.jpg")), 1);
    const CellLoader::Found found = loader.find(cells[3].path, QSize(40, 30));
    ASSERT_NE(found.image, nullptr);
    EXPECT_TRUE(found.fresh);
    EXPECT_EQ(found.image->size(), QSize(40, 30));
    EXPECT_FALSE(loader.find(cells[3].path, QSize(20, 15)).fresh) << "another size";
    loader.reload();
    EXPECT_FALSE(loader.find(cells[3].path, QSize(40, 30)).fresh) << "stale after a reload";
}

// While the window's thread is busy (reading a long list), the pictures decoded meanwhile
// wait in its event queue; they can be taken in before it draws, without running the loop.
TEST(CellLoader, PicturesDecodedWhileTheWindowWasBusyAreTakenInWithoutTheEventLoop) {
    test::TempDir dir;
    const std::vector<CellRequest> cells = green_cells(dir, 3);
    CellLoader loader(1 << 20, 2);
    int ready = 0;
    QObject::connect(&loader, &CellLoader::cell_ready, [&] { ++ready; });
    loader.request(cells);
    QElapsedTimer waited;
    waited.start();
    while (loader.missing_among_first(3) > 0 && waited.elapsed() < hang_bound_ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        loader.take_arrived();
    }
    EXPECT_EQ(loader.missing_among_first(3), 0);
    EXPECT_EQ(loader.in_flight(), 0);
    EXPECT_EQ(ready, 3);
    for (const CellRequest& cell : cells)
        EXPECT_TRUE(loader.find(cell.path, cell.size).fresh);
}

TEST(CellLoader, StaysWithinItsBudgetDroppingWhatIsNoLongerWanted) {
    test::TempDir dir;
    std::vector<CellRequest> first, second;
    for (int i = 0; i < 6; ++i) {
        auto& list = i < 3 ? first : second;
        list.push_back({dir.file("c" + std::to_string(i) + ".jpg"), QSize(100, 100)});
        solid_jpeg(list.back().path, 100, 100, 0, 0, 200);
    }
    const qint64 one = QImage(100, 100, QImage::Format_RGB32).sizeInBytes();
    CellLoader loader(3 * one, 2);
    loader.request(first);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loader.in_flight() == 0 && loader.missing_among_first(3) == 0; },
        hang_bound_ms));
    loader.request(second);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loader.in_flight() == 0 && loader.missing_among_first(3) == 0; },
        hang_bound_ms));
    EXPECT_LE(loader.cached_bytes(), 3 * one);
    EXPECT_EQ(loader.find(first[0].path, QSize(100, 100)).image, nullptr);
}

TEST(CellLoader, ASmallerBudgetDropsWhatIsNotWantedAtOnce) {
    test::TempDir dir;
    std::vector<CellRequest> cells;
    for (int i = 0; i < 6; ++i) {
        cells.push_back({dir.file("c" + std::to_string(i) + ".jpg"), QSize(100, 100)});
        solid_jpeg(cells.back().path, 100, 100, 0, 0, 200);
    }
    const qint64 one = QImage(100, 100, QImage::Format_RGB32).sizeInBytes();
    CellLoader loader(6 * one, 2);
    loader.request(cells);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loader.in_flight() == 0 && loader.missing_among_first(6) == 0; },
        hang_bound_ms));
    EXPECT_EQ(loader.cached_bytes(), 6 * one);
    loader.request({cells[4], cells[5]});
    loader.set_budget(3 * one);
    EXPECT_EQ(loader.cached_bytes(), 3 * one);
    EXPECT_TRUE(loader.find(cells[4].path, QSize(100, 100)).fresh) << "wanted: kept";
    EXPECT_TRUE(loader.find(cells[5].path, QSize(100, 100)).fresh) << "wanted: kept";
    EXPECT_EQ(loader.find(cells[0].path, QSize(100, 100)).image, nullptr)
        << "the least recently used went first";
    loader.set_budget(0);
    EXPECT_EQ(loader.cached_bytes(), 2 * one) << "what is wanted stays whatever the budget";
}

TEST(CellLoader, CellsReadAheadAreDecodedToo) {
    test::TempDir dir;
    std::vector<CellRequest> cells = green_cells(dir, 4);
    cells[2].ahead = cells[3].ahead = true;
    CellLoader loader(1 << 20, 1, 1);
    loader.request(cells);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loader.in_flight() == 0 && loader.missing_among_first(4) == 0; },
        hang_bound_ms));
    for (const CellRequest& cell : cells)
        EXPECT_TRUE(loader.find(cell.path, QSize(40, 30)).fresh) << cell.path;
}

struct ShrinkCase {
    const char* name;
    QSize from, to;
};

class CellShrink : public testing::TestWithParam<ShrinkCase> {};

// Each cell pixel is the mean of the picture pixels it covers, parts of pixels counted by
// the part covered: a flat picture stays flat, a hard edge stays where it was.
TEST_P(CellShrink, AveragesThePixelsEachCellPixelCovers) {
    test::TempDir dir;
    const QSize from = GetParam().from, to = GetParam().to;
    test::RgbImage stripes{from.width(), from.height(), {}}, flat = stripes, halves = stripes;
    for (int y = 0; y < from.height(); ++y)
        for (int x = 0; x < from.width(); ++x) {
            const uint8_t stripe = x % 2 ? 255 : 0, half = x < from.width() / 2 ? 0 : 255;
            stripes.pixels.insert(stripes.pixels.end(), {stripe, stripe, stripe});
            flat.pixels.insert(flat.pixels.end(), {30, 140, 220});
            halves.pixels.insert(halves.pixels.end(), {half, half, half});
        }
    test::write_picture(dir.file("stripes.png"), stripes);
    test::write_picture(dir.file("flat.png"), flat);
    test::write_picture(dir.file("halves.png"), halves);

    const QImage grey = decode_cell(dir.file("stripes.png"), to);
    ASSERT_EQ(grey.size(), to);
    EXPECT_EQ(grey.format(), QImage::Format_RGB32) << "what a painter copies as it is";
    // The part of a cell pixel's span over the white columns.
    const double step = double(from.width()) / to.width();
    // A picture of four times the cell or more is first averaged over whole-pixel boxes as it
    // is decoded, which may move a column's share by one picture pixel's worth.
    const double tolerance = step >= 4 ? 255 / step : 2;
    for (int x = 0; x < to.width(); ++x) {
        double white = 0;
        for (int p = int(x * step); p < from.width() && p < (x + 1) * step; ++p)
            if (p % 2)
                white += std::min<double>(p + 1, (x + 1) * step) - std::max<double>(p, x * step);
        EXPECT_NEAR(qRed(grey.pixel(x, to.height() / 2)), 255 * white / step, tolerance)
            << "column " << x;
    }
    const QImage same = decode_cell(dir.file("flat.png"), to);
    for (const QPoint at : {QPoint(0, 0), QPoint(to.width() - 1, to.height() - 1),
                            QPoint(to.width() / 2, to.height() / 3)})
        EXPECT_EQ(same.pixel(at), qRgb(30, 140, 220));
    const QImage edge = decode_cell(dir.file("halves.png"), to);
    EXPECT_EQ(qRed(edge.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(edge.pixel(to.width() / 2 - 2, 0)), 0);
    EXPECT_EQ(qRed(edge.pixel(to.width() / 2 + 1, 0)), 255);
    EXPECT_EQ(qRed(edge.pixel(to.width() - 1, 0)), 255);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CellShrink,
                         testing::Values(ShrinkCase{"Half", QSize(100, 60), QSize(50, 30)},
                                         ShrinkCase{"ByAFraction", QSize(100, 75), QSize(80, 60)},
                                         ShrinkCase{"ByMuch", QSize(640, 480), QSize(60, 45)}),
                         [](const testing::TestParamInfo<ShrinkCase>& info) {
                             return info.param.name;
                         });

TEST(CellLoader, AFileThatCannotBeReadLeavesAnEmptyPicture) {
    test::TempDir dir;
    const std::string path = dir.file("broken.jpg");
    test::write_file(path, std::string("\xFF\xD8\xFF\xE0 not really", 15));
    EXPECT_TRUE(decode_cell(path, QSize(10, 10)).isNull());
    EXPECT_TRUE(decode_cell(dir.file("missing.jpg"), QSize(10, 10)).isNull());
    test::make_picture(dir.file("ok.png"), 30, 20);
    EXPECT_EQ(decode_cell(dir.file("ok.png"), QSize(15, 10)).size(), QSize(15, 10));
}

TEST(CellLoader, QtsOwnReadersGetARegularFileByTheBytesOfItsName) {
    test::TempDir dir;
    // A 4 x 2 red GIF, a format the picture layer leaves to Qt.
    const std::string gif("GIF89a\x04\x00\x02\x00\xf0\x00\x00\xff\x00\x00\x00\x00\x00\x21\xf9"
                          "\x04\x00\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x02\x00\x00"
                          "\x02\x03\x84\x6f\x05\x00\x3b",
                          44);
    const std::string path = dir.file("\xff\xfe"
                                      "red.gif");
    test::write_file(path, gif);
    const QImage image = decode_cell(path, QSize(4, 2));
    ASSERT_EQ(image.size(), QSize(4, 2));
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 0, 0));
    // Opening a fifo would wait for a writer that never comes.
    const std::string fifo = dir.file("pipe.gif");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(decode_cell(fifo, QSize(4, 2)).isNull());
}

} // namespace
} // namespace orvix
