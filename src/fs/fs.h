// File-system services: listing, file records, paths, volumes, temporary files,
// copying and deleting. Paths are std::string holding whatever bytes the file
// system gives (UTF-8 or not); the folder separator is '/', and a path holding
// "://" is a URL that also uses '/'. Nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

class Dialogs;

inline constexpr char SEP = '/';

// --- Listing and file information ---------------------------------------------------

// Appends the full path (folder + name) of every entry of folder that passes the
// filter, then, when recurse is true, does the same in each subfolder, depth first:
// a folder's own entries always come before any of its subfolders' entries.
// Filter (compared in lower case): "" or "*.*" every file; "folders" subfolders only
// (paths without trailing separator); anything else a file whose non-empty lower-case
// extension occurs anywhere in the filter text ("jpg,tif,bmp" takes jpg, jp and g).
// max_count > 0 stops a folder's scan once the result holds max_count names or more;
// its subfolders are then not visited (a later branch can still add one name).
// Entries are read with the system's own directory calls, so names that are not
// valid UTF-8 are listed like any other. An unreadable or missing folder adds nothing.
// A symbolic link counts as what it names (a dangling one is skipped), but a linked
// folder is never entered, and a folder that the scan is already inside (the same device
// and inode, as a bind mount can make) is never entered again, so no tree can make the
// scan recurse without end. Devices, fifos and sockets are no files here (a fifo would
// block whoever reads it). A path holding a NUL byte names nothing, here and in every
// routine of this module.
void list_files(const std::string& folder, std::vector<std::string>& result,
                const std::string& filter, bool recurse, const std::string& separator = "",
                int max_count = 0);
// Text form: paths joined by separator (a carriage return when separator is empty),
// no separator after the last path.
void list_files(const std::string& folder, std::string& result, const std::string& filter,
                bool recurse, const std::string& separator = "", int max_count = 0);

// Five lines joined by carriage returns: size in bytes; creation, modification and
// access time as YYYYMMDDHHMMSS local time; attribute letters. Creation is the birth
// time (statx) where the file system keeps one, else the modification time.
// Attribute letters, in the order H S R A T N C:
//   H  the name starts with '.' (Linux has no hidden attribute; dot-files are hidden)
//   S  not a regular file or folder (device, socket, fifo)
//   R  the owner has no write permission
//   A  a regular file (Windows sets "archive" on every file written)
//   T  never (Linux has no temporary attribute)
//   N  never (Windows gives "normal" only when no other letter applies; A always does)
//   C  the file system compresses the file (FS_COMPR_FL / statx compressed)
// The size line is the whole 64-bit size; a folder gets no A. Empty text for
// a path that cannot be read.
std::string file_info(const std::string& path);

// True for an existing regular file (dot-files included: they are ordinary files here).
bool file_exists(const std::string& path);
// True for an existing folder; false for an empty path or any error.
bool folder_exists(const std::string& path);
// Size in bytes; -1 when the file cannot be opened.
int64_t file_length(const std::string& path);

