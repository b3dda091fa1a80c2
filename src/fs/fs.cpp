// File records, existence tests, paths, the program's folder, temporary names, deletion.
#include "fs/fs.h"

#include "fs/posix_handles.h"
#include "text/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {

namespace {

constexpr std::string_view WILDCARD_ALL = "*.*";

bool stat_path(const std::string& path, struct stat& st) {
    return path_usable(path) && ::stat(path.c_str(), &st) == 0;
}

// Any entry at all, links included (dangling ones too): a name that cannot be taken.
// A name the system cannot be given counts as taken.
bool name_taken(const std::string& path) {
    struct stat st;
    return !path_usable(path) || ::lstat(path.c_str(), &st) == 0;
}

std::string time_text(const struct statx_timestamp& ts) {
    const time_t seconds = static_cast<time_t>(ts.tv_sec);
    struct tm fields {};
    if (!::localtime_r(&seconds, &fields))
        return std::string(14, '0');
    LocalTime t;
    t.year = fields.tm_year + 1900;
    t.month = fields.tm_mon + 1;
    t.day = fields.tm_mday;
    t.hour = fields.tm_hour;
    t.minute = fields.tm_min;
    t.second = fields.tm_sec;
    return date_text(t);
}

std::string attribute_letters(const std::string& path, const struct statx& sx) {
    const mode_t mode = sx.stx_mode;
    const bool regular = S_ISREG(mode);
    std::string letters;
    if (file_name(path, true).starts_with('.'))
        letters += 'H';
    if (!regular && !S_ISDIR(mode))
        letters += 'S';
    if ((mode & S_IWUSR) == 0)
        letters += 'R';
    if (regular)
        letters += 'A';
    if ((sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
        (sx.stx_attributes & STATX_ATTR_COMPRESSED))
        letters += 'C';
    return letters;
}

std::string four_digits(int counter) {
    std::string digits = std::to_string(counter);
    digits.insert(0, 4 - digits.size(), '0');
    return digits;
}

std::string executable_path() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

int delete_one(const std::string& path, bool clear_readonly) {
    if (!path_usable(path))
        return ENOENT;
    struct stat st;
    if (clear_readonly && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        (st.st_mode & S_IWUSR) == 0)
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

// Every entry of the folder but its subfolders; a link is removed, never what it names.
// The errno of the first entry that stayed, or 0.
int delete_all_files(const std::string& folder, bool clear_readonly) {
    const detail::DirHandle dir = detail::open_dir(folder);
    if (!dir)
        return path_usable(folder) ? errno : ENOENT;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (detail::is_dot_or_dotdot(entry->d_name))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode))
            names.emplace_back(entry->d_name);
    }
    // Deleting while reading could make readdir skip or repeat entries.
    int first_error = 0;
    for (const std::string& name : names) {
        const int error = delete_one(folder + name, clear_readonly);
        if (first_error == 0)
            first_error = error;
    }
    return first_error;
}

} // namespace

// --- Listing and file information ---------------------------------------------------

