// The block-device back end over a loop device of our own image: the same bytes as the
// image back end. Runs only where a loop device can be attached (root); the device is
// checked to be backed by our image before anything is written to it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "device/CardFormat.h"
#include "platform/Files.h"
#include "platform/RawVolume.h"
#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tq::test::CaptureOutput;
using tq::test::Quote;
using tqtest::TempDir;

constexpr uint64_t kSectors = 15523840;  // 8 GB

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Attaches `image` to a free loop device and detaches it at the end.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image) : image_(image) {
    if (::geteuid() != 0) {
      why_ = "needs root to attach a loop device";
      return;
    }
    auto r = CaptureOutput("losetup --find --show " + Quote(image) + " 2>&1");
    std::string out = Trim(r.output);
    if (r.exitCode != 0 || out.rfind("/dev/loop", 0) != 0) {
      why_ = "losetup does not work here: " + out;
      return;
    }
    device_ = out;
  }
  ~LoopDevice() {
    if (!device_.empty()) CaptureOutput("losetup -d " + Quote(device_) + " 2>&1");
  }
  const std::string& device() const { return device_; }
  const std::string& why() const { return why_; }
  // The kernel's own word that this loop device reads and writes our image file.
  bool BackedBy(const std::string& image) const {
    std::string backing;
    std::string name = device_.substr(std::string("/dev/").size());
    if (!tq::ReadWholeFile("/sys/block/" + name + "/loop/backing_file", 4096, &backing)) return false;
    char resolved[PATH_MAX];
    return ::realpath(image.c_str(), resolved) && Trim(backing) == resolved;
  }

 private:
  std::string image_;
  std::string device_;
  std::string why_;
};

std::string Head(const std::string& path, uint64_t bytes) {
  std::string data(bytes, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(data.data(), std::streamsize(bytes));
  return in.gcount() == std::streamsize(bytes) ? data : std::string();
}

TEST(LoopDevice, block_back_end_writes_the_same_bytes_as_the_image_back_end) {
  TempDir dir;
  const std::string viaImage = dir / "via-image.img", viaDevice = dir / "via-device.img";
  std::string error;
  ASSERT_TRUE(tq::CreateImageFile(viaImage, kSectors * 512, &error)) << error;
  ASSERT_TRUE(tq::CreateImageFile(viaDevice, kSectors * 512, &error)) << error;
  LoopDevice loop(viaDevice);
  if (loop.device().empty()) GTEST_SKIP() << loop.why();
  ASSERT_TRUE(loop.BackedBy(viaDevice)) << loop.device() << " is not our image: nothing is written";

  const tq::FormatClock clock{2026, 12, 7, 9, 30, 0, 0};
  auto image = tq::OpenImageVolume(viaImage, 512, &error);
  ASSERT_TRUE(image) << error;
  tq::FormatResult a = tq::FormatVolume(*image, clock);
  ASSERT_TRUE(a.ok()) << a.message;
  image.reset();

  auto device = tq::OpenBlockVolume(loop.device(), &error);
  ASSERT_TRUE(device) << error;
  EXPECT_EQ(device->Geometry().sectorSize, 512u);
  EXPECT_EQ(device->Geometry().totalSectors, kSectors);
  EXPECT_EQ(device->Geometry().hiddenSectors, 0u);
  tq::FormatResult b = tq::FormatVolume(*device, clock);
  ASSERT_TRUE(b.ok()) << b.message;
  device.reset();

  // The loop device's geometry may differ from the image's 63 / 255 (offsets 24..27);
  // everything else of the first 2 x F + 192 sectors is the same.
  const uint64_t bytes = a.layout.ZeroedSectors() * 512;
  std::string x = Head(viaImage, bytes), y = Head(viaDevice, bytes);
  ASSERT_EQ(x.size(), bytes);
  ASSERT_EQ(y.size(), bytes);
  for (uint64_t boot : {uint64_t(0), uint64_t(6 * 512)}) {
    for (int i = 24; i < 28; ++i) y[boot + i] = x[boot + i];
  }
  EXPECT_TRUE(x == y);
  auto fsck = CaptureOutput("fsck.fat -n " + Quote(viaDevice) + " 2>&1");
  EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

}  // namespace