// What the system records of one entry.
struct FileStatus {
    bool is_folder = false;
    bool is_regular = false; // a regular file
    bool owner_may_write = false;
    bool owned_by_me = false; // its owner is the user this process runs as
    bool sticky = false;      // only an entry's owner may remove it from this folder
    int64_t size = 0;
    int64_t mtime_sec = 0;
    int64_t mtime_nsec = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

// A version of a file: the same entry (device and inode), size and modification time. A
// rewrite, in place or through a new file renamed over it, makes another.
struct FileVersion {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtime_sec = 0;
    int64_t mtime_nsec = 0;
    bool operator==(const FileVersion&) const = default;
};

inline FileVersion version_of(const FileStatus& status) {
    return {status.device, status.inode, status.size, status.mtime_sec, status.mtime_nsec};
}

// The entry the path names, a symbolic link followed; nullopt when nothing can be read there.
std::optional<FileStatus> file_status(const std::string& path);

// The entry named within a folder held open (open_folder_handle), a symbolic link followed.
std::optional<FileStatus> file_status_at(int folder, const std::string& name);

// The file an open descriptor stands for.
std::optional<FileStatus> descriptor_status(int fd);

// The entry itself, never followed: a symbolic link is neither a folder nor a regular file.
std::optional<FileStatus> link_status(const std::string& path);

// True when anything (file, folder, device, ...) stands at the path, a link followed.
bool path_exists(const std::string& path);

// True only when the system says that no entry at all, not even a dangling link, has this
// name (ENOENT); a path it refuses to look at (EACCES, ...) does not count as free.
bool nothing_at(const std::string& path);

// True for an existing entry whose owner has no write permission: one the user protected.
bool read_only(const std::string& path);

// True when both paths name one existing file (same device and inode, links followed).
bool same_file(const std::string& a, const std::string& b);

// The absolute path with every link, "." and ".." resolved; "" when the path does not exist.
std::string real_path(const std::string& path);

// True when this user may create entries in the folder. A read-only mount answers no
// even for root.
bool may_create_in(const std::string& folder);

// The names of every entry of the folder ("." and ".." left out), in the system's order;
// nullopt when the folder cannot be read. With a prefix, only the names that start with it.
std::optional<std::vector<std::string>> folder_entry_names(const std::string& folder,
                                                           std::string_view prefix = {});

// --- Paths -----------------------------------------------------------------------------

// Ends the path with '/' (also for URLs); an empty path becomes "/".
std::string add_trailing_separator(const std::string& path);
// Last '/'-separated part; without keep_extension everything from its last '.' is cut.
std::string file_name(const std::string& path, bool keep_extension);
// Lower-case extension without the dot, "" when the file name has no '.'.
std::string file_extension(const std::string& path);
// Every part but the last, each followed by separator ("/a/b.jpg" -> "/a/"); "" without one.
std::string parent_folder(const std::string& path, const std::string& separator = "/");
// Creates every missing level of the folder path (the root of an absolute path is never
// made). Returns 0, or the errno of the first level that could not be created (levels
// already made stay).
int make_path(const std::string& path);

// Like make_path, but each level it makes is private to the user (mode 0700). True when
// the folder exists afterwards.
bool make_private_path(const std::string& path);

// The folder of the running executable, with a trailing separator, and its file name.
// Tests that need another program folder pass their own to the routines that take one.
std::string program_folder();
std::string program_name();

// --- The user's folders -------------------------------------------------------------

// $HOME when it holds an absolute path, else the account's home folder; "" when neither.
std::string home_folder();

// The per-user base folders of the XDG base-directory rules.
enum class XdgBase {
    Data,   // $XDG_DATA_HOME, else ~/.local/share
    Config, // $XDG_CONFIG_HOME, else ~/.config
    Cache,  // $XDG_CACHE_HOME, else ~/.cache
};

// The rule: value when it is an absolute path (an empty or relative value is ignored),
// else home followed by the base's fallback; "" when home is not absolute either. The
// result is lexically normalised ("//" and "." folded) and ends with a separator.
std::string xdg_base_folder(XdgBase base, const std::string& value, const std::string& home);

// The same for this process: its environment variable and home_folder().
std::string xdg_base_folder(XdgBase base);

// --- Temporary files -------------------------------------------------------------------

// $TMPDIR, else /tmp, else the program's folder; with a trailing separator.
std::string temp_folder();
// A private folder (mode 0700, made by mkdtemp) under temp_folder() named after prefix,
// with a trailing separator; "" when it cannot be made. The caller owns and removes it.
std::string make_private_temp_folder(const std::string& prefix);

// A new private folder (mode 0700, made by mkdtemp) in parent, named prefix followed by six
// random characters, with a trailing separator; "" when it cannot be made.
std::string make_private_folder(const std::string& parent, const std::string& prefix);
// folder + "~" + first three characters of prefix + a four-digit counter + "." +
// extension, the first such name that nothing (file, folder or link) holds yet. An
// empty folder becomes
// temp_folder(); an empty prefix becomes the program's name. "" when all 9999 exist.
// The file is not created.
std::string temp_file_name(const std::string& prefix, const std::string& extension,
                           std::string& folder);

// --- Volumes (what drives were) -------------------------------------------------------

// The kind of the mounted volume that holds the path (the mount with the longest mount
// point that prefixes the path's real path, from /proc/self/mountinfo):
//   "Remote Drive"     nfs, cifs/smb3, sshfs and other network file systems
//   "CD-ROM Drive"     iso9660, udf
//   ""                 tmpfs, ramfs (what a RAM disk was)
//   "Removable Drive"  its disk has the sysfs removable flag, or is an SD card
//   "Fixed Drive"      any other disk volume (ext4, btrfs, vfat, overlay, ...)
//   "Unknown"          a missing path, or kernel plumbing such as proc or sysfs
std::string drive_type(const std::string& path);
// The label of the volume that holds the path, as udev publishes it in
// /dev/disk/by-label (escapes such as "\x20" decoded); "" when it has none or cannot
// be read. The volume itself is never read.
std::string volume_label(const std::string& path);
// One line a mounted volume, lines joined by carriage returns: the mount point, then,
// with labels, "," and its label. Kernel and desktop plumbing (proc, sysfs, cgroup,
// devpts, mqueue, tmpfs, ...) is no volume and is left out. skip_floppy_label leaves the
// label of a floppy drive (/dev/fd0, ...) unread ("mountpoint,").
std::string list_drives(bool with_labels, bool skip_floppy_label);
// Where the volume services read the system's tables; tests give fake ones.
struct SystemTables {
    std::string mount_table = "/proc/self/mountinfo";
    std::string sysfs = "/sys/";      // with a trailing separator
    std::string disks = "/dev/disk/"; // udev's by-uuid/ and by-label/ links
};
struct Volume {
    unsigned mount_id = 0; // the kernel's number of the mount: a card mounted again gets a new one
    std::string mount_point;
    std::string type; // as drive_type names it
};
// The mounted volumes of the mount table, kernel plumbing left out, in the table's order.
std::vector<Volume> list_volumes(const SystemTables& tables = {});
// The card a folder lies on, as a record of what was transferred from it knows it again
// after it was mounted elsewhere: id is "uuid:" and the volume's file-system UUID, else
// "label:" and its label (udev's links to the mount's source), and root is the volume's
// mount point. A folder on a volume with neither is a card of its own: id is "folder:"
// and its real path, which is the root too (device numbers change from one boot or reader
// to the next, so they name no card). Both are "" for a folder that does not exist.
// root ends with a separator.
struct CardIdentity {
    std::string id;
    std::string root;
};
CardIdentity card_identity(const std::string& folder, const SystemTables& tables = {});
// Free bytes of the volume that holds the path (not a per-user quota), less the blocks
// kept for root when the program does not run as root; 0 on failure.
double free_space(const std::string& path);

// --- Copy and delete -------------------------------------------------------------------

// Copies source to destination, overwriting it. The bytes go to a temporary name in
// the destination's folder which is renamed over the destination only when the copy is
// complete; the copy keeps the source's modification time and permission bits. Only a
// regular file is copied (EISDIR for a folder, EINVAL for a device or fifo). No fsync:
// verify_copy flushes. On failure the temporary file is removed, the "Error" box shows
// the system's description through dialogs, and the errno value is returned; 0 on success.
int copy_file(const std::string& source, const std::string& destination, Dialogs& dialogs);

// copy_file without the box: 0 or the errno.
int copy_file_quietly(const std::string& source, const std::string& destination);

// copy_file under a name chosen because it was free: a file that took the name while the
// bytes were copied is never replaced (EEXIST, the box, no copy).
int copy_to_new_file(const std::string& source, const std::string& destination, Dialogs& dialogs);

// Keeps the file as it stands under a second name that must be free: a hard link where the
// volume allows one (a file replaced by rename leaves the link holding the old one), else a
// complete copy with its modification time and permissions. 0 or the errno.
int keep_file(const std::string& source, const std::string& kept);

// Asks the system to begin reading a regular file (at most its first 64 MiB) into memory
// and returns at once, so the disk works on the next picture while this one is copied.
// Anything but a regular file is left alone (a fifo is never waited for).
void read_ahead(const std::string& path);

// Flushes copy to disk, drops it from the page cache and compares what the disk holds
// with source, byte for byte. True only when both read completely and are equal.
bool verify_copy(const std::string& source, const std::string& copy);

// Deletes the file. Nothing for "" or exactly "*.*"; a path whose last part is "*.*"
// deletes every entry of that folder but its subfolders (a link is removed, never what
// it names); other '*' are ordinary name characters. must_exist: only when file_exists
// (with the wildcard, every entry found exists). clear_readonly: give the owner write
// permission first. Nothing is shown; the result is 0 when everything asked for is gone
// (or there was nothing to do), else the errno of the first entry that could not be
// deleted (EROFS on a write-protected card, EACCES, ENOENT without must_exist, ...).
int delete_file(const std::string& path, bool must_exist, bool clear_readonly);

// Deletes every regular file of the folder and, with remove_folder, the folder itself
// when it is then empty. Nothing for a path of 0 or 1 characters, or when must_exist is
// true and the folder does not exist. Errors are swallowed.
void clear_folder(const std::string& folder, bool remove_folder, bool must_exist);

// --- Test hooks ------------------------------------------------------------------------

// Makes copy_file fail with ENOSPC once it has written `bytes` bytes of one copy and
// more remain, as a disk with that much room would (a file of at most `bytes` bytes
// still fits); a negative value turns the fault off.
void set_copy_fault_after(int64_t bytes);

} // namespace orvix
