// Raw file I/O shared by every module that writes files: descriptor ownership, complete
// reads and writes, and a replacement file that takes its final name only when complete.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace orvix {

struct FileStatus;

// The system's calls end a path at its first NUL byte, so "/card\0x" would name "/card":
// a path holding one names nothing, and no routine hands it to the system.
inline bool path_usable(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

// Owns a file descriptor; closed on every path.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports the error close gives (some file systems report late write
    // failures only there); 0 when it went well.
    int close_checked();
    void reset();
    // Gives the descriptor up to the caller, who closes it from now on.
    int release();

private:
    int m_fd = -1;
};

// Writes every byte, retrying interrupted and short writes; 0 or the errno.
int write_all(int fd, const char* data, size_t size);
// Reads until size bytes arrived or the file ended; the count, or -1 with errno set.
ssize_t read_full(int fd, char* data, size_t size);
// The same from an offset, leaving the file position alone.
ssize_t pread_full(int fd, void* data, size_t size, int64_t offset);

// Reads the whole of a regular file into out. The open never waits (a fifo would block it
// for ever), a folder gives EISDIR, anything else that is not a regular file EINVAL (a
// device such as /dev/zero never ends), and a file beyond max_bytes EFBIG, even one that
// grows while it is read. 0 or the errno; out is empty after a failure.
int read_regular_file(const std::string& path, std::string& out, off_t max_bytes);

// Opens a regular file for reading without waiting (a fifo named like a picture cannot
// stall the open) and gives its size; an invalid descriptor for anything else.
UniqueFd open_regular_file(const std::string& path, off_t& size);
// The same with the status of the very file opened, with no second look-up by name that a
// replacement could slip between.
UniqueFd open_regular_file(const std::string& path, FileStatus& status);

// The same for a file named within a folder held open by open_folder_handle, without
// walking the folder's path again; `name` is a single entry of it.
UniqueFd open_regular_file_at(int folder, const std::string& name, FileStatus& status);

// A handle on a folder ("" is the current one), only for naming the entries in it.
UniqueFd open_folder_handle(const std::string& folder);

// Opens the file for reading unless its last part is a symbolic link.
UniqueFd open_without_following(const std::string& path);

// A new file in the folder of `destination`, put in its place by rename only through
// commit(); removed on every other path. So a failed or interrupted write never leaves a
// partial file under the final name and never harms the file it was to replace.
// It takes the permissions of the file it replaces (a new file: 0666 less the umask), and
// a destination that is a symbolic link keeps its link: the file it names is replaced.
// A given mode is taken instead (a cache private to the user wants 0600 whatever it replaces).
class ReplacementFile {
public:
    explicit ReplacementFile(const std::string& destination,
                             std::optional<mode_t> mode = std::nullopt);
    // Whether a file stood under the destination's name when this one was made.
    bool replaces_existing() const { return m_replaces_existing; }
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // 0, or the errno that kept the temporary file from being made.
    int error() const { return m_error; }
    int fd() const { return m_fd.get(); }

    // Closes the file and renames it over the destination. With durable, the data and then
    // the rename are flushed to disk first. 0 or the errno of the step that failed.
    int commit(bool durable);
    // As commit, but never over a file: when something took the destination's name since
    // it was chosen, EEXIST, and what took it is left as it is.
    int commit_as_new(bool durable);

private:
    int finish(bool durable, bool may_replace);

    std::string m_destination;
    std::string m_path;
    UniqueFd m_fd;
    int m_error = 0;
    bool m_replaces_existing = false;
};

} // namespace orvix
