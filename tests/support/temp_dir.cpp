#include "support/temp_dir.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fsys = std::filesystem;

namespace orvix::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvix-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    m_path = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first, so read-only test folders can be removed.
    for (auto it = fsys::recursive_directory_iterator(m_path, ec);
         !ec && it != fsys::recursive_directory_iterator(); it.increment(ec))
        fsys::permissions(it->path(), fsys::perms::owner_all, fsys::perm_options::add, ec);
    fsys::remove_all(m_path, ec);
}

std::string TempDir::file(const std::string& relative) const {
    const std::string full = m_path + relative;
    std::error_code ec;
    fsys::create_directories(fsys::path(full).parent_path(), ec);
    return full;
}

std::string TempDir::folder(const std::string& relative) const {
    std::string full = m_path + relative;
    std::error_code ec;
    fsys::create_directories(full, ec);
    if (full.back() != '/')
        full += '/';
    return full;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fsys::create_directories(fsys::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> files_under(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            names.insert(std::filesystem::relative(entry.path(), folder).string());
    return names;
}

void set_mtime(const std::string& path, int64_t seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        ADD_FAILURE() << "cannot set the time of " << path;
}

bool running_as_root() {
    return geteuid() == 0;
}

} // namespace orvix::test

#include <sys/mount.h>

namespace orvix::test {

SmallVolume::SmallVolume(int64_t bytes, bool read_only) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    unsigned long flags = read_only ? MS_RDONLY : 0;
    m_mounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", flags, options.c_str()) == 0;
}

bool SmallVolume::remount_read_only() {
    return m_mounted &&
           ::mount(nullptr, m_dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

SmallVolume::~SmallVolume() {
    if (m_mounted)
        ::umount2(m_dir.path().c_str(), MNT_DETACH);
}

} // namespace orvix::test

namespace orvix::test {

ReadOnlyFolder::ReadOnlyFolder(const std::string& folder) : m_folder(folder) {
    if (running_as_root()) {
        m_mounted = ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (m_mounted && ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                                 nullptr) != 0) {
            ::umount2(folder.c_str(), MNT_DETACH);
            m_mounted = false;
        }
        return;
    }
    m_chmodded = ::chmod(folder.c_str(), 0555) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
    if (m_chmodded)
        ::chmod(m_folder.c_str(), 0755);
}

} // namespace orvix::test
