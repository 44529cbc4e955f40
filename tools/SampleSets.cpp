#include "SampleSets.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "AviSampleSets.h"
#include "CameraRecording.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.good()) return Fail(error, path.string() + ": cannot write");
  return true;
}

bool Make(const RecordingSpec& spec, const fs::path& path, bool verbose, std::string* error) {
  RecordingResult r;
  if (!WriteRecording(spec, path.string(), &r, error)) {
    if (error) *error = path.string() + ": " + *error;
    return false;
  }
  if (verbose)
    std::printf("%s  %u video / %u sound samples, %llu bytes\n", path.string().c_str(),
                r.videoSamples, r.soundSamples, static_cast<unsigned long long>(r.bytes));
  return true;
}

// One moment of the demo card: a front recording and, when `pair`, its rear partner.
struct DemoEntry {
  int day;            // 5 or 6 (December 2026)
  int hour, minute, second;
  char type;
  int seconds;        // duration
  bool pair;
  bool sound;
  bool hevc;
  bool companions;
  bool unfinished;
  bool parked;
  int routeSecond;    // where in the day's drive the recording starts
  uint32_t jolt;      // 1/128 g
};

// Two days of driving: a morning drive cut into consecutive recordings with an event,
// a parked car at noon, a drive across midnight, a manual clip, a recording whose logs
// lie beside it, and one cut short by a power loss.
constexpr DemoEntry kDemo[] = {
    {5, 8, 15, 0, 'N', 60, true, true, false, false, false, false, 0, 60},
    {5, 8, 16, 0, 'N', 30, true, true, false, false, false, false, 60, 60},
    {5, 8, 16, 30, 'E', 20, true, true, false, false, false, false, 90, 230},
    {5, 12, 30, 0, 'P', 20, true, false, false, false, false, true, 0, 160},
    {5, 23, 59, 45, 'N', 30, true, true, false, false, false, false, 200, 60},
    {6, 9, 0, 0, 'M', 20, false, true, true, false, false, false, 0, 40},
    {6, 9, 1, 0, 'N', 20, true, true, false, true, false, false, 60, 60},
    {6, 9, 30, 0, 'N', 20, false, true, false, false, true, false, 120, 60},
};

constexpr int kDemoFrontWidth = 640, kDemoFrontHeight = 360;
constexpr int kDemoRearWidth = 480, kDemoRearHeight = 270;

}  // namespace

int64_t ClockSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return int64_t(timegm(&tm));
}

std::string VersionBinText() {
  return "[firmware]\r\n"
         "version = 1.005\r\n"
         "model = ZU TQ-MB20A\r\n"
         "language = Japan\r\n"
         "opt = 0\r\n"
         "[config]\r\n"
         "version = 1.002\r\n"
         "[local]\r\n"
         "option = JP\r\n"
         "region = 0\r\n";
}

