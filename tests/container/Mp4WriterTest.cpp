// The writer's boxes, byte for byte: time-to-sample runs, chunks, sync samples, the fixed
// box sizes, decoder configurations, the export head, frame records, capacity refusal,
// the reserved-room moov and injected write failures.
#include <gtest/gtest.h>

#include <cstring>

#include "Mp4WriterTestUtil.h"
#include "container/Mp4Writer.h"

namespace tq {
namespace {

using testutil::Bytes;
using testutil::BoxSize;
using testutil::Child;
using testutil::kNoBox;
using testutil::ReadAll;
using testutil::Stbl;
using testutil::TableValues;
using testutil::TempDir;
using testutil::Top;

constexpr uint32_t kMdatPayload = 8;  // the test files start with the mdat header

ConfigParam Param(std::vector<uint8_t> bytes) {
  ConfigParam p;
  p.length = int32_t(bytes.size());
  p.szConfigStr = std::move(bytes);
  return p;
}

void SetAvcStrings(MP4INFO& info) {
  info.ptrh.vi.codec = kCodecAvc1;
  info.ptrh.vi.width = 1920;
  info.ptrh.vi.height = 1080;
  info.ptrh.vi.config = {Param({0x67, 0x42, 0xC0, 0x1E}), Param({0x68, 0xCE, 0x38, 0x80})};
  info.ptrh.vi.nConfigNum = 2;
}

void SetAac(MP4INFO& info, uint32_t rate = 48000, uint16_t channels = 1) {
  info.ptrh.ptso = {30, 100};
  info.ptrh.so.codec = kCodecMp4a;
  info.ptrh.so.channelCount = channels;
  info.ptrh.so.bitsPerSample = 16;
  info.ptrh.so.sampleRate = rate;
}

struct Sample {
  uint32_t time;
  bool key;
};

// Adds samples laid out as the camera does: a 16-byte record before each 100-byte sample.
void AddCameraSamples(MP4MBOX_NODE& node, const std::vector<Sample>& samples, bool video,
                      uint32_t* dataEnd) {
  for (const Sample& s : samples) {
    *dataEnd += 16;
    ASSERT_EQ(AddSample(node, *dataEnd, 100, s.time, s.key, video), 1);
    *dataEnd += 100;
  }
}

// Writes an mdat header, `dataEnd - 8` payload bytes and the moov after them; returns
// the whole file.
Bytes WriteMoovFile(const TempDir& dir, MP4INFO& info, MP4MBOX_NODE* video,
                    MP4MBOX_NODE* sound, const ConfigRecord* config, uint32_t dataEnd,
                    int* result = nullptr) {
  std::string path = dir.File("moov.mp4");
  auto f = MediaFile::Open(path, "wb");
  EXPECT_TRUE(f);
  Bytes head(dataEnd, 0xAB);
  PutU32(head.data(), 0);
  PutU32(head.data() + 4, FourCC("mdat"));
  EXPECT_TRUE(f->Write(head.data(), head.size()));
  info.mdat = {0, kMdatPayload};
  uint32_t position = dataEnd;
  int r = WriteMoov(*f, &position, info, video, sound, config, dataEnd);
  if (result) *result = r;
  else EXPECT_EQ(r, 1);
  f.reset();
  Bytes b = ReadAll(path);
  if (r) {
    EXPECT_EQ(position, b.size());
  }
  return b;
}

struct Builders {
  MP4MBOX_NODE video, sound;
  Builders() {
    EXPECT_EQ(CreateFixedSizeTrak(video, kVideoSampleCapacity, true), 1);
    EXPECT_EQ(CreateFixedSizeTrak(sound, kSoundSampleCapacity, false), 1);
  }
  ~Builders() {
    ReleaseMP4MBOX_NODE(video);
    ReleaseMP4MBOX_NODE(sound);
  }
};

std::vector<Sample> Times(std::initializer_list<uint32_t> times) {
  std::vector<Sample> s;
  for (uint32_t t : times) s.push_back({t, s.empty()});
  return s;
}

std::vector<Sample> Regular(uint32_t first, uint32_t step, int count) {
  std::vector<Sample> s;
  for (int i = 0; i < count; ++i) s.push_back({first + step * uint32_t(i), i % 10 == 0});
  return s;
}

// ---- time-to-sample ----------------------------------------------------------------

struct SttsCase {
  const char* name;
  std::vector<Sample> video;
  std::vector<Sample> sound;
  std::vector<uint32_t> videoStts;  // count, delta pairs
  std::vector<uint32_t> soundStts;
};

// Each entry is the duration of its samples: the gap to the next one; the last sample
// lasts as long as the one before it (a lone sample: 33 ms video, 128 ms sound).
TEST(Mp4WriterStts, runs_hold_each_samples_own_duration) {
  const SttsCase cases[] = {
      {"single video sample", Times({0}), {}, {1, 33}, {}},
      {"regular 33 ms after a first sample at 0", Regular(0, 33, 90), {}, {90, 33}, {}},
      {"two samples", Times({0, 40}), {}, {2, 40}, {}},
      {"uneven gaps are not merged", Times({0, 33, 67, 100}), {}, {1, 33, 1, 34, 2, 33}, {}},
      {"time going back is held", Times({0, 33, 20, 53}), {}, {1, 33, 1, 0, 2, 20}, {}},
      {"single sound sample", Times({0}), Times({0}), {1, 33}, {1, 128}},
      {"sound 250 ms after video", Regular(0, 33, 10), Regular(250, 21, 5), {10, 33}, {5, 21}},
  };
  for (const SttsCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    SetAac(info);
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, c.video, true, &end);
    AddCameraSamples(n.sound, c.sound, false, &end);
    Bytes b = WriteMoovFile(dir, info, &n.video, c.sound.empty() ? nullptr : &n.sound,
                            nullptr, end);
    EXPECT_EQ(TableValues(b, Child(b, Stbl(b, 0), "stts")), c.videoStts);
    if (!c.sound.empty()) {
      EXPECT_EQ(TableValues(b, Child(b, Stbl(b, 1), "stts")), c.soundStts);
    }
    // The movie lasts until the later track's last time stamp; a track that starts late
    // (after an empty edit) lasts to the end of its last sample.
    uint32_t last = 0;
    for (const Sample& s : c.video) last = std::max(last, s.time);
    if (!c.sound.empty() && c.sound.front().time > 0) {
      const std::vector<uint32_t>& st = c.soundStts;
      last = std::max(last, c.sound.back().time + st[st.size() - 1]);
    } else if (!c.sound.empty()) {
      last = std::max(last, c.sound.back().time);
    }
    size_t mvhd = Child(b, Top(b, "moov"), "mvhd");
    EXPECT_EQ(GetU32(&b[mvhd + 24]), last);
  }
}

// ---- chunks, sizes and sync samples ------------------------------------------------------

TEST(Mp4WriterTables, every_framed_sample_opens_its_own_chunk) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, {{0, true}, {33, false}, {66, false}, {99, true}}, true, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
  size_t stbl = Stbl(b, 0);
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stco")),
            (std::vector<uint32_t>{24, 140, 256, 372}));
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stsc")),
            (std::vector<uint32_t>{1, 1, 1, 2, 1, 1, 3, 1, 1, 4, 1, 1}));
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stsz"), 20),
            (std::vector<uint32_t>{100, 100, 100, 100}));
  EXPECT_EQ(GetU32(&b[Child(b, stbl, "stsz") + 16]), 4u);  // sample count
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stss")), (std::vector<uint32_t>{1, 4}));
}

