// Repair of synthetic camera recordings: cuts at every kind of point, the reserved room,
// the refusals that must leave the file untouched, the walk's stop rules, capacity, and
// interrupted repairs at every write.
#include <memory>

#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"
#include "container/Mp4ReadBoxes.h"

namespace tq::readtest {
namespace {

struct ReadSample {
  uint32_t handler, offset, size;
  uint64_t time;
  bool operator==(const ReadSample&) const = default;
};

void PrintTo(const ReadSample& s, std::ostream* os) {
  *os << FourCCText(s.handler) << "@" << s.offset << "+" << s.size << " t" << s.time;
}

// Compares two sample lists and names the first difference, not the whole lists.
::testing::AssertionResult SameSamples(const std::vector<ReadSample>& got,
                                       const std::vector<ReadSample>& want) {
  for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    if (!(got[i] == want[i]))
      return ::testing::AssertionFailure() << "sample " << i << ": got "
                                           << ::testing::PrintToString(got[i]) << ", want "
                                           << ::testing::PrintToString(want[i]);
  }
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << got.size() << " samples, want " << want.size();
  return ::testing::AssertionSuccess();
}

struct ReadBack {
  std::vector<ReadSample> video, sound;
  uint32_t syncSamples = 0;
  int playable = 0;
};

// Reads a file's index afresh, without writing, and walks every sample of every track.
ReadBack ReadIndex(const std::string& path) {
  ReadBack rb;
  auto info = std::make_unique<MP4INFO>();
  ScanMP4(path, info.get(), 0, nullptr);
  rb.playable = IsPlayableMP4(info->moov, info->mdat);
  auto f = MediaFile::Open(path, "rb");
  for (const auto& t : info->moov.trak) {
    if (!t || !f) continue;
    uint32_t handler = t->mdia.hdlr.handlerType;
    if (handler == FourCC("vide")) rb.syncSamples = t->mdia.minf.stbl.stss.entryCount;
    SampleCursor c;
    c.trak = t.get();
    SampleInfo s;
    auto& out = handler == FourCC("vide") ? rb.video : rb.sound;
    while (out.size() < 10000 && NextSample(c, *f, info->moov, &s))
      out.push_back({handler, s.fileOffset, s.size, s.timeMs});
  }
  FreeMP4INFO(*info);
  return rb;
}

// What a correct repair keeps: the complete records before the first one that is cut,
// broken, goes back in time within its stream or exceeds its stream's capacity. Read back,
// each sample carries its own time relative to the first record (a track that starts
// later is delayed by an empty edit).
struct Expected {
  std::vector<ReadSample> video, sound;
  uint32_t validEnd = 0;
  uint32_t keys = 0;
};

Expected Model(const std::vector<Placed>& placed, uint32_t fileLength, uint32_t mdatPayload) {
  Expected e;
  e.validEnd = mdatPayload;
  uint32_t last[3] = {};
  bool seen[3] = {};
  bool any = false;
  uint32_t base = 0;
  std::vector<uint32_t> vt, st;
  for (const Placed& p : placed) {
    const Frame& f = p.frame;
    if (p.recordStart + 16 > fileLength || p.end > fileLength) break;
    if ((f.stream != 1 && f.stream != 2) || f.size == 0 || f.key > 1) break;
    if (seen[f.stream] && f.time < last[f.stream]) break;
    auto& list = f.stream == 1 ? e.video : e.sound;
    if (list.size() >= (f.stream == 1 ? 5460u : 2912u)) break;
    if (!any) base = f.time;
    any = true;
    uint32_t rel = f.time >= base ? f.time - base : 0;
    auto& times = f.stream == 1 ? vt : st;
    uint64_t readTime = rel;
    times.push_back(rel);
    list.push_back({FourCC(f.stream == 1 ? "vide" : "soun"), p.dataOffset, f.size, readTime});
    if (f.stream == 1 && f.key) ++e.keys;
    seen[f.stream] = true;
    last[f.stream] = f.time;
    e.validEnd = p.end;
  }
  return e;
}

struct Prepared {
  std::string path;
  Bytes original;
  std::vector<Placed> placed;
  uint32_t mdatPayload = 0;
};

Prepared Prepare(TempDir& dir, const CameraSpec& spec, size_t cut, const std::string& name) {
  Prepared p;
  p.path = dir.File(name);
  p.original = BuildCameraFile(spec, &p.placed);
  if (cut < p.original.size()) p.original.resize(cut);
  p.mdatPayload = p.placed.empty() ? 0 : p.placed[0].recordStart;
  WriteFile(p.path, p.original);
  return p;
}

ValidateReport Validate(const std::string& path, ValidateOptions options = {}) {
  auto info = std::make_unique<MP4INFO>();
  ValidateReport r = ValidateMP4(path, info.get(), 0, options);
  FreeMP4INFO(*info);
  return r;
}

void ExpectRepairedAsModel(const Prepared& p, const ValidateReport& r) {
  Expected e = Model(p.placed, uint32_t(p.original.size()), p.mdatPayload);
  ASSERT_EQ(r.result, ValidateResult::Repaired) << r.reason;
  EXPECT_EQ(r.videoSamples, e.video.size());
  EXPECT_EQ(r.audioSamples, e.sound.size());
  EXPECT_EQ(r.validBytes, e.validEnd - p.mdatPayload);
  Bytes now = ReadFile(p.path);
  // The media data before the end of the valid data is untouched; mdat covers exactly it.
  ASSERT_GE(now.size(), e.validEnd);
  EXPECT_TRUE(std::equal(p.original.begin() + p.mdatPayload, p.original.begin() + e.validEnd,
                         now.begin() + p.mdatPayload));
  EXPECT_EQ(GetU32(now.data() + p.mdatPayload - 8), e.validEnd - (p.mdatPayload - 8));
  ReadBack rb = ReadIndex(p.path);
  EXPECT_EQ(rb.playable, 1);
  EXPECT_TRUE(SameSamples(rb.video, e.video));
  EXPECT_TRUE(SameSamples(rb.sound, e.sound));
  EXPECT_EQ(rb.syncSamples, e.keys);
  // A repaired file is usable on the next open without another write.
  EXPECT_EQ(Validate(p.path).result, ValidateResult::Ok);
  EXPECT_EQ(ReadFile(p.path), now);
}

// The top-level boxes from the mdat on, as (type, size) pairs.
std::vector<std::pair<uint32_t, uint32_t>> TopLevelFrom(const Bytes& b, size_t pos) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  while (pos + 8 <= b.size()) {
    uint32_t size = GetU32(b.data() + pos);
    out.push_back({GetU32(b.data() + pos + 4), size});
    if (size < 8) break;
    pos += size;
  }
  return out;
}

