#include "transfer/room_estimate.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace orvix {
namespace {

struct AverageCase {
    const char* label;
    std::vector<int64_t> lengths;
    double average;
};

class AverageLength : public ::testing::TestWithParam<AverageCase> {};

TEST_P(AverageLength, IsTheMeanOfTheReadableLengths) {
    EXPECT_DOUBLE_EQ(average_length(GetParam().lengths), GetParam().average);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, AverageLength,
    ::testing::Values(AverageCase{"none", {}, 0}, AverageCase{"one", {1500}, 1500},
                      AverageCase{"fraction", {1, 2}, 1.5},
                      // An unreadable length counts as an empty file, not as a gap.
                      AverageCase{"unreadable", {-1, 3000}, 1500},
                      // Past 32 bits: files of several gigabytes do not wrap.
                      AverageCase{"large", {6'000'000'000, 4'000'000'000}, 5'000'000'000}),
    [](const ::testing::TestParamInfo<AverageCase>& info) {
        return std::string(info.param.label);
    });

struct RoomCase {
    const char* label;
    double free_bytes;
    double average;
    double pictures;
};

class PicturesOfRoom : public ::testing::TestWithParam<RoomCase> {};

TEST_P(PicturesOfRoom, RoundsHalfToEven) {
    EXPECT_DOUBLE_EQ(pictures_of_room(GetParam().free_bytes, GetParam().average),
                     GetParam().pictures);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, PicturesOfRoom,
    ::testing::Values(RoomCase{"exact", 3000, 1000, 3}, RoomCase{"down", 3400, 1000, 3},
                      RoomCase{"up", 3600, 1000, 4}, RoomCase{"half_to_even_down", 2500, 1000, 2},
                      RoomCase{"half_to_even_up", 3500, 1000, 4}, RoomCase{"no_room", 0, 1000, 0},
                      RoomCase{"no_usual_size", 5000, 0, 0},
                      RoomCase{"large_disk", 4e12, 4e6, 1e6}),
    [](const ::testing::TestParamInfo<RoomCase>& info) { return std::string(info.param.label); });

struct FolderCase {
    const char* label;
    std::vector<std::pair<const char*, int>> files; // relative path, length
    double average;
};

class SampledAverageSize : public ::testing::TestWithParam<FolderCase> {};

TEST_P(SampledAverageSize, CountsOnlyTransferablePictures) {
    test::TempDir dir;
    for (const auto& [name, length] : GetParam().files)
        test::write_file(dir.file(name), std::string(static_cast<size_t>(length), 'x'));
    EXPECT_DOUBLE_EQ(sampled_average_size(dir.path()), GetParam().average);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SampledAverageSize,
    ::testing::Values(FolderCase{"empty", {}, 0},
                      FolderCase{"no_picture", {{"a.png", 900}, {"notes.txt", 100}}, 0},
                      FolderCase{
                          "pictures", {{"a.jpg", 1000}, {"b.tif", 2000}, {"c.bmp", 6000}}, 3000},
                      FolderCase{"others_left_out", {{"a.jpg", 1000}, {"big.png", 90000}}, 1000},
                      FolderCase{"upper_case", {{"A.JPG", 1000}, {"B.Jpg", 3000}}, 2000},
                      FolderCase{"subfolders", {{"20011225/a.jpg", 1000}, {"b.jpg", 2000}}, 1500}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace orvix