std::string ConfigIniText() {
  const char* sections[][2] = {
      {"Tab1",
       "TimeZone=9\r\nTimeSet=0\r\nSetTime=202612050800\r\nDaylight=0\r\nGpsSync=1\r\n"
       "VideoQuality=2\r\nNightVision=1\r\nFrontBrightness=3\r\nRearBrightness=3\r\n"
       "Brightness=3\r\nImageSetting=0\r\nRecordTime=1\r\nNormalRecordTime=1\r\n"
       "EventRecordTime=1\r\nLockEvent=1\r\nOverwriteLock=0\r\nVCodecType=0\r\n"
       "NormalRecord=1\r\nVoiceRecord=1\r\nDateDisplay=1\r\nSpeedUnit=0\r\nAutoParking=1\r\n"
       "RearRec=1\r\nRearPower=1\r\nRearRotate=0\r\nRearParkingMode=1\r\nFrontRotate=0\r\n"
       "OBDSpeedOn=0\r\n"},
      {"Tab2",
       "NORMALSENSOR1=3\r\nNORMALSENSOR2=3\r\nNORMALSENSOR3=3\r\nPARKINGSENSOR1=2\r\n"
       "PARKINGSENSOR2=2\r\nPARKINGSENSOR3=2\r\nMOTIONSENSOR=0\r\nSpeedAlert=0\r\n"
       "kmLimit=100\r\nmileLimit=60\r\nFrontMotionRegion=0\r\nRearMotionRegion=0\r\n"},
      {"Tab3",
       "RECLED=1\r\nNORMALLED=1\r\nPARKINGLED=1\r\nWifiLED=1\r\nLTELED=0\r\nLED2=0\r\n"
       "NORMALCOLOR=0\r\nPARKINGCOLOR=1\r\nRearLED=1\r\nSTARTVOICE=1\r\nNORMALSTARTVOICE=1\r\n"
       "EVENTSTARTVOICE=1\r\nCHANGERECORDMODEVOICE=1\r\nENDVOICE=1\r\nCLOUDVOICE=0\r\n"
       "PARKINGMODEVOICE=1\r\nPARKINGEVENTVOICE=1\r\nSPEEDALERTVOICE=1\r\nVOLUME=3\r\n"
       "SpeedAlert=0\r\nkmLimit=100\r\nmileLimit=60\r\nScheduledReboot=0\r\n"
       "ScheduledRebootTime=3\r\nuserString=\r\nPSENSOR=0\r\nalert_adas_warning_voice=0\r\n"
       "ADASSetting=0\r\nADASFCWS=0\r\nADASLDWS=0\r\nADASFVSA=0\r\nBattery=1\r\n"
       "LowvoltageTime=2\r\nLowvoltageVolt=118\r\n"},
      {"LCD", "ScreenBright=2\r\nScreenOnTime=1\r\n"},
      {"Wifi",
       "onstart=1\r\nonstart_LTE=0\r\nWifiSleepMode=0\r\nWiFiBand=0\r\nap_ssid=TQ-MB20_5A1C\r\n"
       "ap_pw=\r\n"},
      {"Cloud",
       "CloudService=0\r\nsta_ssid=\r\nsta_pw=\r\nsta2_ssid=\r\nsta2_pw=\r\nsta3_ssid=\r\n"
       "sta3_pw=\r\nsta_garage=0\r\nsta2_garage=0\r\nsta3_garage=0\r\nAlarmManual=0\r\n"
       "AlarmParking=0\r\nAlarmParkEvent=0\r\nAlarmEvent=0\r\nAlarmSpeed=0\r\n"
       "AlarmParkInOut=0\r\nAlarmHighTemperature=0\r\nAlarmLowVoltage=0\r\n"},
  };
  std::string text;
  for (const auto& s : sections) text += std::string("[") + s[0] + "]\r\n" + s[1];
  return text;
}

bool MakeDemoCard(const std::string& dir, uint32_t seed, bool verbose, std::string* error) {
  const fs::path root = fs::path(dir) / "TQ-MB20";
  const fs::path record = root / "Record", config = root / "Config";
  std::error_code ec;
  fs::create_directories(record, ec);
  if (!ec) fs::create_directories(config, ec);
  if (ec) return Fail(error, dir + ": cannot create the card folders: " + ec.message());
  if (!WriteText(config / "version.bin", VersionBinText(), error) ||
      !WriteText(config / "config.ini", ConfigIniText(), error))
    return false;

  for (const DemoEntry& e : kDemo) {
    for (int camera = 0; camera < (e.pair ? 2 : 1); ++camera) {
      RecordingSpec s;
      s.width = camera == 0 ? kDemoFrontWidth : kDemoRearWidth;
      s.height = camera == 0 ? kDemoFrontHeight : kDemoRearHeight;
      s.camera = camera;
      s.type = e.type;
      s.durationMs = uint32_t(e.seconds) * 1000;
      s.sound = e.sound;
      s.hevc = e.hevc;
      s.companions = e.companions;
      s.thumbnail = true;
      s.thumBox = true;
      s.parked = e.parked;
      s.startSeconds = ClockSeconds(2026, 12, e.day, e.hour, e.minute, e.second);
      s.seed = seed * 101 + uint32_t(e.day * 10000 + e.hour * 100 + e.minute) * 2 + uint32_t(camera);
      s.telemetrySeed = seed * 7 + uint32_t(e.day);  // one drive per day, shared by a pair
      s.routeSecond = e.routeSecond;
      s.joltMs = uint32_t(e.seconds) * 1000 / 2;
      s.joltStrength = int(e.jolt);
      if (e.unfinished) s.cutAfterFrames = e.seconds * s.fps * 2 / 3;
      const fs::path path = record / (RecordingBaseName(s) + ".mp4");
      if (!Make(s, path, verbose, error)) return false;
      if (e.unfinished) {
        // The power went off in the middle of writing a sample.
        std::error_code sizeError;
        const auto size = fs::file_size(path, sizeError);
        if (!sizeError) fs::resize_file(path, size - 100, sizeError);
        if (sizeError) return Fail(error, path.string() + ": cannot cut: " + sizeError.message());
      }
    }
  }
  return true;
}

