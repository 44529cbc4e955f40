// The generated files must have the camera's layout byte for byte where the viewer
// depends on it: top-level order, the metadata boxes, a frame record before every sample,
// the telemetry formats, and the shapes of unfinished and reserved-room files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "SampleSets.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using test::Fixture;
using test::ReadAll;

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] << 8 | b[at + 1]); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
uint64_t U64(const std::vector<uint8_t>& b, size_t at) { return uint64_t(U32(b, at)) << 32 | U32(b, at + 4); }

struct Box {
  std::string type;
  size_t start = 0;  // header
  size_t size = 0;   // as stored; a stored 0 reads as "to the end"
  uint32_t storedSize = 0;
  size_t payload() const { return start + 8; }
  size_t end() const { return start + size; }
};

std::vector<Box> Children(const std::vector<uint8_t>& b, size_t begin, size_t end) {
  std::vector<Box> boxes;
  size_t at = begin;
  while (at + 8 <= end) {
    Box box;
    box.start = at;
    box.storedSize = U32(b, at);
    box.size = box.storedSize == 0 ? end - at : box.storedSize;
    box.type.assign(reinterpret_cast<const char*>(&b[at + 4]), 4);
    if (box.size < 8 || at + box.size > end) break;
    boxes.push_back(box);
    at += box.size;
  }
  return boxes;
}

std::string Types(const std::vector<Box>& boxes) {
  std::string s;
  for (const Box& b : boxes) s += (s.empty() ? "" : " ") + b.type;
  return s;
}

const Box* Find(const std::vector<Box>& boxes, const std::string& type) {
  for (const Box& b : boxes)
    if (b.type == type) return &b;
  return nullptr;
}

struct FrameRecord {
  uint16_t stream, key;
  uint32_t time, size, extra;
  size_t dataOffset;
};

// Walks the frame records of an mdat; `tailBytes` is what is left after the last whole one.
std::vector<FrameRecord> WalkRecords(const std::vector<uint8_t>& b, const Box& mdat, size_t* tailBytes) {
  std::vector<FrameRecord> records;
  size_t at = mdat.payload();
  while (at + 16 <= mdat.end()) {
    FrameRecord r{U16(b, at), U16(b, at + 2), U32(b, at + 4), U32(b, at + 8), U32(b, at + 12), 0};
    r.dataOffset = at + 16 + r.extra;
    if (r.dataOffset + r.size > mdat.end()) break;
    records.push_back(r);
    at = r.dataOffset + r.size;
  }
  *tailBytes = mdat.end() - at;
  return records;
}

const std::string kNotice = " Tarvelion Co., Ltd.;Norvanta";
const int64_t kFixtureStartMs = ClockSeconds(2026, 12, 5, 10, 15, 0) * 1000;

TEST(CameraLayout, top_level_boxes_in_camera_order) {
  struct Row { const char* file; const char* types; uint32_t mdatStoredSize; };
  const Row rows[] = {
      {"h264_sound.mp4", "ftyp free mdat moov", 1},
      {"h265_sound.mp4", "ftyp free mdat moov", 1},
      {"gps2.mp4", "ftyp free mdat moov", 1},
      {"reserved_room.mp4", "ftyp free moov mdat", 1},
      {"unfinished_frames.mp4", "ftyp free mdat", 0},
      {"unfinished_byte.mp4", "ftyp free mdat", 0},
      {"reserved_unfinished.mp4", "ftyp free moov mdat", 0},
  };
  for (const Row& r : rows) {
    const auto b = ReadAll(Fixture(r.file));
    const auto top = Children(b, 0, b.size());
    EXPECT_EQ(Types(top), r.types) << r.file;
    const Box* mdat = Find(top, "mdat");
    ASSERT_NE(mdat, nullptr) << r.file;
    const uint32_t expectedSize = r.mdatStoredSize == 0 ? 0u : uint32_t(mdat->size);
    EXPECT_EQ(mdat->storedSize, expectedSize) << r.file << ": an unfinished mdat stays open";
    EXPECT_EQ(top.back().end(), b.size()) << r.file << ": nothing after the last box";
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "mp42") << r.file;
  }
}