TEST(Mp4WriterTables, contiguous_samples_share_a_chunk) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  Builders n;
  // 8..108..208 contiguous, then a gap, then 300..400 contiguous with 400..450.
  ASSERT_EQ(AddSample(n.video, 8, 100, 0, true, true), 1);
  ASSERT_EQ(AddSample(n.video, 108, 100, 33, false, true), 1);
  ASSERT_EQ(AddSample(n.video, 300, 100, 66, false, true), 1);
  ASSERT_EQ(AddSample(n.video, 400, 50, 99, false, true), 1);
  ASSERT_EQ(AddSample(n.video, 450, 50, 132, false, true), 1);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, 500);
  size_t stbl = Stbl(b, 0);
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stco")), (std::vector<uint32_t>{8, 300}));
  EXPECT_EQ(TableValues(b, Child(b, stbl, "stsc")), (std::vector<uint32_t>{1, 2, 1, 2, 3, 1}));
}

TEST(Mp4WriterCapacity, AddSample_refuses_a_sample_beyond_capacity) {
  for (uint32_t capacity : {1u, 3u, kSoundSampleCapacity, kVideoSampleCapacity}) {
    SCOPED_TRACE(capacity);
    MP4MBOX_NODE node;
    ASSERT_EQ(CreateFixedSizeTrak(node, capacity, true), 1);
    uint32_t offset = 8;
    for (uint32_t i = 0; i < capacity; ++i, offset += 116)
      ASSERT_EQ(AddSample(node, offset, 100, i * 33, true, true), 1) << i;
    EXPECT_EQ(AddSample(node, offset, 100, capacity * 33, true, true), 0);
    EXPECT_EQ(node.sampleCount, capacity);
    EXPECT_EQ(node.stssCount, capacity);
    EXPECT_EQ(node.lastTime, (capacity - 1) * 33);
    ReleaseMP4MBOX_NODE(node);
    EXPECT_TRUE(node.stts.empty());
    EXPECT_EQ(node.sampleCount, 0u);
  }
  MP4MBOX_NODE none;
  EXPECT_EQ(AddSample(none, 8, 1, 0, true, true), 0);  // never created: nothing fits
}