bool MakeFixtures(const std::string& dir, bool verbose, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return Fail(error, dir + ": cannot create: " + ec.message());
  const fs::path d(dir);
  auto base = [] {
    RecordingSpec s;
    s.width = 320;
    s.height = 180;
    s.durationMs = 3000;
    s.startSeconds = ClockSeconds(2026, 12, 5, 10, 15, 0);
    s.joltMs = 1500;
    return s;
  };
  struct Fixture {
    const char* name;
    void (*adjust)(RecordingSpec&);
  };
  const Fixture fixtures[] = {
      {"h264_sound.mp4", [](RecordingSpec&) {}},
      {"h264_rear.mp4", [](RecordingSpec& s) { s.camera = 1; s.width = 256; s.height = 144; s.seed = 2; }},
      {"h265_sound.mp4", [](RecordingSpec& s) { s.hevc = true; s.durationMs = 2000; }},
      {"h264_nosound.mp4", [](RecordingSpec& s) { s.sound = false; }},
      {"gps2.mp4", [](RecordingSpec& s) { s.gps2Layout = true; s.durationMs = 2000; }},
      {"20261205_101500_NF.mp4", [](RecordingSpec& s) { s.companions = true; s.thumbnail = true; }},
      {"unfinished_frames.mp4", [](RecordingSpec& s) { s.cutAfterFrames = 45; }},
      {"unfinished_byte.mp4", [](RecordingSpec& s) { s.cutAtByte = 40000; }},
      {"reserved_room.mp4", [](RecordingSpec& s) { s.reservedRoom = true; }},
      {"reserved_unfinished.mp4", [](RecordingSpec& s) { s.reservedRoom = true; s.cutAfterFrames = 40; }},
      {"gop60.mp4", [](RecordingSpec& s) { s.gop = 60; s.durationMs = 5000; }},
      {"extra_bytes.mp4", [](RecordingSpec& s) { s.extraBytes = 8; s.clockBase = 123456; }},
      {"20261205_102000_NF.mp4", [](RecordingSpec& s) { s.startSeconds += 300; s.telemetrySeed = 5; }},
      {"20261205_102000_NR.mp4", [](RecordingSpec& s) {
         s.startSeconds += 300; s.telemetrySeed = 5; s.camera = 1; s.width = 256; s.height = 144; s.seed = 3;
       }},
      {"sound_first.mp4", [](RecordingSpec& s) { s.videoDelayMs = 100; s.durationMs = 2000; }},
      {"sound_late.mp4", [](RecordingSpec& s) { s.soundDelayMs = 250; s.durationMs = 2000; }},
      // Long enough to cut 00:10 to 00:20 out of, with key frames every second and every
      // ten seconds.
      {"20261205_104000_NF.mp4", [](RecordingSpec& s) { s.startSeconds += 1500; s.durationMs = 25000; }},
      {"20261205_104100_NF.mp4", [](RecordingSpec& s) {
         s.startSeconds += 1560; s.durationMs = 25000; s.gop = 300;
       }},
  };
  for (const Fixture& f : fixtures) {
    RecordingSpec s = base();
    f.adjust(s);
    if (!Make(s, d / f.name, verbose, error)) return false;
  }
  return MakeAviFixtures(dir, verbose, error);
}

}  // namespace tq
