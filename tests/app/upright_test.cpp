// Pictures the camera stored sideways, through the main window: the grid shows them as the
// camera was held.
#include "grid_fixture.h"

#include "imaging/helpers.h"
#include "imaging/imaging.h"
#include "support/exif.h"

#include <QMenu>

namespace orvix::test {
namespace {

// ImageMagick's own reading of the picture, stood upright and made 100 pixels wide.
RgbImage upright_by_imagemagick(const std::string& picture, const std::string& target) {
    run_command("/usr/bin/convert " + quoted(picture) + " -auto-orient -resize 100x " +
                quoted(target));
    return read_rgb(target);
}

TEST_F(GridWindowTest, ATransferredPortraitHasAnUprightThumbnailWithoutOrientation) {
    start_with_card({"IMG_1.jpg"});
    make_jpeg(m_card + "IMG_1.jpg", 400, 300);
    add_exif(m_card + "IMG_1.jpg", ExifFields{6, 400, 300, true});
    transfer();
    const std::vector<TransferredPicture>& records = m_form->state().transferred_pictures;
    ASSERT_EQ(records.size(), 1u);
    const std::string thumb = records[0].thumb_path;
    EXPECT_EQ(get_image_size(thumb), "100,133");
    EXPECT_EQ(exif_orientation(thumb), 1);
    EXPECT_EQ(read_exif(thumb), std::nullopt) << "no EXIF block a viewer could turn it by";
    const RgbImage expected =
        upright_by_imagemagick(records[0].picture_path, m_dir.file("ref.bmp"));
    ASSERT_EQ(expected.width, 100);
    EXPECT_LT(mean_difference(read_rgb(thumb), expected), 4.0);
    EXPECT_EQ(m_tex->model().count(), 1);
    EXPECT_TRUE(m_tex->File_Titlestring(1).contains(QStringLiteral("(300 x 400)")))
        << "the caption gives the size as shown: " << m_tex->File_Titlestring(1).toStdString();
}

// The toolbar's quarter turn acts on the portrait as the grid shows it: the file ends a
// quarter turn clockwise from how it was shown, its tag reset, and so does its thumbnail.
TEST_F(GridWindowTest, TheToolbarTurnsATaggedPortraitFromHowItIsShown) {
    start_with_card({"IMG_1.jpg"});
    add_exif(m_card + "IMG_1.jpg", ExifFields{6, 64, 48, true});
    transfer();
    const std::string picture = m_form->state().transferred_pictures.at(0).picture_path;
    EXPECT_EQ(get_image_size(m_form->state().transferred_pictures.at(0).thumb_path), "100,133");
    const std::string expected = m_dir.file("expected.jpg");
    int status = -1;
    run_command("/usr/bin/jpegtran -rotate 180 -perfect -outfile " + quoted(expected) + " " +
                    quoted(picture),
                &status);
    ASSERT_EQ(status, 0);
    m_dialogs.clear();

    m_tex->setSelectedItems(QStringLiteral("1"));
    QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    QAction* quarter = nullptr;
    for (QAction* action : child<QMenu>("tb_rotate_menu")->actions())
        if (action->data().toString() == QLatin1String("qvd"))
            quarter = action;
    ASSERT_NE(quarter, nullptr);
    quarter->trigger();
    wait_for_command_end();
    settle();

    EXPECT_EQ(get_image_size(picture), "64,48");
    EXPECT_EQ(max_difference(read_rgb(picture), read_rgb(expected)), 0);
    EXPECT_EQ(exif_orientation(picture), 1);
    EXPECT_EQ(get_image_size(m_form->state().transferred_pictures.at(0).thumb_path), "100,75");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

} // namespace
} // namespace orvix::test