TEST(Mp4WriterCapacity, AddSample_refuses_a_sample_past_4_GiB) {
  MP4MBOX_NODE node;
  ASSERT_EQ(CreateFixedSizeTrak(node, 4, false), 1);
  EXPECT_EQ(AddSample(node, 0xFFFFFF00u, 0x100, 0, false, false), 0);
  EXPECT_EQ(AddSample(node, 0xFFFFFF00u, 0xFF, 0, false, false), 1);
}

// ---- fixed box sizes ---------------------------------------------------------------

TEST(Mp4WriterMoov, video_only_movie_has_one_track_and_next_track_id_3) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  SetAac(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 5), true, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
  size_t moov = Top(b, "moov");
  ASSERT_NE(moov, kNoBox);
  EXPECT_EQ(Child(b, moov, "trak", 1), kNoBox);
  size_t mvhd = Child(b, moov, "mvhd");
  EXPECT_EQ(BoxSize(b, mvhd), 108u);
  EXPECT_EQ(GetU32(&b[mvhd + 20]), 1000u);  // timescale
  EXPECT_EQ(GetU32(&b[mvhd + 104]), 3u);    // next_track_ID
  EXPECT_EQ(info.moov.mvhd.timescale, 1000u);
  EXPECT_EQ(info.moov.mvhd.duration, 132u);
  EXPECT_EQ(info.moov.moov.offset, moov + 8);
  EXPECT_EQ(info.moov.moov.size, BoxSize(b, moov));
}

TEST(Mp4WriterMoov, track_boxes_have_their_fixed_sizes) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  SetAac(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 3), true, &end);
  AddCameraSamples(n.sound, Regular(0, 21, 3), false, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, &n.sound, nullptr, end);
  size_t moov = Top(b, "moov");
  for (int t = 0; t < 2; ++t) {
    SCOPED_TRACE(t);
    size_t trak = Child(b, moov, "trak", t);
    size_t tkhd = Child(b, trak, "tkhd");
    EXPECT_EQ(BoxSize(b, tkhd), 92u);
    EXPECT_EQ(GetU32(&b[tkhd + 20]), uint32_t(t + 1));  // track_ID
    size_t mdia = Child(b, trak, "mdia");
    EXPECT_EQ(BoxSize(b, Child(b, mdia, "mdhd")), 32u);
    size_t hdlr = Child(b, mdia, "hdlr");
    EXPECT_EQ(BoxSize(b, hdlr), 62u);
    EXPECT_EQ(GetU32(&b[hdlr + 16]), t == 0 ? FourCC("vide") : FourCC("soun"));
    size_t minf = Child(b, mdia, "minf");
    EXPECT_EQ(BoxSize(b, Child(b, minf, "dinf")), 36u);
    if (t == 0) {
      EXPECT_EQ(BoxSize(b, Child(b, minf, "vmhd")), 20u);
      EXPECT_EQ(GetU32(&b[tkhd + 84]), 1920u << 16);
      EXPECT_EQ(GetU32(&b[tkhd + 88]), 1080u << 16);
    } else {
      EXPECT_EQ(BoxSize(b, Child(b, minf, "smhd")), 16u);
      EXPECT_EQ(GetU16(&b[tkhd + 44]), 0x0100);  // volume
      EXPECT_EQ(Child(b, Stbl(b, 1), "stss"), kNoBox);
    }
  }
}

struct EntryCase {
  const char* name;
  uint32_t codec;
  uint32_t format;
  uint32_t stsdSize;
};

TEST(Mp4WriterMoov, video_entries_without_configuration_box) {
  const EntryCase cases[] = {
      {"mp4v", kCodecMp4v, FourCC("mp4v"), 116},
      {"s263", kCodecS263, FourCC("s263"), 116},
      {"unknown", kCodecNone, 0, 116},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4INFO info;
    info.ptrh.vi.codec = c.codec;  // no strings: none are needed
    info.ptrh.vi.width = 640;
    info.ptrh.vi.height = 480;
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
    Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
    size_t stsd = Child(b, Stbl(b, 0), "stsd");
    ASSERT_NE(stsd, kNoBox);
    EXPECT_EQ(BoxSize(b, stsd), c.stsdSize);
    EXPECT_EQ(GetU32(&b[stsd + 20]), c.format);
    EXPECT_EQ(GetU16(&b[stsd + 16 + 32]), 640);
    EXPECT_EQ(GetU16(&b[stsd + 16 + 34]), 480);
    for (size_t i = stsd + 16 + 86; i < stsd + c.stsdSize; ++i) EXPECT_EQ(b[i], 0) << i;
  }
}