TEST(Mp4Repair, cut_anywhere_keeps_exactly_the_complete_records_before_it) {
  CameraSpec spec;
  spec.frames = Interleaved(8, true);
  std::vector<Placed> placed;
  BuildCameraFile(spec, &placed);
  std::vector<size_t> cuts;
  ASSERT_EQ(placed[1].frame.stream, 1);  // the first video record
  for (size_t i = 2; i < placed.size(); ++i) {
    const Placed& p = placed[i];
    for (uint32_t at : {p.recordStart, p.recordStart + 1u, p.recordStart + 9u,
                        p.recordStart + 15u, p.recordStart + 16u, p.dataOffset + 1u,
                        p.end - 1u, p.end})
      cuts.push_back(at);
  }
  TempDir dir;
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    Prepared p = Prepare(dir, spec, cut, "cut.mp4");
    ValidateReport r = Validate(p.path);
    ExpectRepairedAsModel(p, r);
    Bytes now = ReadFile(p.path);
    Expected e = Model(p.placed, uint32_t(cut), p.mdatPayload);
    auto top = TopLevelFrom(now, p.mdatPayload - 8);
    ASSERT_GE(top.size(), 2u);
    EXPECT_EQ(top[1].first, FourCC("moov"));
    // The discarded tail, if any, became free space; nothing follows it.
    uint64_t moovEnd = uint64_t(e.validEnd) + top[1].second;
    if (cut > moovEnd) {
      ASSERT_EQ(top.size(), 3u);
      EXPECT_EQ(top[2].first, FourCC("free"));
      EXPECT_EQ(moovEnd + top[2].second, now.size());
    } else {
      EXPECT_EQ(now.size(), moovEnd);
    }
    // The model name's kind byte marks the file as repaired.
    auto info = std::make_unique<MP4INFO>();
    ScanMP4(p.path, info.get(), 0, nullptr);
    EXPECT_EQ(info->ptnmKind, 2);
    FreeMP4INFO(*info);
  }
}

