#include "fs/fs.h"
#include "fs/mounts.h"
#include "support/fake_volumes.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using detail::Mount;
using test::SmallVolume;

const char* const MOUNTINFO =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "40 26 8:17 / /media/my\\040card rw,nosuid master:7 - vfat /dev/sdb1 rw,fmask=0022\n"
    "41 26 2:0 / /media/floppy rw - vfat /dev/fd0 rw\n"
    "42 26 0:50 / /net/share rw - nfs4 server:/export rw\n"
    "broken line\n"
    "43 40 0:51 / /media/my\\040card rw - tmpfs tmpfs rw\n";

TEST(Mounts, TheLongestWholeFolderPrefixHoldsAPath) {
    const std::vector<Mount> mounts = detail::parse_mountinfo(MOUNTINFO);
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[4].source, "server:/export");
    const std::pair<const char*, const char*> cases[] = {
        {"/media/floppy/DCIM/a.jpg", "/media/floppy"},
        {"/media/floppyx", "/"},
        {"/net/share", "/net/share"},
        {"/home/me", "/"},
    };
    for (const auto& [path, point] : cases) {
        const Mount* mount = detail::mount_holding(mounts, path);
        ASSERT_NE(mount, nullptr) << path;
        EXPECT_EQ(mount->mount_point, point) << path;
    }
    // Mounted over the card, the tmpfs hides it.
    EXPECT_EQ(detail::mount_holding(mounts, "/media/my card/x")->fs_type, "tmpfs");
    EXPECT_EQ(detail::mount_holding(mounts, "relative/path"), nullptr);
}

TEST(Mounts, TypeNamesFollowTheFileSystemAndTheRemovableFlag) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"nfs4", false, "Remote Drive"}, {"fuse.sshfs", false, "Remote Drive"},
        {"cifs", false, "Remote Drive"}, {"iso9660", true, "CD-ROM Drive"},
        {"udf", false, "CD-ROM Drive"},  {"tmpfs", false, ""},
        {"proc", false, "Unknown"},      {"vfat", true, "Removable Drive"},
        {"ext4", false, "Fixed Drive"},  {"btrfs", false, "Fixed Drive"},
    };
    for (const auto& [type, removable, name] : cases) {
        Mount mount;
        mount.fs_type = type;
        EXPECT_EQ(detail::volume_type_name(mount, removable), name) << type;
    }
}

TEST(Mounts, DriveListSkipsPlumbingAndNeverReadsAFloppysLabel) {
    const std::vector<Mount> mounts = detail::parse_mountinfo(MOUNTINFO);
    std::vector<std::string> asked;
    const auto label = [&asked](const Mount& mount) {
        asked.push_back(mount.source);
        return mount.source == "/dev/sdb1" ? std::string("CAMERA") : std::string();
    };
    EXPECT_EQ(detail::drive_list(mounts, true, true, label),
              "/,\r/media/my card,CAMERA\r/media/floppy,\r/net/share,");
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/dev/fd0"), 0);

    detail::drive_list(mounts, true, false, label);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/dev/fd0"), 1);
    EXPECT_EQ(detail::drive_list(mounts, false, true, label),
              "/\r/media/my card\r/media/floppy\r/net/share");
}

TEST(Mounts, FloppyDevicesAndLabelEscapes) {
    EXPECT_TRUE(detail::is_floppy_device("/dev/fd0"));
    EXPECT_FALSE(detail::is_floppy_device("/dev/fd"));
    EXPECT_FALSE(detail::is_floppy_device("/dev/sda1"));
    EXPECT_FALSE(detail::is_floppy_device("fd0"));
    EXPECT_EQ(detail::decode_label("MY\\x20CARD"), "MY CARD");
    EXPECT_EQ(detail::decode_label("A\\x2fB\\x2F"), "A/B/");
    EXPECT_EQ(detail::decode_label("bad\\xZZ"), "bad\\xZZ");
    EXPECT_EQ(detail::decode_label("cut\\x2"), "cut\\x2");
}

