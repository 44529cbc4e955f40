// The frame tag must read back exactly what was drawn, and never a wrong number: a
// damaged or ambiguous tag reads as invalid.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FrameTag.h"

namespace tq {
namespace {

struct Plane {
  int width, height, stride;
  std::vector<uint8_t> y;
  Plane(int w, int h, uint8_t fill = 100) : width(w), height(h), stride(w + 32), y(size_t(stride * h), fill) {}
  uint8_t* data() { return y.data(); }
};

TEST(FrameTag, round_trip_at_every_size_and_edge_value) {
  const int sizes[][2] = {{208, 24}, {256, 144}, {320, 180}, {480, 270}, {640, 360}, {1280, 720}, {1920, 1080}};
  const int frames[] = {0, 1, 0x5555, 0xAAAA, 5459, kFrameTagMaxFrame};
  for (const auto& s : sizes)
    for (int camera = 0; camera <= kFrameTagMaxCamera; ++camera)
      for (int frame : frames) {
        Plane p(s[0], s[1]);
        ASSERT_TRUE(DrawFrameTag(p.data(), p.stride, p.width, p.height, camera, frame)) << s[0];
        const FrameTagValue v = ReadFrameTag(p.data(), p.stride, p.width, p.height);
        EXPECT_EQ(v.camera, camera) << s[0] << "x" << s[1] << " frame " << frame;
        EXPECT_EQ(v.frame, frame) << s[0] << "x" << s[1];
      }
}

TEST(FrameTag, refuses_values_and_pictures_it_cannot_carry) {
  struct Row { int width, height, camera, frame; };
  const Row rows[] = {
      {320, 180, -1, 0}, {320, 180, kFrameTagMaxCamera + 1, 0},
      {320, 180, 0, -1}, {320, 180, 0, kFrameTagMaxFrame + 1},
      {207, 180, 0, 0},  // one pixel narrower than the tag
      {320, 23, 0, 0},   // one row lower than the tag
  };
  for (const Row& r : rows) {
    Plane p(r.width, r.height);
    const std::vector<uint8_t> before = p.y;
    EXPECT_FALSE(DrawFrameTag(p.data(), p.stride, r.width, r.height, r.camera, r.frame))
        << r.width << "x" << r.height << " " << r.camera << "/" << r.frame;
    EXPECT_EQ(p.y, before) << "a refused tag must not touch the picture";
    EXPECT_FALSE(ReadFrameTag(p.data(), p.stride, r.width, r.height).valid());
  }
}

TEST(FrameTag, any_single_damaged_cell_reads_invalid_never_wrong) {
  const int width = 320, height = 180, cell = FrameTagCellSize(width);
  for (int cellIndex = 0; cellIndex < kFrameTagCells; ++cellIndex) {
    for (int frame : {0, 1234, kFrameTagMaxFrame}) {
      Plane p(width, height);
      ASSERT_TRUE(DrawFrameTag(p.data(), p.stride, width, height, 1, frame));
      const int x0 = (1 + cellIndex) * cell, y0 = cell;
      const uint8_t flipped = p.y[size_t(y0 * p.stride + x0)] > 128 ? 16 : 235;
      for (int y = y0; y < y0 + cell; ++y)
        for (int x = x0; x < x0 + cell; ++x) p.y[size_t(y * p.stride + x)] = flipped;
      const FrameTagValue v = ReadFrameTag(p.data(), p.stride, width, height);
      EXPECT_FALSE(v.valid()) << "cell " << cellIndex << " frame " << frame << " read as "
                              << v.camera << "/" << v.frame;
    }
  }
}

TEST(FrameTag, grey_cell_is_unreadable) {
  const int width = 640, height = 360, cell = FrameTagCellSize(width);
  Plane p(width, height);
  ASSERT_TRUE(DrawFrameTag(p.data(), p.stride, width, height, 0, 77));
  for (int y = cell; y < 2 * cell; ++y)
    for (int x = 10 * cell; x < 11 * cell; ++x) p.y[size_t(y * p.stride + x)] = 128;
  EXPECT_FALSE(ReadFrameTag(p.data(), p.stride, width, height).valid());
}

TEST(FrameTag, reads_through_coding_noise) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-40, 40);
  for (int width : {256, 640, 1920}) {
    Plane p(width, width * 9 / 16);
    ASSERT_TRUE(DrawFrameTag(p.data(), p.stride, p.width, p.height, 1, 4321));
    for (auto& v : p.y) v = uint8_t(std::clamp(int(v) + noise(rng), 0, 255));
    const FrameTagValue v = ReadFrameTag(p.data(), p.stride, p.width, p.height);
    EXPECT_EQ(v.camera, 1) << width;
    EXPECT_EQ(v.frame, 4321) << width;
  }
}

TEST(FrameTag, blank_picture_has_no_tag) {
  for (uint8_t fill : {0, 16, 128, 235, 255}) {
    Plane p(640, 360, fill);
    EXPECT_FALSE(ReadFrameTag(p.data(), p.stride, 640, 360).valid()) << int(fill);
  }
}

}  // namespace
}  // namespace tq