// The walk reads a block after each record it fetches and takes the records lying wholly
// inside it from there: a record that ends exactly at the block's end, one cut by it, and
// a long chain of tiny sound frames running over several blocks must each be found, with
// the file whole and cut inside any record.
TEST(Mp4Repair, records_at_the_edges_of_a_read_block_are_all_found) {
  const struct {
    uint32_t size, extra;
  } rows[] = {{990, 0}, {991, 0}, {992, 0}, {993, 0}, {988, 4}, {989, 4}, {1008, 0}, {1009, 0}};
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.size) + "+" + std::to_string(row.extra));
    CameraSpec spec;
    spec.frames = {{1, 1, 1000, 5000, 0}};
    for (uint32_t i = 0; i < 3; ++i) spec.frames.push_back({2, 0, 1000 + 64 * i, row.size, row.extra});
    spec.frames.push_back({1, 0, 1033, 3000, 0});
    for (uint32_t i = 0; i < 100; ++i) spec.frames.push_back({2, 0, 1192 + 64 * i, 8 + i % 3, 0});
    spec.frames.push_back({1, 0, 1066, 3000, 0});
    std::vector<Placed> placed;
    const size_t full = BuildCameraFile(spec, &placed).size();
    // Cuts in the large sound records and in every seventh record of the chain (spread
    // over its blocks), inside the record and inside its sample.
    std::vector<size_t> cuts = {full};
    for (size_t i = 1; i < placed.size(); ++i)
      if (i <= 5 || i % 7 == 0)
        for (uint32_t at : {placed[i].recordStart + 9u, placed[i].end - 1u}) cuts.push_back(at);
    for (size_t cut : cuts) {
      SCOPED_TRACE(cut);
      Prepared p = Prepare(dir, spec, cut, "edge.mp4");
      ExpectRepairedAsModel(p, Validate(p.path));
    }
  }
}

TEST(Mp4Repair, dry_run_reports_the_repair_and_writes_nothing) {
  CameraSpec spec;
  spec.frames = Interleaved(6, true);
  TempDir dir;
  Prepared p = Prepare(dir, spec, size_t(-1), "dry.mp4");
  ValidateOptions dry;
  dry.dryRun = true;
  ValidateReport r = Validate(p.path, dry);
  EXPECT_EQ(r.result, ValidateResult::Repaired);
  EXPECT_TRUE(r.dryRun);
  EXPECT_EQ(r.videoSamples, 6u);
  EXPECT_EQ(ReadFile(p.path), p.original);
  ExpectRepairedAsModel(p, Validate(p.path));
}

TEST(Mp4Repair, refusals_never_write) {
  struct Row { const char* name; CameraSpec spec; };
  auto with = [](auto change) {
    CameraSpec s;
    s.frames = Interleaved(4, true);
    change(s);
    return s;
  };
  Row rows[] = {
      {"gps2 box", with([](CameraSpec& s) { s.gps2Box = true; })},
      {"ptnm kind 4", with([](CameraSpec& s) { s.ptnmKind = 4; })},
      {"mp4v video", with([](CameraSpec& s) { s.videoCodec = "mp4v"; })},
      {"one parameter set", with([](CameraSpec& s) { s.parameterSets = 1; })},
      {"AMR sound", with([](CameraSpec& s) { s.soundCodec = "samr"; })},
      {"no start time", with([](CameraSpec& s) { s.sttm = false; })},
      {"sound record without ptso", with([](CameraSpec& s) { s.soundCodec = nullptr; })},
      {"reserved room too small", with([](CameraSpec& s) { s.reservedRoom = 200; })},
      {"no frame record", with([](CameraSpec& s) { s.frames.clear(); })},
      {"only sound records", with([](CameraSpec& s) { s.frames = {{2, 0, 0, 30, 0}}; })},
  };
  TempDir dir;
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    Prepared p = Prepare(dir, row.spec, size_t(-1), "refuse.mp4");
    ValidateReport r = Validate(p.path);
    EXPECT_EQ(r.result, ValidateResult::Failed);
    EXPECT_FALSE(r.reason.empty());
    EXPECT_EQ(ReadFile(p.path), p.original);
    EXPECT_EQ(ValidMP4(p.path, std::make_unique<MP4INFO>().get(), 0), 0);
  }
}