TEST(Volumes, ARamDiskAndAPathOnNoVolume) {
    test::TempDir dir;
    EXPECT_EQ(drive_type(dir.path() + "missing"), "Unknown");
    EXPECT_EQ(drive_type("/proc/self"), "Unknown");
    EXPECT_EQ(free_space(dir.path() + "missing"), 0);
    EXPECT_EQ(volume_label(dir.path() + "missing"), "");

    const SmallVolume volume(4 * 1024 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "mounting a small volume needs root";
    EXPECT_EQ(drive_type(volume.path()), "");
    EXPECT_EQ(volume_label(volume.path()), "");
    const std::vector<std::string> drives = split(list_drives(false, false), "\r");
    EXPECT_EQ(
        std::count(drives.begin(), drives.end(), volume.path().substr(0, volume.path().size() - 1)),
        0);
    EXPECT_EQ(std::count(drives.begin(), drives.end(), "/proc"), 0);

    const double empty = free_space(volume.path());
    EXPECT_GT(empty, 3.9 * 1024 * 1024);
    EXPECT_LE(empty, 4.0 * 1024 * 1024);
    test::write_file(volume.path() + "sub/a.jpg", std::string(1024 * 1024, 'x'));
    EXPECT_NEAR(empty - free_space(volume.path() + "sub"), 1024 * 1024, 16 * 1024);
}

TEST(Volumes, TheVolumeListReadsTheTablesItIsGiven) {
    test::TempDir dir;
    test::FakeVolumes fake;
    const unsigned card = fake.mount(dir.path() + "card", test::Disk::Removable);
    const unsigned disk = fake.mount(dir.path() + "disk", test::Disk::Fixed, "ext4");
    const unsigned sd = fake.mount(dir.path() + "sd", test::Disk::SdCard, "exfat");
    const unsigned share = fake.mount(dir.path() + "share", test::Disk::Fixed, "nfs4");
    const unsigned ram = fake.mount(dir.path() + "ram", test::Disk::Fixed, "tmpfs");
    auto listed = [&fake] {
        std::vector<std::string> lines;
        for (const Volume& volume : list_volumes(fake.tables()))
            lines.push_back(std::to_string(volume.mount_id) + " " + volume.mount_point + " " +
                            volume.type);
        return lines;
    };
    const std::string d = dir.path();
    EXPECT_EQ(listed(), (std::vector<std::string>{
                            "1 / Fixed Drive",
                            std::to_string(card) + " " + d + "card Removable Drive",
                            std::to_string(disk) + " " + d + "disk Fixed Drive",
                            std::to_string(sd) + " " + d + "sd Removable Drive",
                            std::to_string(share) + " " + d + "share Remote Drive",
                        }))
        << "proc and the tmpfs are no volumes: " << ram;

    fake.unmount(d + "card");
    EXPECT_EQ(listed().size(), 4u);
    EXPECT_EQ(listed()[1], std::to_string(disk) + " " + d + "disk Fixed Drive");
}

// A card is known by its file system's UUID, else its label, wherever it is mounted; paths
// on it are taken from its mount point. A folder on a volume with neither is its own card.
TEST(Volumes, ACardIsKnownByItsUuidElseItsLabelElseItsFolder) {
    test::TempDir dir;
    test::FakeVolumes fake;
    const std::string d = dir.path();
    fake.mount(d + "uuid", test::Disk::Removable);
    fake.name_volume(d + "uuid", "1234-ABCD", "CANON");
    fake.mount(d + "label", test::Disk::SdCard, "exfat");
    fake.name_volume(d + "label", "", "MY\\x20CARD");
    fake.mount(d + "bare", test::Disk::Removable);
    dir.folder("uuid/DCIM/100CANON");
    dir.folder("label/DCIM");
    dir.folder("bare/DCIM");

    struct Case {
        std::string folder;
        std::string id;
        std::string root;
    };
    const Case cases[] = {
        {d + "uuid/DCIM/100CANON", "uuid:1234-ABCD", d + "uuid/"},
        {d + "uuid", "uuid:1234-ABCD", d + "uuid/"},
        {d + "label/DCIM/", "label:MY CARD", d + "label/"},
        {d + "bare/DCIM", "folder:" + d + "bare/DCIM", d + "bare/DCIM/"},
        {d + "missing", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const CardIdentity card = card_identity(c.folder, fake.tables());
        EXPECT_EQ(card.id, c.id);
        EXPECT_EQ(card.root, c.root);
    }
}

} // namespace
} // namespace orvix
