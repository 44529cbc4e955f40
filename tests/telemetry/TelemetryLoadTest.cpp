#include <gtest/gtest.h>

#include <memory>

#include "TelemetryTestUtil.h"
#include "app/TraceLog.h"
#include "telemetry/TelemetryLoad.h"

namespace {

using namespace tq::test;
using tq::GpsTrack;
using tq::RecordingKind;
using tq::RecordingRef;
using tq::TelemetryBuffers;

struct Received {
  int calls = 0;
  std::vector<uint8_t> block;
  int32_t length = -2;
};

class TelemetryLoad : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    trace_ = folder_ + "/trace.txt";
    tq::SetTraceFile(trace_);
    buffers_ = std::make_unique<TelemetryBuffers>();
    buffers_->telemetry[0] = 0x55;
    buffers_->sensor[0] = 0x55;
  }
  void TearDown() override { tq::SetTraceFile(""); }

  GpsTrack Load(const std::string& name, const tq::MP4INFO* info = nullptr,
                RecordingKind kind = RecordingKind::Mp4) {
    GpsTrack t;
    t.startOfDay = tq::StartOfDayFromName(name);
    RecordingRef rec{kind, folder_, name, tq::IsParkingMp4Name(name)};
    tq::LoadTelemetry(t, rec, info, *buffers_, [&](const uint8_t* block, int32_t length) {
      ++got_.calls;
      got_.length = length;
      got_.block.assign(block, block + std::max(length, 0));
    });
    EXPECT_EQ(buffers_->telemetry[0], 0);
    EXPECT_EQ(buffers_->sensor[0], 0);
    return t;
  }
  std::string Path(const std::string& file) { return folder_ + "/" + file; }

  std::string folder_, trace_;
  std::unique_ptr<TelemetryBuffers> buffers_;
  Received got_;
};

const std::string kNmea = GoodRmc() + "\r\n" + GoodGga() + "\r\n";
const std::vector<uint8_t> k3gf = Block3gf({{0, 1, 2, 3}, {100, 4, 5, 6}});

TEST_F(TelemetryLoad, front_and_rear_share_the_companions_of_the_stem) {
  WriteFile(Path("20240105_134501_N.gps"), kNmea);
  WriteFile(Path("20240105_134501_N.3gf"), k3gf);
  for (const char* name : {"20240105_134501_NF", "20240105_134501_NR", "20240105_134501_NL",
                           "20240105_134501_NFS", "20240105_134501_N"}) {
    got_ = {};
    GpsTrack t = Load(name);
    EXPECT_EQ(t.samples.size(), 1u) << name;
    EXPECT_EQ(got_.calls, 1) << name;
    EXPECT_EQ(got_.block, k3gf) << name;
  }
}

TEST_F(TelemetryLoad, names_differing_in_case_and_s_names_with_their_own_companions) {
  WriteFile(Path("20240105_134501_EFS.GPS"), kNmea);
  WriteFile(Path("20240105_134501_E.3Gf"), k3gf);
  GpsTrack t = Load("20240105_134501_EFS");
  EXPECT_EQ(t.samples.size(), 1u);
  EXPECT_EQ(got_.block, k3gf);
}

TEST_F(TelemetryLoad, parking_recordings_get_the_sensor_block_but_no_track) {
  WriteFile(Path("20240105_134501_P.gps"), kNmea);
  WriteFile(Path("20240105_134501_P.3gf"), k3gf);
  WriteFile(Path("20240105_134501_I.gps"), kNmea);
  for (const char* name : {"20240105_134501_PF", "20240105_134501_PRS", "20240105_134501_IR"}) {
    got_ = {};
    EXPECT_TRUE(Load(name).samples.empty()) << name;
  }
  Load("20240105_134501_PF");
  EXPECT_EQ(got_.block, k3gf);
  EXPECT_TRUE(tq::IsParkingAviName("x", 2));
  EXPECT_TRUE(tq::IsParkingAviName("20240105_134501P", 0));
  EXPECT_FALSE(tq::IsParkingAviName("20240105_134501E", 1));
}