TEST(Mp4Repair, files_of_4_gib_are_refused_untouched) {
  TempDir dir;
  CameraSpec spec;
  spec.frames = Interleaved(2, true);
  for (uint64_t length : {kMaxMediaFileSize - 1, kMaxMediaFileSize, kMaxMediaFileSize + 16}) {
    SCOPED_TRACE(length);
    std::string path = dir.File("big.mp4");
    WriteFile(path, BuildCameraFile(spec));
    std::filesystem::resize_file(path, length);  // sparse: the tail reads as zeros
    ValidateReport r = Validate(path);
    if (length < kMaxMediaFileSize) {
      // Just below the limit the zeros after the records end the walk: repaired.
      EXPECT_EQ(r.result, ValidateResult::Repaired) << r.reason;
    } else {
      EXPECT_EQ(r.result, ValidateResult::Failed);
      EXPECT_NE(r.reason.find("4 GiB"), std::string::npos) << r.reason;
      EXPECT_EQ(std::filesystem::file_size(path), length);
    }
    std::filesystem::remove(path);
  }
}

TEST(Mp4Repair, mp3_sound_and_no_sound_are_repaired) {
  TempDir dir;
  for (const char* sound : {".mp3", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(sound ? sound : "none");
    CameraSpec spec;
    spec.soundCodec = sound;
    spec.frames = Interleaved(5, sound != nullptr);
    Prepared p = Prepare(dir, spec, size_t(-1), "mp3.mp4");
    ExpectRepairedAsModel(p, Validate(p.path));
  }
}

TEST(Mp4Repair, walk_ends_at_backward_time_within_a_stream_only) {
  struct Row { const char* name; std::vector<Frame> frames; size_t kept; };
  Row rows[] = {
      {"video goes back",
       {{1, 1, 1000, 50, 0}, {2, 0, 1000, 20, 0}, {1, 0, 1033, 50, 0}, {1, 0, 1020, 50, 0},
        {1, 0, 1066, 50, 0}},
       3},
      {"streams judged apart",
       {{1, 1, 1000, 50, 0}, {1, 0, 1033, 50, 0}, {2, 0, 1010, 20, 0}, {2, 0, 1074, 20, 0},
        {2, 0, 1005, 20, 0}, {1, 0, 1066, 50, 0}},
       4},
      {"starts with sound", {{2, 0, 5000, 20, 0}, {1, 1, 5020, 50, 0}, {1, 0, 5053, 50, 0}}, 3},
      {"broken key flag", {{1, 1, 0, 50, 0}, {1, 2, 33, 50, 0}}, 1},
      {"zero size", {{1, 1, 0, 50, 0}, {1, 0, 33, 0, 0}}, 1},
      {"stream 3", {{1, 1, 0, 50, 0}, {3, 0, 33, 5, 0}}, 1},
  };
  TempDir dir;
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    CameraSpec spec;
    spec.frames = row.frames;
    Prepared p = Prepare(dir, spec, size_t(-1), "walk.mp4");
    ValidateReport r = Validate(p.path);
    EXPECT_EQ(r.videoSamples + r.audioSamples, row.kept);
    ExpectRepairedAsModel(p, r);
  }
  // Starting with sound: the first video sample lies 20 ms after the base (an empty edit
  // delays the video track), the second 53 ms.
  CameraSpec spec;
  spec.frames = rows[2].frames;
  Prepared p = Prepare(dir, spec, size_t(-1), "sound-first.mp4");
  Validate(p.path);
  ReadBack rb = ReadIndex(p.path);
  ASSERT_EQ(rb.video.size(), 2u);
  EXPECT_EQ(rb.video[0].time, 20u);
  EXPECT_EQ(rb.video[1].time, 53u);
}

TEST(Mp4Repair, capacity_ends_the_valid_data) {
  struct Row { const char* name; int video; int sound; uint32_t keptVideo, keptSound; };
  Row rows[] = {{"video 5461", 5461, 0, 5460, 0}, {"video 5460", 5460, 0, 5460, 0},
                {"sound 2913", 1, 2913, 1, 2912}};
  TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CameraSpec spec;
    spec.soundCodec = row.sound ? "mp4a" : nullptr;
    spec.frames.push_back({1, 1, 0, 3, 0});
    for (int i = 1; i < row.video; ++i) spec.frames.push_back({1, 0, uint32_t(i) * 33, 2, 0});
    for (int i = 0; i < row.sound; ++i) spec.frames.push_back({2, 0, uint32_t(i) * 21, 1, 0});
    if (row.sound) spec.frames.push_back({1, 0, 100000, 2, 0});  // after the full sound run
    Prepared p = Prepare(dir, spec, size_t(-1), "capacity.mp4");
    ValidateReport r = Validate(p.path);
    EXPECT_EQ(r.videoSamples, row.keptVideo);
    EXPECT_EQ(r.audioSamples, row.keptSound);
    ExpectRepairedAsModel(p, r);
  }
}

