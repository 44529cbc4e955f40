// The card format: the layout arithmetic, the bytes written, and real readers (fsck.fat,
// mtools) judging formatted sparse images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/CardFormat.h"
#include "platform/RawVolume.h"
#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tq::test::Quote;
using tq::test::RunCommand;
using tqtest::TempDir;

constexpr uint64_t kCard32G = 62521344;  // sectors of a 32 GB card

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }

std::vector<uint8_t> ReadSector(const std::string& path, uint64_t sector, uint32_t size) {
  std::vector<uint8_t> b(size);
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(sector * size));
  in.read(reinterpret_cast<char*>(b.data()), std::streamsize(size));
  return in.gcount() == std::streamsize(size) ? b : std::vector<uint8_t>{};
}

tq::FormatClock FixedClock() { return {2026, 12, 7, 17, 35, 42, 567}; }

// Creates a sparse image of `sectors` sectors and formats it; the layout or a failure.
tq::FormatResult FormatImage(const std::string& path, uint64_t sectors, uint32_t sectorSize = 512) {
  std::string error;
  EXPECT_TRUE(tq::CreateImageFile(path, sectors * sectorSize, &error)) << error;
  auto volume = tq::OpenImageVolume(path, sectorSize, &error);
  EXPECT_TRUE(volume) << error;
  if (!volume) return {};
  return tq::FormatVolume(*volume, FixedClock());
}

TEST(FatLayout, part_arithmetic_and_size_limits) {
  struct Case {
    uint32_t sectorSize;
    uint64_t sectors;
    tq::FormatError error;
    uint32_t fat, clusters;
  } cases[] = {
      {512, kCard32G, tq::FormatError::kNone, 3816, 488387},
      {512, 7812500, tq::FormatError::kTooSmall, 0, 0},     // 4 GB: 61,027 clusters
      {512, 65535, tq::FormatError::kTooSmall, 0, 0},
      {512, 0xFFFFFFFFull, tq::FormatError::kTooLarge, 0, 0},
      {4096, 31250000, tq::FormatError::kNone, 239, 244136},  // 128 GB of 4 KiB sectors
      {4096, 7812500, tq::FormatError::kTooSmall, 0, 0},      // 32 GB of 4 KiB sectors: 512 KiB clusters
      {1000, kCard32G, tq::FormatError::kBadSector, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sectorSize) + " x " + std::to_string(c.sectors));
    tq::FatLayout l;
    tq::FormatError why = tq::FormatError::kNone;
    bool ok = tq::ComputeFatLayout(c.sectorSize, c.sectors, &l, &why);
    EXPECT_EQ(ok, c.error == tq::FormatError::kNone);
    EXPECT_EQ(why, c.error);
    if (!ok) continue;
    EXPECT_EQ(l.fatSectors, c.fat);
    EXPECT_EQ(l.clusters, c.clusters);
    EXPECT_EQ(l.freeClusters, c.clusters - 1);
    EXPECT_EQ(l.nextFree, 3u);
  }
}

// For some sizes the FAT estimate leaves no room for the last clusters' entries; the
// layout must still give every cluster (and the two reserved entries) a FAT entry.
TEST(FatLayout, fat_holds_every_cluster_for_every_size_near_a_card) {
  for (uint64_t t = kCard32G; t < kCard32G + 20000; ++t) {
    tq::FatLayout l;
    tq::FormatError why;
    ASSERT_TRUE(tq::ComputeFatLayout(512, t, &l, &why));
    ASSERT_LE(4ull * (l.clusters + 2), uint64_t(l.fatSectors) * 512) << "T = " << t;
    ASSERT_EQ(l.clusters, (t - 64 - 2ull * l.fatSectors) / 128) << "T = " << t;
  }
}

TEST(VolumeSerial, from_the_local_time) {
  // low: 7 + 12*256 + 567/10 + 42*256 = 13887; high: 35 + 17*256 + 2026 = 6413
  EXPECT_EQ(tq::VolumeSerialFor(FixedClock()), 6413u * 65536 + 13887u);
}