TEST_F(TelemetryLoad, missing_and_empty_companions_are_traced_and_give_nothing) {
  WriteFile(Path("20240105_134501_N.gps"), "");
  GpsTrack t = Load("20240105_134501_NF");
  EXPECT_TRUE(t.samples.empty());
  EXPECT_EQ(got_.calls, 0);
  std::string trace = ReadFile(trace_);
  EXPECT_NE(trace.find("[CDispCtrlDlg::SetData("), std::string::npos);
  EXPECT_NE(trace.find(Path("20240105_134501_N.3gf") + " file open failed\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(Path("20240105_134501_N.gps") + " file read failed\n"), std::string::npos) << trace;
}

TEST_F(TelemetryLoad, an_oversized_gps_file_is_cut_at_a_line_end_with_a_trace_line) {
  // Pairs of fixed size until the file passes 160 KiB; the pair cut in the middle and
  // everything after it are dropped.
  std::string text;
  int pairs = 0;
  size_t kept = 0;
  while (text.size() <= tq::kTelemetryBufferSize + 500) {
    int64_t stamp = kStamp + int64_t(pairs) * 1000;
    text += GoodRmc(stamp) + "\n" + GoodGga(stamp) + "\n";
    if (text.size() <= tq::kTelemetryBufferSize - 1) kept = size_t(++pairs); else ++pairs;
  }
  WriteFile(Path("20240105_134501_N.gps"), text);
  GpsTrack t = Load("20240105_134501_NF");
  ASSERT_EQ(t.samples.size(), kept);
  EXPECT_EQ(t.samples.back().time, kStampCentis + int32_t(kept - 1) * 100);
  std::string trace = ReadFile(trace_);
  EXPECT_NE(trace.find(" is " + std::to_string(text.size()) + " bytes, only the first "),
            std::string::npos) << trace;

  uint32_t size = 0;
  ASSERT_EQ(tq::ReadWholeFile(Path("20240105_134501_N.gps"), buffers_->telemetry.data(),
                              tq::kTelemetryBufferSize, &size, tq::CutRule::Lines), 1);
  EXPECT_LE(size, tq::kTelemetryBufferSize - 1);
  EXPECT_EQ(buffers_->telemetry[size - 1], '\n');
  EXPECT_EQ(buffers_->telemetry[size], 0);
}

TEST_F(TelemetryLoad, an_oversized_3gf_file_is_cut_at_a_record) {
  std::vector<G3> records(tq::kSensorBufferSize / 10 + 5, G3{0, 1, 1, 1});
  WriteFile(Path("20240105_134501_N.3gf"), Block3gf(records));
  Load("20240105_134501_NF");
  EXPECT_EQ(got_.length, int32_t((tq::kSensorBufferSize - 1) / 10 * 10));  // 61,430
  // A file that fits exactly (capacity - 1 bytes) is not cut.
  std::string exact(tq::kSensorBufferSize - 1, 'x');
  WriteFile(Path("exact.3gf"), exact);
  uint32_t size = 0;
  ASSERT_EQ(tq::ReadWholeFile(Path("exact.3gf"), buffers_->sensor.data(), tq::kSensorBufferSize, &size,
                              tq::CutRule::Records3gf), 1);
  EXPECT_EQ(size, tq::kSensorBufferSize - 1);
  EXPECT_EQ(ReadFile(trace_).find("exact.3gf"), std::string::npos);
}

// The description as the box reader leaves it: GPS text, its NUL, the 3GF block.
tq::MP4INFO EmbeddedInfo(TelemetryBuffers& b, const std::string& gps, const std::vector<uint8_t>& g3,
                         bool marker = true) {
  tq::MP4INFO info;
  tq::PrepareTelemetryInfo(info, b);
  std::copy(gps.begin(), gps.end(), b.telemetry.begin());
  b.telemetry[gps.size()] = 0;
  info.gpsLength = int32_t(gps.size());
  info.sensorBuffer = b.telemetry.data() + gps.size() + 1;
  info.sensorCapacity = uint32_t(tq::kTelemetryBufferSize - gps.size() - 1);
  std::copy(g3.begin(), g3.end(), info.sensorBuffer);
  std::fill_n(info.sensorBuffer + g3.size(), 10, 0xFF);
  if (marker) info.sensorEnd = int32_t(g3.size());
  return info;
}

TEST_F(TelemetryLoad, embedded_telemetry_wins_over_companions) {
  WriteFile(Path("20240105_134501_N.gps"), kNmea + kNmea);
  auto info = EmbeddedInfo(*buffers_, kNmea, k3gf);
  GpsTrack t = Load("20240105_134501_NF", &info);
  EXPECT_EQ(t.samples.size(), 1u);
  EXPECT_EQ(got_.block, k3gf);

  // GPS text without a G-sensor end marker: the timeline gets an empty block.
  got_ = {};
  auto noMarker = EmbeddedInfo(*buffers_, kNmea, k3gf, false);
  EXPECT_EQ(Load("20240105_134501_NF", &noMarker).samples.size(), 1u);
  EXPECT_EQ(got_.calls, 1);
  EXPECT_EQ(got_.length, -1);

  // Nothing embedded: the companions are read.
  tq::MP4INFO empty;
  tq::PrepareTelemetryInfo(empty, *buffers_);
  EXPECT_EQ(Load("20240105_134501_NF", &empty).samples.size(), 2u);
}

TEST_F(TelemetryLoad, gps2_layout_reads_binary_records_timed_from_sttm) {
  tq::MP4INFO info;
  tq::PrepareTelemetryInfo(info, *buffers_);
  Gps2Fields f;
  f.stamp = uint64_t(kStamp) + 2500;
  auto rec = Gps2Record(f);
  std::copy(rec.begin(), rec.end(), buffers_->telemetry.begin());
  info.gpsLength = 48;
  info.gps2Layout = 1;
  info.startTime = uint64_t(kStamp);
  GpsTrack t = Load("20240105_134501_NF", &info);
  ASSERT_EQ(t.samples.size(), 1u);
  EXPECT_EQ(t.samples[0].time, kStampCentis + 250);
  EXPECT_EQ(got_.length, -1);
}

TEST_F(TelemetryLoad, avi_loads_nothing_here) {
  WriteFile(Path("20240105_134501_N.gps"), kNmea);
  GpsTrack t = Load("20240105_134501_N", nullptr, RecordingKind::Avi);
  EXPECT_TRUE(t.samples.empty());
  EXPECT_EQ(got_.calls, 0);
}

TEST(RecordingNames, stems_start_times_and_parking) {
  EXPECT_EQ(tq::TelemetryStem("20240105_134501_NF"), "20240105_134501_N");
  EXPECT_EQ(tq::TelemetryStem("20240105_134501_NRS"), "20240105_134501_N");
  EXPECT_EQ(tq::TelemetryStem("20240105_134501_M"), "20240105_134501_M");
  EXPECT_EQ(tq::StartOfDayFromName("20240105_134501_NF"), kStampCentis);
  EXPECT_EQ(tq::StartOfDayFromName("20240105_235959_NF"), 8639900);
  EXPECT_EQ(tq::StartOfDayFromName("20240105_1345"), -1);
  EXPECT_EQ(tq::StartOfDayFromName("20240105_13x501_NF"), -1);
  EXPECT_TRUE(tq::IsParkingMp4Name("20240105_134501_P"));
  EXPECT_TRUE(tq::IsParkingMp4Name("20240105_134501_IRS"));
  EXPECT_FALSE(tq::IsParkingMp4Name("20240105_134501_NF"));
  EXPECT_FALSE(tq::IsParkingMp4Name("20240105_134501_TF"));
}

}  // namespace
