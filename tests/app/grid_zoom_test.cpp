// The zoom slider and the order box under the main window's grid: Ctrl+wheel and the
// slider as the user moves them, the orders on a transferred card, the preferences that
// keep both, and their row in the window's layout.
#include "grid_fixture.h"

#include "app/layout.h"
#include "controls/thumbgrid/grid_layout.h"
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "settings/prefs.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/temp_dir.h"
#include "thumbcache/thumbcache.h"

#include <QComboBox>
#include <QSlider>
#include <QWheelEvent>

#include <filesystem>

#include <string>
#include <vector>

namespace orvix::test {
namespace {

class GridZoomTest : public GridWindowTest {
protected:
    QSlider* zoom() const { return child<QSlider>("zoom"); }
    QComboBox* sortorder() const { return child<QComboBox>("sortorder"); }

    void ctrl_wheel(int angle_delta) {
        const QPointF at(20, 20);
        QWheelEvent event(at, fond()->mapToGlobal(at), QPoint(), QPoint(0, angle_delta),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(fond(), &event);
    }
    // The file names of the grid's pictures, item by item.
    std::vector<std::string> shown() const {
        std::vector<std::string> names;
        for (int item = 1; item <= m_tex->model().count(); ++item)
            names.push_back(file_name(picture_of(item), true));
        return names;
    }
    // Chooses an entry of the order box with the keyboard, as a user would.
    void choose_order(int index) {
        sortorder()->setFocus();
        while (sortorder()->currentIndex() < index)
            QTest::keyClick(sortorder(), Qt::Key_Down);
        while (sortorder()->currentIndex() > index)
            QTest::keyClick(sortorder(), Qt::Key_Up);
        settle();
    }
    std::string saved() const { return read_file(prefs_path(m_program)); }
};

TEST_F(GridZoomTest, StartsAtTheGridsOwnCellsInTransferOrder) {
    start_with_card({});
    EXPECT_EQ(zoom()->minimum(), smallest_zoom(-1300, m_tex->twips_per_pixel_x()));
    EXPECT_EQ(zoom()->maximum(), 400);
    EXPECT_EQ(zoom()->value(), zoom()->minimum());
    EXPECT_EQ(m_tex->ThumbnailsSize(), -1300) << "the grid's cells as ever";
    EXPECT_FALSE(m_tex->zoomed());
    EXPECT_EQ(sortorder()->currentIndex(), 0);
    EXPECT_EQ(sortorder()->currentText().toStdString(), shipped_text("ENGLISH", "sort_transfer"));
    EXPECT_TRUE(zoom()->isVisible());
    EXPECT_TRUE(sortorder()->isVisible());
    EXPECT_TRUE(m_form->close());
    EXPECT_EQ(saved().find("GRID_"), std::string::npos) << "untouched, nothing is written";
}

TEST_F(GridZoomTest, CtrlWheelAndTheSliderGrowTheCellsWithCaptionsBelow) {
    start_with_card({"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"});
    transfer();
    const int smallest = zoom()->minimum();
    const QRect fitted = cell_of(1);
    EXPECT_EQ(m_tex->model().caption_band(), 0) << "the grid's own captions, over the picture";

    ctrl_wheel(120 * 10);
    settle();
    EXPECT_EQ(zoom()->value(), smallest + 10 * kZoomStep);
    EXPECT_GT(cell_of(1).width(), fitted.width()) << "ten notches pass the fitted cells";
    EXPECT_NEAR(cell_of(1).width(), zoom()->value(), 1);
    EXPECT_TRUE(m_tex->zoomed());
    ASSERT_GT(m_tex->model().caption_band(), 0);
    const ThumbItem& first = *m_tex->model().item(1);
    EXPECT_LE(first.Bounds.bottom,
              caption_rect(first.BoundsGrid, m_tex->Margin(), m_tex->model().caption_band()).top)
        << "the caption below the picture";

    zoom()->setFocus();
    QTest::keyClick(zoom(), Qt::Key_End);
    settle();
    EXPECT_EQ(zoom()->value(), 400);
    EXPECT_NEAR(cell_of(1).width(), 400, 1);
    ctrl_wheel(120);
    EXPECT_EQ(zoom()->value(), 400) << "no larger than 400 pixels";

    QTest::keyClick(zoom(), Qt::Key_Home);
    ctrl_wheel(-120);
    settle();
    EXPECT_EQ(zoom()->value(), smallest) << "no smaller than the grid's own cells";
    EXPECT_EQ(m_tex->ThumbnailsSize(), -1300);
    EXPECT_EQ(m_tex->model().caption_band(), 0);
    EXPECT_EQ(cell_of(1), fitted) << "back to the grid's own cells";
}

TEST_F(GridZoomTest, TheOrderBoxSortsByNameAndByDateTaken) {
    // Listed from the card by their bytes, IMG_10 comes before IMG_9 and img_2.
    start_with_card({"IMG_10.jpg", "IMG_9.jpg", "img_2.jpg", "scan.jpg"});
    write_exif_dates(m_card + "IMG_10.jpg", {"2021:05:01 08:00:00", "", ""});
    write_exif_dates(m_card + "IMG_9.jpg", {"2021:05:01 09:00:00", "", ""});
    write_exif_dates(m_card + "img_2.jpg", {"", "", "2020:12:31 23:59:59"});
    transfer();
    const std::vector<std::string> transferred = shown();
    ASSERT_EQ(transferred.size(), 4u);
    click(centre_of(1)); // the first transferred stays selected through every order

    choose_order(1);
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"img_2.jpg", "IMG_9.jpg", "IMG_10.jpg", "scan.jpg"}));
    choose_order(2);
    // scan.jpg has no capture date: it takes its creation, the transfer's own time.
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"img_2.jpg", "IMG_10.jpg", "IMG_9.jpg", "scan.jpg"}));
    EXPECT_EQ(picture_of(std::stoi(m_tex->SelectedItems().toStdString())),
              picture_of_thumbnail(m_form->state().transferred_pictures,
                                   m_form->state().transferred_pictures[0].thumb_path));
    double_click(centre_of(1));
    ASSERT_FALSE(m_desktop.opened.empty());
    EXPECT_EQ(file_name(m_desktop.opened.back(), true), "img_2.jpg")
        << "each item still opens its own picture";

    choose_order(0);
    EXPECT_EQ(shown(), transferred);
}