TEST(CameraLayout, metadata_boxes_have_the_camera_sizes) {
  struct Row {
    const char* file;
    const char* children;
    uint8_t kind;
    const char* codec;
    int width, height;
    std::vector<int> nalTypes;  // of the ptvi strings
    bool sound;
  };
  const Row rows[] = {
      {"h264_sound.mp4", "cprt sttm ptnm ptrh gps  3gf ", 3, "avc1", 320, 180, {7, 8}, true},
      {"h264_rear.mp4", "cprt sttm ptnm ptrh gps  3gf ", 3, "avc1", 256, 144, {7, 8}, true},
      {"h265_sound.mp4", "cprt sttm ptnm ptrh gps  3gf ", 3, "hvc1", 320, 180, {32, 33, 34}, true},
      {"h264_nosound.mp4", "cprt sttm ptnm ptrh gps  3gf ", 3, "avc1", 320, 180, {7, 8}, false},
      {"gps2.mp4", "cprt sttm ptnm ptrh gps2 3gf ", 4, "avc1", 320, 180, {7, 8}, true},
      {"20261205_101500_NF.mp4", "cprt sttm ptnm ptrh", 3, "avc1", 320, 180, {7, 8}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const auto b = ReadAll(Fixture(r.file));
    const auto top = Children(b, 0, b.size());
    const Box* free = Find(top, "free");
    ASSERT_NE(free, nullptr);
    const auto meta = Children(b, free->payload(), free->end());
    EXPECT_EQ(Types(meta), r.children);
    EXPECT_EQ(meta.back().end(), free->end()) << "children fill the free box exactly";

    const Box* cprt = Find(meta, "cprt");
    ASSERT_NE(cprt, nullptr);
    EXPECT_EQ(cprt->size, kNotice.size() - 1 + 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[cprt->payload()]), kNotice.size()), kNotice);
    EXPECT_EQ(b[cprt->end() - 1], 0);

    const Box* sttm = Find(meta, "sttm");
    ASSERT_NE(sttm, nullptr);
    EXPECT_EQ(sttm->size, 16u);
    EXPECT_EQ(U64(b, sttm->payload()), uint64_t(kFixtureStartMs));

    const Box* ptnm = Find(meta, "ptnm");
    ASSERT_NE(ptnm, nullptr);
    EXPECT_EQ(ptnm->size, 13u + 7u);
    EXPECT_EQ(b[ptnm->payload()], r.kind);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[ptnm->payload() + 4]), "TQ-MB20");

    const Box* ptrh = Find(meta, "ptrh");
    ASSERT_NE(ptrh, nullptr);
    const auto streams = Children(b, ptrh->payload(), ptrh->end());
    EXPECT_EQ(Types(streams), r.sound ? "ptvi ptso" : "ptvi");
    const Box* ptvi = Find(streams, "ptvi");
    ASSERT_NE(ptvi, nullptr);
    size_t at = ptvi->payload();
    EXPECT_EQ(U16(b, at), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[at + 2]), 4), r.codec);
    EXPECT_EQ(U16(b, at + 6), r.width);
    EXPECT_EQ(U16(b, at + 8), r.height);
    ASSERT_EQ(U16(b, at + 10), r.nalTypes.size());
    at += 12;
    const bool hevc = std::string(r.codec) == "hvc1";
    for (int type : r.nalTypes) {
      const uint16_t length = U16(b, at);
      ASSERT_GT(length, 0);
      EXPECT_EQ(hevc ? (b[at + 2] >> 1) & 0x3F : b[at + 2] & 0x1F, type);
      at += 2u + length;
    }
    EXPECT_EQ(at, ptvi->end()) << "ptvi strings fill the box";
    if (r.sound) {
      const Box* ptso = Find(streams, "ptso");
      ASSERT_NE(ptso, nullptr);
      at = ptso->payload();
      EXPECT_EQ(U16(b, at), 2);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[at + 2]), 4), "mp4a");
      EXPECT_EQ(U16(b, at + 6), 1);
      EXPECT_EQ(U16(b, at + 8), 16);
      EXPECT_EQ(U32(b, at + 10), 48000u);
      EXPECT_EQ(U16(b, at + 14), 1);
      EXPECT_EQ(U16(b, at + 16), 2) << "AudioSpecificConfig of AAC-LC";
    }
  }
}

