// Commands on a few pictures of a grid of thousands: each item stays matched to its own
// record, only the pictures selected change, and the grid reads again only their thumbnails.
#include "edit_fixture.h"

#include "editing/undo.h"
#include "fs/fs.h"
#include "imaging/helpers.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace orvix::test {
namespace {

constexpr int kItems = 2000;

class LargeGridTest : public EditTest {
protected:
    // kItems pictures of 32 x 16 with their 100 x 50 thumbnails: copies of one made as a
    // transfer makes them, each under its own name.
    LargeGridTest() {
        const std::string first = add_picture(name(1), 32, 16);
        const std::string picture = read_file(first);
        const std::string thumb = read_file(m_records[0].thumb_path);
        for (int i = 2; i <= kItems; ++i) {
            m_records.push_back({m_pictures + name(i), m_context.thumbs_dir + name(i)});
            write_file(m_records.back().picture_path, picture);
            write_file(m_records.back().thumb_path, thumb);
        }
    }

    static std::string name(int i) {
        char text[16];
        std::snprintf(text, sizeof text, "P%04d.jpg", i);
        return text;
    }

    // Every item shows its record's thumbnail under its record's caption; the pictures in
    // turned stand 16 x 32, the others as they were.
    void expect_matched(const std::vector<std::string>& turned) {
        ASSERT_EQ(m_grid.model().count(), int32_t(m_records.size()));
        for (int32_t item = 1; item <= m_grid.model().count(); ++item) {
            const TransferredPicture& record = m_records[size_t(item - 1)];
            const bool was_turned =
                std::find(turned.begin(), turned.end(), record.picture_path) != turned.end();
            const std::string caption = m_grid.model().File_Titlestring(item);
            EXPECT_EQ(m_grid.model().File_Path(item), record.thumb_path) << item;
            EXPECT_TRUE(caption.starts_with(file_name(record.picture_path, true) + "\r\n"))
                << item << ": " << caption;
            EXPECT_NE(caption.find(was_turned ? "(16 x 32)" : "(32 x 16)"), std::string::npos)
                << item << ": " << caption;
            EXPECT_EQ(m_grid.model().File_Height(item), was_turned ? 200 : 50) << item;
            EXPECT_EQ(get_image_size(record.picture_path), was_turned ? "16,32" : "32,16") << item;
        }
    }
};

TEST_F(LargeGridTest, TurningThreeChangesThoseThreeAndKeepsThemSelected) {
    show("7,1000,1994");
    const EditReport report = transform_selected(m_context, "qvd");
    ASSERT_EQ(report.size(), 3u);
    const std::vector<int32_t> items{7, 1000, 1994};
    std::vector<std::string> turned;
    for (size_t i = 0; i < report.size(); ++i) {
        EXPECT_EQ(report[i].item, items[i]);
        EXPECT_EQ(report[i].outcome, EditOutcome::Changed);
        EXPECT_EQ(report[i].picture, m_records[size_t(items[i] - 1)].picture_path);
        turned.push_back(report[i].picture);
    }
    EXPECT_EQ(m_grid.filelist_writes, 1);
    EXPECT_EQ(m_grid.SelectedItems(), "7,1000,1994");
    EXPECT_EQ(m_grid.model().files_read(), 3) << "only the thumbnails remade are read again";
    expect_matched(turned);
}

TEST_F(LargeGridTest, DeletingSomeInTheMiddleKeepsTheRestMatchedToTheirRecords) {
    const std::vector<TransferredPicture> before = m_records;
    show("500,501,1500");
    m_dialogs.queue_answer(Answer::Yes);
    delete_selected(m_context);
    std::vector<TransferredPicture> kept = before;
    kept.erase(kept.begin() + 1499);
    kept.erase(kept.begin() + 499, kept.begin() + 501);
    EXPECT_EQ(m_records, kept);
    EXPECT_EQ(m_grid.SelectedItems(), "");
    EXPECT_EQ(m_grid.model().files_read(), 0);
    for (const size_t gone : {499u, 500u, 1499u}) {
        EXPECT_FALSE(file_exists(before[gone].picture_path));
        EXPECT_FALSE(file_exists(before[gone].thumb_path));
    }
    expect_matched({});

    // The item that moved up into the gap is the one a command reaches.
    m_grid.set_SelectedItems("500");
    transform_selected(m_context, "qvd");
    EXPECT_EQ(m_grid.SelectedItems(), "500");
    expect_matched({before[501].picture_path});
}

TEST_F(LargeGridTest, UndoingADeletePutsEachRecordBackAtItsPlaceAndSelectsIt) {
    UndoHistory undo(m_dir.folder("undo"));
    m_context.undo = &undo;
    const std::vector<TransferredPicture> before = m_records;
    show("2,1000,1999");
    m_dialogs.queue_answer(Answer::Yes);
    delete_selected(m_context);
    ASSERT_EQ(m_records.size(), size_t(kItems - 3));
    undo_last(m_context);
    EXPECT_EQ(m_records, before);
    EXPECT_EQ(m_grid.SelectedItems(), "2,1000,1999");
    expect_matched({});
}

} // namespace
} // namespace orvix::test
