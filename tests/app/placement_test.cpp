// The window opens where it was closed, within the screen, and a first start leaves room
// for the thumbnails.
#include "app_fixture.h"

#include "app/layout.h"
#include "app/window_placement.h"
#include "controls/thumbgrid/grid_layout.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <algorithm>

namespace orvix::test {
namespace {

// --- The rules, without a display ---------------------------------------------------------

// The columns of the first row of a grid whose drawing area is width x height twips, with
// the cells the window asks for.
int grid_columns(int32_t width, int32_t height) {
    constexpr int16_t window_cells = -1300;
    constexpr int16_t margin = 50;
    constexpr int32_t pictures = 100;
    const GridLayout layout = lay_out(window_cells, margin, width, height, pictures);
    const std::vector<Rect> cells = cell_rects(layout, width, pictures, margin);
    return static_cast<int>(std::count_if(cells.begin(), cells.end(), [&](const Rect& cell) {
        return cell.top == cells.front().top;
    }));
}

struct ScreenCase {
    const char* name;
    Rect available;
};

class FirstStartOnASmallLaptop : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(FirstStartOnASmallLaptop, ShowsTheGridAtLeastFourColumnsWide) {
    constexpr double tpp = 15; // 96 DPI
    const Rect available = GetParam().available;
    const Rect window = placed_window(std::nullopt, available, tpp);
    EXPECT_GE(window.left, available.left);
    EXPECT_GE(window.top, available.top);
    EXPECT_LE(window.right, available.right);
    EXPECT_LE(window.bottom, available.bottom);

