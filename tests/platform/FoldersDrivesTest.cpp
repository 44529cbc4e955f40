#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/BlockDevices.h"
#include "platform/DriveProvider.h"
#include "platform/Folders.h"
#include "platform/TempDir.h"

namespace {

namespace fs = std::filesystem;
using tqtest::TempDir;
using tqtest::WriteBytes;

TEST(Folders, user_dirs_file_wins_and_missing_entries_fall_back_to_home) {
  const char* text =
      "# written by xdg-user-dirs-update\n"
      "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
      "XDG_VIDEOS_DIR=\"/data/Filme/\"\n"
      "XDG_PICTURES_DIR=Bilder\n";  // unquoted: malformed, ignored
  tq::UserFolders f = tq::UserFoldersFrom(text, "/home/u");
  EXPECT_EQ(f.documents, "/home/u/Dokumente");
  EXPECT_EQ(f.videos, "/data/Filme");
  EXPECT_EQ(f.pictures, "/home/u/Pictures");

  tq::UserFolders none = tq::UserFoldersFrom("", "/home/u");
  EXPECT_EQ(none.documents, "/home/u/Documents");
  EXPECT_EQ(none.videos, "/home/u/Videos");
  EXPECT_TRUE(tq::UserFoldersFrom("", "").documents.empty());
}

TEST(Folders, system_folders_follow_the_environment) {
  TempDir dir;
  WriteBytes(dir / "cfg/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/Clips\"\n");
  std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
  const char* oldCfg = getenv("XDG_CONFIG_HOME");
  std::string oldCfgValue = oldCfg ? oldCfg : "";
  setenv("HOME", dir.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir / "cfg").c_str(), 1);
  tq::UserFolders f = tq::SystemUserFolders();
  setenv("HOME", oldHome.c_str(), 1);
  if (oldCfg) setenv("XDG_CONFIG_HOME", oldCfgValue.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(f.videos, dir / "Clips");
  EXPECT_EQ(f.documents, dir / "Documents");
}

TEST(Folders, program_folder_is_the_folder_of_this_executable) {
  std::string folder = tq::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(fs::canonical(folder), fs::canonical(TQ_BUILD_DIR));
}

TEST(Drives, root_list_keeps_order_and_drops_missing_and_repeated_roots) {
  TempDir dir;
  fs::create_directories(dir / "b/CARD_B");
  fs::create_directories(dir / "a");
  std::string list = (dir / "b/CARD_B") + ":" + (dir / "gone") + "::" + (dir / "a/") + ":" + (dir / "b/CARD_B");
  auto drives = tq::DrivesFromRootList(list);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].root, dir / "b/CARD_B");
  EXPECT_EQ(drives[0].label, "CARD_B");
  EXPECT_GT(drives[0].totalBytes, 0u);
  EXPECT_EQ(drives[1].root, dir / "a");
  EXPECT_EQ(drives[1].label, "a");
}

TEST(Drives, a_listed_root_may_name_its_card_image_and_is_gone_once_forgotten) {
  TempDir dir;
  fs::create_directories(dir / "card");
  fs::create_directories(dir / "plain");
  { std::ofstream(dir / "card.img", std::ios::binary) << std::string(8192, '\0'); }
  auto drives = tq::DrivesFromRootList((dir / "card") + "=" + (dir / "card.img") + ":" + (dir / "plain"));
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].root, dir / "card");
  EXPECT_EQ(drives[0].image, dir / "card.img");
  EXPECT_EQ(drives[0].totalBytes, 8192u);  // the image's size, not the folder's file system
  EXPECT_EQ(drives[1].image, "");
  // A device node is no card image: listed, but with no size.
  drives = tq::DrivesFromRootList((dir / "card") + "=/dev/zero");
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].totalBytes, 0u);

  tq::ForgetListedRoot(dir / "card");
  drives = tq::DrivesFromRootList((dir / "card") + "=" + (dir / "card.img") + ":" + (dir / "plain"));
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].root, dir / "plain");
}

TEST(Drives, mountinfo_fields_and_escapes) {
  const char* text =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "90 22 179:1 / /media/u/NO\\040NAME rw,nosuid shared:50 master:3 - vfat /dev/mmcblk0p1 rw\n"
      "garbage line\n"
      "91 22 179:1 /DCIM /mnt/bind rw - vfat /dev/mmcblk0p1 rw\n";
  auto m = tq::ParseMountInfo(text);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1].major, 179u);
  EXPECT_EQ(m[1].minor, 1u);
  EXPECT_EQ(m[1].mountPoint, "/media/u/NO NAME");
  EXPECT_EQ(m[1].fsType, "vfat");
  EXPECT_EQ(m[1].source, "/dev/mmcblk0p1");
  EXPECT_EQ(m[2].fsRoot, "/DCIM");
  EXPECT_EQ(tq::DecodeLabelEscapes("NO\\x20NAME\\x2"), "NO NAME\\x2");
}

