// The mount table as the volume services read it. Internal to the fs module; declared
// here so the parsing and classifying rules can be tested without special hardware.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix::detail {

struct Mount {
    unsigned id = 0; // the kernel's number of the mount; a volume mounted again gets a new one
    unsigned major = 0;
    unsigned minor = 0;
    std::string mount_point;
    std::string fs_type;
    std::string source;
};

// The lines of /proc/self/mountinfo; malformed lines are skipped. Octal escapes such as
// "\040" (a space) in the mount point and source are decoded.
std::vector<Mount> parse_mountinfo(std::string_view text);

// The mount whose mount point is the longest whole-folder prefix of the absolute path;
// nullptr when there is none. A later line wins a tie, as it hides the earlier mount.
const Mount* mount_holding(const std::vector<Mount>& mounts, const std::string& path);

// Kernel and desktop plumbing (proc, sysfs, cgroup, devpts, tmpfs, ...) rather than a
// volume a user keeps files on.
bool is_pseudo_file_system(const std::string& fs_type);
bool is_remote_file_system(const std::string& fs_type);
// A floppy drive's device, such as /dev/fd0.
bool is_floppy_device(const std::string& source);

// "Remote Drive", "CD-ROM Drive", "" (RAM disk), "Unknown" (kernel plumbing), or, for
// everything else, "Removable Drive" or "Fixed Drive" as `removable` says.
std::string volume_type_name(const Mount& mount, bool removable);

// One line a mounted volume (kernel plumbing skipped), joined by carriage returns: the
// mount point, and with labels "," and what read_label gives. skip_floppy_label keeps
// read_label away from a floppy drive, whose line ends with the bare ",".
std::string drive_list(const std::vector<Mount>& mounts, bool with_labels, bool skip_floppy_label,
                       const std::function<std::string(const Mount&)>& read_label);

// A name from /dev/disk/by-label, where udev writes unsafe bytes as "\xNN".
std::string decode_label(std::string_view name);

} // namespace orvix::detail
