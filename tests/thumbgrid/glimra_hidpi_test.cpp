// The grid on a screen of two device pixels a point: its cells drawn from pictures made for
// that density, not from 100-pixel thumbnails blown up.
#include "zoom_support.h"

#include "platform/qt/text_codec.h"
#include "support/temp_dir.h"

#include <QApplication>

#include <map>
#include <memory>

namespace orvix {
namespace {

// This binary's one QApplication, on a screen scaled by two.
class ScaledScreen : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_SCALE_FACTOR", "2");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "orvix-test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

testing::Environment* const scaled_screen = testing::AddGlobalTestEnvironment(new ScaledScreen);

TEST(HiDpiGrid, DrawsCellsFromTheLargerSourceAtTheScreensDensity) {
    test::TempDir dir;
    // An 80 x 60 thumbnail (red) fits its cell in points; its larger source is green.
    const std::string thumb = dir.file("t.jpg"), large = dir.file("large/t.jpg");
    test::flat_jpeg(thumb, 80, 60, 250, 0, 0);
    test::flat_jpeg(large, 320, 240, 0, 200, 0);
    std::map<std::string, std::string> larger = {{thumb, large}};

    Glimra grid;
    grid.setShowTitle(false);
    grid.setThumbnailsSize(-1300);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    ASSERT_EQ(grid.devicePixelRatioF(), 2.0);
    grid.set_larger_source([&larger](const std::string& file) {
        const auto found = larger.find(file);
        return found == larger.end() ? std::string() : found->second;
    });
    grid.setFilelist(to_qt(thumb));
    test::settle_grid(grid);

    const QRect picture = test::grid_pixels(grid, grid.File_Bounds(1));
    ASSERT_EQ(picture.size(), QSize(80, 60)) << "the thumbnail's own size, in points";
    const CellLoader::Found found = grid.loader().find(thumb, QSize(160, 120));
    ASSERT_TRUE(found.image && found.fresh) << "decoded at the device pixels of the cell";
    EXPECT_EQ(found.image->size(), QSize(160, 120));
    EXPECT_EQ(found.image->devicePixelRatio(), 2.0) << "drawn one to one";
    const QImage shot = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(600, 400));
    EXPECT_TRUE(test::near_rgb(shot.pixel(picture.center() * 2), 0, 200, 0))
        << "drawn from the larger source";

    // Without a larger source the thumbnail is drawn, at the same device pixels.
    grid.set_larger_source({});
    grid.refresh();
    test::settle_grid(grid);
    EXPECT_TRUE(test::near_rgb(
        grid.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(picture.center() * 2),
        250, 0, 0));
}

} // namespace
} // namespace orvix
