// The crop window on a BMP stored top row first: its rectangle covers the picture's real
// rows, and the crop it gives cuts the asked part.
#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "editing/cropwindow.h"
#include "helpers.h"
#include "imaging/imaging.h"
#include "support/qt_environment.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <QMouseEvent>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::RgbImage;
using test::TempDir;

TEST(TopDownBmpCropWindow, CropsTheAskedPartRightWayUp) {
    TempDir dir;
    const std::string picture = dir.file("scan.bmp");
    const RgbImage original = test::pattern_image(160, 100);
    test::write_top_down_bmp(picture, original);

    std::string crop_result;
    cropwindow window(crop_result, LanguageTable{});
    window.setpicture(QString::fromStdString(picture));
    window.show();
    window.gr()->set_selrect_as_percents(0.25f, 0.5f, 1, 1);
    QWidget* bk = window.pplus()->findChild<QWidget*>("bk");
    ASSERT_NE(bk, nullptr);
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(bk->rect().center()),
                      bk->mapToGlobal(QPointF(bk->rect().center())), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bk, &click);
    ASSERT_EQ(crop_result, "40/50/160/100");

    // As the crop command applies it.
    ASSERT_EQ(convert_image3(picture, picture, Remplacer("/", ",", crop_result), "", false, 100, 0,
                             false, "", "", 0),
              0);
    const RgbImage result = test::read_rgb(picture);
    ASSERT_EQ(result.width, 120);
    ASSERT_EQ(result.height, 50);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            ASSERT_EQ(test::pixel_value(result, x, y), test::pixel_value(original, x + 40, y + 50))
                << x << "," << y;
}

} // namespace
} // namespace orvix
