#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TelemetryTestUtil.h"
#include "telemetry/GpsTrack.h"

namespace {

using namespace tq::test;
using tq::GpsTrack;

GpsTrack Parse(const std::string& text) {
  GpsTrack t;
  t.startOfDay = 0;
  tq::ParseNmeaText(t, Bytes(text), int32_t(text.size()));
  return t;
}

std::string Lines(const std::vector<std::string>& lines, const char* end = "\n") {
  std::string s;
  for (const auto& l : lines) s += l + end;
  return s;
}

struct Expect {
  double latitude, longitude, speed;
  char ns, ew;
};

struct PairCase {
  const char* name;
  std::vector<std::string> lines;
  int samples;
  Expect first;  // checked when samples > 0
};

const Expect kGood = {3723.2475, -12158.3416, 10.0, 'N', 'W'};

TEST(ParseNmeaText, pairs_are_judged_on_the_fields_that_were_read) {
  const PairCase cases[] = {
      {"good pair", {GoodRmc(), GoodGga()}, 1, kGood},
      {"checksum-less lines", {Rmc(kStamp, "134501.00,A,3723.2475,N,12158.3416,W,10.0,54.7"),
                               Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,1,08,0.9")}, 1, kGood},
      {"second RMC before the GGA is ignored",
       {GoodRmc(), Rmc(kStamp, "134502.00,A,1111.0000,S,02222.0000,E,99.0,0"), GoodGga()}, 1, kGood},
      {"lone GGA is not taken as an RMC", {GoodGga()}, 0, {}},
      {"GGA before the RMC is ignored", {GoodGga(), GoodRmc(), GoodGga()}, 1, kGood},
      {"RMC without GGA", {GoodRmc()}, 0, {}},
      {"status V with fix 1", {Rmc(kStamp, "134501.00,V,3723.2475,N,12158.3416,W,10.0,54.7"), GoodGga()}, 0, {}},
      {"HDOP 3.5 rejected", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,1,08,3.5")}, 0, {}},
      {"HDOP 3.49 accepted", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,1,08,3.49")}, 1, kGood},
      {"fix 0 rejected", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,0,08,0.9")}, 0, {}},
      {"fix 2 accepted", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,2,08,0.9")}, 1, kGood},
      {"fix 6 rejected", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,6,08,0.9")}, 0, {}},
      {"GGA without HDOP keeps HDOP 0", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,N,12158.3416,W,1,08,")}, 1, kGood},
      {"GGA with an empty latitude never reads its fix",
       {GoodRmc(), Gga(kStamp, "134501.00,,N,12158.3416,W,1,08,0.9")}, 0, {}},
      {"GGA position wins over the RMC's",
       {GoodRmc(), Gga(kStamp, "134501.00,3723.3000,S,12158.4000,E,1,08,0.9")}, 1,
       {-3723.3, 12158.4, 10.0, 'S', 'E'}},
      {"unreadable RMC latitude: GGA supplies the position, speed stays 0",
       {Rmc(kStamp, "134501.00,A,xx,N,12158.3416,W,10.0,54.7"), GoodGga()}, 1,
       {3723.2475, -12158.3416, 0.0, 'N', 'W'}},
      {"RMC with an empty speed field keeps speed 0",
       {Rmc(kStamp, "134501.00,A,3723.2475,N,12158.3416,W,,54.7"), GoodGga()}, 1,
       {3723.2475, -12158.3416, 0.0, 'N', 'W'}},
      {"status char is exactly one character: \" V\" reads a blank, not V",
       {Rmc(kStamp, "134501.00, V,3723.2475,N,12158.3416,W,10.0,54.7"), GoodGga()}, 1,
       {3723.2475, -12158.3416, 0.0, 'N', 'W'}},
      {"GPRMC with GNGGA is read with the GN format and supplies nothing",
       {GoodRmc(), GoodGga(kStamp).replace(GoodGga().find("$GP"), 3, "$GN")}, 1,
       {3723.2475, -12158.3416, 0.0, 'N', 'W'}},
      {"GN pair", {GoodRmc().replace(GoodRmc().find("$GP"), 3, "$GN"),
                   GoodGga().replace(GoodGga().find("$GP"), 3, "$GN")}, 1, kGood},
      {"lowercase s is not south", {GoodRmc(), Gga(kStamp, "134501.00,3723.2475,s,12158.3416,w,1,08,0.9")}, 1,
       {3723.2475, 12158.3416, 10.0, 's', 'w'}},
      {"garbage and other sentences between the pair",
       {"garbage", GoodRmc(), "$GPGSV,3,1,11,03,03,111,00*74", "\x01\x02\xff junk", GoodGga()}, 1, kGood},
      {"GGA without its time stamp is not read at all",
       {GoodRmc(), "$GPGGA,134501.00,3723.2475,N,12158.3416,W,1,08,0.9"}, 0, {}},
  };
  for (const auto& c : cases) {
    GpsTrack t = Parse(Lines(c.lines));
    ASSERT_EQ(int(t.samples.size()), c.samples) << c.name;
    if (c.samples == 0) continue;
    const auto& s = t.samples[0];
    EXPECT_EQ(s.time, kStampCentis) << c.name;
    EXPECT_DOUBLE_EQ(s.latitude, c.first.latitude) << c.name;
    EXPECT_DOUBLE_EQ(s.longitude, c.first.longitude) << c.name;
    EXPECT_DOUBLE_EQ(s.speed, c.first.speed) << c.name;
    EXPECT_EQ(s.ns[0], c.first.ns) << c.name;
    EXPECT_EQ(s.ew[0], c.first.ew) << c.name;
    EXPECT_EQ(s.ns[1], 0) << c.name;
  }
}

TEST(ParseNmeaText, line_ends_cr_lf_and_both_give_the_same_track) {
  std::vector<std::string> lines = {GoodRmc(kStamp), GoodGga(kStamp), "", GoodRmc(kStamp + 1000),
                                    GoodGga(kStamp + 1000)};
  for (const char* end : {"\n", "\r\n", "\r", "\n\r\n"}) {
    GpsTrack t = Parse(Lines(lines, end));
    ASSERT_EQ(t.samples.size(), 2u) << "line end " << int(end[0]);
    EXPECT_EQ(t.samples[1].time, kStampCentis + 100);
  }
  // The last line counts without a line end.
  GpsTrack t = Parse(GoodRmc() + "\n" + GoodGga());
  EXPECT_EQ(t.samples.size(), 1u);
}

TEST(ParseNmeaText, lines_are_cut_to_127_characters) {
  // An RMC line whose last field is the speed "10.5": padding the latitude with leading
  // zeros moves the speed's last digit across the cut.
  auto rmcOfLength = [](size_t length) {
    std::string head = "[" + std::to_string(kStamp) + "]$GPRMC,134501.00,A,";
    std::string tail = "3723.2475,N,12158.3416,W,10.5";
    return head + std::string(length - head.size() - tail.size(), '0') + tail;
  };
  struct Row {
    size_t length;
    double speed;
  } rows[] = {{126, 10.5}, {127, 10.5}, {128, 10.0}, {129, 10.0}, {130, 1.0}, {131, 0.0}, {200, 0.0}};
  for (const auto& r : rows) {
    std::string rmc = rmcOfLength(r.length);
    ASSERT_EQ(rmc.size(), r.length);
    GpsTrack t = Parse(Lines({rmc, GoodGga()}));
    ASSERT_EQ(t.samples.size(), 1u) << r.length;
    EXPECT_DOUBLE_EQ(t.samples[0].speed, r.speed) << r.length;
  }
  // The dropped rest of a long line does not become a line of its own.
  std::string longLine = "x" + std::string(130, ' ') + GoodRmc();
  GpsTrack t = Parse(Lines({longLine, GoodGga()}));
  EXPECT_EQ(t.samples.size(), 0u);
}

TEST(ParseNmeaText, times_come_from_the_bracketed_stamp_and_wrap_at_midnight) {
  const int64_t midnight = 1704499200000;  // 2024-01-06 00:00:00 UTC
  GpsTrack t = Parse(Lines({GoodRmc(midnight - 1000), GoodGga(midnight - 1000), GoodRmc(midnight + 1999),
                            GoodGga(midnight + 1999), GoodRmc(-1000), GoodGga(-1000)}));
  ASSERT_EQ(t.samples.size(), 3u);
  EXPECT_EQ(t.samples[0].time, 8639900);
  EXPECT_EQ(t.samples[1].time, 100);  // whole seconds only
  EXPECT_EQ(t.samples[2].time, 8639900);  // before 1970: still the UTC time of day
}

TEST(ParseNmeaText, status_p_marks_the_track_parked_and_nul_ends_a_line) {
  GpsTrack t = Parse(Lines({Rmc(kStamp, "134501.00,P,3723.2475,N,12158.3416,W,0.0,0"), GoodGga()}));
  ASSERT_EQ(t.samples.size(), 1u);
  EXPECT_EQ(t.parked, 1);

  std::string withNul = GoodRmc();
  withNul[withNul.find(",A,") + 1] = '\0';  // the status and all after it are gone
  GpsTrack u = Parse(Lines({withNul, GoodGga()}));
  ASSERT_EQ(u.samples.size(), 1u);
  EXPECT_DOUBLE_EQ(u.samples[0].speed, 0.0);
  EXPECT_EQ(u.parked, 0);
}

TEST(ParseNmeaText, lengths_below_one_do_nothing) {
  GpsTrack t;
  std::string text = GoodRmc() + "\n" + GoodGga() + "\n";
  tq::ParseNmeaText(t, Bytes(text), 0);
  tq::ParseNmeaText(t, Bytes(text), -1);
  EXPECT_TRUE(t.samples.empty());
}

}  // namespace