TEST(CameraLayout, frame_record_before_every_sample) {
  struct Row { const char* file; uint32_t frames, gop, extra, clockBase; bool sound; int idrType; bool hevc; };
  const Row rows[] = {
      {"h264_sound.mp4", 90, 30, 0, 0, true, 5, false},
      {"h264_nosound.mp4", 90, 30, 0, 0, false, 5, false},
      {"h265_sound.mp4", 60, 30, 0, 0, true, 19, true},
      {"gop60.mp4", 150, 60, 0, 0, true, 5, false},
      {"reserved_room.mp4", 90, 30, 0, 0, true, 5, false},
      {"extra_bytes.mp4", 90, 30, 8, 123456, true, 5, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const auto b = ReadAll(Fixture(r.file));
    const auto top = Children(b, 0, b.size());
    const Box* mdat = Find(top, "mdat");
    ASSERT_NE(mdat, nullptr);
    size_t tail = 0;
    const auto records = WalkRecords(b, *mdat, &tail);
    EXPECT_EQ(tail, 0u) << "the records cover the mdat exactly";
    uint32_t video = 0, sound = 0, keys = 0;
    std::map<int, uint32_t> lastTime;
    for (const FrameRecord& rec : records) {
      ASSERT_TRUE(rec.stream == 1 || (r.sound && rec.stream == 2)) << rec.stream;
      EXPECT_EQ(rec.extra, r.extra);
      EXPECT_GE(rec.time, r.clockBase);
      if (lastTime.count(rec.stream)) {
        EXPECT_GE(rec.time, lastTime[rec.stream]);
      }
      lastTime[rec.stream] = rec.time;
      if (rec.stream == 2) {
        EXPECT_EQ(rec.key, 0);
        ++sound;
        continue;
      }
      ASSERT_LE(rec.key, 1);
      // A video sample is whole NAL units, each behind its 4-byte length.
      size_t at = rec.dataOffset, end = rec.dataOffset + rec.size;
      const int firstType = r.hevc ? (b[at + 4] >> 1) & 0x3F : b[at + 4] & 0x1F;
      while (at + 4 <= end) at += 4 + U32(b, at);
      EXPECT_EQ(at, end) << "NAL lengths add up to the sample size";
      EXPECT_EQ(rec.key == 1, firstType == r.idrType) << "key flag matches an IDR picture";
      EXPECT_EQ(rec.key == 1, video % r.gop == 0) << "key frame " << video;
      EXPECT_EQ(rec.time - r.clockBase, video * 1000 / 30);
      keys += rec.key;
      ++video;
    }
    EXPECT_EQ(video, r.frames);
    EXPECT_EQ(keys, (r.frames + r.gop - 1) / r.gop);
    EXPECT_EQ(sound > r.frames * 3 / 2, r.sound) << "about 47 AAC frames a second, or none";

    // The index points at the sample data behind the records: ffprobe's packet positions
    // are exactly the data offsets the walk found.
    const auto probe = test::Ffprobe(Fixture(r.file), "-show_entries packet=pos -of csv=p=0");
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    std::vector<size_t> positions, offsets;
    std::istringstream lines(probe.output);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) positions.push_back(std::stoul(line));
    for (const FrameRecord& rec : records) offsets.push_back(rec.dataOffset);
    std::sort(positions.begin(), positions.end());
    EXPECT_EQ(positions, offsets);
  }
}

TEST(CameraLayout, stream_delays_order_the_first_records) {
  struct Row { const char* file; uint16_t firstStream; uint32_t firstVideoMs, firstSoundMs; };
  const Row rows[] = {
      {"sound_first.mp4", 2, 100, 0},
      {"sound_late.mp4", 1, 0, 250},
      {"h264_sound.mp4", 1, 0, 0},  // equal times: the picture goes first
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const auto b = ReadAll(Fixture(r.file));
    const auto top = Children(b, 0, b.size());
    size_t tail = 0;
    const auto records = WalkRecords(b, *Find(top, "mdat"), &tail);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().stream, r.firstStream);
    std::map<int, uint32_t> first;
    for (const FrameRecord& rec : records) first.emplace(rec.stream, rec.time);
    EXPECT_EQ(first[1], r.firstVideoMs);
    EXPECT_EQ(first[2], r.firstSoundMs);
    EXPECT_EQ(test::Ffprobe(Fixture(r.file)).output, "");
  }
}

