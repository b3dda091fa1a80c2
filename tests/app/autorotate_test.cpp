// The setup page's "Turn pictures upright during the transfer", through a clicked transfer:
// what the copies on disk hold with the box checked and unchecked.
#include "app_fixture.h"

#include "imaging/helpers.h"
#include "imaging/imaging.h"
#include "support/exif.h"
#include "support/images.h"

#include <QCheckBox>
#include <QTest>

#include <map>
#include <string>

namespace orvix::test {
namespace {

class AutoRotateTest : public AppTest, public ::testing::WithParamInterface<bool> {};

// A tag-6 picture of whole blocks turns exactly; one whose height is not turns only with a
// loss, so it keeps its tag and the report counts it; a picture without a tag is copied as
// it is. With the box unchecked every copy is its original, byte for byte.
TEST_P(AutoRotateTest, ExactTurnsAreMadeAndTheOthersKeepTheirTag) {
    const bool checked = GetParam();
    const std::string card = m_dir.folder("card"), photos = m_dir.folder("photos");
    make_jpeg(card + "exact.jpg", 64, 48);
    add_exif(card + "exact.jpg", ExifFields{6, 64, 48, true});
    make_jpeg(card + "inexact.jpg", 72, 40);
    add_exif(card + "inexact.jpg", ExifFields{6, 72, 40, true});
    make_jpeg(card + "plain.jpg", 64, 48);
    std::map<std::string, std::string> originals;
    for (const char* name : {"exact.jpg", "inexact.jpg", "plain.jpg"})
        originals[name] = read_file(card + name);
    const std::string expected = m_dir.file("expected.jpg");
    int status = -1;
    run_command("/usr/bin/jpegtran -rotate 90 -perfect -outfile " + quoted(expected) + " " +
                    quoted(card + "exact.jpg"),
                &status);
    ASSERT_EQ(status, 0);

    Form1& form = start({{"SOURCE_PATH", card},
                         {"DEST_PATH", photos},
                         {"RENAME_WITH", "NO"},
                         {"AUTO_ROTATE", checked ? "1" : "0"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* box = child<QCheckBox>("autorotate");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->isChecked(), checked);
    EXPECT_EQ(box->text().toStdString(), "Turn pictures upright during the transfer");
    m_dialogs.clear();
    click_transfer_and_wait();

    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const std::string report = m_dialogs.messages()[0].text;
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Information) << report;
    EXPECT_EQ(read_file(photos + "plain.jpg"), originals["plain.jpg"]);
    EXPECT_EQ(read_file(photos + "inexact.jpg"), originals["inexact.jpg"]) << "kept with its tag";
    if (!checked) {
        EXPECT_EQ(read_file(photos + "exact.jpg"), originals["exact.jpg"]);
        EXPECT_EQ(report.find("orientation"), std::string::npos) << report;
        return;
    }
    EXPECT_EQ(get_image_size(photos + "exact.jpg"), "48,64");
    EXPECT_EQ(exif_orientation(photos + "exact.jpg"), 1);
    EXPECT_EQ(max_difference(read_rgb(photos + "exact.jpg"), read_rgb(expected)), 0);
    EXPECT_NE(report.find("1 picture(s) could not be turned upright without loss: they keep "
                          "their orientation tag and still show upright."),
              std::string::npos)
        << report;
}

INSTANTIATE_TEST_SUITE_P(Box, AutoRotateTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Checked" : "Unchecked"; });

} // namespace
} // namespace orvix::test
