#include "fs/fs.h"
#include "platform/dialogs.h"
#include "support/page_cache.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace orvix {
namespace {

using test::read_file;
using test::SmallVolume;
using test::TempDir;
using test::write_file;

std::string pattern_bytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 4096) & 0xff);
    return bytes;
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class CopyFile : public ::testing::Test {
protected:
    ~CopyFile() override { set_copy_fault_after(-1); }

    // Copies a 1 MiB picture over folder/a.jpg, which holds "old": the copy must fail with
    // `error`, show exactly one "Error" box with the system's words, and change nothing.
    void expect_refused(const std::string& folder, int error) {
        const std::string source = m_dir.path() + "source.jpg";
        write_file(source, pattern_bytes(1024 * 1024));
        EXPECT_EQ(copy_file(source, folder + "a.jpg", m_dialogs), error);
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
        EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(error));
        EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Exclamation);
        EXPECT_TRUE(m_process_wide.messages().empty());
        EXPECT_EQ(read_file(folder + "a.jpg"), "old");
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"a.jpg"});
    }

    ScriptedDialogs m_dialogs;
    // The boxes go through the dialogs the caller gives, never the process-wide ones.
    ScriptedDialogs m_process_wide;
    ScopedDialogs m_guard{m_process_wide};
    TempDir m_dir;
};

