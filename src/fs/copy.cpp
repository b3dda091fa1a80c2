// Copying a file without ever leaving a partial copy under its final name, and reading a
// copy back from disk to prove it.
#include "fs/fs.h"

#include "fs/posix_handles.h"
#include "platform/dialogs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {

namespace {

constexpr size_t RANGE_CHUNK = size_t{1} << 30;
constexpr size_t BUFFER_SIZE = size_t{1} << 20;
// Enough for the largest picture; a film is only begun, so it does not crowd the memory.
constexpr off_t READ_AHEAD_LIMIT = off_t{64} << 20;

int64_t copy_fault_after = -1;

// The bytes one call may move: the whole rest normally, never past the simulated full disk.
size_t chunk_limit(int64_t written, size_t chunk) {
    if (copy_fault_after < 0)
        return chunk;
    return static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk),
                                                 std::max<int64_t>(copy_fault_after - written, 0)));
}

bool range_unsupported(int error) {
    return error == EXDEV || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Whether the source holds more than `offset` bytes, asked without moving its position. A
// failed read counts as more: the copy goes on to the read that reports the error.
bool has_more(int in, int64_t offset) {
    char byte;
    ssize_t n;
    do {
        n = ::pread(in, &byte, 1, offset);
    } while (n < 0 && errno == EINTR);
    return n != 0;
}

// Moves up to `limit` bytes with read and write; the count moved (0 at the end), or -errno.
ssize_t read_write_chunk(int in, int out, std::vector<char>& buffer, size_t limit) {
    if (buffer.empty())
        buffer.resize(BUFFER_SIZE);
    ssize_t n;
    do {
        n = ::read(in, buffer.data(), std::min(limit, buffer.size()));
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return n < 0 ? -errno : 0;
    const int error = write_all(out, buffer.data(), static_cast<size_t>(n));
    return error ? -error : n;
}

// copy_file_range lets the kernel (or the file system) copy without a trip through user
// memory; where it cannot, read and write take over from the current positions.
int copy_bytes(int in, int out) {
    std::vector<char> buffer;
    bool use_range = true;
    for (int64_t written = 0;;) {
        const size_t limit = chunk_limit(written, use_range ? RANGE_CHUNK : BUFFER_SIZE);
        if (limit == 0)
            return has_more(in, written) ? ENOSPC : 0;
        ssize_t n;
        if (use_range) {
            n = ::copy_file_range(in, nullptr, out, nullptr, limit, 0);
            if (n < 0 && errno == EINTR)
                continue;
            // 0 is the end of a regular file; some file systems (proc, sysfs, some FUSE) answer
            // it before the end, which a byte past the copied ones tells. Only they need the
            // buffer of read and write.
            if (n == 0 && !has_more(in, written))
                return 0;
            if (n == 0 || (n < 0 && range_unsupported(errno))) {
                use_range = false;
                continue;
            }
            if (n < 0)
                return errno;
        } else {
            n = read_write_chunk(in, out, buffer, limit);
            if (n == 0)
                return 0;
            if (n < 0)
                return static_cast<int>(-n);
        }
        written += n;
    }
}

int keep_time(int out, const struct stat& source) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    return ::futimens(out, times) == 0 ? 0 : errno;
}

int open_source(const std::string& source, UniqueFd& in, struct stat& st) {
    if (!path_usable(source))
        return ENOENT;
    in = UniqueFd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.valid())
        return errno;
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    // Only regular files are copied: a fifo or a device would block or never end.
    return S_ISREG(st.st_mode) ? 0 : EINVAL;
}

bool same_contents(int a, int b) {
    std::vector<char> left(BUFFER_SIZE);
    std::vector<char> right(BUFFER_SIZE);
    for (;;) {
        const ssize_t n = read_full(a, left.data(), left.size());
        const ssize_t m = read_full(b, right.data(), right.size());
        if (n < 0 || n != m)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(left.data(), right.data(), static_cast<size_t>(n)) != 0)
            return false;
    }
}

int copy_quietly(const std::string& source, const std::string& destination, bool may_replace) {
    UniqueFd in;
    struct stat st;
    if (const int error = open_source(source, in, st))
        return error;
    // The copy takes the source's permission bits from the start.
    ReplacementFile temp(destination, static_cast<mode_t>(st.st_mode & 0777));
    if (temp.error())
        return temp.error();
    if (const int error = copy_bytes(in.get(), temp.fd()))
        return error;
    if (const int error = keep_time(temp.fd(), st))
        return error;
    // No flush here: a transfer verifies (and flushes) the copies whose originals it deletes.
    return may_replace ? temp.commit(false) : temp.commit_as_new(false);
}

} // namespace

int copy_file_quietly(const std::string& source, const std::string& destination) {
    return copy_quietly(source, destination, true);
}

int keep_file(const std::string& source, const std::string& kept) {
    if (!path_usable(source) || !path_usable(kept))
        return EINVAL;
    if (!nothing_at(kept))
        return EEXIST;
    const std::optional<FileStatus> status = file_status(source);
    if (!status)
        return ENOENT;
    if (!status->is_regular)
        return EINVAL;
    // A symbolic link names the picture: its bytes are kept, never the link.
    const std::optional<FileStatus> entry = link_status(source);
    if (entry && entry->is_regular && ::link(source.c_str(), kept.c_str()) == 0)
        return 0;
    return copy_file_quietly(source, kept);
}

int copy_file(const std::string& source, const std::string& destination, Dialogs& dialogs) {
    const int error = copy_file_quietly(source, destination);
    if (error)
        show_system_error(dialogs, error);
    return error;
}

int copy_to_new_file(const std::string& source, const std::string& destination, Dialogs& dialogs) {
    const int error = copy_quietly(source, destination, false);
    if (error)
        show_system_error(dialogs, error);
    return error;
}

bool verify_copy(const std::string& source, const std::string& copy) {
    if (!path_usable(source) || !path_usable(copy))
        return false;
    const UniqueFd original(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const UniqueFd written(::open(copy.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat a;
    struct stat b;
    if (!original.valid() || !written.valid() || ::fstat(original.get(), &a) != 0 ||
        ::fstat(written.get(), &b) != 0 || !S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) ||
        a.st_size != b.st_size)
        return false;
    // Once the copy is on disk its cached pages can go, so the comparison reads the disk.
    if (::fsync(written.get()) != 0)
        return false;
    ::posix_fadvise(written.get(), 0, 0, POSIX_FADV_DONTNEED);
    return same_contents(original.get(), written.get());
}

void read_ahead(const std::string& path) {
    off_t size = 0;
    const UniqueFd fd = open_regular_file(path, size);
    if (fd.valid())
        ::posix_fadvise(fd.get(), 0, std::min<off_t>(size, READ_AHEAD_LIMIT), POSIX_FADV_WILLNEED);
}

void set_copy_fault_after(int64_t bytes) {
    copy_fault_after = bytes;
}

} // namespace orvix
