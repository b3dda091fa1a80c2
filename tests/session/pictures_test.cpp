#include "session/pictures.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

TEST(PictureMap, EachItemFindsTheOneRecordOfItsThumbnail) {
    const std::vector<TransferredPicture> records = {
        {"/d/a.jpg", "/t/a.jpg"},
        {"/d/x/b.jpg", "/t/b.jpg"},
        {"/d/y/b.jpg", "/t/b-2.jpg"},
        // Two records claiming one thumbnail: neither is reached through it.
        {"/d/c.jpg", "/t/c.jpg"},
        {"/d/z/c.jpg", "/t/c.jpg"},
    };
    // The grid left out a thumbnail it could not find: the items after it moved up.
    const PictureMap map(records, grid_items("/t/a.jpg\r/t/b-2.jpg\r/t/c.jpg\r/t/lost.jpg"));
    EXPECT_EQ(map.item_count(), 4);
    EXPECT_EQ(map.record_of_item(1), 0u);
    EXPECT_EQ(map.record_of_item(2), 2u);
    EXPECT_EQ(map.record_of_item(3), std::nullopt);
    EXPECT_EQ(map.record_of_item(4), std::nullopt);
    for (const int32_t outside : {0, -1, 5})
        EXPECT_EQ(map.record_of_item(outside), std::nullopt) << outside;
    EXPECT_EQ(map.item_file(2), "/t/b-2.jpg");
    EXPECT_EQ(map.item_file(5), "");
    EXPECT_EQ(map.record_of_thumbnail("/t/b.jpg"), 1u);

    EXPECT_EQ(picture_of_thumbnail(records, "/t/b.jpg"), "/d/x/b.jpg");
    EXPECT_EQ(picture_of_thumbnail(records, "/t/c.jpg"), "");
    EXPECT_EQ(picture_of_thumbnail(records, "/t/none.jpg"), "");
}

TEST(PictureMap, AnEmptyListHasNoItems) {
    EXPECT_TRUE(grid_items("").empty());
    const PictureMap map({{"/d/a.jpg", "/t/a.jpg"}}, grid_items(""));
    EXPECT_EQ(map.item_count(), 0);
    EXPECT_EQ(map.record_of_item(1), std::nullopt);
}

} // namespace
} // namespace orvix
