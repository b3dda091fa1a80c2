// A mount table and a sysfs tree of a test's own, for the volume services: disks are made
// removable, fixed or SD cards at will, and volumes are mounted on ordinary test folders.
#pragma once

#include "fs/fs.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace orvix::test {

enum class Disk { Fixed, Removable, SdCard };

class FakeVolumes {
public:
    FakeVolumes();

    // Where the volume services should read: the fake mount table and sysfs tree.
    const SystemTables& tables() const { return m_tables; }

    // Mounts a new volume of the given kind on mount_point (made when missing) under a
    // fresh mount number, and writes the table. Returns the mount number.
    unsigned mount(const std::string& mount_point, Disk disk, const std::string& fs_type = "vfat");
    // Gives the volume mounted on mount_point udev's links to its source: by-uuid/uuid and
    // by-label/label_link (as udev escapes it); an empty name makes no link.
    void name_volume(const std::string& mount_point, const std::string& uuid,
                     const std::string& label_link);
    // Removes the volume mounted on mount_point from the table.
    void unmount(const std::string& mount_point);

private:
    struct Line {
        unsigned id;
        unsigned minor;
        Disk disk;
        std::string mount_point;
        std::string fs_type;
    };
    void write_table() const;
    std::string source_of(unsigned id) const;

    TempDir m_dir;
    SystemTables m_tables;
    std::vector<Line> m_lines;
    unsigned m_next_id = 100;
};

} // namespace orvix::test