TEST(CameraLayout, gps2_layout_has_bare_samples_and_binary_records) {
  const auto b = ReadAll(Fixture("gps2.mp4"));
  const auto top = Children(b, 0, b.size());
  const Box* mdat = Find(top, "mdat");
  ASSERT_NE(mdat, nullptr);
  const auto probe = test::Ffprobe(Fixture("gps2.mp4"), "-show_entries packet=pos,size -of compact=p=0");
  ASSERT_EQ(probe.exitCode, 0) << probe.output;
  std::vector<std::pair<size_t, size_t>> packets;
  std::istringstream lines(probe.output);
  for (std::string line; std::getline(lines, line);) {
    size_t pos, size;
    if (std::sscanf(line.c_str(), "size=%zu|pos=%zu", &size, &pos) == 2) packets.emplace_back(pos, size);
  }
  std::sort(packets.begin(), packets.end());
  ASSERT_FALSE(packets.empty());
  size_t at = mdat->payload();
  for (const auto& [pos, size] : packets) {
    EXPECT_EQ(pos, at) << "samples follow each other without frame records";
    at = pos + size;
  }
  EXPECT_EQ(at, mdat->end());

  const auto meta = Children(b, Find(top, "free")->payload(), Find(top, "free")->end());
  const Box* gps2 = Find(meta, "gps2");
  ASSERT_NE(gps2, nullptr);
  const size_t payload = gps2->size - 8;
  ASSERT_EQ(payload, 2u * 48u) << "one record per second";
  for (size_t i = 0; i < payload / 48; ++i) {
    const size_t r = gps2->payload() + i * 48;
    EXPECT_EQ(U16(b, r), 1);
    EXPECT_EQ(U16(b, r + 2), 44);
    EXPECT_EQ(U64(b, r + 4), uint64_t(kFixtureStartMs) + i * 1000 + 40);
    EXPECT_EQ(b[r + 24], 'N');
    EXPECT_EQ(b[r + 29], 'E');
    EXPECT_EQ(b[r + 38], '1');
    EXPECT_EQ(b[r + 39], 'A');
    EXPECT_LT(U16(b, r + 22), 10000) << "four-digit fraction of minutes";
    EXPECT_LT(U16(b, r + 32), 10) << "speed tenths";
  }
}

// Reads the NMEA log as the viewer does and checks its shape: pairs of RMC and GGA lines,
// each with "[ms]", valid checksums, one pair per second from the start time on.
void CheckNmea(const std::string& text, int seconds) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r') << "lines end with CR LF";
    line.pop_back();
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), size_t(2 * seconds));
  double lastLat = 0, lastLon = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const size_t dollar = line.find('$'), star = line.find('*');
    ASSERT_NE(star, std::string::npos) << line;
    uint8_t sum = 0;
    for (size_t k = dollar + 1; k < star; ++k) sum ^= uint8_t(line[k]);
    EXPECT_EQ(std::stoi(line.substr(star + 1), nullptr, 16), sum) << line;
    long long stamp;
    int hms, frac, fix, sats;
    char status, ns, ew;
    double lat, lon, speed, course, hdop;
    if (i % 2 == 0) {
      ASSERT_EQ(std::sscanf(line.c_str(), "[%lld]$GPRMC,%d.%d,%c,%lf,%c,%lf,%c,%lf,%lf", &stamp,
                            &hms, &frac, &status, &lat, &ns, &lon, &ew, &speed, &course), 10) << line;
      EXPECT_EQ(status, 'A');
      EXPECT_LT(speed, 60.0) << "knots";
      EXPECT_EQ(stamp / 1000, kFixtureStartMs / 1000 + int64_t(i / 2)) << "one fix per second";
      // A car moves at most some tens of metres a second (minutes of arc: 1852 m).
      if (i > 0) {
        EXPECT_LT(std::abs(lat - lastLat), 0.05);
        EXPECT_LT(std::abs(lon - lastLon), 0.05);
      }
      lastLat = lat;
      lastLon = lon;
      EXPECT_EQ(hms / 10000, (10 + 24 - 9) % 24) << "UTC is the local clock minus nine hours";
    } else {
      ASSERT_EQ(std::sscanf(line.c_str(), "[%lld]$GPGGA,%d.%d,%lf,%c,%lf,%c,%d,%d,%lf", &stamp,
                            &hms, &frac, &lat, &ns, &lon, &ew, &fix, &sats, &hdop), 10) << line;
      EXPECT_TRUE(fix == 1 || fix == 2);
      EXPECT_LT(hdop, 3.5);
      EXPECT_EQ(lat, lastLat) << "the pair describes one fix";
    }
    EXPECT_EQ(ns, 'N');
    EXPECT_EQ(ew, 'E');
  }
}

