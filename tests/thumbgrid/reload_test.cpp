// A list written again, as after an edit of a few of its pictures: the grid reads again only
// the files that changed since the last load and takes the others as they were read.
#include "model_fixture.h"

#include "fs/fs.h"

#include <cstdio>
#include <functional>

namespace orvix::test {
namespace {

struct ReloadCase {
    const char* name;
    // Changes the files behind the list of GridTest (p1 ... p10, 80 x 60) after its load.
    std::function<void(TempDir& dir)> change;
    int32_t count;      // items after the load again
    int32_t files_read; // files that load read
    // Item 3 after it: its file, picture size and the file its cell is drawn from.
    const char* item3;
    int32_t width, height;
    const char* thumb3;
};

class ReloadsOnlyWhatChanged : public GridTest, public testing::WithParamInterface<ReloadCase> {};

TEST_P(ReloadsOnlyWhatChanged, SinceTheLastLoad) {
    const ReloadCase& c = GetParam();
    load_all();
    ASSERT_EQ(m_model.files_read(), 10);
    c.change(m_dir);
    m_model.set_filelist(lines(m_paths));
    ASSERT_EQ(m_model.count(), c.count);
    EXPECT_EQ(m_model.files_read(), c.files_read);
    EXPECT_EQ(m_model.item(3)->Path, m_dir.file(c.item3));
    EXPECT_EQ(m_model.item(3)->Width, c.width);
    EXPECT_EQ(m_model.item(3)->Height, c.height);
    EXPECT_EQ(m_model.item(3)->ThumbPath, m_dir.file(c.thumb3));
    // The others as they stand on disk.
    for (int32_t i = 1; i <= m_model.count(); ++i) {
        if (i != 3) {
            EXPECT_EQ(m_model.File_Width(i), 80) << i;
        }
    }
}

const ReloadCase kReloads[] = {
    {"Nothing", [](TempDir&) {}, 10, 0, "p3.jpg", 80, 60, "p3.jpg"},
    // An edit writes a new file and renames it over the old one, as a turn does.
    {"ReplacedByANewFile",
     [](TempDir& dir) {
         make_jpeg(dir.file("new.jpg"), 60, 80);
         ASSERT_EQ(std::rename(dir.file("new.jpg").c_str(), dir.file("p3.jpg").c_str()), 0);
     },
     10, 1, "p3.jpg", 60, 80, "p3.jpg"},
    {"RewrittenInPlace",
     [](TempDir& dir) {
         make_jpeg(dir.file("new.jpg"), 40, 20);
         write_file(dir.file("p3.jpg"), read_file(dir.file("new.jpg")));
     },
     10, 1, "p3.jpg", 40, 20, "p3.jpg"},
    // The ones after it move up; the missing file is looked for.
    {"Removed", [](TempDir& dir) { delete_file(dir.file("p3.jpg"), false, false); }, 9, 1, "p4.jpg",
     80, 60, "p4.jpg"},
    {"GivenACompanion", [](TempDir& dir) { make_jpeg(dir.file("m_p3.jpg"), 8, 6); }, 10, 1,
     "p3.jpg", 80, 60, "m_p3.jpg"},
};

INSTANTIATE_TEST_SUITE_P(AfterAnEdit, ReloadsOnlyWhatChanged, testing::ValuesIn(kReloads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridTest, AFileBackAfterALoadWithoutItIsReadAgain) {
    const std::string picture = read_file(m_paths[2]);
    delete_file(m_paths[2], false, false);
    load_all();
    ASSERT_EQ(m_model.count(), 9);
    write_file(m_paths[2], picture);
    m_model.set_filelist(lines(m_paths));
    ASSERT_EQ(m_model.count(), 10);
    EXPECT_EQ(m_model.files_read(), 1);
    EXPECT_EQ(m_model.File_Width(3), 80);
}

} // namespace
} // namespace orvix::test
