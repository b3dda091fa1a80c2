#include "fs/fs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {
namespace {

using test::TempDir;
using test::write_file;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
        ::tzset();
    }
    ~ScopedEnv() {
        m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name);
        ::tzset();
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct PathCase {
    std::string path;
    std::string stem; // file_name without extension
    std::string extension;
    std::string parent;
};

class PathParts : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathParts, SplitAsTheRestOfTheProgramExpects) {
    const PathCase& c = GetParam();
    EXPECT_EQ(file_name(c.path, false), c.stem);
    EXPECT_EQ(file_extension(c.path), c.extension);
    EXPECT_EQ(parent_folder(c.path), c.parent);
    EXPECT_EQ(file_name(c.path, true), c.path.substr(c.parent.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, PathParts,
                         ::testing::Values(PathCase{"/a/b.c.jpg", "b.c", "jpg", "/a/"},
                                           PathCase{"/a/IMG.JPEG", "IMG", "jpeg", "/a/"},
                                           PathCase{"README", "README", "", ""},
                                           PathCase{"/dir.d/file", "file", "", "/dir.d/"},
                                           PathCase{"/a/", "", "", "/a/"},
                                           PathCase{"/x", "x", "", "/"},
                                           PathCase{"/a/b.", "b", "", "/a/"}));

TEST(Paths, SeparatorsAndMakePath) {
    EXPECT_EQ(add_trailing_separator("/photos"), "/photos/");
    EXPECT_EQ(add_trailing_separator("/photos/"), "/photos/");
    EXPECT_EQ(add_trailing_separator(""), "/");
    EXPECT_EQ(add_trailing_separator("http://host/a"), "http://host/a/");
    EXPECT_EQ(parent_folder("a::b::c", "::"), "a::b::");

    TempDir dir;
    EXPECT_EQ(make_path(dir.path() + "2001/05/17"), 0);
    EXPECT_TRUE(folder_exists(dir.path() + "2001/05/17/"));
    EXPECT_EQ(make_path(dir.path() + "2001/05/17/"), 0);
    write_file(dir.path() + "made/file.txt", "x");
    EXPECT_NE(make_path(dir.path() + "made/file.txt/below"), 0);
    EXPECT_EQ(test::read_file(dir.path() + "made/file.txt"), "x");
    EXPECT_FALSE(folder_exists(""));
    EXPECT_FALSE(file_exists(dir.path()));
    EXPECT_EQ(file_length(dir.path() + "made/file.txt"), 1);
    EXPECT_EQ(file_length(dir.path() + "missing"), -1);
}

TEST(FileInfo, GivesSizeTimesAndAttributeLetters) {
    const ScopedEnv utc("TZ", "UTC");
    TempDir dir;
    const std::string path = dir.path() + "photo.jpg";
    write_file(path, "hello");
    test::set_mtime(path, 1000000000);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    const std::vector<std::string> lines = split(file_info(path), "\r");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "5");
    // The birth time is now where the file system keeps one, else the modification time.
    EXPECT_EQ(lines[1].size(), 14u);
    EXPECT_GE(lines[1], "20010909014640");
    EXPECT_EQ(lines[2], "20010909014640");
    EXPECT_EQ(lines[3], "20010909014640");
    EXPECT_EQ(lines[4], "RA");
    EXPECT_TRUE(file_info(dir.path()).ends_with("\r"));
    EXPECT_EQ(file_info(dir.path() + "missing"), "");
}

TEST(TempFiles, NamesCountUpPastEveryTakenName) {
    TempDir dir;
    std::string folder = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(temp_file_name("IMG_0042", "jpg", folder), dir.path() + "~IMG0001.jpg");
    EXPECT_EQ(folder, dir.path());
    write_file(dir.path() + "~IMG0001.jpg", "x");
    dir.folder("~IMG0002.jpg");
    EXPECT_EQ(temp_file_name("IMG_0042", "jpg", folder), dir.path() + "~IMG0003.jpg");
    EXPECT_EQ(temp_file_name("", "tmp", folder), dir.path() + "~tes0001.tmp");
    EXPECT_TRUE(file_exists(program_folder() + program_name()));

    const ScopedEnv env("TMPDIR", dir.path() + "missing");
    std::string empty;
    EXPECT_EQ(temp_file_name("ab", "x", empty), "/tmp/~ab0001.x");
    EXPECT_EQ(empty, "/tmp/");
}

TEST(TempFiles, PrivateFoldersAreFreshAndOnlyTheOwnersToRead) {
    TempDir dir;
    const ScopedEnv env("TMPDIR", dir.path());
    EXPECT_EQ(temp_folder(), dir.path());
    const std::string first = make_private_temp_folder("thumbs");
    const std::string second = make_private_temp_folder("thumbs");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.starts_with(dir.path() + "thumbs-"));
    EXPECT_TRUE(make_private_temp_folder("a/b").starts_with(dir.path() + "a_b-"));
    struct stat st;
    ASSERT_EQ(::stat(first.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DeleteFile, WildcardDeletesTheFolderFilesButNoSubfolder) {
    TempDir dir;
    for (const char* name : {"a.jpg", ".dot", "b", "sub/kept.jpg"})
        write_file(dir.path() + name, "x");
    ASSERT_EQ(::symlink("sub/kept.jpg", (dir.path() + "link").c_str()), 0);
    ASSERT_EQ(::chmod((dir.path() + "b").c_str(), 0444), 0);

    EXPECT_EQ(delete_file(dir.path() + "*.*", true, false), 0);

    std::vector<std::string> left;
    list_files(dir.path(), left, "", true);
    EXPECT_EQ(left, std::vector<std::string>{dir.path() + "sub/kept.jpg"});
}

TEST(DeleteFile, EmptyPathAndBareWildcardDeleteNothing) {
    TempDir dir;
    write_file(dir.path() + "keep.jpg", "x");
    delete_file(dir.path() + "keep.jpg/", true, false);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    delete_file("*.*", false, false);
    delete_file("", false, false);
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_TRUE(file_exists(dir.path() + "keep.jpg"));
}

TEST(DeleteFile, ReportsWhatKeptAFileInPlace) {
    TempDir dir;
    EXPECT_EQ(delete_file(dir.path() + "missing.jpg", false, false), ENOENT);
    EXPECT_EQ(delete_file(dir.path() + "missing.jpg", true, false), 0);
    EXPECT_EQ(delete_file(dir.path() + "missing/*.*", true, false), ENOENT);
    write_file(dir.path() + "a.jpg", "x");
    EXPECT_EQ(delete_file(dir.path() + "a.jpg" + std::string(1, '\0') + "b", false, false), ENOENT);
    EXPECT_TRUE(file_exists(dir.path() + "a.jpg"));

    const test::SmallVolume card(1024 * 1024);
    if (!card.ok())
        GTEST_SKIP() << "mounting a small volume needs root";
    write_file(card.path() + "IMG_0001.JPG", "x");
    write_file(card.path() + "IMG_0002.JPG", "x");
    ASSERT_EQ(::mount(nullptr, card.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(delete_file(card.path() + "IMG_0001.JPG", false, false), EROFS);
    EXPECT_EQ(delete_file(card.path() + "*.*", true, true), EROFS);
    EXPECT_TRUE(file_exists(card.path() + "IMG_0002.JPG"));
}

TEST(ClearFolder, EmptiesFilesAndKeepsAFolderThatStillHoldsSubfolders) {
    TempDir dir;
    const std::string thumbs = dir.folder("thumbs");
    write_file(thumbs + "a.jpg", "x");
    write_file(thumbs + "mail/b.jpg", "x");

    clear_folder(thumbs, true, true);
    EXPECT_TRUE(folder_exists(thumbs));
    EXPECT_FALSE(file_exists(thumbs + "a.jpg"));
    EXPECT_TRUE(file_exists(thumbs + "mail/b.jpg"));

    clear_folder(thumbs + "mail", true, true);
    EXPECT_FALSE(folder_exists(thumbs + "mail"));
}

} // namespace
} // namespace orvix
