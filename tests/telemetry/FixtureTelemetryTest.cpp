// Telemetry of the sample generator's recordings: the logs the generator writes beside a
// recording, loaded the way the player loads them and written out by tqmb20.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "container/Mp4Reader.h"
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

// The player's path for a recording with embedded telemetry: the box reader fills the
// description with the telemetry buffer, LoadTelemetry parses from there.
struct Loaded {
  tq::GpsTrack track;
  std::vector<uint8_t> block;
  uint32_t gps2Layout = 0;
};
Loaded LoadRecording(const std::string& file, int32_t startOfDay) {
  Loaded out;
  auto buffers = std::make_unique<tq::TelemetryBuffers>();
  tq::MP4INFO info;
  tq::PrepareTelemetryInfo(info, *buffers);
  uint64_t length = 0;
  tq::ScanMP4(kFixtures + "/" + file, &info, 0, &length);
  out.gps2Layout = info.gps2Layout;
  out.track.startOfDay = startOfDay;
  std::string name = std::filesystem::path(file).stem().string();
  tq::LoadTelemetry(out.track, {tq::RecordingKind::Mp4, kFixtures, name, tq::IsParkingMp4Name(name)}, &info,
                    *buffers, [&](const uint8_t* block, int32_t n) {
                      if (block && n > 0) out.block.assign(block, block + n);
                    });
  tq::FreeMP4INFO(info);
  return out;
}

TEST(FixtureTelemetry, embedded_nmea_text_and_3gf_block_of_a_generated_recording) {
  Loaded r = LoadRecording("20261205_102000_NR.mp4", tq::StartOfDayFromName("20261205_102000_NR"));
  // The text of the "gps " box, found in the file's bytes by the test itself.
  std::string bytes = ReadText(kFixtures + "/20261205_102000_NR.mp4");
  size_t box = bytes.find("gps [");
  ASSERT_NE(box, std::string::npos);
  std::string text = bytes.substr(box + 4, bytes.find('\0', box) - box - 4);
  std::vector<double> latitudes = RmcLatitudes(text);
  ASSERT_EQ(latitudes.size(), 3u);
  ASSERT_EQ(r.track.samples.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(r.track.samples[i].latitude, latitudes[i]) << i;
    EXPECT_EQ(r.track.samples[i].time, (10 * 3600 + 20 * 60) * 100 + int32_t(i) * 100) << i;
  }
  // 30 records of 10 bytes before the end marker.
  ASSERT_EQ(r.block.size(), 300u);
  auto records = tq::Parse3GF(r.block.data(), int64_t(r.block.size()));
  EXPECT_EQ(records.front().timeMs, 0u);
  EXPECT_EQ(records.back().timeMs, 2900u);
}

TEST(FixtureTelemetry, gps2_records_of_a_generated_recording_are_timed_from_sttm) {
  Loaded r = LoadRecording("gps2.mp4", kStartOfDay);
  EXPECT_EQ(r.gps2Layout, 1u);
  ASSERT_EQ(r.track.samples.size(), 2u);  // 2 s at one fix a second
  // The generator stamps each fix 40 ms after its second.
  EXPECT_EQ(r.track.samples[0].time, kStartOfDay + 4);
  EXPECT_EQ(r.track.samples[1].time, kStartOfDay + 104);
  EXPECT_GT(r.track.samples[0].latitude, 3500.0);
  EXPECT_LT(r.track.samples[0].latitude, 3600.0);
  EXPECT_EQ(r.track.samples[0].ns[0], 'N');
  EXPECT_EQ(tq::FindSample(r.track, 39, nullptr), nullptr);  // before the first fix
  EXPECT_EQ(tq::FindSample(r.track, 40, nullptr), &r.track.samples[0]);
}

TEST(FixtureTelemetry, tqmb20_on_recordings_embedded_parking_and_not_an_mp4) {
  const std::string tool = std::string(TQ_BUILD_DIR) + "/tqmb20";
  tq::test::TempDir dir;
  const std::string geo = (dir.path() / "t.geojson").string();
  auto r = tq::test::RunCommand(tool + " gps " + tq::test::Quote(kFixtures + "/20261205_102000_NF.mp4") +
                                " --format geojson > " + tq::test::Quote(geo));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  auto py = tq::test::RunCommand(
      "/usr/bin/python3 -c \"import sys,json;f=json.load(open(sys.argv[1]))['features'][0];"
      "print(f['geometry']['type'],len(f['geometry']['coordinates']),f['properties']['coordTimes'][0])\" " +
      tq::test::Quote(geo));
  EXPECT_EQ(py.output, "LineString 3 2026-12-05T10:20:00.00\n");

  // A parking recording has no track, but its G-sensor records are still listed.
  const std::string parked = (dir.path() / "20261205_101500_PF.mp4").string();
  std::filesystem::copy_file(kFixtures + "/h264_sound.mp4", parked);
  r = tq::test::RunCommand(tool + " gps " + tq::test::Quote(parked));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "time_cs,ns,ew,latitude,longitude,speed_knots,lat_deg,lon_deg,speed_kmh\n");
  r = tq::test::RunCommand(tool + " gsensor " + tq::test::Quote(parked));
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 31);

  const std::string junk = (dir.path() / "junk.mp4").string();
  std::ofstream(junk) << "this is not a recording";
  r = tq::test::RunCommand(tool + " gps " + tq::test::Quote(junk));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("junk.mp4: not a readable MP4 file"), std::string::npos) << r.output;
}

}  // namespace
