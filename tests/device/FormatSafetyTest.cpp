// Which volumes may be formatted: a table of fake machines. Nothing here opens a device.
#include <gtest/gtest.h>

#include "device/FormatSafety.h"

namespace {

using tq::FormatRefusal;

constexpr uint64_t k32G = 62521344ull * 512;

// A desktop: system on nvme0n1, home on its own partition, a card in an SD reader.
const std::vector<tq::MountedVolume> kDesktop = {
    {"/", "nvme0n1p2", "nvme0n1"},
    {"/boot/efi", "nvme0n1p1", "nvme0n1"},
    {"/home", "nvme0n1p3", "nvme0n1"},
    {"/proc", "", ""},
    {"/media/ann/CARD", "mmcblk0p1", "mmcblk0"},
    {"/media/ann/STICK", "sdb1", "sdb"},
    {"/media/ann/STICK2", "sdb2", "sdb"},
    {"/homework", "sdg1", "sdg"},
    {"/mnt/usbdisk", "sdc1", "sdc"},
    {"/opt/viewer", "sdd1", "sdd"},
    {"/media/ann/TWICE", "sde1", "sde"},
    {"/srv/twice", "sde1", "sde"},
    {"/run/media/root-on-stick", "sdf1", "sdf"},
};

tq::FormatCandidate Card(std::string root, std::string device, std::string disk, bool removable = true) {
  tq::FormatCandidate c;
  c.cardRoot = std::move(root);
  c.device = std::move(device);
  c.disk = std::move(disk);
  c.removable = removable;
  c.bytes = k32G;
  return c;
}

TEST(FormatSafety, refusal_rules_on_a_table_of_devices) {
  tq::ProtectedPaths paths{"/", "/home/ann", "/opt/viewer/bin"};
  tq::FormatCandidate small = Card("/media/ann/CARD", "mmcblk0p1", "mmcblk0");
  small.bytes = 7812500ull * 512;
  tq::FormatCandidate huge = small;
  huge.bytes = 0xFFFFFFFFull * 512;
  tq::FormatCandidate held = small;
  held.bytes = k32G;
  held.hasHolders = true;
  tq::FormatCandidate image;
  image.cardRoot = "/tmp/card";
  image.image = true;
  image.bytes = k32G;
  struct Case {
    const char* what;
    tq::FormatCandidate c;
    tq::ProtectedPaths paths;
    FormatRefusal expected;
  } cases[] = {
      {"the SD card", Card("/media/ann/CARD", "mmcblk0p1", "mmcblk0"), paths, FormatRefusal::kAllowed},
      {"a fixed disk", Card("/mnt/usbdisk", "sdc1", "sdc", false), paths, FormatRefusal::kNotRemovable},
      {"the system partition", Card("/", "nvme0n1p2", "nvme0n1", true), paths, FormatRefusal::kSystemVolume},
      {"another partition of the system disk", Card("/boot/efi", "nvme0n1p1", "nvme0n1", true), paths,
       FormatRefusal::kSystemVolume},
      {"a card mounted at a name that starts like /home", Card("/homework", "sdg1", "sdg"), paths,
       FormatRefusal::kAllowed},
      {"the home folder's disk", Card("/media/ann/CARD", "mmcblk0p1", "mmcblk0"),
       {"/", "/media/ann/CARD/home", ""}, FormatRefusal::kSystemVolume},
      {"the program's disk", Card("/opt/viewer", "sdd1", "sdd"), paths, FormatRefusal::kProgramVolume},
      {"the program run from the card", Card("/media/ann/CARD", "mmcblk0p1", "mmcblk0"),
       {"/", "/home/ann", "/media/ann/CARD/viewer"}, FormatRefusal::kProgramVolume},
      {"a stick with a second partition mounted", Card("/media/ann/STICK", "sdb1", "sdb"), paths,
       FormatRefusal::kOtherMounts},
      {"a card mounted twice", Card("/media/ann/TWICE", "sde1", "sde"), paths, FormatRefusal::kOtherMounts},
      {"a root file system on a stick", Card("/run/media/root-on-stick", "sdf1", "sdf"),
       {"/run/media/root-on-stick", "/home/ann", ""}, FormatRefusal::kSystemVolume},
      {"a card under an encrypted volume", held, paths, FormatRefusal::kOtherMounts},
      {"a 4 GB card", small, paths, FormatRefusal::kBadSize},
      {"a card of 2^32 - 1 sectors", huge, paths, FormatRefusal::kBadSize},
      {"no device behind the root", Card("/media/ann/CARD", "", ""), paths, FormatRefusal::kNotRemovable},
      {"a listed card image", image, paths, FormatRefusal::kAllowed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tq::CheckFormatAllowed(c.c, kDesktop, c.paths), c.expected) << c.what;
  }
}

}  // namespace