TEST(CardFormat, writes_the_camera_layout_byte_for_byte) {
  TempDir dir;
  const std::string img = dir / "card.img";
  tq::FormatResult r = FormatImage(img, kCard32G);
  ASSERT_TRUE(r.ok()) << r.message;
  const uint64_t f = r.layout.fatSectors;
  struct Field {
    uint64_t sector;
    size_t offset;
    std::string bytes;  // expected bytes, little-endian for numbers
  } fields[] = {
      {0, 0, "\xEB\x5A\x90MSWIN4.1"}, {0, 11, std::string("\x00\x02\x80\x40\x00\x02\x00\x00\x00\x00\xF8\x00\x00", 13)},
      {0, 24, std::string("\x3F\x00\xFF\x00\x00\x00\x00\x00\x00\x00\xBA\x03\xE8\x0E\x00\x00", 16)},  // geometry, hidden, T, F
      {0, 44, std::string("\x02\x00\x00\x00\x01\x00\x06\x00", 8)}, {0, 64, std::string("\x80\x00\x29", 3)},
      {0, 71, "TQ-MB20    FAT32   "},  // the label field holds the root directory's label (fsck.fat insists)
      {0, 510, "\x55\xAA"},
      {1, 0, "RRaA"}, {1, 484, "rrAa\xC2\x73\x07\x00\x03"}, {1, 508, std::string("\x00\x00\x55\xAA", 4)},
      {64, 0, std::string("\xF8\xFF\xFF\x0F\xFF\xFF\xFF\x0F\xFF\xFF\xFF\x0F\x00\x00\x00\x00", 16)},
      {64 + f, 0, std::string("\xF8\xFF\xFF\x0F\xFF\xFF\xFF\x0F\xFF\xFF\xFF\x0F\x00\x00\x00\x00", 16)},
      {64 + 2 * f, 0, "TQ-MB20    \x08"}, {64 + 2 * f, 32, std::string(32, '\0')},  // the label entry alone
  };
  for (const Field& x : fields) {
    std::vector<uint8_t> s = ReadSector(img, x.sector, 512);
    ASSERT_EQ(s.size(), 512u);
    EXPECT_EQ(std::string(s.begin() + long(x.offset), s.begin() + long(x.offset + x.bytes.size())), x.bytes)
        << "sector " << x.sector << " offset " << x.offset;
  }
  std::vector<uint8_t> boot = ReadSector(img, 0, 512);
  EXPECT_EQ(Le32(boot, 67), tq::VolumeSerialFor(FixedClock()));
  EXPECT_EQ(ReadSector(img, 6, 512), boot);
  EXPECT_EQ(ReadSector(img, 7, 512), ReadSector(img, 1, 512));
}

