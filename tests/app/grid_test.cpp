// The thumbnail grid on the main window: filled by a transfer, captioned, opened by a
// double click, and the toolbar following its selection.
#include "grid_fixture.h"

#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"
#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "platform/qt/text_codec.h"
#include "support/images.h"
#include "text/text.h"
#include "transfer/transfer.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
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

TEST_F(GridWindowTest, TheTooltipOfAnItemNamesItsPicture) {
    start_with_card({"IMG_0001.jpg", "IMG_0002.jpg"});
    transfer();
    ASSERT_EQ(m_tex->model().count(), 2);
    for (int item : {1, 2}) {
        hover(centre_of(item));
        EXPECT_EQ(from_qt(fond()->toolTip()), picture_of(item)) << item;
        EXPECT_EQ(parent_folder(from_qt(fond()->toolTip())), m_photos);
    }
}

// The thumbnails are listed for the grid one a line, and a file named "m_" + another's
// name is taken for that one's companion: neither may lose a picture.
TEST_F(GridWindowTest, PicturesNamedLikeACompanionOrHoldingACarriageReturnReachTheGrid) {
    const std::vector<std::string> names = {"a.jpg", "m_a.jpg", "b\rc.jpg"};
    start_with_card(names);
    transfer();
    ASSERT_EQ(m_form->state().transferred_pictures.size(), 3u);
    ASSERT_EQ(m_tex->model().count(), 3);
    std::vector<std::string> shown;
    for (int item = 1; item <= 3; ++item) {
        shown.push_back(file_name(picture_of(item), true));
        EXPECT_EQ(m_tex->model().item(item)->ThumbPath, m_tex->model().item(item)->Path)
            << "no thumbnail drawn for another";
    }
    std::sort(shown.begin(), shown.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);

    m_dialogs.clear();
    m_tex->setSelectedItems(QStringLiteral("1,2,3"));
    QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    QAction* quarter_turn = nullptr;
    for (QAction* action : child<QMenu>("tb_rotate_menu")->actions())
        if (action->data().toString() == QLatin1String("qvd"))
            quarter_turn = action;
    ASSERT_NE(quarter_turn, nullptr);
    quarter_turn->trigger();
    wait_for_command_end();
    settle();
    for (const std::string& name : names)
        EXPECT_EQ(get_image_size(m_photos + name), "48,64") << "turned: " << name;
    EXPECT_TRUE(m_dialogs.messages().empty()) << "no picture failed";
}

struct ScrolledResizeCase {
    const char* name;
    bool splitter; // the splitter moved, else the window made larger
};

class ScrolledGrid : public GridWindowTest,
                     public testing::WithParamInterface<ScrolledResizeCase> {};

// The grid scrolled far down; the window or its columns change size.
TEST_P(ScrolledGrid, KeepsTheFirstVisibleRowInViewAcrossAResize) {
    std::vector<std::string> names;
    for (int i = 1; i <= 90; ++i)
        names.push_back("IMG_" + std::to_string(1000 + i) + ".jpg");
    start_with_card(names);
    transfer();
    auto* bar = m_tex->findChild<QScrollBar*>(QStringLiteral("VScroll"));
    ASSERT_TRUE(bar->isVisible());
    // The lowest item whose row can still be brought to the top.
    int item = m_tex->model().count();
    while (item > 1 && cell_of(item).top() > bar->maximum())
        --item;
    bar->setValue(cell_of(item).top());
    ASSERT_GT(bar->value(), fond()->height()) << "far below the first screen";

    const QSize before = m_tex->size();
    if (GetParam().splitter) {
        QWidget* vsplit = child<QWidget>("vsplit");
        const QPoint grab(vsplit->width() / 2, 10);
        const QPoint to = grab - QPoint(150, 0);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(grab), vsplit->mapToGlobal(grab),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), vsplit->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), vsplit->mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vsplit, &press);
        QCoreApplication::sendEvent(vsplit, &move);
        QCoreApplication::sendEvent(vsplit, &release);
    } else {
        m_form->resize(m_form->size() + QSize(200, 150));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_tex->size() != before; }));
    settle();

    ASSERT_TRUE(bar->isVisible());
    const QRect shown = cell_of(item).translated(0, -bar->value());
    EXPECT_TRUE(fond()->rect().contains(shown))
        << "item " << item << " at " << shown.top() << " of " << fond()->height();
}

INSTANTIATE_TEST_SUITE_P(Resizes, ScrolledGrid,
                         testing::Values(ScrolledResizeCase{"WindowResized", false},
                                         ScrolledResizeCase{"SplitterMoved", true}),
                         [](const testing::TestParamInfo<ScrolledResizeCase>& info) {
                             return std::string(info.param.name);
                         });

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