// A small sysfs: a fixed disk (sda), a USB stick (sdb), a card reader disk flagged
// removable (sdc) and an SD slot (mmcblk0); each is mounted.
TEST(Drives, system_list_takes_removable_usb_and_sd_volumes_only) {
  TempDir dir;
  auto disk = [&](const std::string& sysPath, const std::string& majmin, bool partition, const char* removable) {
    fs::create_directories(dir / sysPath);
    if (partition) WriteBytes(dir / (sysPath + "/partition"), "1\n");
    std::string diskDir = partition ? fs::path(dir / sysPath).parent_path().string() : dir / sysPath;
    if (removable) WriteBytes(diskDir + "/removable", removable);
    fs::create_directories(dir / "sys/dev/block");
    fs::create_symlink(dir / sysPath, dir / ("sys/dev/block/" + majmin));
  };
  disk("sys/devices/pci0/ata1/block/sda/sda1", "8:1", true, "0\n");
  disk("sys/devices/pci0/usb2/2-1/block/sdb/sdb1", "8:17", true, "0\n");
  disk("sys/devices/pci0/ata3/block/sdc", "8:32", false, "1\n");
  disk("sys/devices/pci0/mmc0/block/mmcblk0/mmcblk0p1", "179:1", true, "0\n");
  fs::create_directories(dir / "by-label");
  fs::create_symlink("../../sdb1", dir / "by-label/MY\\x20CAM");
  for (const char* m : {"root", "stick", "reader", "sd"}) fs::create_directories(dir / m);
  std::string mountinfo =
      "1 0 8:1 / " + (dir / "root") + " rw - ext4 /dev/sda1 rw\n" +
      "2 1 8:17 / " + (dir / "stick") + " rw - vfat /dev/sdb1 rw\n" +
      "3 1 8:32 / " + (dir / "reader") + " rw - vfat /dev/sdc rw\n" +
      "4 1 179:1 / " + (dir / "sd") + "/ rw - exfat /dev/mmcblk0p1 rw\n" +
      "5 1 179:1 /sub " + (dir / "bound") + " rw - exfat /dev/mmcblk0p1 rw\n" +
      "6 1 0:45 / " + (dir / "tmp") + " rw - tmpfs tmpfs rw\n";
  WriteBytes(dir / "mountinfo", mountinfo);

  tq::SystemDriveProvider provider({dir / "mountinfo", dir / "sys/dev/block", dir / "by-label"}, false);
  auto drives = provider.RemovableDrives();
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_EQ(drives[0].root, dir / "stick");
  EXPECT_EQ(drives[0].label, "MY CAM");
  EXPECT_EQ(drives[0].device, "/dev/sdb1");
  EXPECT_EQ(drives[1].root, dir / "reader");
  EXPECT_EQ(drives[1].label, "reader");
  EXPECT_EQ(drives[2].root, dir / "sd");
  EXPECT_GT(drives[2].totalBytes, 0u);

  // The mount table as the format's safety rules see it: device and whole disk per mount.
  auto mounts = tq::ReadMountTable({dir / "mountinfo", dir / "sys/dev/block", dir / "by-label"});
  ASSERT_EQ(mounts.size(), 6u);
  const std::pair<const char*, const char*> names[] = {{"sda1", "sda"},           {"sdb1", "sdb"},
                                                        {"sdc", "sdc"},             {"mmcblk0p1", "mmcblk0"},
                                                        {"mmcblk0p1", "mmcblk0"}, {"", ""}};
  for (size_t i = 0; i < mounts.size(); ++i) {
    EXPECT_EQ(mounts[i].device, names[i].first) << i;
    EXPECT_EQ(mounts[i].disk, names[i].second) << i;
  }
}

TEST(Drives, override_variable_replaces_the_system_list) {
  TempDir dir;
  fs::create_directories(dir / "card");
  setenv("TQ_MB20_DRIVES", (dir / "card").c_str(), 1);
  tq::SystemDriveProvider provider({dir / "no-mountinfo", dir / "none", dir / "none"});
  auto drives = provider.RemovableDrives();
  unsetenv("TQ_MB20_DRIVES");
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].root, dir / "card");
  EXPECT_TRUE(provider.RemovableDrives().empty());
}

}  // namespace
