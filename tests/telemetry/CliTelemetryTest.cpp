// tqmb20 gps / gsensor, run as a user runs them; every output is judged by an outside
// reader (xmllint, Python's XML and JSON parsers).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "TelemetryTestUtil.h"

namespace {

using namespace tq::test;

struct ToolRun {
  int code;
  std::string out;
};

ToolRun Shell(const std::string& command) {
  ToolRun r{-1, {}};
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Tool() { return std::string(TQ_BUILD_DIR) + "/tqmb20"; }

// The system interpreter starts in a tenth of the time a version-manager shim takes.
std::string Python() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

class CliTelemetry : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(std::string("cli_") + testing::UnitTest::GetInstance()->current_test_info()->name());
    // Three fixes a second apart, one void pair between them, one southern-western.
    std::string text;
    for (int i = 0; i < 3; ++i) {
      int64_t s = kStamp + i * 1000;
      text += GoodRmc(s) + "\r\n" + GoodGga(s) + "\r\n";
      if (i == 0) text += Rmc(s, "134501.00,V,,,,,,") + "\r\n" + GoodGga(s) + "\r\n";
    }
    text += Rmc(kStamp + 3000, "134504.00,A,3723.4567,S,00012.0000,W,1.5,0") + "\n" +
            Gga(kStamp + 3000, "134504.00,3723.4567,S,00012.0000,W,1,08,0.9") + "\n";
    gps_ = folder_ + "/20240105_134501_N&<x>.gps";
    WriteFile(gps_, text);
  }
  ToolRun Gps(const std::string& args) { return Shell(Tool() + " gps " + args); }

  std::string folder_, gps_;
};

TEST_F(CliTelemetry, csv_keeps_the_stored_values_with_a_header) {
  ToolRun r = Gps("'" + gps_ + "'");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out,
            "time_cs,ns,ew,latitude,longitude,speed_knots,lat_deg,lon_deg,speed_kmh\n"
            "4950100,N,W,3723.2475,-12158.3416,10,37.3874583,-121.9723600,18.520\n"
            "4950200,N,W,3723.2475,-12158.3416,10,37.3874583,-121.9723600,18.520\n"
            "4950300,N,W,3723.2475,-12158.3416,10,37.3874583,-121.9723600,18.520\n"
            "4950400,S,W,-3723.4567,-12,1.5,-37.3909450,-0.2000000,2.778\n");
  EXPECT_EQ(Gps("--format csv '" + gps_ + "'").out, r.out);
}

TEST_F(CliTelemetry, gpx_is_well_formed_with_one_trkpt_per_sample_and_dated_times) {
  std::string out = folder_ + "/t.gpx";
  ASSERT_EQ(Gps("'" + gps_ + "' --format gpx > " + out).code, 0);
  ToolRun lint = Shell("xmllint --noout " + out);
  EXPECT_EQ(lint.code, 0) << lint.out;
  ToolRun py = Shell(Python() + " -c \"import sys,xml.etree.ElementTree as E;"
                 "n={'g':'http://www.topografix.com/GPX/1/1'};r=E.parse(sys.argv[1]).getroot();"
                 "p=r.findall('g:trk/g:trkseg/g:trkpt',n);print(r.get('version'),len(p),"
                 "p[-1].get('lat'),p[-1].get('lon'),p[-1].find('g:time',n).text,r.find('g:trk/g:name',n).text)\" " + out);
  EXPECT_EQ(py.out, "1.1 4 -37.3909450 -0.2000000 2024-01-05T13:45:04.00 20240105_134501_N&<x>\n");
}

TEST_F(CliTelemetry, kml_and_geojson_parse_and_carry_every_point) {
  std::string kml = folder_ + "/t.kml", geo = folder_ + "/t.geojson";
  ASSERT_EQ(Gps("'" + gps_ + "' --format kml > " + kml).code, 0);
  ASSERT_EQ(Gps("'" + gps_ + "' --format geojson > " + geo).code, 0);
  EXPECT_EQ(Shell("xmllint --noout " + kml).code, 0);
  ToolRun k = Shell(Python() + " -c \"import sys,xml.etree.ElementTree as E;"
                "n={'k':'http://www.opengis.net/kml/2.2'};r=E.parse(sys.argv[1]).getroot();"
                "print(len(r.find('.//k:LineString/k:coordinates',n).text.split()))\" " + kml);
  EXPECT_EQ(k.out, "4\n");
  ToolRun g = Shell(Python() + " -c \"import sys,json;d=json.load(open(sys.argv[1]));f=d['features'][0];"
                "print(d['type'],f['geometry']['type'],len(f['geometry']['coordinates']),"
                "f['geometry']['coordinates'][3],f['properties']['coordTimes'][0])\" " + geo);
  EXPECT_EQ(g.out, "FeatureCollection LineString 4 [-0.2, -37.390945] 2024-01-05T13:45:01.00\n");
}