TEST(Mp4Repair, reserved_room_is_overwritten_in_place) {
  CameraSpec spec;
  spec.reservedRoom = 8192;
  spec.frames = Interleaved(10, true);
  TempDir dir;
  for (size_t cutBack : {0, 7}) {
    SCOPED_TRACE(cutBack);
    std::vector<Placed> placed;
    size_t full = BuildCameraFile(spec, &placed).size();
    Prepared p = Prepare(dir, spec, full - cutBack, "room.mp4");
    ValidateReport r = Validate(p.path);
    ExpectRepairedAsModel(p, r);
    Bytes now = ReadFile(p.path);
    EXPECT_EQ(now.size(), p.original.size());
    // The moov keeps the reserved box size and ends with a junk child.
    uint32_t moovStart = p.mdatPayload - 8 - spec.reservedRoom;
    EXPECT_EQ(GetU32(now.data() + moovStart), spec.reservedRoom);
    EXPECT_EQ(GetU32(now.data() + moovStart + 4), FourCC("moov"));
    auto info = std::make_unique<MP4INFO>();
    ScanMP4(p.path, info.get(), 0, nullptr);
    EXPECT_TRUE(info->moov.junk.found());
    EXPECT_EQ(uint64_t(info->moov.junk.offset) - 8 + info->moov.junk.size, p.mdatPayload - 8);
    FreeMP4INFO(*info);
  }
}

bool RepairCompletesWithin(const CameraSpec& spec, size_t cut, TempDir& dir, int64_t budget) {
  Prepared p = Prepare(dir, spec, cut, "budget.mp4");
  MediaFile::InjectWriteFailureAfter(budget);
  bool done = Validate(p.path).result == ValidateResult::Repaired;
  MediaFile::InjectWriteFailureAfter(-1);
  return done;
}

// Interrupts the repair after n written bytes, then lets the next validation finish it:
// the samples must be those of an uninterrupted repair. Every n near a write boundary
// is tried (where fields tear), and a stride through the long writes in between.
void CrashLoop(const CameraSpec& spec, size_t cut) {
  TempDir dir;
  Prepared clean = Prepare(dir, spec, cut, "clean.mp4");
  ASSERT_EQ(Validate(clean.path).result, ValidateResult::Repaired);
  ReadBack want = ReadIndex(clean.path);
  ASSERT_FALSE(want.video.empty());
  auto info = std::make_unique<MP4INFO>();
  ScanMP4(clean.path, info.get(), 0, nullptr);
  int64_t image = info->moov.moov.size - info->moov.junk.size;
  FreeMP4INFO(*info);

  // Bytes an uninterrupted repair writes (scratch image included), by bisection.
  int64_t lo = 0, hi = 1 << 22;
  while (lo < hi) {
    int64_t mid = (lo + hi) / 2;
    if (RepairCompletesWithin(spec, cut, dir, mid)) hi = mid; else lo = mid + 1;
  }
  const int64_t total = lo;
  ASSERT_GT(total, image);
  // Scratch image (+ its two size patches), then skip type, image, mdat size, commit.
  std::vector<int64_t> boundaries = {0, image + 8, image + 12, 2 * image + 12, total};
  auto nearBoundary = [&](int64_t n) {
    for (int64_t b : boundaries)
      if (n >= b - 24 && n <= b + 24) return true;
    return false;
  };
  int tried = 0;
  for (int64_t n = 0; n < total; n += nearBoundary(n) ? 1 : 11) {
    ++tried;
    Prepared p = Prepare(dir, spec, cut, "crash.mp4");
    MediaFile::InjectWriteFailureAfter(n);
    ValidateReport first = Validate(p.path);
    MediaFile::InjectWriteFailureAfter(-1);
    ASSERT_EQ(first.result, ValidateResult::Failed) << "after " << n << " bytes";
    ValidateReport second = Validate(p.path);
    ASSERT_NE(second.result, ValidateResult::Failed) << "after " << n << " bytes: " << second.reason;
    ReadBack got = ReadIndex(p.path);
    ASSERT_TRUE(SameSamples(got.video, want.video)) << "after " << n << " bytes";
    ASSERT_TRUE(SameSamples(got.sound, want.sound)) << "after " << n << " bytes";
    ASSERT_EQ(Validate(p.path).result, ValidateResult::Ok) << "after " << n << " bytes";
  }
  EXPECT_GT(tried, 200);
}

