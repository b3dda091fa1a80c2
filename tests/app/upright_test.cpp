// Pictures the camera stored sideways, through the main window: the grid shows them as the
// camera was held.
#include "grid_fixture.h"

#include "imaging/helpers.h"
#include "imaging/imaging.h"
#include "support/exif.h"

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
}

} // namespace
} // namespace orvix::test
