// The edit commands on real files keep what a TIFF or PNG holds beyond 24-bit RGB: its
// 16-bit samples, its alpha channel and its compression.
#include "../editing/edit_fixture.h"
#include "helpers.h"
#include "imaging/imaging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvix {
namespace {

using test::Rgba16Image;

// "depth alpha compression" as identify reports them.
std::string form_of(const std::string& path) {
    return test::run_command("identify -format '%z %A %C' " + test::quoted(path + "[0]") + " 2>&1");
}

int64_t file_size(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

class KeepsFormThroughCommands : public test::EditTest {
protected:
    // A picture with its thumbnail as a transfer leaves them, its file then replaced by
    // one of the given form.
    std::string add_deep_picture(const std::string& name, int depth, bool alpha,
                                 const std::string& compression) {
        const std::string picture = add_picture(name, 48, 32);
        test::write_deep_picture(picture, test::deep_pattern(48, 32, alpha), depth, alpha,
                                 compression);
        return picture;
    }
};

TEST_F(KeepsFormThroughCommands, AFlipOfA16BitLzwTiffStaysOne) {
    const std::string picture = add_deep_picture("scan.tif", 16, false, "LZW");
    ASSERT_EQ(form_of(picture), "16 False LZW");
    const int64_t size_before = file_size(picture);
    const Rgba16Image before = test::read_rgba16(picture);
    show("1");
    const EditReport report = transform_selected(m_context, "flipv");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].outcome, EditOutcome::Changed);
    EXPECT_EQ(form_of(picture), "16 False LZW");
    // Compressed as before, not written out raw at many times the size.
    EXPECT_LT(file_size(picture), size_before * 3 / 2);
    const Rgba16Image after = test::read_rgba16(picture);
    ASSERT_EQ(after.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            ASSERT_TRUE(std::equal(after.at(x, y), after.at(x, y) + 4, before.at(x, 31 - y)))
                << x << "," << y;
}

TEST_F(KeepsFormThroughCommands, ATurnOfATiffWithAlphaKeepsIt) {
    const std::string picture = add_deep_picture("logo.tif", 8, true, "Zip");
    const Rgba16Image before = test::read_rgba16(picture);
    show("1");
    transform_selected(m_context, "qvd");
    EXPECT_EQ(form_of(picture), "8 True Zip");
    const Rgba16Image after = test::read_rgba16(picture);
    ASSERT_EQ(get_image_size(picture), "32,48");
    // Turned clockwise: the old bottom-left pixel is now the top-left one.
    EXPECT_TRUE(std::equal(after.at(0, 0), after.at(0, 0) + 4, before.at(0, 31)));
    EXPECT_TRUE(std::equal(after.at(31, 47), after.at(31, 47) + 4, before.at(47, 0)));
}

TEST_F(KeepsFormThroughCommands, AResizeAndACropOfA16BitPngWithAlphaKeepIt) {
    const std::string picture = add_deep_picture("icon.png", 16, true, "");
    show("1");
    resize_selected(m_context, 24, 90);
    EXPECT_EQ(get_image_size(picture), "24,16");
    EXPECT_EQ(form_of(picture), "16 True Zip");
    show("1");
    crop_selected(m_context,
                  [](const std::string&) { return crop_corners_of_result("4/2/20/12"); });
    EXPECT_EQ(get_image_size(picture), "16,10");
    EXPECT_EQ(form_of(picture), "16 True Zip");
}

} // namespace
} // namespace orvix
