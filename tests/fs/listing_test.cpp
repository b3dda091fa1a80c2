#include "fs/fs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvix {
namespace {

using test::TempDir;
using test::write_file;

std::vector<std::string> listed(const std::string& folder, const std::string& filter, bool recurse,
                                int max_count = 0) {
    std::vector<std::string> result;
    list_files(folder, result, filter, recurse, "", max_count);
    return result;
}

std::vector<std::string> sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

void write_files(const std::string& folder, std::initializer_list<const char*> names) {
    for (const char* name : names)
        write_file(folder + name, "x");
}

TEST(ListFiles, AFoldersOwnFilesComeFirstInDirectoryOrderThenEachBranchWhole) {
    TempDir dir;
    const std::string root = dir.path();
    // Enough files and folders that the directory order mixes them.
    for (int i = 0; i < 10; ++i) {
        write_file(root + "f" + std::to_string(i) + ".jpg", "x");
        write_file(root + "d" + std::to_string(i % 5) + "/x.jpg", "x");
    }
    write_files(root, {"c.txt", "d0/deep/y.jpg"});
    std::vector<std::string> own;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        if (entry.path().extension() == ".jpg")
            own.push_back(entry.path().string());
    }

    const std::vector<std::string> result = listed(root, "jpg,tif,bmp", true);

    ASSERT_EQ(result.size(), 16u);
    EXPECT_EQ(std::vector<std::string>(result.begin(), result.begin() + 10), own);
    std::vector<std::string> branches;
    for (size_t i = 10; i < result.size(); ++i)
        branches.push_back(result[i].substr(root.size(), 2));
    branches.erase(std::unique(branches.begin(), branches.end()), branches.end());
    EXPECT_EQ(branches.size(), 5u) << "a branch was split";
    const auto at = [&result](const std::string& path) {
        return std::find(result.begin(), result.end(), path) - result.begin();
    };
    EXPECT_LT(at(root + "d0/x.jpg"), at(root + "d0/deep/y.jpg"));
}

struct FilterCase {
    std::string filter;
    std::vector<std::string> expected;
};

class ListFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ListFilter, TakesAnExtensionThatOccursAnywhereInTheFilter) {
    TempDir dir;
    write_files(dir.path(), {"a.jpg", "b.JPG", "c.jp", "d.g", "e.jpeg", "f.tiff", "noext", "h.peg",
                             "sub/i.jpg", "sub/deep/j.jpg"});
    std::vector<std::string> expected;
    for (const std::string& name : GetParam().expected)
        expected.push_back(dir.path() + name);
    EXPECT_EQ(sorted(listed(dir.path(), GetParam().filter, GetParam().filter == "folders")),
              sorted(expected));
}

const std::vector<std::string> ALL_FILES = {"a.jpg",  "b.JPG",  "c.jp",  "d.g",
                                            "e.jpeg", "f.tiff", "noext", "h.peg"};

INSTANTIATE_TEST_SUITE_P(
    Rules, ListFilter,
    ::testing::Values(FilterCase{"jpg,tif,bmp", {"a.jpg", "b.JPG", "c.jp", "d.g"}},
                      FilterCase{"JPG", {"a.jpg", "b.JPG", "c.jp", "d.g"}},
                      // "jpg" does not occur in "jpeg": the rule as written holds.
                      FilterCase{"jpeg", {"c.jp", "d.g", "e.jpeg", "h.peg"}},
                      FilterCase{"", ALL_FILES}, FilterCase{"*.*", ALL_FILES},
                      FilterCase{"folders", {"sub", "sub/deep"}}));

TEST(ListFiles, TextFormAndTheMaxCountStop) {
    TempDir dir;
    write_file(dir.path() + "top.jpg", "x");
    for (const char* branch : {"s1/", "s2/"}) {
        for (const char* name : {"0.jpg", "1.jpg", "2.jpg", "deep/3.jpg"})
            write_file(dir.path() + branch + name, "x");
    }
    std::string text = "before";
    list_files(dir.path() + "s1", text, "jpg", false, ",");
    EXPECT_EQ(nb_tokens(text, ","), 4);
    EXPECT_TRUE(text.starts_with("before," + dir.path() + "s1/"));
    EXPECT_FALSE(text.ends_with(","));

    std::string lines;
    list_files(dir.path() + "s1", lines, "jpg", false, "", 2);
    EXPECT_EQ(nb_tokens(lines, "\r"), 2);

    // top.jpg, then the first branch stops at its first file (skipping its deep folder);
    // the second branch makes its own count test after adding its first file.
    const std::vector<std::string> result = listed(dir.path(), "jpg", true, 2);
    ASSERT_EQ(result.size(), 3u);
    EXPECT_EQ(result[0], dir.path() + "top.jpg");
    EXPECT_NE(parent_folder(result[1]), parent_folder(result[2]));
    for (const std::string& path : {result[1], result[2]}) {
        const std::string branch = parent_folder(path);
        EXPECT_EQ(parent_folder(branch.substr(0, branch.size() - 1)), dir.path()) << path;
    }

    std::string empty;
    list_files(dir.folder("empty"), empty, "", true);
    EXPECT_EQ(empty, "");
}