TEST(Mp4WriterMoov, sound_entries_and_esds) {
  struct Case {
    uint32_t codec, rate;
    uint16_t channels;
    uint32_t stsdSize;
    uint32_t format;
    uint8_t objectType;
    uint16_t asc;  // AudioSpecificConfig
  };
  const Case cases[] = {
      {kCodecMp4a, 48000, 1, 91, FourCC("mp4a"), 0x40, 0x1188},
      {kCodecMp4a, 44100, 2, 91, FourCC("mp4a"), 0x40, 0x1210},
      {kCodecMp4a, 8000, 1, 91, FourCC("mp4a"), 0x40, 0x1588},
      {kCodecMp4a, 12345, 1, 91, FourCC("mp4a"), 0x40, 0x1788},  // outside the table
      {kCodecMp3, 44100, 2, 91, FourCC(".mp3"), 0x6B, 0x1210},
      {kCodecSamr, 8000, 1, 68, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    SetAac(info, c.rate, c.channels);
    info.ptrh.so.codec = c.codec;
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
    AddCameraSamples(n.sound, Regular(0, 21, 2), false, &end);
    Bytes b = WriteMoovFile(dir, info, &n.video, &n.sound, nullptr, end);
    size_t stsd = Child(b, Stbl(b, 1), "stsd");
    ASSERT_NE(stsd, kNoBox);
    EXPECT_EQ(BoxSize(b, stsd), c.stsdSize);
    size_t entry = stsd + 16;
    EXPECT_EQ(GetU32(&b[entry + 4]), c.format);
    EXPECT_EQ(GetU16(&b[entry + 24]), c.channels);
    EXPECT_EQ(GetU16(&b[entry + 26]), 16);
    EXPECT_EQ(GetU32(&b[entry + 32]), c.rate << 16);
    if (c.stsdSize != 91) continue;
    size_t esds = entry + 36;
    EXPECT_EQ(BoxSize(b, esds), 39u);
    EXPECT_EQ(GetU32(&b[esds + 4]), FourCC("esds"));
    const uint8_t head[] = {0x03, 0x19, 0, 0, 0, 0x04, 0x11, c.objectType, 0x15};
    EXPECT_EQ(0, std::memcmp(&b[esds + 12], head, sizeof head));
    EXPECT_EQ(b[esds + 32], 0x05);
    EXPECT_EQ(b[esds + 33], 0x02);
    EXPECT_EQ(GetU16(&b[esds + 34]), c.asc);
    EXPECT_EQ(b[esds + 36], 0x06);
  }
}

// ---- decoder configuration -----------------------------------------------------------

Bytes ConfigPayload(const Bytes& b, const char (&type)[5]) {
  size_t stsd = Child(b, Stbl(b, 0), "stsd");
  size_t entry = stsd + 16;
  size_t box = testutil::FindIn(b, entry + 86, entry + BoxSize(b, entry), FourCC(type));
  if (box == kNoBox) return {};
  return Bytes(b.begin() + long(box + 8), b.begin() + long(box + BoxSize(b, box)));
}

TEST(Mp4WriterConfig, avcC_is_built_from_the_parameter_set_strings) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
  EXPECT_EQ(ConfigPayload(b, "avcC"),
            (Bytes{0x01, 0x42, 0x80, 0x01, 0xFF, 0xE1, 0x00, 0x04, 0x67, 0x42, 0xC0, 0x1E,
                   0x01, 0x00, 0x04, 0x68, 0xCE, 0x38, 0x80}));
  EXPECT_EQ(BoxSize(b, Child(b, Stbl(b, 0), "stsd")), 16u + 86 + 8 + 19);
}

TEST(Mp4WriterConfig, hvcC_holds_one_array_per_string) {
  TempDir dir;
  MP4INFO info;
  info.ptrh.vi.codec = kCodecHvc1;
  info.ptrh.vi.width = 1280;
  info.ptrh.vi.height = 720;
  info.ptrh.vi.config = {Param({0x40, 0x01}), Param({0x42, 0x01, 0x01}), Param({}),
                         Param({0x44, 0x01})};
  info.ptrh.vi.nConfigNum = 4;
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
  Bytes expect = {0x01, 0x01, 0x60, 0x00, 0x00, 0x00, 0xB0, 0x00, 0x00, 0x00, 0x00,
                  0x00, 0x99, 0xF0, 0x00, 0xFC, 0xFD, 0xF8, 0xF8, 0x00, 0x00, 0x0F,
                  0x04,
                  0x20, 0x00, 0x01, 0x00, 0x02, 0x40, 0x01,
                  0x21, 0x00, 0x01, 0x00, 0x03, 0x42, 0x01, 0x01,
                  0x20, 0x00, 0x01, 0x00, 0x00,
                  0x22, 0x00, 0x01, 0x00, 0x02, 0x44, 0x01};
  EXPECT_EQ(ConfigPayload(b, "hvcC"), expect);
  EXPECT_EQ(GetU32(&b[Child(b, Stbl(b, 0), "stsd") + 20]), FourCC("hvc1"));
}

