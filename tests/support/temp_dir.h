// Test folders: each test gets its own folder under $TMPDIR, removed with everything in it.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace orvix::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing '/'.
    const std::string& path() const { return m_path; }
    // path() + relative, creating the parent folders of relative.
    std::string file(const std::string& relative) const;
    // Creates the subfolder (and its parents); returns its path with a trailing '/'.
    std::string folder(const std::string& relative) const;

private:
    std::string m_path;
};

// Writes bytes to path (parents created); fails the current test on error.
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
// The files under folder, subfolders included, by their path relative to it.
std::set<std::string> files_under(const std::string& folder);
// Sets the modification (and access) time, seconds since the epoch.
void set_mtime(const std::string& path, int64_t seconds);
// The root user ignores permission bits, which makes read-only tests meaningless.
bool running_as_root();

} // namespace orvix::test

namespace orvix::test {

// A small tmpfs mounted on a fresh folder, for full-disk and read-only volume tests.
// Needs root (CI runs as root); ok() is false elsewhere and the caller falls back to a
// fault hook. Unmounted on destruction.
class SmallVolume {
public:
    SmallVolume(int64_t bytes, bool read_only = false);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    bool ok() const { return m_mounted; }
    // Makes the mounted volume read-only with what it holds; false when that fails.
    bool remount_read_only();
    // The mount point with a trailing '/'.
    const std::string& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    bool m_mounted = false;
};

} // namespace orvix::test

namespace orvix::test {

// Makes an existing folder read-only for this process until destruction: as root, whom
// permission bits do not stop, through a read-only bind mount of the folder on itself;
// otherwise by taking its write permissions away. ok() is false when neither worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool ok() const { return m_mounted || m_chmodded; }

private:
    std::string m_folder;
    bool m_mounted = false;
    bool m_chmodded = false;
};

} // namespace orvix::test