TEST(ListFiles, AFolderThatIsMissingOrNotAFolderAddsNothing) {
    TempDir dir;
    write_file(dir.path() + "file.jpg", "x");
    std::vector<std::string> result = {"kept"};
    list_files(dir.path() + "missing", result, "", true);
    list_files(dir.path() + "file.jpg/sub", result, "", true);
    EXPECT_EQ(result, std::vector<std::string>{"kept"});
}

// Root reads any folder whatever its mode; without these capabilities it obeys the mode.
void drop_permission_override() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &header, data);
}

TEST(ListFilesDeathTest, ASubfolderItCannotReadIsPassedOverQuietly) {
    TempDir dir;
    write_files(dir.path(), {"a.jpg", "locked/b.jpg", "open/c.jpg"});
    ASSERT_EQ(::chmod((dir.path() + "locked").c_str(), 0), 0);
    const std::vector<std::string> expected = {dir.path() + "a.jpg", dir.path() + "open/c.jpg"};
    // In a child process, so the capabilities stay with the rest of the tests.
    EXPECT_EXIT(
        {
            drop_permission_override();
            std::_Exit(sorted(listed(dir.path(), "jpg", true)) == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ListFiles, OddNamesDotFilesAndLinks) {
    TempDir dir;
    const std::string latin1 = dir.path() + "caf\xe9.jpg";
    const std::string garbage = dir.path() + "\xff\xfe\x80.tif";
    const std::string dot = dir.path() + ".hidden.jpg";
    write_files(dir.path(), {"caf\xe9.jpg", "\xff\xfe\x80.tif", ".hidden.jpg"});
    ASSERT_EQ(::symlink(".hidden.jpg", (dir.path() + "link.jpg").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir.path() + "loop").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir.path() + "dangling.jpg").c_str()), 0);

    EXPECT_EQ(sorted(listed(dir.path(), "jpg,tif", true)),
              sorted({latin1, garbage, dot, dir.path() + "link.jpg"}));
    EXPECT_EQ(listed(dir.path(), "folders", true), std::vector<std::string>{dir.path() + "loop"});
    EXPECT_TRUE(file_exists(latin1));
    EXPECT_TRUE(file_exists(dot));
    EXPECT_TRUE(file_info(dot).ends_with("\rHA"));
}

TEST(ListFiles, APathHoldingANulByteNamesNothing) {
    TempDir dir;
    write_files(dir.path(), {"a.jpg", "sub/b.jpg"});
    // The system would read only the part before the NUL, which names a real folder.
    const std::string path = dir.path() + std::string("\0x", 2);
    EXPECT_FALSE(folder_exists(path));
    EXPECT_FALSE(file_exists(dir.path() + "a.jpg" + std::string(1, '\0')));
    EXPECT_EQ(file_info(path), "");
    EXPECT_TRUE(listed(path, "jpg", true).empty());
    std::string text;
    list_files(path, text, "", true);
    EXPECT_EQ(text, "");
}

TEST(ListFiles, AFolderMountedInsideItselfIsEnteredOnce) {
    TempDir dir;
    write_files(dir.path(), {"a.jpg", "inner/b.jpg"});
    const std::string inner = dir.path() + "inner";
    if (::mount(dir.path().c_str(), inner.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "a bind mount needs root";
    const std::vector<std::string> found = listed(dir.path(), "jpg", true);
    std::string text;
    list_files(dir.path(), text, "folders", true);
    ::umount2(inner.c_str(), MNT_DETACH);
    // inner now shows the tree itself again: its b.jpg is hidden, its a.jpg is the same file.
    EXPECT_EQ(found, (std::vector<std::string>{dir.path() + "a.jpg"}));
    EXPECT_EQ(text, inner);
}

} // namespace
} // namespace orvix