TEST(Mp4WriterConfig, supplied_record_is_the_payload_for_its_own_codec) {
  const Bytes record = {0x01, 0x64, 0x00, 0x28, 0xFF, 0xE1, 0x00, 0x01, 0x67, 0x01, 0x00, 0x01, 0x68};
  for (uint32_t codec : {uint32_t(kCodecAvc1), uint32_t(kCodecHvc1)}) {
    SCOPED_TRACE(codec);
    TempDir dir;
    MP4INFO info;  // no strings at all: the gps2 layout has none
    info.ptrh.vi.codec = codec;
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
    ConfigRecord supplied{record.data(), uint32_t(record.size())};
    Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, &supplied, end);
    EXPECT_EQ(ConfigPayload(b, codec == kCodecAvc1 ? "avcC" : "hvcC"), record);
  }
}

TEST(Mp4WriterConfig, fewer_than_two_strings_fail_before_writing) {
  for (int strings : {0, 1}) {
    SCOPED_TRACE(strings);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    info.ptrh.vi.config.resize(size_t(strings));
    info.ptrh.vi.nConfigNum = uint32_t(strings);
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, Regular(0, 33, 2), true, &end);
    EXPECT_EQ(MoovSize(info, &n.video, nullptr, nullptr), 0u);
    int result = -1;
    Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(b.size(), end);  // nothing written
  }
}

// ---- sizes and the mdat -------------------------------------------------------------

TEST(Mp4WriterMoov, MoovSize_is_the_size_written) {
  struct Case {
    const char* name;
    int video, sound;
    uint32_t codec;
    bool supplied;
  };
  const Case cases[] = {
      {"video only", 30, 0, kCodecAvc1, false},   {"video and sound", 300, 470, kCodecAvc1, false},
      {"one sample", 1, 1, kCodecAvc1, false},    {"supplied record", 10, 5, kCodecAvc1, true},
      {"hvc1", 12, 0, kCodecHvc1, false},         {"mp4v", 12, 3, kCodecMp4v, false},
      {"empty sound builder", 5, 0, kCodecAvc1, false},
  };
  const Bytes record = {1, 2, 3, 4, 5, 6, 7};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    info.ptrh.vi.codec = c.codec;
    SetAac(info);
    Builders n;
    uint32_t end = kMdatPayload;
    AddCameraSamples(n.video, Regular(0, 33, c.video), true, &end);
    AddCameraSamples(n.sound, Regular(0, 21, c.sound), false, &end);
    ConfigRecord supplied{record.data(), uint32_t(record.size())};
    const ConfigRecord* config = c.supplied ? &supplied : nullptr;
    uint32_t predicted = MoovSize(info, &n.video, &n.sound, config);
    Bytes b = WriteMoovFile(dir, info, &n.video, &n.sound, config, end);
    size_t moov = Top(b, "moov");
    ASSERT_NE(moov, kNoBox);
    EXPECT_EQ(moov, end);
    EXPECT_EQ(BoxSize(b, moov), predicted);
    EXPECT_EQ(b.size(), end + predicted);
    EXPECT_EQ(Child(b, moov, "trak", 1) != kNoBox, c.sound > 0);
  }
}

TEST(Mp4WriterMoov, mdat_size_ends_at_the_data_end) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 4), true, &end);
  Bytes b = WriteMoovFile(dir, info, &n.video, nullptr, nullptr, end);
  EXPECT_EQ(GetU32(&b[0]), end);
  EXPECT_EQ(info.mdat.size, end);
}

TEST(Mp4WriterMoov, injected_write_failure_returns_0_and_leaves_moov_size_0) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  SetAac(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 40), true, &end);
  AddCameraSamples(n.sound, Regular(0, 21, 60), false, &end);
  const uint32_t moovSize = MoovSize(info, &n.video, &n.sound, nullptr);
  const int64_t total = int64_t(moovSize) + 4 + 4;  // moov, then the two size patches
  std::vector<int64_t> budgets = {0, 1, 7, 8, 115, 116, 117, total - 8, total - 5, total - 4,
                                  total - 1, total};
  for (int64_t k = 200; k < moovSize; k += 397) budgets.push_back(k);
  for (int64_t budget : budgets) {
    SCOPED_TRACE(budget);
    std::string path = dir.File("fail.mp4");
    auto f = MediaFile::Open(path, "wb");
    Bytes head(end, 0);
    PutU32(head.data() + 4, FourCC("mdat"));
    ASSERT_TRUE(f->Write(head.data(), head.size()));
    info.mdat = {0, kMdatPayload};
    uint32_t position = end;
    MediaFile::InjectWriteFailureAfter(budget);
    int result = WriteMoov(*f, &position, info, &n.video, &n.sound, nullptr, end);
    MediaFile::InjectWriteFailureAfter(-1);
    f.reset();
    Bytes b = ReadAll(path);
    if (budget == total) {  // room for everything
      EXPECT_EQ(result, 1);
      EXPECT_EQ(BoxSize(b, end), moovSize);
      continue;
    }
    EXPECT_EQ(result, 0);
    EXPECT_LE(b.size(), size_t(end) + size_t(budget));
    // An interrupted moov keeps size 0 (a torn 4-byte patch aside).
    if (b.size() >= size_t(end) + 4 && budget <= total - 4) {
      EXPECT_EQ(GetU32(&b[end]), 0u);
    }
  }
}

