// Exports of the generator's recordings, judged by ffmpeg: ffprobe reads every export
// without complaint, the pictures are the source's pictures of the expected range (first
// key frame at or after the start, last frame within the end second), and the sound
// packets are the source's packets of that span, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "container/Mp4Export.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

struct Packet {
  uint64_t ms;
  bool key;
};

struct PacketLists {
  std::vector<Packet> video, sound;
};

// Packet times (ms: every track has timescale 1000) and key flags as ffprobe reads them.
// Video is the first stream and sound the second, as the camera writes them.
PacketLists Packets(const std::string& path) {
  test::CommandResult r = test::RunCommand(
      "ffprobe -v error -show_entries packet=stream_index,pts,flags -of csv=p=0 " +
      test::Quote(path));
  PacketLists lists;
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    size_t a = line.find(','), b = line.find(',', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    Packet p{std::stoull(line.substr(a + 1, b - a - 1)), line[b + 1] == 'K'};
    (line[0] == '0' ? lists.video : lists.sound).push_back(p);
  }
  return lists;
}

// The md5 column of framemd5 lines.
std::vector<std::string> Md5s(const std::string& text) { return test::FrameMd5Column(text); }

// Decoded pictures and sound packets (not decoded: compared as stored) of a file.
struct Content {
  std::vector<std::string> pictures, sound;
};

Content Read(const std::string& path, bool sound, const test::TempDir& dir) {
  const std::string v = dir.file("v.md5"), a = dir.file("a.md5");
  std::filesystem::remove(v);
  std::filesystem::remove(a);
  test::CommandResult r = test::RunCommand(
      "ffmpeg -v error -nostdin -y -i " + test::Quote(path) +
      " -map 0:v -fps_mode passthrough -f framemd5 " + test::Quote(v) +
      (sound ? " -map 0:a -c copy -f framemd5 " + test::Quote(a) : std::string()));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "");
  auto text = [](const std::string& file) {
    std::vector<uint8_t> b = test::ReadAll(file);
    return std::string(b.begin(), b.end());
  };
  Content c;
  c.pictures = Md5s(text(v));
  if (sound) c.sound = Md5s(text(a));
  return c;
}

struct FixtureCase {
  const char* fixture;
  int from, to;
  bool sound;
  const char* codecs;  // of the export, as ffprobe lists them
};

TEST(Mp4ExportFixture, export_holds_the_source_frames_and_sound_of_the_range) {
  const FixtureCase cases[] = {
      {"h264_sound.mp4", 1, 2, true, "h264\naac\n"},
      {"gop60.mp4", 2, 4, true, "h264\naac\n"},
      {"h265_sound.mp4", 0, 1, false, "hevc\n"},
      {"gps2.mp4", 0, 1, false, "h264\n"},
      {"extra_bytes.mp4", 1, 2, true, "h264\naac\n"},
      {"reserved_room.mp4", 1, 2, true, "h264\naac\n"},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(std::string(c.fixture) + " " + std::to_string(c.from) + "-" +
                 std::to_string(c.to));
    test::TempDir dir;
    const std::string source = dir.file("source.mp4");
    ASSERT_TRUE(test::CopyFile(test::Fixture(c.fixture), source));
    const PacketLists packets = Packets(source);
    const std::vector<Packet>& video = packets.video;
    const std::vector<Packet>& sound = packets.sound;
    const Content whole = Read(source, !sound.empty(), dir);
    ASSERT_EQ(whole.pictures.size(), video.size());

    const std::string out = dir.file("out.mp4");
    ExportOutcome o = ExportRecording(source, out, c.from, c.to, c.sound);
    ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
    EXPECT_FALSE(o.copied);
    EXPECT_EQ(test::Ffprobe(out, "-show_entries stream=codec_name -of csv=p=0").output, c.codecs);

    // The first key frame at or after the start (the last one when none is that late),
    // then every frame up to the end of the end second.
    const uint64_t startMs = uint64_t(c.from) * 1000, endMs = uint64_t(c.to) * 1000 + 999;
    size_t first = SIZE_MAX, lastKey = 0;
    for (size_t i = 0; i < video.size(); ++i) {
      if (!video[i].key) continue;
      lastKey = i;
      if (video[i].ms >= startMs) {
        first = i;
        break;
      }
    }
    if (first == SIZE_MAX) first = lastKey;
    size_t last = first;
    while (last + 1 < video.size() && video[last + 1].ms <= endMs) ++last;
    const bool exportedSound = std::string(c.codecs).find("aac") != std::string::npos;
    const Content exported = Read(out, exportedSound, dir);
    EXPECT_EQ(exported.pictures, std::vector<std::string>(whole.pictures.begin() + long(first),
                                                          whole.pictures.begin() + long(last) + 1));
    std::vector<std::string> expectSound;
    if (c.sound) {
      for (size_t i = 0; i < sound.size() && i < whole.sound.size(); ++i)
        if (sound[i].ms >= video[first].ms && sound[i].ms <= endMs)
          expectSound.push_back(whole.sound[i]);
    }
    EXPECT_EQ(exported.sound, expectSound);
    EXPECT_EQ(exported.sound.empty(), !exportedSound);
  }
}

}  // namespace
}  // namespace tq
