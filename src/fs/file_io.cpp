#include "fs/file_io.h"

#include "fs/fs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int UniqueFd::close_checked() {
    const int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
}

void UniqueFd::reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int UniqueFd::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

namespace {

// A descriptor just opened with its status, kept only for a regular file.
UniqueFd keep_if_regular(UniqueFd fd, FileStatus& status) {
    const std::optional<FileStatus> opened =
        fd.valid() ? descriptor_status(fd.get()) : std::nullopt;
    if (!opened || !opened->is_regular)
        return {};
    status = *opened;
    return fd;
}

} // namespace

UniqueFd open_regular_file(const std::string& path, FileStatus& status) {
    status = {};
    if (!path_usable(path))
        return {};
    return keep_if_regular(UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)),
                           status);
}

UniqueFd open_regular_file_at(int folder, const std::string& name, FileStatus& status) {
    status = {};
    if (!path_usable(name))
        return {};
    return keep_if_regular(
        UniqueFd(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)), status);
}

UniqueFd open_folder_handle(const std::string& folder) {
    const std::string path = folder.empty() ? "." : folder;
    return path_usable(path) ? UniqueFd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
                             : UniqueFd();
}

UniqueFd open_regular_file(const std::string& path, off_t& size) {
    FileStatus status;
    UniqueFd fd = open_regular_file(path, status);
    size = static_cast<off_t>(status.size);
    return fd;
}

UniqueFd open_without_following(const std::string& path) {
    return path_usable(path) ? UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW))
                             : UniqueFd();
}

int write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

namespace {

// Calls `part(at, count, done)` until size bytes arrived or the file ended, retrying
// interrupted calls; the count, or -1 with errno set.
template <class Part> ssize_t read_until_full(char* data, size_t size, Part part) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = part(data + done, size - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

ssize_t read_full(int fd, char* data, size_t size) {
    return read_until_full(data, size,
                           [fd](char* at, size_t count, size_t) { return ::read(fd, at, count); });
}

ssize_t pread_full(int fd, void* data, size_t size, int64_t offset) {
    return read_until_full(
        static_cast<char*>(data), size, [=](char* at, size_t count, size_t done) {
            return ::pread(fd, at, count, static_cast<off_t>(offset) + static_cast<off_t>(done));
        });
}

int read_regular_file(const std::string& path, std::string& out, off_t max_bytes) {
    out.clear();
    if (!path_usable(path))
        return ENOENT;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return errno;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (st.st_size > max_bytes)
        return EFBIG;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read_full(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            const int err = errno;
            out.clear();
            return err;
        }
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(max_bytes)) {
            out.clear();
            return EFBIG;
        }
        if (n < static_cast<ssize_t>(sizeof buffer))
            break;
    }
    return 0;
}

namespace {

// The process umask, read without changing it (umask() itself would have to set it).
mode_t current_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    return 022;
}

// Writing through a link keeps the link: the file it names is the one replaced.
std::string link_target(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A rename that never replaces: where the file system cannot say so, a hard link (which
// fails on a taken name) and then, on a volume without links, a look just before.
int rename_as_new(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    if (!nothing_at(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

ReplacementFile::ReplacementFile(const std::string& destination, std::optional<mode_t> mode)
    : m_destination(link_target(destination)) {
    if (!path_usable(m_destination)) {
        m_error = ENOENT;
        return;
    }
    struct stat existing {};
    m_replaces_existing = ::stat(m_destination.c_str(), &existing) == 0;
    const std::string folder = parent_folder(m_destination, "/");
    m_path = (folder.empty() ? std::string("./") : folder) + ".orvix-XXXXXX";
    m_fd = UniqueFd(::mkostemp(m_path.data(), O_CLOEXEC));
    if (!m_fd.valid()) {
        m_error = errno;
        m_path.clear();
        return;
    }
    // mkostemp gives 0600; the new file should look like the one it replaces, or like any
    // file the user makes.
    if (!mode)
        mode = m_replaces_existing && S_ISREG(existing.st_mode) ? existing.st_mode & 07777
                                                                : 0666 & ~current_umask();
    if (::fchmod(m_fd.get(), *mode) != 0)
        m_error = errno;
}

ReplacementFile::~ReplacementFile() {
    m_fd.reset();
    if (!m_path.empty())
        ::unlink(m_path.c_str());
}

int ReplacementFile::commit(bool durable) {
    return finish(durable, true);
}

int ReplacementFile::commit_as_new(bool durable) {
    return finish(durable, false);
}

int ReplacementFile::finish(bool durable, bool may_replace) {
    if (m_error)
        return m_error;
    if (durable && ::fsync(m_fd.get()) != 0)
        return errno;
    if (const int error = m_fd.close_checked())
        return error;
    const int renamed = may_replace
                            ? (::rename(m_path.c_str(), m_destination.c_str()) == 0 ? 0 : errno)
                            : rename_as_new(m_path, m_destination);
    if (renamed)
        return renamed;
    m_path.clear();
    if (durable) {
        // A failure here loses nothing that was there before: the rename has happened.
        const std::string folder = parent_folder(m_destination, "/");
        const UniqueFd dir(
            ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid())
            ::fsync(dir.get());
    }
    return 0;
}

} // namespace orvix