std::string file_info(const std::string& path) {
    struct statx sx {};
    if (!path_usable(path) ||
        ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return {};
    const bool has_birth = (sx.stx_mask & STATX_BTIME) && sx.stx_btime.tv_sec != 0;
    return join({std::to_string(sx.stx_size), time_text(has_birth ? sx.stx_btime : sx.stx_mtime),
                 time_text(sx.stx_mtime), time_text(sx.stx_atime), attribute_letters(path, sx)},
                std::string(1, CR));
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat_path(path, st) && S_ISREG(st.st_mode);
}

bool folder_exists(const std::string& path) {
    struct stat st;
    return stat_path(path, st) && S_ISDIR(st.st_mode);
}

int64_t file_length(const std::string& path) {
    struct stat st;
    return stat_path(path, st) && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

namespace {

FileStatus status_of(const struct stat& st) {
    FileStatus status;
    status.is_folder = S_ISDIR(st.st_mode);
    status.is_regular = S_ISREG(st.st_mode);
    status.owner_may_write = (st.st_mode & S_IWUSR) != 0;
    // The user a process runs as does not change under it; asked once, not for every file.
    static const uid_t me = ::getuid();
    status.owned_by_me = st.st_uid == me;
    status.sticky = (st.st_mode & S_ISVTX) != 0;
    status.size = st.st_size;
    status.mtime_sec = st.st_mtim.tv_sec;
    status.mtime_nsec = st.st_mtim.tv_nsec;
    status.device = st.st_dev;
    status.inode = st.st_ino;
    return status;
}

} // namespace

std::optional<FileStatus> file_status(const std::string& path) {
    struct stat st {};
    if (!stat_path(path, st))
        return std::nullopt;
    return status_of(st);
}

std::optional<FileStatus> file_status_at(int folder, const std::string& name) {
    struct stat st {};
    if (!path_usable(name) || ::fstatat(folder, name.c_str(), &st, 0) != 0)
        return std::nullopt;
    return status_of(st);
}

std::optional<FileStatus> descriptor_status(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return status_of(st);
}

std::optional<FileStatus> link_status(const std::string& path) {
    struct stat st {};
    if (!path_usable(path) || ::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return status_of(st);
}

bool path_exists(const std::string& path) {
    return file_status(path).has_value();
}

bool nothing_at(const std::string& path) {
    struct stat st;
    return path_usable(path) && ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

bool read_only(const std::string& path) {
    const std::optional<FileStatus> status = file_status(path);
    return status && !status->owner_may_write;
}

bool same_file(const std::string& a, const std::string& b) {
    const std::optional<FileStatus> first = file_status(a);
    const std::optional<FileStatus> second = file_status(b);
    return first && second && first->device == second->device && first->inode == second->inode;
}

std::string real_path(const std::string& path) {
    if (!path_usable(path))
        return {};
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool may_create_in(const std::string& folder) {
    return path_usable(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::vector<std::string>> folder_entry_names(const std::string& folder,
                                                           std::string_view prefix) {
    const detail::DirHandle dir = detail::open_dir(folder);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get()))
        if (!detail::is_dot_or_dotdot(entry->d_name) &&
            std::string_view(entry->d_name).starts_with(prefix))
            names.emplace_back(entry->d_name);
    return names;
}

// --- Paths -----------------------------------------------------------------------------

std::string add_trailing_separator(const std::string& path) {
    return path.ends_with(SEP) ? path : path + SEP;
}

std::string file_name(const std::string& path, bool keep_extension) {
    const size_t slash = path.rfind(SEP);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (!keep_extension && dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string file_extension(const std::string& path) {
    const std::string name = file_name(path, true);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : to_lower(name.substr(dot + 1));
}

std::string parent_folder(const std::string& path, const std::string& separator) {
    const std::string& sep = separator.empty() ? std::string(1, SEP) : separator;
    const size_t last = path.rfind(sep);
    return last == std::string::npos ? std::string() : path.substr(0, last + sep.size());
}

namespace {

int make_path_with_mode(const std::string& path, mode_t mode) {
    if (!path_usable(path))
        return ENOENT;
    const std::string full = add_trailing_separator(path);
    // The root of an absolute path is never made, as a drive never was.
    for (size_t end = full.find(SEP, full.starts_with(SEP) ? 1 : 0); end != std::string::npos;
         end = full.find(SEP, end + 1)) {
        const std::string level = full.substr(0, end + 1);
        if (level == "/" || folder_exists(level))
            continue;
        if (::mkdir(level.c_str(), mode) != 0) {
            const int error = errno;
            if (!(error == EEXIST && folder_exists(level)))
                return error;
        }
    }
    return 0;
}

} // namespace

int make_path(const std::string& path) {
    return make_path_with_mode(path, 0777);
}

bool make_private_path(const std::string& path) {
    return make_path_with_mode(path, 0700) == 0 && folder_exists(path);
}

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home && *home == SEP)
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || *found->pw_dir != SEP)
        return {};
    return found->pw_dir;
}

namespace {

struct XdgRule {
    const char* variable;
    const char* fallback;
};

XdgRule xdg_rule(XdgBase base) {
    switch (base) {
    case XdgBase::Data:
        return {"XDG_DATA_HOME", ".local/share"};
    case XdgBase::Config:
        return {"XDG_CONFIG_HOME", ".config"};
    case XdgBase::Cache:
        break;
    }
    return {"XDG_CACHE_HOME", ".cache"};
}

} // namespace

std::string xdg_base_folder(XdgBase base, const std::string& value, const std::string& home) {
    std::string folder;
    if (value.starts_with(SEP))
        folder = value;
    else if (home.starts_with(SEP))
        folder = add_trailing_separator(home) + xdg_rule(base).fallback;
    else
        return {};
    return add_trailing_separator(std::filesystem::path(folder).lexically_normal().string());
}

std::string xdg_base_folder(XdgBase base) {
    const char* value = std::getenv(xdg_rule(base).variable);
    return xdg_base_folder(base, value ? value : "", home_folder());
}

std::string program_folder() {
    const std::string exe = executable_path();
    return exe.empty() ? std::string() : parent_folder(exe, "/");
}

std::string program_name() {
    return file_name(executable_path(), true);
}

// --- Temporary files -------------------------------------------------------------------

std::string temp_folder() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir && folder_exists(tmpdir))
        return add_trailing_separator(tmpdir);
    if (folder_exists("/tmp"))
        return "/tmp/";
    return program_folder();
}

std::string make_private_temp_folder(const std::string& prefix) {
    std::string name = prefix.empty() ? std::string("orvix") : prefix;
    for (char& c : name) {
        if (c == SEP)
            c = '_';
    }
    return make_private_folder(temp_folder(), name + "-");
}

std::string make_private_folder(const std::string& parent, const std::string& prefix) {
    std::string pattern = add_trailing_separator(parent) + prefix + "XXXXXX";
    // mkdtemp makes the folder with mode 0700 under a name nobody could have planted.
    if (!path_usable(pattern) || !::mkdtemp(pattern.data()))
        return {};
    return pattern + SEP;
}

std::string temp_file_name(const std::string& prefix, const std::string& extension,
                           std::string& folder) {
    if (folder.empty())
        folder = temp_folder();
    folder = add_trailing_separator(folder);
    const std::string stem = folder + "~" + (prefix.empty() ? program_name() : prefix).substr(0, 3);
    for (int counter = 1; counter <= 9999; ++counter) {
        std::string candidate = stem + four_digits(counter) + "." + extension;
        if (!name_taken(candidate))
            return candidate;
    }
    return {};
}

// --- Delete ----------------------------------------------------------------------------

int delete_file(const std::string& path, bool must_exist, bool clear_readonly) {
    if (path.empty() || path == WILDCARD_ALL)
        return 0;
    if (file_name(path, true) == WILDCARD_ALL) {
        // Each file found exists, so must_exist holds for all of them.
        return delete_all_files(path.substr(0, path.size() - WILDCARD_ALL.size()), clear_readonly);
    }
    if (must_exist && !file_exists(path))
        return 0;
    return delete_one(path, clear_readonly);
}

void clear_folder(const std::string& folder, bool remove_folder, bool must_exist) {
    if (folder.size() <= 1 || (must_exist && !folder_exists(folder)))
        return;
    const std::string dir = add_trailing_separator(folder);
    delete_file(dir + std::string(WILDCARD_ALL), true, false);
    if (remove_folder)
        ::rmdir(dir.c_str());
}

} // namespace orvix