TEST_F(GridZoomTest, AnEditKeepsTheOrderAndTheSelectionOnItsPictures) {
    start_with_card({"IMG_10.jpg", "IMG_9.jpg", "img_2.jpg"});
    transfer();
    choose_order(1);
    const std::vector<std::string> by_name = {"img_2.jpg", "IMG_9.jpg", "IMG_10.jpg"};
    ASSERT_EQ(shown(), by_name);
    m_tex->setSelectionMode(2);
    click(centre_of(2));
    click(centre_of(3), Qt::ControlModifier);
    ASSERT_EQ(m_tex->SelectedItems(), "2,3");

    child<QToolBar>("tb")->findChild<QAction*>(QStringLiteral("tb_button1"))->trigger();
    wait_for_command_end();
    settle();
    EXPECT_EQ(shown(), by_name) << "the grid refilled after the turn keeps its order";
    EXPECT_EQ(m_tex->SelectedItems(), "2,3");
    EXPECT_EQ(get_image_size(picture_of(2)), "48,64") << "the turned pictures are the selected";
    EXPECT_EQ(get_image_size(picture_of(1)), "64,48");
}

TEST_F(GridZoomTest, TheOrderWaitsWhileACommandHoldsTheGrid) {
    start_with_card({"IMG_10.jpg", "IMG_9.jpg", "img_2.jpg"});
    transfer();
    const std::vector<std::string> transferred = shown();
    m_tex->setSelectionMode(2);
    click(centre_of(1));
    click(centre_of(2), Qt::ControlModifier);
    const std::string first = picture_of(1), second = picture_of(2);

    // A turn of two pictures runs beside the window; its end waits for the event loop.
    child<QToolBar>("tb")->findChild<QAction*>(QStringLiteral("tb_button1"))->trigger();
    ASSERT_FALSE(m_tex->isEnabled());
    sortorder()->setFocus();
    QTest::keyClick(sortorder(), Qt::Key_Down);
    EXPECT_EQ(sortorder()->currentIndex(), 0);
    wait_for_command_end();
    settle();
    EXPECT_EQ(shown(), transferred);
    EXPECT_EQ(m_tex->SelectedItems(), "1,2");
    EXPECT_EQ(picture_of(1), first) << "the selection given back names the turned pictures";
    EXPECT_EQ(picture_of(2), second);
}

TEST_F(GridZoomTest, TheZoomAndTheOrderAreKeptInThePreferences) {
    start_with_card({});
    zoom()->setFocus();
    QTest::keyClick(zoom(), Qt::Key_End);
    choose_order(2);
    EXPECT_TRUE(m_form->close());
    EXPECT_NE(saved().find("$GRID_ZOOM=400"), std::string::npos);
    EXPECT_NE(saved().find("$GRID_ORDER=DATE"), std::string::npos);

    run(start_up());
    m_tex = child<Glimra>("tex");
    EXPECT_EQ(zoom()->value(), 400);
    EXPECT_EQ(m_tex->ThumbnailsSize(), -6000);
    EXPECT_TRUE(m_tex->zoomed());
    EXPECT_EQ(sortorder()->currentIndex(), 2);
    EXPECT_EQ(m_tex->order(), GridOrder::DateTaken);

    // Back to the defaults: the keys stay in the file, with the defaults.
    QTest::keyClick(zoom(), Qt::Key_Home);
    choose_order(0);
    EXPECT_TRUE(m_form->close());
    EXPECT_NE(saved().find("$GRID_ZOOM=" + std::to_string(zoom()->minimum())), std::string::npos);
    EXPECT_NE(saved().find("$GRID_ORDER=TRANSFER"), std::string::npos);
}