TEST(Mp4Repair, interrupted_append_repair_is_finished_by_the_next_validation) {
  CameraSpec spec;
  spec.frames = Interleaved(3, true);
  std::vector<Placed> placed;
  BuildCameraFile(spec, &placed);
  CrashLoop(spec, placed.back().end - 5);  // the last sample is cut
}

TEST(Mp4Repair, interrupted_repair_with_a_stale_mdat_size_is_finished_by_the_next_validation) {
  // The camera had already written an mdat size up to the last complete record: the
  // top-level walk reaches the new index while it is written, so only the index's own
  // type can keep a half-written one from being read.
  CameraSpec file;
  file.frames = Interleaved(3, true);
  std::vector<Placed> placed;
  BuildCameraFile(file, &placed);
  file.mdatSize = placed[placed.size() - 2].end - (placed[0].recordStart - 8);
  CrashLoop(file, placed.back().end - 5);
}

TEST(Mp4Repair, interrupted_reserved_room_repair_is_finished_by_the_next_validation) {
  CameraSpec spec;
  spec.reservedRoom = 2048;
  spec.frames = Interleaved(3, true);
  CrashLoop(spec, size_t(-1));
}

// The repaired bytes of recordings whose samples range from a few bytes to hundreds of
// kilobytes (records fall anywhere in any read block), whole and cut inside a record and
// inside a sample, appended and in reserved room: each must stay exactly what the
// repair has always written, a 64-bit FNV-1a of the whole file with the clock times of the
// new index (creation and modification of mvhd, tkhd and mdhd) left out.
// The values were taken again when each sample's table entry became its own duration
// (the repaired pictures and sounds moved to their own times); any other change is a fault.
uint64_t Fnv1a(Bytes b) {
  for (const char* type : {"mvhd", "tkhd", "mdhd"})
    for (size_t i = 4; i + 16 <= b.size(); ++i)
      if (GetU32(b.data() + i) == FourCC({type[0], type[1], type[2], type[3], 0}) && b[i + 4] == 0)
        std::fill(b.begin() + ptrdiff_t(i) + 8, b.begin() + ptrdiff_t(i) + 16, 0);
  uint64_t h = 14695981039346656037ull;
  for (uint8_t c : b) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::vector<Frame> VariedFrames(int videoFrames) {
  std::vector<Frame> frames;
  uint32_t seed = 12345, nextSound = 500;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int i = 0; i < videoFrames; ++i) {
    const uint32_t t = 500 + uint32_t(i) * 33;
    while (nextSound <= t) {
      frames.push_back({2, 0, nextSound, 8 + next() % 700, 0});
      nextSound += 64;
    }
    const uint32_t r = next();
    const uint32_t size = i % 15 == 0 ? 60000 + r % 250000 : r % 4 == 0 ? 1 + r % 200 : 2000 + r % 70000;
    frames.push_back({1, uint16_t(i % 15 == 0), t, size, (r >> 3) % 5 == 0 ? 4u : 0u});
  }
  return frames;
}

TEST(Mp4Repair, repaired_bytes_stay_exactly_as_before) {
  CameraSpec spec;
  spec.frames = VariedFrames(160);
  std::vector<Placed> placed;
  const size_t full = BuildCameraFile(spec, &placed).size();
  const Placed& late = placed[placed.size() - 40];
  const struct {
    const char* name;
    uint32_t room;
    size_t cut;
    uint64_t hash;
  } cases[] = {
      {"whole", 0, full, 0x0b4188327e888eb7ull},
      {"cut inside a record", 0, late.recordStart + 9, 0xd657f9d6c9695a4bull},
      {"cut inside a sample", 0, late.dataOffset + late.frame.size / 2, 0x003f528aeaabc1fbull},
      {"reserved room, whole", 65536, full, 0x5b9862421392859bull},
      {"reserved room, cut", 65536, late.end - 1, 0x719a8cac01c99cd9ull},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CameraSpec s = spec;
    s.reservedRoom = c.room;
    std::vector<Placed> at;
    const size_t length = BuildCameraFile(s, &at).size();
    Prepared p = Prepare(dir, s, c.cut + (length - full), "same.mp4");
    ASSERT_EQ(Validate(p.path).result, ValidateResult::Repaired);
    EXPECT_EQ(Fnv1a(ReadFile(p.path)), c.hash) << std::hex << Fnv1a(ReadFile(p.path));
  }
}

}  // namespace
}  // namespace tq::readtest
