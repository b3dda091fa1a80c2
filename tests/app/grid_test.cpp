// The thumbnail grid on the main window: filled by a transfer, captioned, opened by a
// double click, and the toolbar following its selection.
#include "grid_fixture.h"

#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"
#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "support/images.h"
#include "text/text.h"
#include "transfer/transfer.h"

#include <QAction>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <cmath>

#include <chrono>
#include <thread>

namespace orvix::test {
namespace {

TEST_F(GridWindowTest, TheGridTakesSeveralPicturesAndNeverSmallCells) {
    start_with_card({});
    EXPECT_EQ(m_tex->SelectionMode(), 2);
    EXPECT_EQ(m_tex->ThumbnailsSize(), -1300);
    EXPECT_EQ(m_tex->Margin(), 50) << "the other properties keep their defaults";
    EXPECT_EQ(m_tex->SelectionDrawStyle(), 1);
}

TEST_F(GridWindowTest, ATransferEndsWithItsPicturesCaptionedInTheGrid) {
    Form1& form = start_with_card({"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"});
    transfer();

    const std::vector<TransferredPicture>& pictures = form.state().transferred_pictures;
    ASSERT_EQ(pictures.size(), 3u);
    std::vector<std::string> thumbs;
    for (const TransferredPicture& picture : pictures)
        thumbs.push_back(picture.thumb_path);
    EXPECT_EQ(m_tex->filelist().toStdString(), join(thumbs, "\r"));
    EXPECT_EQ(m_tex->TitleText(), "#CUSTOM#");
    for (int item = 1; item <= 3; ++item) {
        const std::string picture = pictures[static_cast<size_t>(item - 1)].picture_path;
        const long kb = std::lround(static_cast<double>(file_length(picture)) / 1024);
        EXPECT_EQ(m_tex->File_Titlestring(item).toStdString(),
                  file_name(picture, true) + "\r\n(64 x 48)\r\n" + std::to_string(kb) + " Kb");
    }
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "the report comes after the grid is filled";

    EXPECT_EQ(toolbar(), (std::vector<bool>{false, false, false, false, false}));
    click(centre_of(2));
    EXPECT_EQ(m_tex->SelectedItems(), "2");
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, true, true, true, true}));
    click(centre_of(3), Qt::ControlModifier);
    EXPECT_EQ(m_tex->SelectedItems(), "2,3");
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, false, true, true, true})) << "crop takes one";
    click(QPoint(2, 2));
    EXPECT_EQ(toolbar(), (std::vector<bool>{false, false, false, false, false}));
}

TEST_F(GridWindowTest, ADoubleClickOpensThePictureOfThatItem) {
    start_with_card({"IMG_0011.jpg", "IMG_0011.tif"});
    transfer();
    ASSERT_EQ(m_tex->model().count(), 2);
    // Both thumbnails are named after IMG_0011; each item still opens its own picture.
    for (int item : {1, 2}) {
        double_click(centre_of(item));
        ASSERT_FALSE(m_desktop.opened.empty());
        EXPECT_EQ(m_desktop.opened.back(), picture_of(item));
    }
    ASSERT_EQ(m_desktop.opened.size(), 2u);
    EXPECT_NE(m_desktop.opened[0], m_desktop.opened[1]);
    for (const std::string& opened : m_desktop.opened)
        EXPECT_EQ(parent_folder(opened), m_photos);
}

TEST_F(GridWindowTest, AThumbnailGoneBeforeTheGridIsFilledShiftsNoCaption) {
    start_with_card({"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"});
    // While the last picture is copied, the first one's thumbnail goes once it is there
    // (thumbnails are made beside the copies, so it may still be on its way).
    int copies = 0;
    set_after_copy_hook([&](const std::string&, const std::string&) {
        if (++copies != 3)
            return;
        const std::string first = m_thumbs + "IMG_0001.jpg";
        for (int wait = 0; wait < 1000 && !file_exists(first); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        delete_file(first, false, true);
    });
    transfer();
    set_after_copy_hook({});
    ASSERT_EQ(m_form->state().transferred_pictures.size(), 3u);
    ASSERT_EQ(m_tex->model().count(), 2) << "the missing thumbnail is left out";
    for (int item : {1, 2}) {
        const std::string picture = picture_of(item);
        ASSERT_FALSE(picture.empty());
        EXPECT_TRUE(m_tex->File_Titlestring(item).startsWith(
            QString::fromStdString(file_name(picture, true) + "\r\n")))
            << item;
    }
}

TEST_F(GridWindowTest, AnUnreadablePictureIsCaptionedAsAnError) {
    start_with_card({"IMG_0001.jpg"});
    transfer();
    const std::string picture = picture_of(1);
    ASSERT_FALSE(picture.empty());
    write_file(picture, "damaged");
    EXPECT_EQ(thumbnail_caption(picture), "IMG_0001.jpg\r\n(ERROR)\r\n0 Kb");
}

TEST_F(GridWindowTest, ATransferStoppedByAMessageEmptiesTheGrid) {
    start_with_card({"IMG_0001.jpg"});
    transfer();
    ASSERT_EQ(m_tex->model().count(), 1);
    child<QLineEdit>("chemin")->setText(QString::fromStdString(m_dir.file("no-card")));
    transfer();
    EXPECT_EQ(m_tex->model().count(), 0) << "no item is left without its record";
    EXPECT_TRUE(m_form->state().transferred_pictures.empty());
}

struct RecordCase {
    const char* name;
    std::vector<TransferredPicture> records;
    const char* thumb;
    const char* expected;
};

class PictureOfThumbnail : public testing::TestWithParam<RecordCase> {};

TEST_P(PictureOfThumbnail, IsTheOneRecordOfThatThumbnail) {
    EXPECT_EQ(picture_of_thumbnail(GetParam().records, GetParam().thumb), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, PictureOfThumbnail,
    testing::Values(RecordCase{"Found",
                               {{"/d/IMG_1.jpg", "/t/IMG_1.jpg"},
                                {"/d/IMG_1.tif", "/t/IMG_1_2.jpg"}},
                               "/t/IMG_1_2.jpg",
                               "/d/IMG_1.tif"},
                    // The base name alone would match both records.
                    RecordCase{"SameBaseNameElsewhere",
                               {{"/d/IMG_1.jpg", "/t/IMG_1.jpg"}, {"/e/IMG_1.jpg", "/u/IMG_1.jpg"}},
                               "/u/IMG_1.jpg",
                               "/e/IMG_1.jpg"},
                    RecordCase{"NoRecord", {{"/d/a.jpg", "/t/a.jpg"}}, "/t/b.jpg", ""},
                    RecordCase{"TwoRecordsOneThumbnail",
                               {{"/d/a.jpg", "/t/a.jpg"}, {"/d/b.jpg", "/t/a.jpg"}},
                               "/t/a.jpg",
                               ""},
                    RecordCase{"EmptyItem", {{"/d/a.jpg", "/t/a.jpg"}}, "", ""}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace orvix::test