TEST(CardFormat, sector_of_4096_bytes_ends_with_both_signatures) {
  TempDir dir;
  const std::string img = dir / "card4k.img";
  tq::FormatResult r = FormatImage(img, 31250000, 4096);
  ASSERT_TRUE(r.ok()) << r.message;
  std::vector<uint8_t> boot = ReadSector(img, 0, 4096);
  EXPECT_EQ(Le16(boot, 11), 4096u);
  EXPECT_EQ(boot[510], 0x55);
  EXPECT_EQ(boot[511], 0xAA);
  EXPECT_EQ(boot[4094], 0x55);
  EXPECT_EQ(boot[4095], 0xAA);
  EXPECT_EQ(boot[600], 0);
  EXPECT_EQ(ReadSector(img, 6, 4096), boot);
  auto fsck = RunCommand("fsck.fat -n " + Quote(img));
  EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(CardFormat, fsck_finds_no_error_on_cards_of_8_32_and_128_gb) {
  TempDir dir;
  // 62,528,912 sectors is a size where the FAT estimate alone leaves clusters without entry.
  for (uint64_t sectors : {uint64_t(15523840), kCard32G, uint64_t(62528912), uint64_t(250085376)}) {
    SCOPED_TRACE(sectors);
    const std::string img = dir / ("card" + std::to_string(sectors) + ".img");
    tq::FormatResult r = FormatImage(img, sectors);
    ASSERT_TRUE(r.ok()) << r.message;
    auto fsck = RunCommand("fsck.fat -n " + Quote(img));
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    // Nothing but the version line and the summary: any finding adds lines.
    EXPECT_EQ(std::count(fsck.output.begin(), fsck.output.end(), '\n'), 2) << fsck.output;
    std::remove(img.c_str());
  }
}

std::string Mtools(const std::string& command) { return "MTOOLS_SKIP_CHECK=1 " + command; }

TEST(CardFormat, mtools_see_the_label_64k_clusters_and_round_trip_a_file) {
  TempDir dir;
  const std::string img = dir / "card.img";
  ASSERT_TRUE(FormatImage(img, kCard32G).ok());
  auto info = RunCommand(Mtools("minfo -i " + Quote(img) + " ::"));
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("cluster size: 128 sectors"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("sector size: 512 bytes"), std::string::npos) << info.output;
  auto list = RunCommand(Mtools("mdir -i " + Quote(img) + " ::/"));
  EXPECT_NE(list.output.find("Volume in drive : is TQ-MB20"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("No files"), std::string::npos) << list.output;

  // A file of a few clusters in and out again, byte for byte.
  std::string payload;
  for (int i = 0; i < 300000; ++i) payload += char('a' + i % 23);
  { std::ofstream(dir / "in.bin", std::ios::binary) << payload; }
  auto put = RunCommand(Mtools("mcopy -i " + Quote(img) + " " + Quote(dir / "in.bin") + " ::/IN.BIN"));
  ASSERT_EQ(put.exitCode, 0) << put.output;
  auto get = RunCommand(Mtools("mcopy -i " + Quote(img) + " ::/IN.BIN " + Quote(dir / "out.bin")));
  ASSERT_EQ(get.exitCode, 0) << get.output;
  EXPECT_EQ(tq::test::ReadAll(dir / "out.bin"), tq::test::ReadAll(dir / "in.bin"));
  auto fsck = RunCommand("fsck.fat -n " + Quote(img));
  EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(CardFormat, leaves_no_old_directory_entry_visible) {
  TempDir dir;
  const std::string img = dir / "old.img";
  std::string error;
  ASSERT_TRUE(tq::CreateImageFile(img, 15523840ull * 512, &error));
  ASSERT_EQ(RunCommand("mkfs.fat -F 32 -s 8 -n OLDCARD " + Quote(img)).exitCode, 0);
  ASSERT_EQ(RunCommand(Mtools("mmd -i " + Quote(img) + " ::/TQ-MB20")).exitCode, 0);
  { std::ofstream(dir / "rec.mp4") << "old recording"; }
  ASSERT_EQ(RunCommand(Mtools("mcopy -i " + Quote(img) + " " + Quote(dir / "rec.mp4") + " ::/TQ-MB20/")).exitCode, 0);
  ASSERT_EQ(RunCommand(Mtools("mcopy -i " + Quote(img) + " " + Quote(dir / "rec.mp4") + " ::/OLD.MP4")).exitCode, 0);

  auto volume = tq::OpenImageVolume(img, 512, &error);
  ASSERT_TRUE(volume) << error;
  ASSERT_TRUE(tq::FormatVolume(*volume, FixedClock()).ok());
  volume.reset();
  auto list = RunCommand(Mtools("mdir -i " + Quote(img) + " ::/"));
  EXPECT_EQ(list.output.find("OLD"), std::string::npos) << list.output;
  EXPECT_EQ(list.output.find("<DIR>"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("No files"), std::string::npos) << list.output;
  EXPECT_EQ(RunCommand("fsck.fat -n " + Quote(img)).exitCode, 0);
}

// A volume that counts its writes and fails the one numbered `failAt` (or Finish, when
// failAt equals the number of writes).
class FailingVolume final : public tq::RawVolume {
 public:
  FailingVolume(uint64_t sectors, int failAt) : failAt_(failAt) { g_.totalSectors = sectors; }
  const tq::VolumeGeometry& Geometry() const override { return g_; }
  bool WriteSectors(uint64_t first, const void*, uint32_t count) override {
    EXPECT_FALSE(failed_) << "write after a failed write";
    firstSectors.push_back(first);
    (void)count;
    if (writes_++ == failAt_) failed_ = true;
    return !failed_;
  }
  bool Finish() override {
    EXPECT_FALSE(failed_) << "finish after a failed write";
    if (writes_ == failAt_) failed_ = true;
    return !failed_;
  }
  std::string LastError() const override { return "injected"; }
  std::string Name() const override { return "failing"; }
  int writes() const { return writes_; }
  std::vector<uint64_t> firstSectors;

 private:
  tq::VolumeGeometry g_;
  int failAt_;
  int writes_ = 0;
  bool failed_ = false;
};

TEST(CardFormat, a_failure_at_any_write_step_is_reported_and_ends_the_format) {
  FailingVolume clean(kCard32G, -1);
  ASSERT_TRUE(tq::FormatVolume(clean, FixedClock()).ok());
  const int steps = clean.writes();
  // 7,824 zeroed sectors in pieces of 128, then boot, FSInfo, their copies, two FATs, label.
  ASSERT_EQ(steps, 62 + 7);
  EXPECT_EQ(std::vector<uint64_t>(clean.firstSectors.end() - 7, clean.firstSectors.end()),
            (std::vector<uint64_t>{0, 1, 6, 7, 64, 64 + 3816, 64 + 2 * 3816}));
  for (int failAt = 0; failAt <= steps; ++failAt) {  // == steps: the final flush
    SCOPED_TRACE(failAt);
    FailingVolume v(kCard32G, failAt);
    tq::FormatResult r = tq::FormatVolume(v, FixedClock());
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error, tq::FormatError::kWrite);
    EXPECT_NE(r.message.find("injected"), std::string::npos);
  }
}

TEST(RawVolume, image_back_end_refuses_what_is_not_a_regular_file) {
  TempDir dir;
  std::string error;
  for (std::string path : {std::string("/dev/null"), std::string("/dev/zero"), dir.path()}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(tq::OpenImageVolume(path, 512, &error));
    EXPECT_FALSE(tq::CreateImageFile(path, 1 << 20, &error));
  }
  // A link to a device is not followed either.
  std::filesystem::create_symlink("/dev/null", dir / "link.img");
  EXPECT_FALSE(tq::OpenImageVolume(dir / "link.img", 512, &error));
  EXPECT_FALSE(tq::CreateImageFile(dir / "link.img", 1 << 20, &error));
}

}  // namespace
