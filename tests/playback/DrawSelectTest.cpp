// Renderer selection order, the process-wide "failed kind switched off" rule, and the
// capture renderer's copy of the pictures it is given.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "playback/CDrawDisp.h"
#include "playback/CaptureDraw.h"
#include "playback/NullDraw.h"

namespace tq {
namespace {

// A back end whose Init answers a fixed code; counts how often it was made.
class FixedDraw final : public CDraw {
 public:
  explicit FixedDraw(int code) : code_(code) {}
  int Init(DrawWindow, int, int) override { return code_; }
  int SetSourceSize(int, int) override { return code_; }
  bool CheckWindowSize() override { return true; }
  bool Present() override { return true; }

 private:
  int code_;
};

struct Made {
  int count[kDrawKinds] = {};
};

DrawBackend Fixed(DrawKind kind, int code, Made* made) {
  return DrawBackend{[=] {
                       ++made->count[int(kind)];
                       return std::make_unique<FixedDraw>(code);
                     },
                     {}};
}

class DrawSelect : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    for (DrawKind k : {DrawKind::Accelerated, DrawKind::Surface, DrawKind::Raster})
      RegisterDrawBackend(k, {});
    ProcessDrawCaps().acceleratedUsable = 0;
    ProcessDrawCaps().surfaceUsable = 0;
  }
};

struct SelectCase {
  const char* name;
  int accelUsable, surfaceUsable;
  int accelCode, surfaceCode, rasterCode;
  DrawKind kind;
  int code;
  int accelAfter, surfaceAfter;
};

TEST_F(DrawSelect, picks_the_first_kind_that_starts_and_switches_failed_kinds_off) {
  const SelectCase cases[] = {
      {"accelerated first", 1, kSurfaceI420, kDrawYv12, kDrawI420, kDrawRgb32,
       DrawKind::Accelerated, kDrawYv12, 1, kSurfaceI420},
      {"accelerated fails, surface takes over", 1, kSurfaceYuy2, 0, kDrawYuy2, kDrawRgb32,
       DrawKind::Surface, kDrawYuy2, 0, kSurfaceYuy2},
      {"both fail, raster", 1, kSurfaceRgb, 0, 0, kDrawRgb24, DrawKind::Raster, kDrawRgb24, 0, 0},
      {"nothing probed usable, raster", 0, 0, kDrawYv12, kDrawI420, kDrawRgb32, DrawKind::Raster,
       kDrawRgb32, 0, 0},
      {"raster fails too", 0, 0, 0, 0, 0, DrawKind::Raster, kDrawFailed, 0, 0},
  };
  for (const SelectCase& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    Made made;
    RegisterDrawBackend(DrawKind::Accelerated, Fixed(DrawKind::Accelerated, c.accelCode, &made));
    RegisterDrawBackend(DrawKind::Surface, Fixed(DrawKind::Surface, c.surfaceCode, &made));
    RegisterDrawBackend(DrawKind::Raster, Fixed(DrawKind::Raster, c.rasterCode, &made));
    ProcessDrawCaps().acceleratedUsable = c.accelUsable;
    ProcessDrawCaps().surfaceUsable = c.surfaceUsable;
    CDrawDisp disp;
    EXPECT_EQ(disp.Select(nullptr, 320, 180), c.code);
    EXPECT_EQ(disp.get() != nullptr, c.code != kDrawFailed);
    if (c.code != kDrawFailed) {
      EXPECT_EQ(disp.kind(), c.kind);
    }
    EXPECT_EQ(ProcessDrawCaps().acceleratedUsable.load(), c.accelAfter);
    EXPECT_EQ(ProcessDrawCaps().surfaceUsable.load(), c.surfaceAfter);
    EXPECT_EQ(made.count[0], c.accelUsable ? 1 : 0);
  }
}

TEST_F(DrawSelect, a_failed_accelerated_start_sends_later_views_straight_on) {
  Made made;
  RegisterDrawBackend(DrawKind::Accelerated, Fixed(DrawKind::Accelerated, 0, &made));
  RegisterDrawBackend(DrawKind::Surface, Fixed(DrawKind::Surface, kDrawYuy2, &made));
  ProcessDrawCaps().acceleratedUsable = 1;
  ProcessDrawCaps().surfaceUsable = kSurfaceYuy2;
  CDrawDisp first, second;
  EXPECT_EQ(first.Select(nullptr, 64, 64), kDrawYuy2);
  EXPECT_EQ(second.Select(nullptr, 64, 64), kDrawYuy2);
  EXPECT_EQ(made.count[int(DrawKind::Accelerated)], 1);  // tried once for the process
  EXPECT_EQ(made.count[int(DrawKind::Surface)], 2);
}