// ---- reserved room ----------------------------------------------------------------------

TEST(Mp4WriterReservedRoom, moov_before_mdat_is_closed_with_a_junk_box) {
  MP4INFO probe;
  SetAvcStrings(probe);
  Builders n;
  uint32_t samplesAt = 0;  // relative to the mdat payload, placed below
  AddCameraSamples(n.video, Regular(0, 33, 6), true, &samplesAt);
  const uint32_t moovSize = MoovSize(probe, &n.video, nullptr, nullptr);
  constexpr uint32_t kMoovAt = 24;  // after an ftyp
  struct Case {
    const char* name;
    int64_t room;  // bytes between the moov start and the mdat header
    bool ok;
  };
  const Case cases[] = {
      {"exact fit, no junk", moovSize, true},   {"room for a junk header", moovSize + 8, true},
      {"large room", moovSize + 5000, true},    {"gap of 1", moovSize + 1, false},
      {"gap of 7", moovSize + 7, false},        {"room too small", moovSize - 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    MP4MBOX_NODE video;
    ASSERT_EQ(CreateFixedSizeTrak(video, 10, true), 1);
    const uint32_t mdatStart = kMoovAt + uint32_t(c.room);
    uint32_t dataEnd = mdatStart + 8;
    AddCameraSamples(video, Regular(0, 33, 6), true, &dataEnd);
    Bytes original(dataEnd + 64, 0x5A);  // 64 bytes of garbage after the valid data
    PutU32(&original[mdatStart], 0);
    PutU32(&original[mdatStart + 4], FourCC("mdat"));
    std::string path = dir.File("room.mp4");
    testutil::WriteAll(path, original);
    auto f = MediaFile::Open(path, "rb+");
    info.mdat = {0, mdatStart + 8};
    uint32_t position = kMoovAt;
    int result = WriteMoov(*f, &position, info, &video, nullptr, nullptr, dataEnd);
    f.reset();
    Bytes b = ReadAll(path);
    EXPECT_EQ(b.size(), original.size());  // never grows: written in place
    ReleaseMP4MBOX_NODE(video);
    if (!c.ok) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(b, original);
      continue;
    }
    ASSERT_EQ(result, 1);
    EXPECT_EQ(BoxSize(b, kMoovAt), moovSize);
    EXPECT_EQ(GetU32(&b[mdatStart]), dataEnd - mdatStart);
    const uint32_t gap = uint32_t(c.room) - moovSize;
    if (gap) {
      EXPECT_EQ(GetU32(&b[kMoovAt + moovSize]), gap);
      EXPECT_EQ(GetU32(&b[kMoovAt + moovSize + 4]), FourCC("junk"));
      EXPECT_EQ(position, kMoovAt + moovSize + 8);
      EXPECT_EQ(info.moov.junk.size, gap);
      EXPECT_EQ(info.moov.junk.offset, kMoovAt + moovSize + 8);
    } else {
      EXPECT_EQ(position, kMoovAt + moovSize);
      EXPECT_FALSE(info.moov.junk.found());
    }
    // Media data untouched.
    EXPECT_TRUE(std::equal(b.begin() + mdatStart + 8, b.end(), original.begin() + mdatStart + 8));
  }
}

TEST(Mp4WriterMoov, moov_over_media_data_is_refused) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  Builders n;
  uint32_t end = kMdatPayload;
  AddCameraSamples(n.video, Regular(0, 33, 3), true, &end);
  std::string path = dir.File("over.mp4");
  testutil::WriteAll(path, Bytes(end, 0));
  auto f = MediaFile::Open(path, "rb+");
  info.mdat = {0, kMdatPayload};
  uint32_t position = end - 50;
  EXPECT_EQ(WriteMoov(*f, &position, info, &n.video, nullptr, nullptr, end), 0);
}

// ---- export head -----------------------------------------------------------------------

struct HeadCase {
  const char* name;
  const char* notice;
  const char* model;
  uint32_t gps2;
  bool sound;
};

