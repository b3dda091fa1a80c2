#include "fs/fs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/capability.h>
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

// The order in which the file system hands out the folder's entries.
std::vector<std::string> directory_order(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        paths.push_back(entry.path().string());
    return paths;
}

size_t position(const std::vector<std::string>& paths, const std::string& path) {
    return static_cast<size_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
}

bool in_one_piece(const std::vector<std::string>& paths, const std::string& prefix) {
    const auto inside = [&prefix](const std::string& path) { return path.starts_with(prefix); };
    const auto first = std::find_if(paths.begin(), paths.end(), inside);
    const auto after = std::find_if_not(first, paths.end(), inside);
    return std::find_if(after, paths.end(), inside) == paths.end();
}

TEST(ListFiles, AFoldersOwnFilesComeBeforeAnySubfoldersAndEachBranchStaysTogether) {
    TempDir dir;
    const std::string root = dir.path();
    for (const char* name : {"a.JPG", "b.tif", "c.txt", "sub/d.jpg", "sub/deeper/e.bmp",
                             "sub/f.jpg", "other/g.jpg", "other/h.tif"})
        write_file(root + name, "x");

    const std::vector<std::string> result = listed(root, "jpg,tif,bmp", true);

    ASSERT_EQ(result.size(), 7u);
    std::vector<std::string> own;
    for (const std::string& path : directory_order(root)) {
        if (path.ends_with(".JPG") || path.ends_with(".tif"))
            own.push_back(path);
    }
    EXPECT_EQ(std::vector<std::string>(result.begin(), result.begin() + 2), own);
    // Depth first: sub's own files before sub/deeper's, and each branch in one piece.
    EXPECT_LT(position(result, root + "sub/d.jpg"), position(result, root + "sub/deeper/e.bmp"));
    EXPECT_LT(position(result, root + "sub/f.jpg"), position(result, root + "sub/deeper/e.bmp"));
    EXPECT_TRUE(in_one_piece(result, root + "sub/"));
    EXPECT_TRUE(in_one_piece(result, root + "other/"));
}

struct FilterCase {
    std::string filter;
    std::vector<std::string> expected;
};

class ListFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ListFilter, TakesAnExtensionThatOccursAnywhereInTheFilter) {
    TempDir dir;
    for (const char* name : {"a.jpg", "b.JPG", "c.jp", "d.g", "e.jpeg", "f.tiff", "g.txt", "noext",
                             "h.peg", "sub/i.jpg"})
        write_file(dir.path() + name, "x");
    std::vector<std::string> expected;
    for (const std::string& name : GetParam().expected)
        expected.push_back(dir.path() + name);

