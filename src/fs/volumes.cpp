// Volumes in place of drives: the mount table says which volume holds a path, sysfs says
// whether its disk is removable, udev's by-label links give its label, statvfs its room.
#include "fs/mounts.h"

#include "fs/fs.h"
#include "fs/posix_handles.h"
#include "text/text.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace orvix {

namespace detail {

namespace {

// Space-separated names, with a space at each end so every name is found whole.
constexpr std::string_view PSEUDO_TYPES =
    " autofs binfmt_misc bpf cgroup cgroup2 configfs debugfs devpts devtmpfs efivarfs"
    " fuse.gvfsd-fuse fuse.portal fusectl hugetlbfs mqueue nsfs proc pstore ramfs rpc_pipefs"
    " securityfs selinuxfs sysfs tmpfs tracefs ";
constexpr std::string_view REMOTE_TYPES =
    " 9p afs ceph cifs davfs fuse.sshfs ncpfs nfs nfs4 smb3 smbfs sshfs ";

bool one_of(std::string_view names, const std::string& name) {
    return !name.empty() && name.find(' ') == std::string::npos &&
           names.find(" " + name + " ") != std::string_view::npos;
}

bool is_octal(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes space, tab, newline and backslash in mountinfo as "\ooo".
std::string decode_octal(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && is_octal(field[i + 1]) &&
            is_octal(field[i + 2]) && is_octal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::optional<Mount> parse_mount_line(const std::string& line) {
    const std::vector<std::string> fields = split(line, " ");
    // id, parent, major:minor, root, mount point, options, optional fields..., "-", type, source
    size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-")
        ++dash;
    if (dash + 2 >= fields.size())
        return std::nullopt;
    Mount mount;
    if (std::sscanf(fields[0].c_str(), "%u", &mount.id) != 1 ||
        std::sscanf(fields[2].c_str(), "%u:%u", &mount.major, &mount.minor) != 2)
        return std::nullopt;
    mount.mount_point = decode_octal(fields[4]);
    mount.fs_type = fields[dash + 1];
    mount.source = decode_octal(fields[dash + 2]);
    return mount;
}

} // namespace

std::vector<Mount> parse_mountinfo(std::string_view text) {
    std::vector<Mount> mounts;
    for (const std::string& line : split(text, "\n")) {
        if (std::optional<Mount> mount = parse_mount_line(line))
            mounts.push_back(std::move(*mount));
    }
    return mounts;
}

const Mount* mount_holding(const std::vector<Mount>& mounts, const std::string& path) {
    const Mount* best = nullptr;
    for (const Mount& mount : mounts) {
        const std::string& point = mount.mount_point;
        const bool holds =
            point == "/" || path == point || (path.starts_with(point) && path[point.size()] == SEP);
        if (holds && path.starts_with(SEP) && (!best || point.size() >= best->mount_point.size()))
            best = &mount;
    }
    return best;
}

bool is_pseudo_file_system(const std::string& fs_type) {
    return one_of(PSEUDO_TYPES, fs_type);
}

bool is_remote_file_system(const std::string& fs_type) {
    return one_of(REMOTE_TYPES, fs_type);
}

bool is_floppy_device(const std::string& source) {
    const std::string name = file_name(source, true);
    return source.starts_with("/dev/") && name.size() > 2 && name.starts_with("fd") &&
           name[2] >= '0' && name[2] <= '9';
}

std::string volume_type_name(const Mount& mount, bool removable) {
    const std::string& type = mount.fs_type;
    if (is_remote_file_system(type))
        return "Remote Drive";
    if (type == "iso9660" || type == "udf")
        return "CD-ROM Drive";
    if (type == "tmpfs" || type == "ramfs")
        return "";
    if (is_pseudo_file_system(type))
        return "Unknown";
    return removable ? "Removable Drive" : "Fixed Drive";
}

std::string decode_label(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const bool escape = i + 3 < name.size() && name[i] == '\\' && name[i + 1] == 'x';
        const int high = escape ? hex_digit(name[i + 2]) : -1;
        const int low = high >= 0 ? hex_digit(name[i + 3]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::string drive_list(const std::vector<Mount>& mounts, bool with_labels, bool skip_floppy_label,
                       const std::function<std::string(const Mount&)>& read_label) {
    std::vector<std::string> lines;
    for (const Mount& mount : mounts) {
        if (is_pseudo_file_system(mount.fs_type))
            continue;
        std::string line = mount.mount_point;
        if (with_labels) {
            line += ',';
            if (!(skip_floppy_label && is_floppy_device(mount.source)))
                line += read_label(mount);
        }
        lines.push_back(std::move(line));
    }
    return join(lines, std::string(1, CR));
}

} // namespace detail

namespace {

using detail::Mount;

std::string read_small_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Mount> current_mounts(const std::string& mount_table = SystemTables().mount_table) {
    return detail::parse_mountinfo(read_small_file(mount_table));
}

std::string real_path(const std::string& path) {
    char resolved[PATH_MAX];
    return !path.empty() && ::realpath(path.c_str(), resolved) ? std::string(resolved)
                                                               : std::string();
}

// The block device behind the mount: the source node's number where the source is a
// device (btrfs reports an anonymous number in the table), else the table's number.
std::optional<dev_t> volume_device(const Mount& mount) {
    struct stat st;
    if (mount.source.starts_with("/dev/") && ::stat(mount.source.c_str(), &st) == 0 &&
        S_ISBLK(st.st_mode))
        return st.st_rdev;
    if (mount.major != 0)
        return makedev(mount.major, mount.minor);
    return std::nullopt;
}

// The sysfs folder of the whole disk: a partition's folder sits inside its disk's.
std::string disk_sysfs_folder(dev_t device, const std::string& sysfs) {
    const std::string node = real_path(sysfs + "dev/block/" + std::to_string(major(device)) + ":" +
                                       std::to_string(minor(device)));
    if (node.empty())
        return {};
    struct stat st;
    return ::stat((node + "/partition").c_str(), &st) == 0 ? parent_folder(node, "/")
                                                           : add_trailing_separator(node);
}

// Card readers and sticks set the removable flag; an SD card in a built-in reader does not,
// but its mmc device says "SD" (built-in eMMC storage says "MMC").
bool is_removable(const Mount& mount, const std::string& sysfs) {
    const std::optional<dev_t> device = volume_device(mount);
    if (!device)
        return false;
    const std::string disk = disk_sysfs_folder(*device, sysfs);
    return !disk.empty() && (read_small_file(disk + "removable").starts_with('1') ||
                             read_small_file(disk + "device/type").starts_with("SD"));
}

using LabelTable = std::vector<std::pair<dev_t, std::string>>;

LabelTable read_labels() {
    static const std::string folder = "/dev/disk/by-label/";
    LabelTable labels;
    const detail::DirHandle dir = detail::open_dir(folder);
    if (!dir)
        return labels;
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat st;
        if (!detail::is_dot_or_dotdot(entry->d_name) &&
            ::stat((folder + entry->d_name).c_str(), &st) == 0 && S_ISBLK(st.st_mode))
            labels.emplace_back(st.st_rdev, detail::decode_label(entry->d_name));
    }
    return labels;
}

std::string label_of(const Mount& mount, const LabelTable& labels) {
    const std::optional<dev_t> device = volume_device(mount);
    if (!device)
        return {};
    for (const auto& [labelled, label] : labels) {
        if (labelled == *device)
            return label;
    }
    return {};
}

const Mount* find_mount(const std::vector<Mount>& mounts, const std::string& path) {
    const std::string resolved = real_path(path);
    return resolved.empty() ? nullptr : detail::mount_holding(mounts, resolved);
}

// The name of the first link of folder that leads where the mount's source does; "" when
// none does.
std::string link_name_to(const std::string& folder, const Mount& mount) {
    const std::string source = real_path(mount.source);
    const detail::DirHandle dir = detail::open_dir(folder);
    if (source.empty() || !dir)
        return {};
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!detail::is_dot_or_dotdot(entry->d_name) && real_path(folder + entry->d_name) == source)
            return entry->d_name;
    }
    return {};
}

} // namespace

CardIdentity card_identity(const std::string& folder, const SystemTables& tables) {
    const std::string resolved = orvix::real_path(folder);
    if (resolved.empty())
        return {};
    const std::vector<Mount> mounts = current_mounts(tables.mount_table);
    if (const Mount* mount = detail::mount_holding(mounts, resolved)) {
        const std::string root = add_trailing_separator(mount->mount_point);
        const std::string uuid = link_name_to(tables.disks + "by-uuid/", *mount);
        if (!uuid.empty())
            return {"uuid:" + uuid, root};
        const std::string label = link_name_to(tables.disks + "by-label/", *mount);
        if (!label.empty())
            return {"label:" + detail::decode_label(label), root};
    }
    return {"folder:" + resolved, add_trailing_separator(resolved)};
}

std::string drive_type(const std::string& path) {
    const std::vector<Mount> mounts = current_mounts();
    const Mount* mount = find_mount(mounts, path);
    return mount ? detail::volume_type_name(*mount, is_removable(*mount, SystemTables().sysfs))
                 : "Unknown";
}

std::string volume_label(const std::string& path) {
    const std::vector<Mount> mounts = current_mounts();
    const Mount* mount = find_mount(mounts, path);
    return mount ? label_of(*mount, read_labels()) : std::string();
}

std::string list_drives(bool with_labels, bool skip_floppy_label) {
    const LabelTable labels = with_labels ? read_labels() : LabelTable();
    return detail::drive_list(current_mounts(), with_labels, skip_floppy_label,
                              [&labels](const Mount& mount) { return label_of(mount, labels); });
}

std::vector<Volume> list_volumes(const SystemTables& tables) {
    std::vector<Volume> volumes;
    for (const Mount& mount : current_mounts(tables.mount_table)) {
        if (!detail::is_pseudo_file_system(mount.fs_type))
            volumes.push_back({mount.id, mount.mount_point,
                               detail::volume_type_name(mount, is_removable(mount, tables.sysfs))});
    }
    return volumes;
}

double free_space(const std::string& path) {
    struct statvfs info;
    if (path.empty() || ::statvfs(path.c_str(), &info) != 0)
        return 0;
    // Blocks the file system keeps for root are free but not writable by anyone else;
    // counting them would promise room that a user's transfer cannot have.
    const auto blocks = ::geteuid() == 0 ? info.f_bfree : info.f_bavail;
    return static_cast<double>(blocks) * static_cast<double>(info.f_frsize);
}

} // namespace orvix