TEST(Mp4WriterHead, free_box_holds_the_metadata_the_source_has) {
  const HeadCase cases[] = {
      {"no model name: no ptnm", "", "", 0, true},
      {"model name", "ACME notice", "TQ-MB20", 0, true},
      {"no sound: no ptso", "", "TQ-MB20", 0, false},
      {"gps2 layout: kind 4, no ptrh", "", "TQ-MB20", 1, true},
      {"leading space of a stored notice is not doubled", " Stored text", "", 0, false},
  };
  for (const HeadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4INFO info;
    SetAvcStrings(info);
    SetAac(info, 48000, 1);
    info.ptrh.so.config = {Param({0x11, 0x90})};
    info.ptrh.so.nConfigNum = 1;
    std::strcpy(info.cprtText, c.notice);
    std::strcpy(info.ptnmName, c.model);
    info.gps2Layout = c.gps2;
    std::string path = dir.File("head.mp4");
    auto f = MediaFile::Open(path, "wb");
    uint32_t position = 0;
    ASSERT_EQ(WriteMovieHead(*f, &position, 0x0123456789ABull, info, c.sound), 1);
    f.reset();
    Bytes b = ReadAll(path);
    ASSERT_EQ(position, b.size());
    const Bytes ftyp = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'm', 'p', '4', '2', 0, 0, 0, 1,
                        'm', 'p', '4', '2', 'm', 'p', '4', '2'};
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 24), ftyp);
    size_t freeBox = Top(b, "free");
    ASSERT_EQ(freeBox, 24u);
    const size_t mdat = b.size() - 8;  // size 0 until the moov is written
    EXPECT_EQ(testutil::BoxType(b, mdat), FourCC("mdat"));
    EXPECT_EQ(BoxSize(b, mdat), 0u);
    EXPECT_EQ(freeBox + BoxSize(b, freeBox), mdat);

    size_t cprt = Child(b, freeBox, "cprt");
    std::string text = *c.notice ? c.notice : "Tarvelion Co., Ltd.;Norvanta";
    if (text[0] == ' ') text.erase(0, 1);
    EXPECT_EQ(BoxSize(b, cprt), text.size() + 10);
    EXPECT_EQ(b[cprt + 8], ' ');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[cprt + 9])), text);

    size_t sttm = Child(b, freeBox, "sttm");
    EXPECT_EQ(BoxSize(b, sttm), 16u);
    EXPECT_EQ(GetU64(&b[sttm + 8]), 0x0123456789ABull);

    size_t ptnm = Child(b, freeBox, "ptnm");
    if (*c.model) {
      ASSERT_NE(ptnm, kNoBox);
      EXPECT_EQ(BoxSize(b, ptnm), std::strlen(c.model) + 13);
      EXPECT_EQ(b[ptnm + 8], c.gps2 ? 4 : 3);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[ptnm + 12])), c.model);
    } else {
      EXPECT_EQ(ptnm, kNoBox);
    }

    size_t ptrh = Child(b, freeBox, "ptrh");
    if (c.gps2) {
      EXPECT_EQ(ptrh, kNoBox);
      continue;
    }
    size_t ptvi = Child(b, ptrh, "ptvi");
    ASSERT_NE(ptvi, kNoBox);
    const Bytes vi = {0, 1, 'a', 'v', 'c', '1', 0x07, 0x80, 0x04, 0x38, 0, 2,
                      0, 4, 0x67, 0x42, 0xC0, 0x1E, 0, 4, 0x68, 0xCE, 0x38, 0x80};
    EXPECT_EQ(Bytes(b.begin() + long(ptvi + 8), b.begin() + long(ptvi + BoxSize(b, ptvi))), vi);
    size_t ptso = Child(b, ptrh, "ptso");
    if (!c.sound) {
      EXPECT_EQ(ptso, kNoBox);
      continue;
    }
    const Bytes so = {0, 2, 'm', 'p', '4', 'a', 0, 1, 0, 16, 0, 0, 0xBB, 0x80, 0, 1, 0, 2, 0x11, 0x90};
    ASSERT_NE(ptso, kNoBox);
    EXPECT_EQ(Bytes(b.begin() + long(ptso + 8), b.begin() + long(ptso + BoxSize(b, ptso))), so);
  }
}

TEST(Mp4WriterHead, parameter_sets_are_not_bounded_by_a_fixed_head_size) {
  TempDir dir;
  MP4INFO info;
  SetAvcStrings(info);
  info.ptrh.vi.config[0] = Param(Bytes(900, 0x67));  // a large SPS with VUI
  std::memset(info.cprtText, 'n', 255);
  std::memset(info.ptnmName, 'm', 63);
  auto f = MediaFile::Open(dir.File("big.mp4"), "wb");
  uint32_t position = 0;
  ASSERT_EQ(WriteMovieHead(*f, &position, 0, info, false), 1);
  EXPECT_GT(position, 900u + 255 + 63);
}

// ---- samples ---------------------------------------------------------------------------

struct SampleCase {
  const char* name;
  uint32_t codec;
  int nalLengthSize;
  Bytes sample;
  bool key;
  uint16_t stream;
  uint32_t writtenSize;
};