    EXPECT_EQ(sorted(listed(dir.path(), GetParam().filter, false)), sorted(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ListFilter,
    ::testing::Values(FilterCase{"jpg,tif,bmp", {"a.jpg", "b.JPG", "c.jp", "d.g"}},
                      FilterCase{"JPG,TIF", {"a.jpg", "b.JPG", "c.jp", "d.g"}},
                      // "jpg" does not occur in "jpeg": the filter "jpeg" does not take a.jpg.
                      FilterCase{"jpeg", {"c.jp", "d.g", "e.jpeg", "h.peg"}},
                      FilterCase{"",
                                 {"a.jpg", "b.JPG", "c.jp", "d.g", "e.jpeg", "f.tiff", "g.txt",
                                  "noext", "h.peg"}},
                      FilterCase{"*.*",
                                 {"a.jpg", "b.JPG", "c.jp", "d.g", "e.jpeg", "f.tiff", "g.txt",
                                  "noext", "h.peg"}},
                      FilterCase{"folders", {"sub"}}));

TEST(ListFiles, FoldersFilterGivesFolderPathsWithoutSeparatorAtEveryDepth) {
    TempDir dir;
    dir.folder("a/b/c");
    write_file(dir.path() + "a/file.jpg", "x");
    EXPECT_EQ(
        listed(dir.path(), "folders", true),
        (std::vector<std::string>{dir.path() + "a", dir.path() + "a/b", dir.path() + "a/b/c"}));
}

TEST(ListFiles, TextFormJoinsPathsWithoutATrailingSeparator) {
    TempDir dir;
    write_file(dir.path() + "one.jpg", "x");
    write_file(dir.path() + "two.jpg", "x");
    const std::vector<std::string> paths = listed(dir.path(), "jpg", false);
    ASSERT_EQ(paths.size(), 2u);

    std::string text;
    list_files(dir.path(), text, "jpg", false);
    EXPECT_EQ(text, paths[0] + "\r" + paths[1]);

    std::string with_commas = "before";
    list_files(dir.path(), with_commas, "jpg", false, ",");
    EXPECT_EQ(with_commas, "before," + paths[0] + "," + paths[1]);

    std::string empty;
    list_files(dir.folder("empty"), empty, "", true);
    EXPECT_EQ(empty, "");
}

TEST(ListFiles, MaxCountStopsTheScanAndEachLaterBranchAddsOneName) {
    TempDir dir;
    write_file(dir.path() + "top.jpg", "x");
    for (const char* branch : {"s1/", "s2/"}) {
        for (int i = 0; i < 5; ++i)
            write_file(dir.path() + branch + std::to_string(i) + ".jpg", "x");
    }
    for (int i = 0; i < 5; ++i)
        write_file(dir.path() + "s1/deep/" + std::to_string(i) + ".jpg", "x");

    EXPECT_EQ(listed(dir.path() + "s1", "jpg", false, 3).size(), 3u);
    // top.jpg, the first of whichever branch comes first (which then stops, skipping its
    // deep folder), and the first of the other branch, which makes its own count test.
    const std::vector<std::string> result = listed(dir.path(), "jpg", true, 2);
    ASSERT_EQ(result.size(), 3u);
    EXPECT_EQ(result[0], dir.path() + "top.jpg");
    EXPECT_NE(parent_folder(result[1]), parent_folder(result[2]));
    for (const std::string& path : {result[1], result[2]})
        EXPECT_TRUE(parent_folder(path) == dir.path() + "s1/" ||
                    parent_folder(path) == dir.path() + "s2/")
            << path;

    std::string text;
    list_files(dir.path(), text, "jpg", true, ",", 2);
    EXPECT_EQ(nb_tokens(text, ","), 3);
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
    for (const char* name : {"a.jpg", "locked/b.jpg", "open/c.jpg"})
        write_file(dir.path() + name, "x");
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

TEST(ListFiles, NamesThatAreNotValidUtf8AreListedAsTheyAre) {
    TempDir dir;
    const std::string latin1 = dir.path() + "caf\xe9.jpg";
    const std::string garbage = dir.path() + "\xff\xfe\x80.tif";
    write_file(latin1, "x");
    write_file(garbage, "y");
    EXPECT_EQ(sorted(listed(dir.path(), "jpg,tif", true)), sorted({latin1, garbage}));
    EXPECT_TRUE(file_exists(latin1));
    EXPECT_EQ(file_length(garbage), 1);
}

TEST(ListFiles, LinkedFilesAreListedButLinkedFoldersAreNotEntered) {
    TempDir dir;
    write_file(dir.path() + "real.jpg", "x");
    ASSERT_EQ(::symlink("real.jpg", (dir.path() + "link.jpg").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir.path() + "loop").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir.path() + "dangling.jpg").c_str()), 0);

    EXPECT_EQ(sorted(listed(dir.path(), "", true)),
              sorted({dir.path() + "real.jpg", dir.path() + "link.jpg"}));
    EXPECT_EQ(listed(dir.path(), "folders", true), std::vector<std::string>{dir.path() + "loop"});
}

TEST(ListFiles, DotFilesAreOrdinaryFiles) {
    TempDir dir;
    const std::string dot = dir.path() + ".hidden.jpg";
    write_file(dot, "x");
    EXPECT_EQ(listed(dir.path(), "jpg", false), std::vector<std::string>{dot});
    EXPECT_TRUE(file_exists(dot));
    EXPECT_TRUE(file_info(dot).ends_with("\rHA"));
}

} // namespace
} // namespace orvix