// Every session window probes; a kind that failed to start stays off until its back end
// is registered anew.
TEST_F(DrawSelect, a_kind_that_failed_stays_off_through_later_probes) {
  Made made;
  DrawBackend accel = Fixed(DrawKind::Accelerated, 0, &made);
  accel.probe = [](DrawWindow, DrawCapabilities& caps) { caps.acceleratedUsable = 1; };
  DrawBackend surface = Fixed(DrawKind::Surface, 0, &made);
  surface.probe = [](DrawWindow, DrawCapabilities& caps) { caps.surfaceUsable = kSurfaceI420; };
  RegisterDrawBackend(DrawKind::Accelerated, accel);
  RegisterDrawBackend(DrawKind::Surface, surface);
  RegisterDrawBackend(DrawKind::Raster, Fixed(DrawKind::Raster, kDrawRgb32, &made));
  ProbeDraw(nullptr);
  ASSERT_EQ(ProcessDrawCaps().acceleratedUsable.load(), 1);
  CDrawDisp first;
  EXPECT_EQ(first.Select(nullptr, 64, 64), kDrawRgb32);
  for (int window = 2; window <= 3; ++window) {
    SCOPED_TRACE(window);
    ProbeDraw(nullptr);
    EXPECT_EQ(ProcessDrawCaps().acceleratedUsable.load(), 0);
    EXPECT_EQ(ProcessDrawCaps().surfaceUsable.load(), 0);
    CDrawDisp later;
    EXPECT_EQ(later.Select(nullptr, 64, 64), kDrawRgb32);
  }
  EXPECT_EQ(made.count[int(DrawKind::Accelerated)], 1);
  EXPECT_EQ(made.count[int(DrawKind::Surface)], 1);
  EXPECT_EQ(made.count[int(DrawKind::Raster)], 3);
  // A new accelerated back end is probed and tried again; the surface kind stays off.
  accel = Fixed(DrawKind::Accelerated, kDrawYv12, &made);
  accel.probe = [](DrawWindow, DrawCapabilities& caps) { caps.acceleratedUsable = 1; };
  RegisterDrawBackend(DrawKind::Accelerated, accel);
  ProbeDraw(nullptr);
  EXPECT_EQ(ProcessDrawCaps().acceleratedUsable.load(), 1);
  EXPECT_EQ(ProcessDrawCaps().surfaceUsable.load(), 0);
  CDrawDisp again;
  EXPECT_EQ(again.Select(nullptr, 64, 64), kDrawYv12);
}

TEST_F(DrawSelect, probe_writes_capabilities_and_counts_decoder_threads) {
  Made made;
  DrawBackend accel = Fixed(DrawKind::Accelerated, kDrawYv12, &made);
  accel.probe = [](DrawWindow, DrawCapabilities& caps) { caps.acceleratedUsable = 1; };
  RegisterDrawBackend(DrawKind::Accelerated, accel);
  ProbeDraw(nullptr);
  EXPECT_EQ(ProcessDrawCaps().acceleratedUsable.load(), 1);
  const int threads = std::stoi(DecoderThreadText());
  EXPECT_GE(threads, 1);
  EXPECT_LE(threads, 4);
}

TEST_F(DrawSelect, without_back_ends_the_null_renderer_takes_planar_pictures) {
  CDrawDisp disp;
  EXPECT_EQ(disp.Select(nullptr, 32, 32), kDrawI420);
  ASSERT_NE(disp.get(), nullptr);
  EXPECT_TRUE(disp.get()->Draw(nullptr, 0, true));
}

// Planar picture with padded rows: the capture keeps the rows packed, plane by plane.
TEST(CaptureDraw, keeps_packed_planes_of_padded_pictures_and_only_the_recent_ones) {
  CaptureWindow window(2, kDrawI420);
  CaptureDraw draw;
  ASSERT_EQ(draw.Init(&window, 4, 2), kDrawI420);
  std::vector<uint8_t> y(8 * 2), u(4 * 1), v(4 * 1);
  for (int pic = 0; pic < 3; ++pic) {
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 8; ++c) y[size_t(r * 8 + c)] = uint8_t(c < 4 ? pic * 16 + r * 4 + c : 0xEE);
    u.assign(4, uint8_t(100 + pic));
    v.assign(4, uint8_t(200 + pic));
    DrawPicture p;
    p.data[0] = y.data(); p.linesize[0] = 8;
    p.data[1] = u.data(); p.linesize[1] = 4;
    p.data[2] = v.data(); p.linesize[2] = 4;
    p.width = 4; p.height = 2; p.format = kDrawI420;
    ASSERT_TRUE(draw.Draw(&p, kFlipUpDown, true));
  }
  const auto pics = window.Pictures();
  ASSERT_EQ(pics.size(), 2u);
  EXPECT_EQ(window.drawn(), 3u);
  EXPECT_LT(pics[0].sequence, pics[1].sequence);
  const std::vector<uint8_t> expect = {16, 17, 18, 19, 20, 21, 22, 23, 101, 101, 201, 201};
  EXPECT_EQ(pics[0].bytes, expect);
  EXPECT_EQ(pics[1].bytes[0], 32);
  EXPECT_EQ(pics[1].flags, kFlipUpDown);
  // A picture in a layout the renderer did not ask for is refused, not copied.
  DrawPicture wrong;
  wrong.format = kDrawRgb32;
  EXPECT_FALSE(draw.Draw(&wrong, 0, true));
  EXPECT_EQ(window.drawn(), 3u);
  // Without a picture the renderer presents again.
  const uint64_t presents = window.presents();
  EXPECT_TRUE(draw.Draw(nullptr, 0, true));
  EXPECT_EQ(window.presents(), presents + 1);
}

}  // namespace
}  // namespace tq