TEST(Mp4WriterSample, frame_record_key_flag_and_stream_by_codec) {
  const SampleCase cases[] = {
      {"avc1 IDR", kCodecAvc1, 4, {0, 0, 0, 2, 0x65, 0x88}, true, 1, 6},
      {"avc1 non-IDR", kCodecAvc1, 4, {0, 0, 0, 2, 0x41, 0x9A}, false, 1, 6},
      {"avc1 SEI then IDR", kCodecAvc1, 4, {0, 0, 0, 2, 0x06, 0x05, 0, 0, 0, 1, 0x65}, true, 1, 11},
      {"avc1 2-byte lengths", kCodecAvc1, 2, {0, 2, 0x65, 0x88}, true, 1, 4},
      {"avc1 length past the end", kCodecAvc1, 4, {0, 0, 9, 0, 0x41, 0, 0, 0, 1, 0x65}, false, 1, 10},
      {"avc1 raw unit gets a length", kCodecAvc1, 0, {0x65, 0x88, 0x84}, true, 1, 7},
      {"hvc1 IDR_W_RADL", kCodecHvc1, 4, {0, 0, 0, 2, 0x26, 0x01}, true, 1, 6},
      {"hvc1 trailing picture", kCodecHvc1, 4, {0, 0, 0, 2, 0x02, 0x01}, false, 1, 6},
      {"mp4v I-VOP at an odd position", kCodecMp4v, 0, {0xAA, 0, 0, 1, 0xB6, 0x10, 0}, true, 1, 7},
      {"mp4v P-VOP", kCodecMp4v, 0, {0, 0, 1, 0xB6, 0x50, 0, 0}, false, 1, 7},
      {"mp4v no start code", kCodecMp4v, 0, {1, 2, 3, 4, 5, 6}, false, 1, 6},
      {"sound", kCodecNone, 0, {0x21, 0x10, 0x05}, false, 2, 3},
      {"s263 is never key", kCodecS263, 0, {0, 0, 0x80, 2}, false, 2, 4},
  };
  for (const SampleCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MP4MBOX_NODE node;
    ASSERT_EQ(CreateFixedSizeTrak(node, 4, true), 1);
    std::string path = dir.File("s.bin");
    auto f = MediaFile::Open(path, "wb");
    uint32_t position = 100;  // the caller's position may be anywhere in the output
    ASSERT_EQ(WriteSample(*f, &position, node, c.sample.data(), uint32_t(c.sample.size()),
                          c.nalLengthSize, 1234, false, c.codec), 1);
    f.reset();
    Bytes b = ReadAll(path);
    ASSERT_EQ(b.size(), 16 + c.writtenSize);
    EXPECT_EQ(position, 100 + 16 + c.writtenSize);
    EXPECT_EQ(GetU16(&b[0]), c.stream);
    EXPECT_EQ(GetU16(&b[2]), c.key ? 1 : 0);
    EXPECT_EQ(GetU32(&b[4]), 1234u);
    EXPECT_EQ(GetU32(&b[8]), c.writtenSize);
    EXPECT_EQ(GetU32(&b[12]), 0u);
    EXPECT_TRUE(std::equal(c.sample.begin(), c.sample.end(), b.end() - long(c.sample.size())));
    EXPECT_EQ(node.sampleCount, 1u);
    EXPECT_EQ(GetU32(node.stco.data()), 116u);  // the data, past the record
    EXPECT_EQ(GetU32(node.stsz.data()), c.writtenSize);
    EXPECT_EQ(node.stssCount, c.key ? 1u : 0u);
    ReleaseMP4MBOX_NODE(node);
  }
}

TEST(Mp4WriterSample, no_frame_record_and_refusal_when_full) {
  TempDir dir;
  MP4MBOX_NODE node;
  ASSERT_EQ(CreateFixedSizeTrak(node, 2, true), 1);
  std::string path = dir.File("s.bin");
  auto f = MediaFile::Open(path, "wb");
  uint32_t position = 0;
  const Bytes s = {0, 0, 0, 1, 0x65};
  ASSERT_EQ(WriteSample(*f, &position, node, s.data(), 5, 4, 0, true, kCodecAvc1), 1);
  ASSERT_EQ(WriteSample(*f, &position, node, s.data(), 5, 4, 33, true, kCodecAvc1), 1);
  EXPECT_EQ(WriteSample(*f, &position, node, s.data(), 5, 4, 66, true, kCodecAvc1), 0);
  f.reset();
  EXPECT_EQ(ReadAll(path), (Bytes{0, 0, 0, 1, 0x65, 0, 0, 0, 1, 0x65}));  // nothing after refusal
  EXPECT_EQ(position, 10u);
  // Contiguous samples without records share one chunk.
  EXPECT_EQ(node.stcoCount, 1u);
  ReleaseMP4MBOX_NODE(node);
}

}  // namespace
}  // namespace tq