void CheckSensor(const std::vector<uint8_t>& b, size_t at, size_t records, uint32_t joltMs) {
  int strongest = 0;
  uint32_t strongestAt = 0;
  for (size_t i = 0; i < records; ++i) {
    const size_t r = at + i * 10;
    EXPECT_EQ(U32(b, r), i * 100) << "10 records a second";
    const int z = int16_t(U16(b, r + 8));
    if (std::abs(z - 128) > strongest) {
      strongest = std::abs(z - 128);
      strongestAt = U32(b, r);
    }
  }
  EXPECT_GT(strongest, 40) << "the jolt stands out";
  EXPECT_GE(strongestAt, joltMs);
  EXPECT_LT(strongestAt, joltMs + 300);
}

TEST(CameraLayout, embedded_telemetry_is_camera_nmea_and_3gf) {
  for (const char* file : {"h264_sound.mp4", "h264_nosound.mp4", "h265_sound.mp4"}) {
    SCOPED_TRACE(file);
    const auto b = ReadAll(Fixture(file));
    const auto top = Children(b, 0, b.size());
    const auto meta = Children(b, Find(top, "free")->payload(), Find(top, "free")->end());
    const Box* gps = Find(meta, "gps ");
    const Box* sensor = Find(meta, "3gf ");
    ASSERT_TRUE(gps && sensor);
    EXPECT_EQ(b[gps->end() - 1], 0) << "text ends with its NUL";
    const std::string text(reinterpret_cast<const char*>(&b[gps->payload()]), gps->size - 9);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    const int seconds = std::string(file) == "h265_sound.mp4" ? 2 : 3;
    CheckNmea(text, seconds);
    const size_t records = size_t(seconds) * 10;
    ASSERT_EQ(sensor->size, 8 + records * 10 + 10);
    for (size_t i = sensor->end() - 10; i < sensor->end(); ++i) EXPECT_EQ(b[i], 0xFF) << "end marker";
    CheckSensor(b, sensor->payload(), records, 1500);
  }
}

TEST(CameraLayout, companions_replace_the_embedded_logs) {
  const std::string stem = Fixture("20261205_101500_N");
  const auto gps = ReadAll(stem + ".gps");
  CheckNmea(std::string(gps.begin(), gps.end()), 3);
  const auto sensor = ReadAll(stem + ".3gf");
  ASSERT_EQ(sensor.size(), 30u * 10u) << "a companion block is records only";
  CheckSensor(sensor, 0, 30, 1500);
  EXPECT_FALSE(std::filesystem::exists(Fixture("20261205_101500_NF.gps")));
}

TEST(CameraLayout, front_and_rear_of_one_moment_share_their_logs) {
  std::vector<std::vector<uint8_t>> payloads[2];
  const char* files[2] = {"20261205_102000_NF.mp4", "20261205_102000_NR.mp4"};
  for (int i = 0; i < 2; ++i) {
    const auto b = ReadAll(Fixture(files[i]));
    const auto top = Children(b, 0, b.size());
    const auto meta = Children(b, Find(top, "free")->payload(), Find(top, "free")->end());
    for (const char* type : {"sttm", "gps ", "3gf "}) {
      const Box* box = Find(meta, type);
      ASSERT_NE(box, nullptr) << files[i] << " " << type;
      payloads[i].emplace_back(b.begin() + long(box->payload()), b.begin() + long(box->end()));
    }
  }
  EXPECT_EQ(payloads[0], payloads[1]) << "one drive, one log: the pictures differ, the logs do not";
  EXPECT_NE(ReadAll(Fixture(files[0])), ReadAll(Fixture(files[1])));
}