TEST_F(CliTelemetry, empty_and_single_point_tracks_stay_valid) {
  std::string one = folder_ + "/one.gps", none = folder_ + "/none.gps";
  WriteFile(one, GoodRmc() + "\n" + GoodGga() + "\n");
  WriteFile(none, "$GPGSV,1\n");
  for (const std::string& f : {one, none}) {
    std::string out = f + ".out";
    for (const char* fmt : {"gpx", "kml"}) {
      ASSERT_EQ(Gps(f + " --format " + fmt + " > " + out).code, 0);
      EXPECT_EQ(Shell("xmllint --noout " + out).code, 0) << f << " " << fmt;
    }
    ASSERT_EQ(Gps(f + " --format geojson > " + out).code, 0);
    ToolRun g = Shell(Python() + " -c \"import sys,json;d=json.load(open(sys.argv[1]));"
                  "print([x['geometry']['type'] for x in d['features']])\" " + out);
    EXPECT_EQ(g.out, f == one ? "['Point']\n" : "[]\n");
  }
  // No date in the name: points without times, still valid.
  ToolRun r = Gps(one + " --format gpx");
  EXPECT_EQ(r.out.find("<time>"), std::string::npos);
}

TEST_F(CliTelemetry, gsensor_csv_of_a_3gf_file) {
  std::string f = folder_ + "/20240105_134501_N.3gf";
  auto block = Block3gf({{0, 128, -1, -300}, {100, 0, 0, 32767}});
  block.push_back(0xAB);  // a partial record is not listed
  WriteFile(f, block);
  ToolRun r = Shell(Tool() + " gsensor " + f);
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "time_ms,x,y,z\n0,128,-1,-300\n100,0,0,32767\n");
  EXPECT_EQ(Shell(Tool() + " gsensor --format csv " + f).out, r.out);
}

TEST_F(CliTelemetry, gsensor_events_list_the_slots_over_the_threshold) {
  // 5 s of quiet records with a jolt in second 2: 1 s per slot.
  std::string f = folder_ + "/20240105_134501_N.3gf";
  std::vector<G3> records;
  for (uint32_t ms = 0; ms < 5000; ms += 100) records.push_back({ms, 0, 0, 0});
  records[21] = {2100, 100, -20, 0};
  WriteFile(f, Block3gf(records));
  struct Row {
    std::string args;
    std::string out;
  } rows[] = {
      {"--events", "second,x,y,z\n2,100,-20,0\n"},
      {"--events --threshold 99", "second,x,y,z\n2,100,-20,0\n"},
      {"--events --threshold 100", "second,x,y,z\n"},
  };
  for (const Row& r : rows) {
    ToolRun run = Shell(Tool() + " gsensor " + f + " " + r.args);
    EXPECT_EQ(run.code, 0) << r.args << "\n" << run.out;
    EXPECT_EQ(run.out, r.out) << r.args;
  }
  // A generated recording: 3 s, the jolt at 1.5 s pushes X down in slot 1.
  ToolRun mp4 = Shell(Tool() + " gsensor " + std::string(TQ_FIXTURE_DIR) + "/h264_sound.mp4 --events");
  ASSERT_EQ(mp4.code, 0) << mp4.out;
  int second = -1, x = 0, y = 0, z = 0;
  ASSERT_EQ(std::sscanf(mp4.out.c_str(), "second,x,y,z\n%d,%d,%d,%d", &second, &x, &y, &z), 4) << mp4.out;
  EXPECT_EQ(second, 1);
  EXPECT_LT(x, -60);
  EXPECT_EQ(std::count(mp4.out.begin(), mp4.out.end(), '\n'), 2) << mp4.out;
  for (const char* bad : {"--threshold", "--threshold -1", "--threshold 1x"}) {
    ToolRun run = Shell(Tool() + " gsensor " + f + " --events " + bad);
    EXPECT_EQ(run.code, 2) << bad;
    EXPECT_NE(run.out.find("--threshold takes a number"), std::string::npos) << run.out;
  }
}

TEST_F(CliTelemetry, bad_input_exits_1_and_usage_errors_exit_2) {
  std::string empty = folder_ + "/empty.gps", avi = folder_ + "/20240105_134501_N.avi";
  WriteFile(empty, "");
  WriteFile(avi, "RIFF");
  struct Row {
    std::string command;
    int code;
    std::string message;
  } rows[] = {
      {"gps " + folder_ + "/missing.gps", 1, "missing.gps: no such file"},
      {"gps " + empty, 1, "empty.gps: the file is empty"},
      {"gps " + avi, 1, "AVI recordings are not supported yet"},
      {"gps " + folder_ + "/x.3gf", 1, "no such file"},
      {"gsensor '" + gps_ + "'", 1, "not a recording (.mp4, .avi) or a .3gf file"},
      {"gps", 2, "usage: tqmb20 gps FILE"},
      {"gps " + empty + " --format xml", 2, "--format takes csv, gpx, kml or geojson"},
      {"gps " + empty + " --format", 2, "--format takes"},
      {"gps a.gps b.gps", 2, "unexpected argument 'b.gps'"},
      {"gsensor x.3gf --format gpx", 2, "--format takes csv"},
      {"gsensor", 2, "usage: tqmb20 gsensor FILE"},
  };
  for (const auto& r : rows) {
    ToolRun run = Shell(Tool() + " " + r.command);
    EXPECT_EQ(run.code, r.code) << r.command << "\n" << run.out;
    EXPECT_NE(run.out.find(r.message), std::string::npos) << r.command << "\n" << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  }
}

}  // namespace
