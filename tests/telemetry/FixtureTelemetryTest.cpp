// Telemetry of the sample generator's recordings: the logs the generator writes beside a
// recording, loaded the way the player loads them and written out by tqmb20.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/TestSupport.h"
#include "telemetry/GSensorGraph.h"
#include "telemetry/TelemetryLoad.h"

namespace {

const std::string kFixtures = TQ_FIXTURE_DIR;
const std::string kCompanionName = "20261205_101500_NF";
constexpr int32_t kStartOfDay = (10 * 3600 + 15 * 60) * 100;  // 10:15:00

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The RMC latitudes of a log, read by the test itself.
std::vector<double> RmcLatitudes(const std::string& log) {
  std::vector<double> out;
  for (size_t at = log.find("$GPRMC,"); at != std::string::npos; at = log.find("$GPRMC,", at + 1)) {
    size_t field = at;
    for (int comma = 0; comma < 3; ++comma) field = log.find(',', field) + 1;
    out.push_back(std::stod(log.substr(field, log.find(',', field) - field)));
  }
  return out;
}

TEST(FixtureTelemetry, companion_logs_of_a_generated_recording_load_as_the_player_loads_them) {
  auto buffers = std::make_unique<tq::TelemetryBuffers>();
  tq::MP4INFO info;  // the recording carries no telemetry boxes
  tq::PrepareTelemetryInfo(info, *buffers);
  tq::GpsTrack track;
  track.startOfDay = tq::StartOfDayFromName(kCompanionName);
  ASSERT_EQ(track.startOfDay, kStartOfDay);
  tq::GSensorGraph graph;
  int32_t blockLength = -1;
  tq::LoadTelemetry(track, {tq::RecordingKind::Mp4, kFixtures, kCompanionName, false}, &info, *buffers,
                    [&](const uint8_t* block, int32_t length) {
                      blockLength = length;
                      graph.Set3GF(block, length, 3, tq::SecondsPerSlot(3));
                    });

  std::vector<double> latitudes = RmcLatitudes(ReadText(kFixtures + "/20261205_101500_N.gps"));
  ASSERT_EQ(latitudes.size(), 3u);  // 3 s at one fix a second
  ASSERT_EQ(track.samples.size(), latitudes.size());
  for (size_t i = 0; i < latitudes.size(); ++i) {
    EXPECT_EQ(track.samples[i].time, kStartOfDay + int32_t(i) * 100) << i;
    EXPECT_DOUBLE_EQ(track.samples[i].latitude, latitudes[i]) << i;
    EXPECT_EQ(track.samples[i].ns[0], 'N');
    EXPECT_EQ(track.samples[i].ew[0], 'E');
  }
  // Playback position 1.5 s shows the fix of second 1.
  tq::MapReport report;
  const tq::GpsSample* s = tq::FindSample(track, 1500, &report);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s, &track.samples[1]);
  EXPECT_GT(report.latitude, 35.0);
  EXPECT_LT(report.latitude, 36.0);

  EXPECT_EQ(blockLength, int32_t(std::filesystem::file_size(kFixtures + "/20261205_101500_N.3gf")));
  EXPECT_EQ(blockLength, 3 * 10 * 10);  // ten records a second
  EXPECT_EQ(graph.slotCount(), 3);
}

TEST(FixtureTelemetry, tqmb20_writes_the_generated_logs) {
  const std::string tool = std::string(TQ_BUILD_DIR) + "/tqmb20";
  tq::test::TempDir dir;
  const std::string gpx = (dir.path() / "track.gpx").string();
  auto r = tq::test::RunCommand(tool + " gps " + tq::test::Quote(kFixtures + "/20261205_101500_N.gps") +
                                " --format gpx > " + tq::test::Quote(gpx));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(tq::test::RunCommand("xmllint --noout " + tq::test::Quote(gpx)).exitCode, 0);
  std::string text = ReadText(gpx);
  size_t points = 0;
  for (size_t at = text.find("<trkpt "); at != std::string::npos; at = text.find("<trkpt ", at + 1)) ++points;
  EXPECT_EQ(points, 3u);
  EXPECT_NE(text.find("<time>2026-12-05T10:15:00.00</time>"), std::string::npos);
  EXPECT_NE(text.find("<time>2026-12-05T10:15:02.00</time>"), std::string::npos);

  r = tq::test::RunCommand(tool + " gsensor " + tq::test::Quote(kFixtures + "/20261205_101500_N.3gf"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 31);  // header + 30 records
  EXPECT_EQ(r.output.rfind("time_ms,x,y,z\n0,", 0), 0u);
}

}  // namespace