TEST(CameraLayout, unfinished_files_end_where_asked) {
  struct Row { const char* file; int videoRecords; size_t length; bool reserved; };
  const Row rows[] = {
      {"unfinished_frames.mp4", 45, 0, false},
      {"unfinished_byte.mp4", -1, 40000, false},
      {"reserved_unfinished.mp4", 40, 0, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const auto b = ReadAll(Fixture(r.file));
    if (r.length) {
      EXPECT_EQ(b.size(), r.length);
    }
    const auto top = Children(b, 0, b.size());
    const Box* mdat = Find(top, "mdat");
    ASSERT_NE(mdat, nullptr);
    const Box* moov = Find(top, "moov");
    if (r.reserved) {
      ASSERT_NE(moov, nullptr);
      EXPECT_LT(moov->start, mdat->start);
      const auto kids = Children(b, moov->payload(), moov->end());
      EXPECT_EQ(Types(kids), "junk") << "the room holds no index yet";
    } else {
      EXPECT_EQ(moov, nullptr);
    }
    size_t tail = 0;
    const auto records = WalkRecords(b, *mdat, &tail);
    int video = 0;
    for (const FrameRecord& rec : records) video += rec.stream == 1;
    if (r.videoRecords >= 0) {
      EXPECT_EQ(video, r.videoRecords);
      EXPECT_EQ(tail, 0u) << "stops right after the last frame";
      EXPECT_EQ(records.back().stream, 1) << "sound up to the last frame comes before it";
    } else {
      EXPECT_GT(video, 0);
      EXPECT_GT(tail, 0u) << "cut inside a record";
    }
  }
}

TEST(CameraLayout, reserved_room_moov_ends_in_junk_up_to_the_mdat) {
  const auto b = ReadAll(Fixture("reserved_room.mp4"));
  const auto top = Children(b, 0, b.size());
  const Box* moov = Find(top, "moov");
  const Box* mdat = Find(top, "mdat");
  ASSERT_TRUE(moov && mdat);
  EXPECT_EQ(moov->end(), mdat->start);
  const auto kids = Children(b, moov->payload(), moov->end());
  EXPECT_EQ(Types(kids), "mvhd trak trak junk");
  EXPECT_EQ(kids.back().end(), moov->end());
}

TEST(CameraLayout, moov_times_are_the_camera_clock) {
  // Creation times in mvhd/tkhd/mdhd follow the recording's start, not the PC's clock,
  // so the same seed gives the same bytes.
  const auto b = ReadAll(Fixture("h264_sound.mp4"));
  const auto top = Children(b, 0, b.size());
  const Box* moov = Find(top, "moov");
  ASSERT_NE(moov, nullptr);
  const uint32_t expected = uint32_t(kFixtureStartMs / 1000 + 2082844800LL);
  const auto moovKids = Children(b, moov->payload(), moov->end());
  const Box* mvhd = Find(moovKids, "mvhd");
  ASSERT_NE(mvhd, nullptr);
  EXPECT_EQ(U32(b, mvhd->payload() + 4), expected);
  EXPECT_EQ(U32(b, mvhd->payload() + 8), expected);
  int tracks = 0;
  for (const Box& trak : moovKids) {
    if (trak.type != "trak") continue;
    ++tracks;
    const auto t = Children(b, trak.payload(), trak.end());
    const Box* tkhd = Find(t, "tkhd");
    const Box* mdia = Find(t, "mdia");
    ASSERT_TRUE(tkhd && mdia);
    EXPECT_EQ(U32(b, tkhd->payload() + 4), expected);
    const auto m = Children(b, mdia->payload(), mdia->end());
    const Box* mdhd = Find(m, "mdhd");
    ASSERT_NE(mdhd, nullptr);
    EXPECT_EQ(U32(b, mdhd->payload() + 4), expected);
  }
  EXPECT_EQ(tracks, 2);
}

}  // namespace
}  // namespace tq