    // A status bar of 22 pixels and a toolbar of 40, as a desktop style draws them.
    MainLayout layout = design_layout(to_twips(22, tpp), to_twips(40, tpp));
    const int32_t width = to_twips(window.width(), tpp);
    const int32_t height = to_twips(window.height(), tpp);
    const int32_t page_width = to_pixels(width - 200, tpp);
    const int32_t splitter = placed_splitter(std::nullopt, page_width, to_pixels(75, tpp),
                                             to_pixels(layout.vsplit.left, tpp));
    layout.vsplit.move_to(to_twips(splitter, tpp), 0);
    arrange_layout(layout, width, height, true);
    // With more pictures than fit, a scroll bar covers the right of the drawing area.
    const int32_t scroll_bar = to_twips(20, tpp);
    EXPECT_GE(grid_columns(layout.tex.width() - scroll_bar, layout.tex.height()), 4);
    EXPECT_GE(layout.frame1.width(), 4000) << "the folder boxes keep a usable width";
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FirstStartOnASmallLaptop,
    ::testing::Values(ScreenCase{"Whole1366x768", Rect::sized(0, 0, 1366, 768)},
                      ScreenCase{"BottomPanel", Rect::sized(0, 0, 1366, 728)},
                      ScreenCase{"TopBar", Rect::sized(0, 32, 1366, 736)},
                      ScreenCase{"Both", Rect::sized(0, 27, 1366, 700)}),
    [](const ::testing::TestParamInfo<ScreenCase>& info) { return std::string(info.param.name); });

TEST(FirstWindowSize, ThreeQuartersOfTheScreenNeverBelowTheDesignNorBeyondTheScreen) {
    const struct {
        Rect available;
        Size size;
    } cases[] = {
        {Rect::sized(0, 0, 1366, 728), {1024, 546}},
        {Rect::sized(0, 0, 2560, 1400), {1920, 1050}},
        {Rect::sized(0, 0, 800, 600), {760, 527}}, // the design size
        {Rect::sized(0, 0, 640, 480), {640, 480}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first_window_size(c.available, 15), c.size) << c.available.width();
}

TEST(PlacedWindow, MovedAndShrunkIntoTheScreen) {
    const Rect screen = Rect::sized(1920, 30, 1280, 994); // a second screen, below a top bar
    const struct {
        const char* label;
        Rect stored;
        Rect placed;
    } cases[] = {
        {"inside", Rect::sized(2000, 100, 900, 600), Rect::sized(2000, 100, 900, 600)},
        {"too wide and tall", Rect::sized(2000, 100, 3000, 2000), screen},
        {"off to the right", Rect::sized(3000, 100, 900, 600), Rect::sized(2300, 100, 900, 600)},
        {"off to the left", Rect::sized(-500, 100, 900, 600), Rect::sized(1920, 100, 900, 600)},
        {"above the top bar", Rect::sized(2000, -40, 900, 600), Rect::sized(2000, 30, 900, 600)},
        {"below", Rect::sized(2000, 900, 900, 600), Rect::sized(2000, 424, 900, 600)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(placed_window(c.stored, screen, 15), c.placed) << c.label;
    const Rect first = placed_window(std::nullopt, screen, 15);
    EXPECT_EQ(first, Rect::sized(1920 + 160, 30 + 124, 960, 745)) << "centred";
}

TEST(PlacedSplitter, KeptAQuarterOfThePageFromEitherSide) {
    const struct {
        std::optional<int32_t> stored;
        int32_t placed;
    } cases[] = {{std::nullopt, 373}, {500, 500}, {100, 250}, {900, 745}, {0, 250}};
    for (const auto& c : cases)
        EXPECT_EQ(placed_splitter(c.stored, 1000, 5, 373), c.placed) << c.stored.value_or(-1);
    EXPECT_EQ(placed_splitter(std::nullopt, 400, 5, 373), 295) << "the default too";
}

TEST(StoredPlacement, HandEditedNonsenseIsLeftOut) {
    const auto prefs = [](const std::string& left, const std::string& top, const std::string& width,
                          const std::string& height) {
        return prefs_file_text({{"WINDOW_LEFT", left},
                                {"WINDOW_TOP", top},
                                {"WINDOW_WIDTH", width},
                                {"WINDOW_HEIGHT", height}});
    };
    const struct {
        const char* label;
        std::string prefs;
        std::optional<Rect> window;
    } cases[] = {
        {"whole numbers", prefs("100", "80", "900", "700"), Rect::sized(100, 80, 900, 700)},
        {"left of the first screen", prefs("-1200", "0", "900", "700"),
         Rect::sized(-1200, 0, 900, 700)},
        {"absent", "", std::nullopt},
        {"a word", prefs("100", "80", "wide", "700"), std::nullopt},
        {"a unit", prefs("100px", "80", "900", "700"), std::nullopt},
        {"a fraction", prefs("100", "80", "900.5", "700"), std::nullopt},
        {"a space", prefs("100", "80", " 900", "700"), std::nullopt},
        {"empty", prefs("100", "", "900", "700"), std::nullopt},
        {"no size", prefs("100", "80", "0", "700"), std::nullopt},
        {"negative size", prefs("100", "80", "900", "-700"), std::nullopt},
        {"too small to use", prefs("100", "80", "319", "700"), std::nullopt},
        {"beyond 32 bits", prefs("100", "80", "99999999999", "700"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_placement(c.prefs).window, c.window) << c.label;

    const std::pair<std::string, std::optional<int32_t>> splitters[] = {
        {"", std::nullopt}, {"373", 373}, {"-5", std::nullopt}, {"middle", std::nullopt}};
    for (const auto& [stored, splitter] : splitters)
        EXPECT_EQ(read_placement(prefs_file_text({{"SPLITTER_LEFT", stored}})).splitter, splitter)
            << stored;
    EXPECT_TRUE(read_placement("$WINDOW_MAXIMIZED=1").maximized);
    EXPECT_FALSE(read_placement("$WINDOW_MAXIMIZED=yes").maximized);
}

TEST(StoredPlacement, WrittenAndReadBack) {
    std::string prefs = "$SOURCE_PATH=/media/card";
    write_placement(prefs, {Rect::sized(-300, 20, 1000, 640), true, 410});
    write_placement(prefs, {Rect::sized(-200, 25, 1100, 650), true, 420});
    const StoredPlacement stored = read_placement(prefs);
    EXPECT_EQ(stored.window, Rect::sized(-200, 25, 1100, 650));
    EXPECT_TRUE(stored.maximized);
    EXPECT_EQ(stored.splitter, 420);
    EXPECT_EQ(get_key_value("SOURCE_PATH", prefs), "/media/card");
    EXPECT_EQ(split(prefs, "\r").size(), 7u) << "each key once";
}

// --- Through the window -------------------------------------------------------------------

class PlacementTest : public AppTest {
protected:
    // Drags the splitter bar sideways by dx pixels, as the mouse does.
    void drag_splitter(int dx) {
        QWidget* vsplit = child<QWidget>("vsplit");
        const QPoint grab(vsplit->width() / 2, 10);
        const QPoint to = grab + QPoint(dx, 0);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(grab), vsplit->mapToGlobal(grab),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), vsplit->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), vsplit->mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vsplit, &press);
        QCoreApplication::sendEvent(vsplit, &move);
        QCoreApplication::sendEvent(vsplit, &release);
    }
    QRect available() const { return m_form->screen()->availableGeometry(); }
    int splitter_x() const { return child<QWidget>("vsplit")->x(); }
};

TEST_F(PlacementTest, TheWindowReopensWhereItWasClosedWithItsSplitter) {
    Form1& form = start({{"SHOW_THUMBS", "1"}});
    const QRect chosen(available().left() + 30, available().top() + 20, 700, 520);
    form.setGeometry(chosen);
    drag_splitter(-60);
    const int splitter = splitter_x();
    EXPECT_TRUE(form.close());

    Form1& again = run(start_up());
    EXPECT_EQ(again.geometry(), chosen);
    EXPECT_EQ(splitter_x(), splitter);
    EXPECT_FALSE(again.isMaximized());
}

TEST_F(PlacementTest, AMaximisedWindowReopensMaximisedAndKeepsItsOwnSize) {
    Form1& form = start({{"SHOW_THUMBS", "1"}});
    const QRect chosen(available().left() + 30, available().top() + 20, 700, 520);
    form.setGeometry(chosen);
    form.showMaximized();
    EXPECT_TRUE(form.close());

    Form1& again = run(start_up());
    EXPECT_TRUE(again.isMaximized());
    again.showNormal();
    EXPECT_EQ(again.geometry(), chosen);
}

TEST_F(PlacementTest, AWindowFromALargerScreenOpensWithinThisOne) {
    Form1& form = start({{"WINDOW_LEFT", "3000"},
                         {"WINDOW_TOP", "-400"},
                         {"WINDOW_WIDTH", "2400"},
                         {"WINDOW_HEIGHT", "1500"},
                         {"SPLITTER_LEFT", "2000"},
                         {"SHOW_THUMBS", "1"}});
    // The desktop may shift a window that fills the screen to show its frame.
    EXPECT_EQ(form.size(), available().size());
    EXPECT_TRUE(available().contains(form.geometry().topLeft()));
    const QWidget* page = child<QWidget>("frame_transfert");
    EXPECT_LE(splitter_x(), page->width() * 3 / 4) << "the grid keeps its quarter";
    EXPECT_TRUE(child<QWidget>("tex")->width() > 0);
}

TEST_F(PlacementTest, HandEditedNonsenseOpensAsAFirstStart) {
    const QRect first = start({{"SHOW_THUMBS", "1"}}).geometry();
    const int first_splitter = splitter_x();
    EXPECT_TRUE(available().contains(first));

    Form1& form = start({{"WINDOW_LEFT", "10"},
                         {"WINDOW_TOP", "ten"},
                         {"WINDOW_WIDTH", "700"},
                         {"WINDOW_HEIGHT", "500"},
                         {"SPLITTER_LEFT", "half"},
                         {"SHOW_THUMBS", "1"}});
    EXPECT_EQ(form.geometry(), first);
    EXPECT_EQ(splitter_x(), first_splitter);
}

} // namespace
} // namespace orvix::test