struct BadValues {
    const char* name;
    const char* zoom;
    const char* order;
};

class HandEditedPreferences : public GridZoomTest, public testing::WithParamInterface<BadValues> {};

TEST_P(HandEditedPreferences, FallBackToTheDefaults) {
    start({{"GRID_ZOOM", GetParam().zoom}, {"GRID_ORDER", GetParam().order}});
    QSlider* slider = zoom();
    EXPECT_EQ(slider->value(), slider->minimum());
    EXPECT_EQ(child<Glimra>("tex")->ThumbnailsSize(), -1300);
    EXPECT_EQ(sortorder()->currentIndex(), 0);
    EXPECT_EQ(child<Glimra>("tex")->order(), GridOrder::Transfer);
}

INSTANTIATE_TEST_SUITE_P(
    Values, HandEditedPreferences,
    testing::Values(BadValues{"Words", "large", "by name"}, BadValues{"Zero", "0", "0"},
                    BadValues{"BeyondTheLargest", "401", "DATES"},
                    BadValues{"BelowTheSmallest", "20", "date"},
                    BadValues{"Negative", "-200", "-1"}, BadValues{"Empty", "", ""}),
    [](const testing::TestParamInfo<BadValues>& info) { return std::string(info.param.name); });

TEST(Layout, TheZoomRowTakesTheBottomOfTheGrid) {
    MainLayout layout = design_layout(300, 400, 255, 330);
    arrange_layout(layout, 12000, 9000, true);
    EXPECT_EQ(layout.tex.bottom, layout.page.height() - 100 - 330 - 50);
    EXPECT_EQ(layout.zoom, (Rect{layout.tex.left, layout.tex.bottom + 50,
                                 layout.sortorder.left - 100, layout.tex.bottom + 50 + 330}));
    EXPECT_EQ(layout.sortorder.top, layout.zoom.top);
    EXPECT_EQ(layout.sortorder.right, layout.tex.right);
    EXPECT_EQ(layout.sortorder.width(), 2400);
    layout.captions.sortorder = 3100;
    arrange_layout(layout, 12000, 9000, true);
    EXPECT_EQ(layout.sortorder.width(), 3100) << "as wide as its texts need";
    EXPECT_EQ(layout.zoom.right, layout.sortorder.left - 100);
}

// The transfer leaves the desktop's cache thumbnails to be drawn behind it; the grid's larger
// cells take them as soon as they stand, or draw them when asked first.
TEST_F(GridZoomTest, LargeCellsAreDrawnFromTheDesktopsLargeThumbnailWhileItStandsForThePicture) {
    start_with_card({"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"});
    transfer();
    ASSERT_EQ(m_tex->model().count(), 3);
    for (int item = 1; item <= 3; ++item) {
        const std::string picture = picture_of(item);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return !cached_thumbnail(picture, CacheSize::Normal).empty() &&
                   !cached_thumbnail(picture, CacheSize::Large).empty();
        })) << "drawn behind the transfer: "
            << picture;
        EXPECT_EQ(m_tex->loader().larger_source_of(m_tex->File_Path(item).toStdString()),
                  cache_thumbnail_path(picture, CacheSize::Large));
    }
    // A picture changed behind the program's back: its large thumbnail no longer stands for
    // it, and is drawn again for the picture as it is now.
    const std::string changed = picture_of(2);
    const std::string large = cache_thumbnail_path(changed, CacheSize::Large);
    test::make_jpeg(changed, 300, 600);
    std::filesystem::last_write_time(changed, std::filesystem::last_write_time(changed) -
                                                  std::chrono::hours(1));
    ASSERT_EQ(cached_thumbnail(changed, CacheSize::Large), "");
    EXPECT_EQ(m_tex->loader().larger_source_of(m_tex->File_Path(2).toStdString()), large);
    const test::RgbImage redrawn = test::read_rgb(large);
    EXPECT_EQ(redrawn.width, 128);
    EXPECT_EQ(redrawn.height, 256);
    // One that cannot be drawn falls back to the grid's own thumbnail.
    test::write_file(picture_of(3), "no longer a picture");
    EXPECT_EQ(m_tex->loader().larger_source_of(m_tex->File_Path(3).toStdString()), "");
    EXPECT_EQ(m_tex->loader().larger_source_of("/nowhere/thumb.jpg"), "");
}

} // namespace
} // namespace orvix::test
