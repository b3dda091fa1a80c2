#include "fs/file_io.h"
#include "fs/fs.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {
namespace {

using test::TempDir;
using test::write_file;

struct XdgCase {
    const char* name;
    XdgBase base;
    const char* value;
    const char* home;
    const char* folder;
};

TEST(XdgBaseFolder, AbsoluteValuesCountAndTheHomeFolderStandsInForTheRest) {
    const XdgCase cases[] = {
        {"AbsoluteValue", XdgBase::Cache, "/var/cache/me", "/home/me", "/var/cache/me/"},
        {"AbsoluteValueFolded", XdgBase::Config, "/cfg//me/./", "/home/me", "/cfg/me/"},
        {"RelativeValueIgnored", XdgBase::Config, "cfg", "/home/me", "/home/me/.config/"},
        {"DotRelativeValueIgnored", XdgBase::Data, "./data", "/home/me/", "/home/me/.local/share/"},
        {"EmptyValueIgnored", XdgBase::Cache, "", "/home/me", "/home/me/.cache/"},
        {"NoHomeNoFolder", XdgBase::Data, "", "", ""},
        {"RelativeHomeNoFolder", XdgBase::Config, "rel", "home/me", ""},
        {"NoHomeButAbsoluteValue", XdgBase::Data, "/data", "", "/data/"},
        {"BytesKeptAsTheyAre", XdgBase::Data, "/d\xff\xfe/x", "", "/d\xff\xfe/x/"},
    };
    for (const XdgCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(xdg_base_folder(c.base, c.value, c.home), c.folder);
    }
}

TEST(XdgBaseFolder, ThisProcessReadsItsEnvironment) {
    test::ScopedEnv env;
    env.set("HOME", "/home/someone");
    env.set("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(xdg_base_folder(XdgBase::Cache), "/home/someone/.cache/");
    env.set("XDG_CACHE_HOME", "/var/cache/me");
    EXPECT_EQ(xdg_base_folder(XdgBase::Cache), "/var/cache/me/");
    env.unset("XDG_CONFIG_HOME");
    EXPECT_EQ(xdg_base_folder(XdgBase::Config), "/home/someone/.config/");
}

TEST(XdgBaseFolder, ARelativeOrMissingHomeGivesTheAccountsHome) {
    test::ScopedEnv env;
    env.unset("HOME");
    const std::string account = home_folder();
    EXPECT_TRUE(account.empty() || account.starts_with('/')) << account;
    env.set("HOME", "relative/home");
    EXPECT_EQ(home_folder(), account);
    env.unset("XDG_DATA_HOME");
    EXPECT_EQ(xdg_base_folder(XdgBase::Data),
              account.empty() ? "" : add_trailing_separator(account) + ".local/share/");
}

TEST(FileStatus, LinksFollowedOrNot) {
    TempDir dir;
    write_file(dir.file("a.jpg"), "12345");
    ASSERT_EQ(::symlink("a.jpg", dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink("missing", dir.file("dangling").c_str()), 0);

    const auto file = file_status(dir.file("a.jpg"));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->is_regular && !file->is_folder && file->owned_by_me);
    EXPECT_EQ(file->size, 5);

    const auto through = file_status(dir.file("link"));
    ASSERT_TRUE(through);
    EXPECT_TRUE(through->is_regular);
    const auto link = link_status(dir.file("link"));
    ASSERT_TRUE(link);
    EXPECT_FALSE(link->is_regular || link->is_folder);

    const auto folder = link_status(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->is_folder);

    EXPECT_FALSE(file_status(dir.file("dangling")));
    EXPECT_TRUE(link_status(dir.file("dangling")));
    EXPECT_FALSE(file_status(dir.file("a.jpg") + std::string(1, '\0') + "x"));
}

TEST(FileStatus, ExistenceAndFreeNames) {
    TempDir dir;
    write_file(dir.file("a.jpg"), "x");
    ASSERT_EQ(::symlink("missing", dir.file("dangling").c_str()), 0);
    EXPECT_TRUE(path_exists(dir.file("a.jpg")));
    EXPECT_TRUE(path_exists(dir.path()));
    EXPECT_FALSE(path_exists(dir.file("dangling")));
    EXPECT_FALSE(path_exists(""));

    EXPECT_TRUE(nothing_at(dir.file("b.jpg")));
    EXPECT_FALSE(nothing_at(dir.file("a.jpg")));
    // A dangling link still holds its name.
    EXPECT_FALSE(nothing_at(dir.file("dangling")));
    // ENOTDIR is no answer about the name: something stands in the way.
    EXPECT_FALSE(nothing_at(dir.file("a.jpg/b")));
    EXPECT_FALSE(nothing_at(""));
}

TEST(FileStatus, ReadOnlyMeansTheOwnerMayNotWrite) {
    TempDir dir;
    const std::string path = dir.file("a.jpg");
    write_file(path, "x");
    EXPECT_FALSE(read_only(path));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(read_only(path));
    EXPECT_FALSE(read_only(dir.file("missing.jpg")));
}

TEST(FileStatus, SameFileThroughLinksOnly) {
    TempDir dir;
    write_file(dir.file("a.jpg"), "x");
    write_file(dir.file("b.jpg"), "x");
    ASSERT_EQ(::link(dir.file("a.jpg").c_str(), dir.file("hard.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("a.jpg", dir.file("soft.jpg").c_str()), 0);
    EXPECT_TRUE(same_file(dir.file("a.jpg"), dir.file("hard.jpg")));
    EXPECT_TRUE(same_file(dir.file("a.jpg"), dir.file("soft.jpg")));
    EXPECT_TRUE(same_file(dir.file("a.jpg"), dir.path() + "./a.jpg"));
    EXPECT_FALSE(same_file(dir.file("a.jpg"), dir.file("b.jpg")));
    EXPECT_FALSE(same_file(dir.file("missing"), dir.file("missing")));
}

TEST(RealPath, ResolvesLinksAndDots) {
    TempDir dir;
    const std::string inner = dir.folder("inner");
    ASSERT_EQ(::symlink(inner.c_str(), dir.file("to_inner").c_str()), 0);
    const std::string base = real_path(dir.path());
    ASSERT_FALSE(base.empty());
    EXPECT_EQ(real_path(dir.path() + "to_inner/../inner"), base + "/inner");
    EXPECT_EQ(real_path(dir.path() + "missing"), "");
    EXPECT_EQ(real_path(""), "");
}

TEST(MayCreateIn, FollowsTheFolderAndTheMount) {
    TempDir dir;
    const std::string folder = dir.folder("extra");
    EXPECT_TRUE(may_create_in(folder));
    EXPECT_FALSE(may_create_in(dir.file("missing")));
    test::ReadOnlyFolder read_only_folder(folder);
    if (!read_only_folder.ok())
        GTEST_SKIP() << "cannot make a read-only folder here";
    EXPECT_FALSE(may_create_in(folder));
}

TEST(FolderEntryNames, EveryNameAsTheSystemGivesIt) {
    TempDir dir;
    write_file(dir.file("a.jpg"), "x");
    write_file(dir.file(".hidden"), "x");
    write_file(dir.file("caf\xe9.jpg"), "x"); // not UTF-8
    dir.folder("sub");
    auto names = folder_entry_names(dir.path());
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{".hidden", "a.jpg", "caf\xe9.jpg", "sub"}));
    EXPECT_FALSE(folder_entry_names(dir.file("missing")));
    EXPECT_FALSE(folder_entry_names(dir.file("a.jpg")));
    EXPECT_FALSE(folder_entry_names(""));

    write_file(dir.file("m_a.jpg"), "x");
    write_file(dir.file("M_b.jpg"), "x");
    EXPECT_EQ(folder_entry_names(dir.path(), "m_"), (std::vector<std::string>{"m_a.jpg"}))
        << "the prefix is compared as it stands";
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(PrivateFolders, NewLevelsArePrivateAndOldOnesUntouched) {
    TempDir dir;
    const std::string shared = dir.folder("shared");
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    EXPECT_TRUE(make_private_path(shared + "a/b"));
    EXPECT_EQ(mode_of(shared + "a"), 0700u);
    EXPECT_EQ(mode_of(shared + "a/b"), 0700u);
    EXPECT_EQ(mode_of(shared), 0755u);
    EXPECT_TRUE(make_private_path(shared + "a/b/"));

    write_file(dir.file("file"), "x");
    EXPECT_FALSE(make_private_path(dir.file("file")));
    EXPECT_FALSE(make_private_path(dir.file("file") + "/below"));
}

TEST(PrivateFolders, AFreshFolderNamedAfterThePrefix) {
    TempDir dir;
    const std::string first = make_private_folder(dir.path(), "mail-");
    const std::string second =
        make_private_folder(dir.path().substr(0, dir.path().size() - 1), "mail-");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.starts_with(dir.path() + "mail-") && first.ends_with("/")) << first;
    EXPECT_EQ(first.size(), dir.path().size() + 5 + 6 + 1);
    EXPECT_EQ(mode_of(first), 0700u);
    EXPECT_EQ(make_private_folder(dir.file("missing"), "mail-"), "");
    EXPECT_EQ(make_private_folder(dir.path(), std::string("a\0b", 3)), "");
}

TEST(OpenRegularFile, OnlyARegularFileOpensAndNothingWaits) {
    TempDir dir;
    write_file(dir.file("a.jpg"), "1234567");
    ASSERT_EQ(::mkfifo(dir.file("pipe.jpg").c_str(), 0600), 0);
    off_t size = -1;
    const UniqueFd file = open_regular_file(dir.file("a.jpg"), size);
    EXPECT_TRUE(file.valid());
    EXPECT_EQ(size, 7);
    // A fifo with no writer would block an ordinary open for ever.
    EXPECT_FALSE(open_regular_file(dir.file("pipe.jpg"), size).valid());
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(open_regular_file(dir.path(), size).valid());
    EXPECT_FALSE(open_regular_file(dir.file("missing"), size).valid());
}

// Opened by its name in a folder held open, a file gives the status of the very file opened,
// under the same rules as by its path.
TEST(OpenRegularFile, ByNameInAHeldFolderAsByPath) {
    TempDir dir;
    write_file(dir.file("in/a.jpg"), "1234567");
    ASSERT_EQ(::mkfifo(dir.file("in/pipe.jpg").c_str(), 0600), 0);
    dir.folder("in/sub");
    const UniqueFd folder = open_folder_handle(dir.file("in") + "/");
    ASSERT_TRUE(folder.valid());
    FileStatus status;
    const UniqueFd file = open_regular_file_at(folder.get(), "a.jpg", status);
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(status.size, 7);
    EXPECT_EQ(status.inode, file_status(dir.file("in/a.jpg"))->inode);
    EXPECT_EQ(file_status_at(folder.get(), "a.jpg")->inode, status.inode);
    EXPECT_TRUE(file_status_at(folder.get(), "sub")->is_folder);
    EXPECT_FALSE(file_status_at(folder.get(), "missing"));
    for (const char* other : {"pipe.jpg", "sub", "missing", "", "."})
        EXPECT_FALSE(open_regular_file_at(folder.get(), other, status).valid()) << other;
    EXPECT_EQ(status.size, 0) << "nothing is left of the last file found";
    EXPECT_FALSE(open_regular_file_at(folder.get(), std::string("a.jpg\0x", 7), status).valid());

    EXPECT_FALSE(open_folder_handle(dir.file("in/a.jpg")).valid()) << "not a folder";
    EXPECT_FALSE(open_folder_handle(dir.file("gone")).valid());
    EXPECT_TRUE(open_folder_handle("").valid()) << "the current folder";
}

TEST(OpenWithoutFollowing, ALinkIsRefused) {
    TempDir dir;
    write_file(dir.file("record"), "x");
    ASSERT_EQ(::symlink("record", dir.file("link").c_str()), 0);
    EXPECT_TRUE(open_without_following(dir.file("record")).valid());
    EXPECT_FALSE(open_without_following(dir.file("link")).valid());
    EXPECT_FALSE(open_without_following("").valid());
}

TEST(UniqueFdRelease, TheCallerOwnsTheDescriptor) {
    TempDir dir;
    write_file(dir.file("a"), "x");
    off_t size = 0;
    int fd = -1;
    {
        UniqueFd owner = open_regular_file(dir.file("a"), size);
        fd = owner.release();
        EXPECT_FALSE(owner.valid());
    }
    // Still open after the owner went away.
    EXPECT_EQ(::close(fd), 0);
}

} // namespace
} // namespace orvix
