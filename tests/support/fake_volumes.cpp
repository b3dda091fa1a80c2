#include "support/fake_volumes.h"

#include <algorithm>
#include <filesystem>

namespace orvix::test {

namespace {

// One disk of each kind, with its block-device number and its sysfs folder.
struct DiskInfo {
    unsigned major;
    const char* name;
};

DiskInfo info(Disk disk) {
    switch (disk) {
    case Disk::Fixed:
        return {8, "sda"};
    case Disk::Removable:
        return {9, "sdb"};
    case Disk::SdCard:
        return {179, "mmcblk0"};
    }
    return {0, ""};
}

} // namespace

FakeVolumes::FakeVolumes() {
    m_tables.mount_table = m_dir.path() + "mountinfo";
    m_tables.sysfs = m_dir.folder("sys");
    for (const Disk disk : {Disk::Fixed, Disk::Removable, Disk::SdCard}) {
        const std::string folder = m_tables.sysfs + "devices/" + info(disk).name + "/";
        write_file(folder + "removable", disk == Disk::Removable ? "1\n" : "0\n");
        if (disk == Disk::SdCard)
            write_file(folder + "device/type", "SD\n");
    }
    m_dir.folder("sys/dev/block");
    m_tables.disks = m_dir.folder("disk");
    m_dir.folder("dev");
    // The root of the machine, never a card.
    m_lines.push_back({1, 0, Disk::Fixed, "/", "ext4"});
    write_table();
}

unsigned FakeVolumes::mount(const std::string& mount_point, Disk disk, const std::string& fs_type) {
    std::filesystem::create_directories(mount_point);
    const unsigned id = m_next_id++;
    const unsigned minor = id; // a partition of its own for every mount
    const std::string name = info(disk).name + std::string("p") + std::to_string(minor);
    const std::string partition = "devices/" + std::string(info(disk).name) + "/" + name;
    write_file(m_tables.sysfs + partition + "/partition", std::to_string(minor) + "\n");
    std::filesystem::create_symlink("../../" + partition, m_tables.sysfs + "dev/block/" +
                                                              std::to_string(info(disk).major) +
                                                              ":" + std::to_string(minor));
    std::string point = mount_point;
    if (point.size() > 1 && point.back() == '/')
        point.pop_back();
    m_lines.push_back({id, minor, disk, point, fs_type});
    write_file(source_of(id), "");
    write_table();
    return id;
}

void FakeVolumes::name_volume(const std::string& mount_point, const std::string& uuid,
                              const std::string& label_link) {
    std::string point = mount_point;
    if (point.size() > 1 && point.back() == '/')
        point.pop_back();
    const auto line = std::find_if(m_lines.begin(), m_lines.end(),
                                   [&point](const Line& l) { return l.mount_point == point; });
    if (line == m_lines.end())
        return;
    for (const auto& [kind, name] : {std::pair{"by-uuid/", uuid}, {"by-label/", label_link}}) {
        if (name.empty())
            continue;
        // udev moves the link to the volume mounted last.
        const std::string link = m_dir.folder(std::string("disk/") + kind) + name;
        std::filesystem::remove(link);
        std::filesystem::create_symlink(source_of(line->id), link);
    }
}

std::string FakeVolumes::source_of(unsigned id) const {
    return m_dir.path() + "dev/orvix-test-" + std::to_string(id);
}

void FakeVolumes::unmount(const std::string& mount_point) {
    std::string point = mount_point;
    if (point.size() > 1 && point.back() == '/')
        point.pop_back();
    std::erase_if(m_lines, [&point](const Line& line) { return line.mount_point == point; });
    write_table();
}

void FakeVolumes::write_table() const {
    std::string text = "20 1 0:20 / /proc rw,relatime - proc proc rw\n";
    for (const Line& line : m_lines) {
        const unsigned major = line.id == 1 ? 254 : info(line.disk).major;
        // The sources are plain files, no device nodes, so the numbers of the table are used.
        text += std::to_string(line.id) + " 1 " + std::to_string(major) + ":" +
                std::to_string(line.minor) + " / " + line.mount_point + " rw shared:1 - " +
                line.fs_type + " " + source_of(line.id) + " rw\n";
    }
    write_file(m_tables.mount_table, text);
}

} // namespace orvix::test
