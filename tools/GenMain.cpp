// tqmb20-gen: makes recordings as the camera writes them, the demo card and the test
// fixtures. Usage errors exit 2, failures 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "AviSampleSets.h"
#include "CameraRecording.h"
#include "SampleSets.h"

namespace {

using tq::RecordingSpec;

constexpr char kUsage[] =
    "usage: tqmb20-gen [options] (-o FILE | --out-dir DIR)\n"
    "       tqmb20-gen --demo-card DIR [--seed N]\n"
    "       tqmb20-gen --demo-card-avi DIR [--seed N]   (second family: setup.cfg, AVI)\n"
    "       tqmb20-gen --fixtures DIR\n"
    "options:\n"
    "  --camera front|rear      camera (front)\n"
    "  --type LETTER            record type letter of the name: N E I P T M (N)\n"
    "  --start YYYYMMDD_HHMMSS  local start time (20261205_081500)\n"
    "  --duration SEC           length in seconds, fractions allowed (10)\n"
    "  --size WxH               picture size (1920x1080 front, 1280x720 rear)\n"
    "  --fps N                  frames per second (30)\n"
    "  --gop N                  frames from one key frame to the next (30)\n"
    "  --h265                   H.265 instead of H.264\n"
    "  --bitrate KBPS           video bit rate (default: constant quality)\n"
    "  --no-sound               no sound track\n"
    "  --audio-rate HZ          AAC sample rate (48000)\n"
    "  --tone HZ                the sound is one steady sine of HZ (default: hum and beeps)\n"
    "  --seed N                 picture and sound seed (1)\n"
    "  --telemetry-seed N       GPS route and G-sensor seed (the picture seed)\n"
    "  --route-second N         where in the drive the recording starts (0)\n"
    "  --parked                 the car does not move\n"
    "  --jolt-ms MS             time of the G-sensor jolt (half the duration)\n"
    "  --jolt STRENGTH          jolt strength in 1/128 g (90)\n"
    "  --no-telemetry           no GPS and no G-sensor log\n"
    "  --companions             .gps/.3gf files beside the recording instead of embedded\n"
    "  --thumbnail              a .thm JPEG of the first picture beside the recording\n"
    "  --thum-box               the same JPEG in a \"thum\" box inside the free box\n"
    "  --gps2                   binary GPS records (ptnm kind 4), samples without frame records\n"
    "  --reserved-room [BYTES]  moov with a junk child before the mdat (room for a full index)\n"
    "  --cut-after-frames N     unfinished: stop after N video frames, no moov\n"
    "  --cut-at-byte N          unfinished: no moov, file cut to N bytes\n"
    "  --extra-bytes N          bytes between each frame record and its sample (0)\n"
    "  --clock-base MS          added to the frame record time stamps (0)\n"
    "  --video-delay MS         pictures start this long after the sound (0)\n"
    "  --sound-delay MS         sound starts this long after the pictures (0)\n"
    "  -q, --quiet              print nothing on success\n";

int Usage(const std::string& message) {
  std::fprintf(stderr, "tqmb20-gen: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool ToInt(const char* text, long long lo, long long hi, long long* out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno || end == text || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseStart(const std::string& text, int64_t* seconds) {
  int y, mo, d, h, mi, s;
  char tail;
  if (text.size() != 15 ||
      std::sscanf(text.c_str(), "%4d%2d%2d_%2d%2d%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
    return false;
  if (y < 1971 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  *seconds = tq::ClockSeconds(y, mo, d, h, mi, s);
  return true;
}

struct Cli {
  RecordingSpec spec;
  std::string output, outDir, demoCard, demoCardAvi, fixtures;
  bool sizeGiven = false, telemetrySeedGiven = false, joltGiven = false, quiet = false;
  uint32_t seed = 1;
};

// Returns 0 when parsed, else the exit code.
int Parse(int argc, char** argv, Cli* cli) {
  RecordingSpec& s = cli->spec;
  s.startSeconds = tq::ClockSeconds(2026, 12, 5, 8, 15, 0);
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char** v) {
      if (i + 1 >= argc) return false;
      *v = argv[++i];
      return true;
    };
    auto number = [&](long long lo, long long hi, long long* out) {
      const char* v;
      return value(&v) && ToInt(v, lo, hi, out);
    };
    const char* v = nullptr;
    long long n = 0;
    if (a == "-o" || a == "--output") {
      if (!value(&v)) return Usage("-o needs a file");
      cli->output = v;
    } else if (a == "--out-dir") {
      if (!value(&v)) return Usage("--out-dir needs a folder");
      cli->outDir = v;
    } else if (a == "--demo-card") {
      if (!value(&v)) return Usage("--demo-card needs a folder");
      cli->demoCard = v;
    } else if (a == "--demo-card-avi") {
      if (!value(&v)) return Usage("--demo-card-avi needs a folder");
      cli->demoCardAvi = v;
    } else if (a == "--fixtures") {
      if (!value(&v)) return Usage("--fixtures needs a folder");
      cli->fixtures = v;
    } else if (a == "--camera") {
      if (!value(&v) || (std::strcmp(v, "front") && std::strcmp(v, "rear")))
        return Usage("--camera takes front or rear");
      s.camera = std::strcmp(v, "rear") == 0;
    } else if (a == "--type") {
      if (!value(&v) || std::strlen(v) != 1 || !std::isupper(static_cast<unsigned char>(v[0])))
        return Usage("--type takes one capital letter");
      s.type = v[0];
    } else if (a == "--start") {
      if (!value(&v) || !ParseStart(v, &s.startSeconds))
        return Usage("--start takes YYYYMMDD_HHMMSS");
    } else if (a == "--duration") {
      char* end = nullptr;
      if (!value(&v)) return Usage("--duration needs seconds");
      const double sec = std::strtod(v, &end);
      if (end == v || *end || !(sec > 0) || sec > 3600) return Usage("--duration takes seconds");
      s.durationMs = uint32_t(sec * 1000 + 0.5);
    } else if (a == "--size") {
      int w, h;
      char tail;
      if (!value(&v) || std::sscanf(v, "%dx%d%c", &w, &h, &tail) != 2 || w <= 0 || h <= 0 ||
          w > 4096 || h > 4096)
        return Usage("--size takes WxH");
      s.width = w;
      s.height = h;
      cli->sizeGiven = true;
    } else if (a == "--fps") {
      if (!number(1, 120, &n)) return Usage("--fps takes 1 to 120");
      s.fps = int(n);
    } else if (a == "--gop") {
      if (!number(1, 10000, &n)) return Usage("--gop takes 1 to 10000");
      s.gop = int(n);
    } else if (a == "--h265") {
      s.hevc = true;
    } else if (a == "--bitrate") {
      if (!number(1, 200000, &n)) return Usage("--bitrate takes kbit/s");
      s.bitrateKbps = int(n);
    } else if (a == "--no-sound") {
      s.sound = false;
    } else if (a == "--audio-rate") {
      if (!number(8000, 96000, &n)) return Usage("--audio-rate takes 8000 to 96000");
      s.audioRate = int(n);
    } else if (a == "--tone") {
      if (!number(20, 20000, &n)) return Usage("--tone takes 20 to 20000");
      s.toneHz = int(n);
    } else if (a == "--seed") {
      if (!number(0, 0xFFFFFFFFLL, &n)) return Usage("--seed takes a number");
      cli->seed = uint32_t(n);
    } else if (a == "--telemetry-seed") {
      if (!number(0, 0xFFFFFFFFLL, &n)) return Usage("--telemetry-seed takes a number");
      s.telemetrySeed = uint32_t(n);
      cli->telemetrySeedGiven = true;
    } else if (a == "--route-second") {
      if (!number(0, 86400, &n)) return Usage("--route-second takes seconds");
      s.routeSecond = int(n);
    } else if (a == "--parked") {
      s.parked = true;
    } else if (a == "--jolt-ms") {
      if (!number(0, 0xFFFFFFFFLL, &n)) return Usage("--jolt-ms takes milliseconds");
      s.joltMs = uint32_t(n);
      cli->joltGiven = true;
    } else if (a == "--jolt") {
      if (!number(0, 1000, &n)) return Usage("--jolt takes 0 to 1000");
      s.joltStrength = int(n);
    } else if (a == "--no-telemetry") {
      s.telemetry = false;
    } else if (a == "--thumbnail") {
      s.thumbnail = true;
    } else if (a == "--thum-box") {
      s.thumBox = true;
    } else if (a == "--companions") {
      s.companions = true;
    } else if (a == "--gps2") {
      s.gps2Layout = true;
    } else if (a == "--reserved-room") {
      s.reservedRoom = true;
      if (i + 1 < argc && ToInt(argv[i + 1], 16, 0x7FFFFFFF, &n)) {
        s.roomBytes = uint32_t(n);
        ++i;
      }
    } else if (a == "--cut-after-frames") {
      if (!number(0, 1000000, &n)) return Usage("--cut-after-frames takes a count");
      s.cutAfterFrames = int(n);
    } else if (a == "--cut-at-byte") {
      if (!number(0, 0xFFFFFFFFLL, &n)) return Usage("--cut-at-byte takes a byte count");
      s.cutAtByte = n;
    } else if (a == "--extra-bytes") {
      if (!number(0, 65536, &n)) return Usage("--extra-bytes takes 0 to 65536");
      s.extraBytes = uint32_t(n);
    } else if (a == "--clock-base") {
      if (!number(0, 0x7FFFFFFF, &n)) return Usage("--clock-base takes milliseconds");
      s.clockBase = uint32_t(n);
    } else if (a == "--video-delay") {
      if (!number(0, 60000, &n)) return Usage("--video-delay takes 0 to 60000 ms");
      s.videoDelayMs = uint32_t(n);
    } else if (a == "--sound-delay") {
      if (!number(0, 60000, &n)) return Usage("--sound-delay takes 0 to 60000 ms");
      s.soundDelayMs = uint32_t(n);
    } else if (a == "-q" || a == "--quiet") {
      cli->quiet = true;
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else {
      return Usage("unknown option " + a);
    }
  }
  const int modes = !cli->demoCard.empty() + !cli->demoCardAvi.empty() + !cli->fixtures.empty() +
                    (!cli->output.empty() || !cli->outDir.empty());
  if (modes != 1) return Usage("give one of -o/--out-dir, --demo-card, --demo-card-avi or --fixtures");
  if (!cli->output.empty() && !cli->outDir.empty()) return Usage("give -o or --out-dir, not both");
  s.seed = cli->seed;
  if (!cli->telemetrySeedGiven) s.telemetrySeed = cli->seed;
  if (!cli->joltGiven) s.joltMs = s.durationMs / 2;
  if (!cli->sizeGiven && s.camera == 1) {
    s.width = 1280;
    s.height = 720;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  av_log_set_level(AV_LOG_ERROR);
  Cli cli;
  if (int rc = Parse(argc, argv, &cli)) return rc;
  std::string error;
  if (!cli.demoCard.empty()) {
    if (!tq::MakeDemoCard(cli.demoCard, cli.seed, !cli.quiet, &error)) {
      std::fprintf(stderr, "tqmb20-gen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (!cli.demoCardAvi.empty()) {
    if (!tq::MakeDemoCardAvi(cli.demoCardAvi, cli.seed, !cli.quiet, &error)) {
      std::fprintf(stderr, "tqmb20-gen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (!cli.fixtures.empty()) {
    if (!tq::MakeFixtures(cli.fixtures, !cli.quiet, &error)) {
      std::fprintf(stderr, "tqmb20-gen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  std::string path = cli.output;
  if (path.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(cli.outDir, ec);
    path = (std::filesystem::path(cli.outDir) / (tq::RecordingBaseName(cli.spec) + ".mp4")).string();
  }
  tq::RecordingResult r;
  if (!tq::WriteRecording(cli.spec, path, &r, &error)) {
    std::fprintf(stderr, "tqmb20-gen: %s\n", error.c_str());
    return 1;
  }
  if (!cli.quiet)
    std::printf("%s  %u video (%u key) / %u sound samples, %llu bytes\n", r.path.c_str(),
                r.videoSamples, r.keyFrames, r.soundSamples,
                static_cast<unsigned long long>(r.bytes));
  return 0;
}
