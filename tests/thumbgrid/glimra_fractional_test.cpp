// The grid on a screen of one and a half device pixels a point: each picture arrives at the
// device pixels it covers and carries that density, so painting copies it one to one
// instead of stretching it by a fraction of a pixel.
#include "zoom_support.h"

#include "platform/qt/text_codec.h"
#include "support/temp_dir.h"

#include <QApplication>

#include <memory>

namespace orvix {
namespace {

constexpr qreal kRatio = 1.5;

// This binary's one QApplication, on a screen scaled by one and a half.
class FractionalScreen : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_SCALE_FACTOR", "1.5");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "orvix-test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

testing::Environment* const fractional_screen =
    testing::AddGlobalTestEnvironment(new FractionalScreen);

struct Proportions {
    int width, height;
};

TEST(FractionalGrid, EachPictureArrivesAtTheDevicePixelsItCovers) {
    test::TempDir dir;
    // Odd sizes too: a point and a half of them is no whole number of pixels.
    const std::vector<Proportions> sizes = {{80, 60}, {79, 53}, {61, 80}, {77, 45}, {80, 59}};
    QStringList list;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string path = dir.file("p" + std::to_string(i) + ".jpg");
        test::flat_jpeg(path, sizes[i].width, sizes[i].height, 250, 0, 0);
        list << to_qt(path);
    }
    Glimra grid;
    grid.setShowTitle(false);
    grid.setThumbnailsSize(-1300);
    grid.resize(500, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    ASSERT_EQ(grid.devicePixelRatioF(), kRatio);
    grid.setFilelist(list.join(QLatin1Char('\r')));
    test::settle_grid(grid);

    const QImage shot = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int i = 1; i <= int(sizes.size()); ++i) {
        SCOPED_TRACE(i);
        const QRect picture = test::grid_pixels(grid, grid.File_Bounds(i));
        ASSERT_EQ(picture.size(), QSize(sizes[size_t(i - 1)].width, sizes[size_t(i - 1)].height));
        const QSize device(qRound(picture.width() * kRatio), qRound(picture.height() * kRatio));
        const CellLoader::Found found = grid.loader().find(grid.File_Path(i).toStdString(), device);
        ASSERT_TRUE(found.image && found.fresh) << "decoded at the device pixels of the cell";
        EXPECT_EQ(found.image->size(), device);
        EXPECT_EQ(found.image->devicePixelRatio(), kRatio)
            << "drawn, it covers its own pixels, not the cell's points stretched";
        EXPECT_TRUE(
            test::near_rgb(shot.pixel((QPointF(picture.center()) * kRatio).toPoint()), 250, 0, 0));
    }
}

} // namespace
} // namespace orvix