TEST_F(CopyFile, OverwritesWithTheSameBytesModeAndModificationTime) {
    const std::string source = m_dir.path() + "in/IMG_0001.JPG";
    const std::string destination = m_dir.path() + "out/photo.jpg";
    write_file(source, pattern_bytes(3 * 1024 * 1024 + 17));
    write_file(destination, "old");
    test::set_mtime(source, 1234567890);
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);

    EXPECT_EQ(copy_file(source, destination, m_dialogs), 0);

    EXPECT_EQ(read_file(destination), read_file(source));
    struct stat st;
    ASSERT_EQ(::stat(destination.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1234567890);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(names_in(m_dir.path() + "out"), std::vector<std::string>{"photo.jpg"});
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// A transfer copies under a name it found free; whatever takes the name before the copy is
// complete (another program, a second import) is never replaced by it.
TEST_F(CopyFile, ACopyToANewFileLeavesWhatTookItsNameAsItIs) {
    const std::string folder = m_dir.folder("out");
    const std::string source = m_dir.path() + "source.jpg";
    write_file(source, pattern_bytes(1024 * 1024));
    write_file(folder + "a.jpg", "someone's");
    ASSERT_EQ(::symlink("nowhere", (folder + "b.jpg").c_str()), 0);

    for (const char* name : {"a.jpg", "b.jpg"}) {
        EXPECT_EQ(copy_to_new_file(source, folder + name, m_dialogs), EEXIST) << name;
    }
    EXPECT_EQ(read_file(folder + "a.jpg"), "someone's");
    EXPECT_TRUE(link_status(folder + "b.jpg").has_value());
    EXPECT_FALSE(file_status(folder + "b.jpg").has_value()) << "the link still names nothing";
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(EEXIST));

    EXPECT_EQ(copy_to_new_file(source, folder + "c.jpg", m_dialogs), 0);
    EXPECT_EQ(read_file(folder + "c.jpg"), read_file(source));
    std::vector<std::string> names = names_in(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

// The copy's permission bits are the source's, never bent by the umask.
TEST_F(CopyFile, KeepsTheSourcesPermissionBitsWhateverTheUmask) {
    struct StrictUmask {
        mode_t before = ::umask(077);
        ~StrictUmask() { ::umask(before); }
    } strict;
    for (const mode_t mode : {0666, 0640, 0604, 0400}) {
        const std::string source = m_dir.path() + "in/" + std::to_string(mode);
        write_file(source, "picture");
        ASSERT_EQ(::chmod(source.c_str(), mode), 0);
        const std::string copy = m_dir.folder("out") + std::to_string(mode);
        EXPECT_EQ(copy_to_new_file(source, copy, m_dialogs), 0);
        struct stat st {};
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode) << std::oct << mode;
    }
}

TEST_F(CopyFile, CopiesOntoAnotherVolumeAndFromFilesThatReportNoSize) {
    const SmallVolume volume(8 * 1024 * 1024);
    const std::string folder = volume.ok() ? volume.path() : m_dir.folder("plain");
    const std::string source = m_dir.path() + "big.tif";
    write_file(source, pattern_bytes(2 * 1024 * 1024 + 3));

    EXPECT_EQ(copy_file(source, folder + "big.tif", m_dialogs), 0);
    EXPECT_EQ(read_file(folder + "big.tif"), read_file(source));
    // /proc files claim a size of 0; their bytes must still arrive.
    EXPECT_EQ(copy_file("/proc/version", folder + "version", m_dialogs), 0);
    EXPECT_EQ(read_file(folder + "version"), read_file("/proc/version"));
    EXPECT_FALSE(read_file(folder + "version").empty());
}

TEST_F(CopyFile, AMissingSourceOrAFolderIsRefused) {
    write_file(m_dir.path() + "a.jpg", "old");
    EXPECT_EQ(copy_file(m_dir.path() + "missing.jpg", m_dir.path() + "a.jpg", m_dialogs), ENOENT);
    EXPECT_EQ(copy_file(m_dir.path(), m_dir.path() + "a.jpg", m_dialogs), EISDIR);
    EXPECT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(names_in(m_dir.path()), std::vector<std::string>{"a.jpg"});
}

TEST_F(CopyFile, ASimulatedFullDiskLeavesNoPartialFile) {
    const std::string folder = m_dir.folder("out");
    write_file(folder + "a.jpg", "old");
    set_copy_fault_after(1000);
    expect_refused(folder, ENOSPC);

    // Exactly as much room as the file needs is enough.
    set_copy_fault_after(1024 * 1024);
    EXPECT_EQ(copy_file(m_dir.path() + "source.jpg", folder + "a.jpg", m_dialogs), 0);
    EXPECT_EQ(read_file(folder + "a.jpg"), read_file(m_dir.path() + "source.jpg"));
}

TEST_F(CopyFile, ARealFullVolumeLeavesNoPartialFile) {
    const SmallVolume volume(64 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "mounting a small volume needs root";
    write_file(volume.path() + "a.jpg", "old");
    expect_refused(volume.path(), ENOSPC);
}

TEST_F(CopyFile, AReadOnlyDestinationChangesNothing) {
    const SmallVolume volume(1024 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "mounting a small volume needs root";
    write_file(volume.path() + "a.jpg", "old");
    ASSERT_EQ(::mount(nullptr, volume.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    expect_refused(volume.path(), EROFS);
}

// A file kept before an edit replaces it: the kept one must hold the old bytes whatever
// happens to the name afterwards.
TEST(KeepFile, ALinkOnTheSameVolumeHoldsTheOldFileOnceTheNameIsReplaced) {
    const TempDir dir;
    const std::string picture = dir.path() + "a.jpg", kept = dir.path() + "kept";
    write_file(picture, "before");
    ASSERT_EQ(keep_file(picture, kept), 0);
    EXPECT_EQ(file_status(kept)->inode, file_status(picture)->inode) << "a link, not a copy";
    ScriptedDialogs quiet;
    const std::string edited = dir.path() + "edited";
    write_file(edited, "after the edit");
    ASSERT_EQ(copy_file(edited, picture, quiet), 0);
    EXPECT_EQ(read_file(kept), "before");
}

TEST(KeepFile, AnotherVolumeGetsACompleteCopyWithItsTime) {
    const SmallVolume volume(1024 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a volume";
    const TempDir dir;
    const std::string picture = dir.path() + "a.jpg", kept = volume.path() + "kept";
    write_file(picture, pattern_bytes(200 * 1024));
    test::set_mtime(picture, 1000000000);
    ASSERT_EQ(keep_file(picture, kept), 0);
    EXPECT_EQ(read_file(kept), read_file(picture));
    EXPECT_EQ(file_status(kept)->mtime_sec, 1000000000);
}

TEST(KeepFile, ATakenNameOrSomethingElseThanAFileIsRefused) {
    const TempDir dir;
    write_file(dir.path() + "a.jpg", "picture");
    write_file(dir.path() + "taken", "someone's");
    EXPECT_EQ(keep_file(dir.path() + "a.jpg", dir.path() + "taken"), EEXIST);
    EXPECT_EQ(read_file(dir.path() + "taken"), "someone's");
    EXPECT_EQ(keep_file(dir.path() + "missing.jpg", dir.path() + "k1"), ENOENT);
    EXPECT_EQ(keep_file(dir.path(), dir.path() + "k2"), EINVAL);
    EXPECT_TRUE(nothing_at(dir.path() + "k1"));
    EXPECT_TRUE(nothing_at(dir.path() + "k2"));
}

TEST(VerifyCopy, ReadsTheCopyBackAndCatchesAnyDifference) {
    TempDir dir;
    const std::string source = dir.path() + "a.jpg";
    const std::string copy = dir.path() + "b.jpg";
    std::string bytes = pattern_bytes(3 * 1024 * 1024);
    write_file(source, bytes);
    write_file(copy, bytes);
    EXPECT_TRUE(verify_copy(source, copy));

    bytes[2 * 1024 * 1024 + 5] ^= 1;
    write_file(copy, bytes);
    EXPECT_FALSE(verify_copy(source, copy));
    write_file(copy, bytes.substr(0, bytes.size() - 1));
    EXPECT_FALSE(verify_copy(source, copy));
    EXPECT_FALSE(verify_copy(source, dir.path() + "missing"));
    EXPECT_FALSE(verify_copy(dir.path(), dir.path()));
}

TEST(ReadAhead, BringsAFileThatLeftMemoryBackIntoIt) {
    const TempDir dir;
    const std::string path = dir.path() + "IMG_0001.JPG";
    write_file(path, pattern_bytes(4 * 1024 * 1024 + 5));
    if (!test::send_out_of_memory(path))
        GTEST_SKIP() << "this file system keeps its files in memory";
    read_ahead(path);
    EXPECT_TRUE(test::comes_into_memory(path));
}

// A fifo named like a picture would hold an open for reading until a writer came.
TEST(ReadAhead, LeavesAnythingButAFileAlone) {
    const TempDir dir;
    const std::string fifo = dir.path() + "IMG_0002.JPG";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {fifo, dir.path(), dir.path() + "missing.jpg", std::string("/dev/zero"), std::string()})
        read_ahead(path);
    EXPECT_TRUE(file_status(fifo).has_value());
}

} // namespace
} // namespace orvix
