// The grid's zoom-related parts on the offscreen platform: captions below the pictures,
// Ctrl+wheel, the orders of the items and larger sources for large cells.
#include "zoom_support.h"

#include "controls/thumbgrid/grid_layout.h"
#include "platform/qt/text_codec.h"
#include "support/temp_dir.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include <atomic>
#include <map>

namespace orvix {
namespace {

using test::flat_jpeg;
using test::near_rgb;

// Red 80 x 60 thumbnails named out of order, white captions.
class ZoomGrid : public testing::Test {
protected:
    ZoomGrid() {
        for (const char* name : {"b10.jpg", "a2.jpg", "C1.jpg", "a10.jpg"}) {
            m_paths.push_back(m_dir.file(name));
            flat_jpeg(m_paths.back(), 80, 60, 250, 0, 0);
        }
        m_grid.resize(640, 420);
        m_grid.setThumbnailsSize(-1300);
        m_grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
        test::settle_grid(m_grid);
    }

    QString list(const std::vector<std::string>& paths) const {
        QStringList names;
        for (const std::string& path : paths)
            names << to_qt(path);
        return names.join(QLatin1Char('\r'));
    }
    void load() {
        m_grid.setFilelist(list(m_paths));
        test::settle_grid(m_grid);
    }
    std::vector<std::string> items() const {
        std::vector<std::string> names;
        for (int32_t i = 1; i <= m_grid.model().count(); ++i)
            names.push_back(file_name_of(m_grid.File_Path(i).toStdString()));
        return names;
    }
    static std::string file_name_of(const std::string& path) {
        return path.substr(path.find_last_of('/') + 1);
    }
    QRect picture(int i) const { return test::grid_pixels(m_grid, m_grid.File_Bounds(i)); }
    QRect cell(int i) const { return test::grid_pixels(m_grid, m_grid.File_BoundsGrid(i)); }
    QImage shot() { return m_grid.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QWidget* fond() const { return m_grid.findChild<QWidget*>(QStringLiteral("fond")); }

    test::TempDir m_dir;
    std::vector<std::string> m_paths;
    Glimra m_grid;
};

TEST_F(ZoomGrid, CaptionsBelowLeaveThePictureUncovered) {
    m_grid.setTitleText(QStringLiteral("#SHORTFILENAME#\r\n#DIMENSIONS#\r\n#FILESIZE#"));
    m_grid.setThumbnailsSize(3000); // 200-pixel cells: the red fills most of each
    m_paths = {m_dir.file("big.jpg")};
    flat_jpeg(m_paths[0], 180, 180, 250, 0, 0);
    load();
    const QRect over = picture(1);
    EXPECT_GT(test::white_pixels(shot(), over), 20)
        << "at the grid's own size the caption lies over it";

    m_grid.set_zoomed(true);
    test::settle_grid(m_grid);
    const QRect above = picture(1);
    const Rect band =
        caption_rect(m_grid.model().item(1)->BoundsGrid, 50, m_grid.model().caption_band());
    EXPECT_LT(above.height(), over.height()) << "the picture makes room";
    EXPECT_LE(m_grid.model().item(1)->Bounds.bottom, band.top);
    const QImage image = shot();
    EXPECT_EQ(test::white_pixels(image, above), 0) << "nothing is written over the picture";
    EXPECT_TRUE(near_rgb(image.pixel(above.center().x(), above.bottom() - 1), 250, 0, 0));
    const QRect below(cell(1).left(), above.bottom() + 1, cell(1).width(),
                      cell(1).bottom() - above.bottom());
    EXPECT_GT(test::white_pixels(image, below), 20) << "the caption is under it";

    // The band is as high as the caption's lines.
    const int32_t three_lines = m_grid.model().caption_band();
    m_grid.setTitleText(QStringLiteral("#SHORTFILENAME#"));
    EXPECT_LT(m_grid.model().caption_band(), three_lines);
    EXPECT_GT(m_grid.model().caption_band(), 0);
    m_grid.set_zoomed(false);
    EXPECT_EQ(m_grid.model().caption_band(), 0);
    EXPECT_EQ(picture(1), over) << "back to the grid's own cells";
}

TEST_F(ZoomGrid, CtrlWheelAsksForAZoomAndDoesNotScroll) {
    for (int i = 0; i < 60; ++i) {
        m_paths.push_back(m_dir.file("more" + std::to_string(i) + ".jpg"));
        flat_jpeg(m_paths.back(), 80, 60, 0, 0, 250);
    }
    load();
    auto* bar = m_grid.findChild<QScrollBar*>(QStringLiteral("VScroll"));
    ASSERT_TRUE(bar->isVisible());
    QSignalSpy zoom(&m_grid, &Glimra::zoom_wheel);
    const auto wheel = [this](int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(50, 50);
        QWheelEvent event(at, fond()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(fond(), &event);
    };
    wheel(120, Qt::ControlModifier);
    wheel(-240, Qt::ControlModifier);
    ASSERT_EQ(zoom.count(), 2);
    EXPECT_EQ(zoom[0][0].toInt(), 120);
    EXPECT_EQ(zoom[1][0].toInt(), -240);
    EXPECT_EQ(bar->value(), 0) << "a zoom does not scroll";
    wheel(-120, Qt::NoModifier);
    EXPECT_GT(bar->value(), 0) << "the plain wheel still scrolls";
    EXPECT_EQ(zoom.count(), 2);
}

TEST_F(ZoomGrid, AnOrderMovesTheItemsWithTheirTextsAndSelection) {
    // Dates: a10 first, then C1; b10 and a2 share a date, a2 is named first.
    const std::map<std::string, SortFacts> facts = {{"b10.jpg", {"b10.jpg", "20240102000000"}},
                                                    {"a2.jpg", {"a2.jpg", "20240102000000"}},
                                                    {"C1.jpg", {"C1.jpg", "20240101000000"}},
                                                    {"a10.jpg", {"a10.jpg", "20231231000000"}}};
    m_grid.set_sort_facts([&facts](const std::string& file) {
        return facts.at(file.substr(file.find_last_of('/') + 1));
    });
    m_grid.setSelectionMode(2);
    load();
    for (int32_t i = 1; i <= 4; ++i)
        m_grid.setFile_Titlestring(i, QStringLiteral("title of ") +
                                          QString::fromStdString(items()[size_t(i - 1)]));
    m_grid.setSelectedItems(QStringLiteral("1,3")); // b10 and C1

    QSignalSpy listed(&m_grid, &Glimra::filelistChanged);
    m_grid.set_order(GridOrder::Name);
    EXPECT_EQ(items(), (std::vector<std::string>{"a2.jpg", "a10.jpg", "b10.jpg", "C1.jpg"}));
    EXPECT_EQ(listed.count(), 1);
    EXPECT_EQ(m_grid.SelectedItems(), "3,4") << "the selection stays with its pictures";
    for (int32_t i = 1; i <= 4; ++i)
        EXPECT_EQ(m_grid.File_Titlestring(i).toStdString(), "title of " + items()[size_t(i - 1)]);

    m_grid.set_order(GridOrder::DateTaken);
    EXPECT_EQ(items(), (std::vector<std::string>{"a10.jpg", "C1.jpg", "a2.jpg", "b10.jpg"}));
    EXPECT_EQ(m_grid.SelectedItems(), "2,4");

    // A new list from the host comes in the order chosen.
    m_grid.setFilelist(list({m_paths[0], m_paths[2]}));
    EXPECT_EQ(items(), (std::vector<std::string>{"C1.jpg", "b10.jpg"}));

    m_grid.set_order(GridOrder::Transfer);
    EXPECT_EQ(items(), (std::vector<std::string>{"b10.jpg", "C1.jpg"})) << "as the host gave it";
}

// Thumbnails of 80 x 60 red; the larger source of each is 320 x 240 green.
class LargerSource : public ZoomGrid {
protected:
    LargerSource() {
        for (const std::string& path : m_paths) {
            m_larger[path] = m_dir.file("large/" + file_name_of(path));
            flat_jpeg(m_larger[path], 320, 240, 0, 200, 0);
        }
        m_grid.setShowTitle(false);
        m_grid.set_larger_source([this](const std::string& file) {
            ++m_asked;
            const auto found = m_larger.find(file);
            return found == m_larger.end() ? std::string() : found->second;
        });
    }

    std::map<std::string, std::string> m_larger; // written before the loader reads it
    std::atomic<int> m_asked = 0;
};

TEST_F(LargerSource, DrawsCellsLargerThanTheThumbnailFromIt) {
    load();
    ASSERT_EQ(picture(1).size(), QSize(80, 60)) << "the thumbnail fits its cell";
    EXPECT_TRUE(near_rgb(shot().pixel(picture(1).center()), 250, 0, 0));
    EXPECT_EQ(m_asked, 0) << "a cell the thumbnail fills needs nothing larger";

    m_grid.setThumbnailsSize(zoomed_ThumbnailsSize(-1300, 300, m_grid.twips_per_pixel_x()));
    m_grid.set_zoomed(true);
    test::settle_grid(m_grid);
    ASSERT_GT(picture(1).width(), 200);
    EXPECT_TRUE(near_rgb(shot().pixel(picture(1).center()), 0, 200, 0))
        << "drawn down from the larger source";
    EXPECT_GT(m_asked, 0);
    const CellLoader::Found found = m_grid.loader().find(m_paths[0], picture(1).size());
    ASSERT_TRUE(found.image && found.fresh);
    EXPECT_EQ(found.image->size(), picture(1).size()) << "scaled in the loader, not in paint";
}

TEST_F(LargerSource, FallsBackToTheThumbnailWhenThereIsNone) {
    m_larger.clear();
    m_larger[m_paths[0]] = m_dir.file("missing.jpg");
    m_grid.setThumbnailsSize(4500);
    m_grid.set_zoomed(true);
    load();
    EXPECT_GT(m_asked, 0);
    const QImage image = shot();
    EXPECT_TRUE(near_rgb(image.pixel(picture(1).center()), 250, 0, 0)) << "an unreadable source";
    EXPECT_TRUE(near_rgb(image.pixel(picture(2).center()), 250, 0, 0)) << "no source";
}

} // namespace
} // namespace orvix
