#include "controls/thumbgrid/grid_sort.h"

#include <gtest/gtest.h>

#include <map>

namespace orvix {
namespace {

// Thumbnails t1..t5 in transfer order, each standing for a picture with a name and a date.
const std::map<std::string, SortFacts> kPictures = {
    {"t1", {"IMG_10.jpg", "20240301120000"}},
    {"t2", {"img_9.JPG", "20240301115959"}},
    {"t3", {"DSC_0002.jpg", ""}},
    {"t4", {"IMG_010.jpg", "20230101000000"}},
    {"t5", {"Beach.tif", "20240301120000"}},
};

SortFacts facts_of(const std::string& file) {
    return kPictures.at(file);
}

struct SortCase {
    const char* name;
    GridOrder order;
    std::vector<std::string> expected;
};

class Sorts : public testing::TestWithParam<SortCase> {};

TEST_P(Sorts, TheFilesInTheOrderAskedFor) {
    const SortCase& c = GetParam();
    EXPECT_EQ(sorted_files({"t1", "t2", "t3", "t4", "t5"}, c.order, facts_of), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, Sorts,
    testing::Values(
        SortCase{"TransferKeepsTheList", GridOrder::Transfer, {"t1", "t2", "t3", "t4", "t5"}},
        // Case aside, numbers by value: 9 before 10; IMG_010 equals IMG_10 by value and
        // comes first by its bytes.
        SortCase{"NameAsPeopleReadIt", GridOrder::Name, {"t5", "t3", "t2", "t4", "t1"}},
        // Same date: by name (Beach before IMG_10). No date: last.
        SortCase{"DateTakenThenName", GridOrder::DateTaken, {"t4", "t2", "t5", "t1", "t3"}}),
    [](const testing::TestParamInfo<SortCase>& info) { return std::string(info.param.name); });

TEST(Sorts, TransferOrderNeverReadsThePictures) {
    int asked = 0;
    const auto counting = [&asked](const std::string& file) {
        ++asked;
        return facts_of(file);
    };
    sorted_files({"t1", "t2"}, GridOrder::Transfer, counting);
    EXPECT_EQ(asked, 0);
    sorted_files({"t1", "t2"}, GridOrder::Name, counting);
    EXPECT_EQ(asked, 2) << "each picture read once";
}

TEST(Sorts, EqualPicturesKeepTheirTransferOrder) {
    const auto same = [](const std::string&) { return SortFacts{"a.jpg", "20240101000000"}; };
    const std::vector<std::string> files = {"x3", "x1", "x2", "x1"};
    EXPECT_EQ(sorted_files(files, GridOrder::Name, same), files);
    EXPECT_EQ(sorted_files(files, GridOrder::DateTaken, same), files);
}

TEST(CompareNames, ReadsDigitsAsNumbers) {
    EXPECT_LT(compare_names("IMG_2.jpg", "IMG_10.jpg"), 0);
    EXPECT_LT(compare_names("a", "B"), 0);
    EXPECT_GT(compare_names("IMG_10", "IMG_9"), 0);
    EXPECT_LT(compare_names("IMG", "IMG_1"), 0) << "a prefix first";
    EXPECT_EQ(compare_names("same", "same"), 0);
    EXPECT_LT(compare_names("IMG_00000000000000000000001", "IMG_2"), 0)
        << "long runs of digits do not overflow";
}

TEST(OrderWords, RoundTripAndRefuseTheUnknown) {
    for (GridOrder order : {GridOrder::Transfer, GridOrder::Name, GridOrder::DateTaken})
        EXPECT_EQ(order_of_word(order_word(order)), order);
    EXPECT_EQ(order_word(GridOrder::DateTaken), "DATE");
    for (const char* bad : {"", "name", "DATE ", "2", "SIZE"})
        EXPECT_EQ(order_of_word(bad), std::nullopt) << bad;
}

} // namespace
} // namespace orvix
