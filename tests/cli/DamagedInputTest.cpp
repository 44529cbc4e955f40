// tqmb20 over damaged inputs made from generated recordings: truncations, sample-table
// counts set to 0xFFFFFFFF, flipped index bytes, AVI indexes of garbage, special and
// linked outputs. Every row asserts the exit code, that no input changed (except under
// `repair`, whose changed files must read cleanly), and that every file written passes
// ffprobe.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using tq::test::Fixture;
using tq::test::Quote;
using tq::test::TempDir;
using Bytes = std::vector<uint8_t>;

Bytes Read(const std::string& path) { return tq::test::ReadAll(path); }

void Write(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                               std::streamsize(b.size()));
}

// Position of the n-th `code` at or after `from`; the test fails when there is none.
size_t Find(const Bytes& b, const char* code, size_t from = 0, int nth = 0) {
  for (size_t i = from; i + 4 <= b.size(); ++i) {
    if (std::memcmp(&b[i], code, 4) == 0 && nth-- == 0) return i;
  }
  ADD_FAILURE() << code << " not found";
  return b.size() - 4;
}

void PutBE(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
void PutLE(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// The inputs of one row, made in the row's folder.
class Inputs {
 public:
  explicit Inputs(const TempDir& dir) : dir_(dir) {}
  std::string at(const std::string& name) const { return dir_.file(name); }
  void Copy(const std::string& fixture, const std::string& name) const {
    ASSERT_TRUE(tq::test::CopyFile(Fixture(fixture), at(name)));
  }
  // A count field of the `nth` table of that type in the moov set to 0xFFFFFFFF.
  void BreakCount(const std::string& name, const char* table, int nth = 0) const {
    Bytes b = Read(at(name));
    const size_t p = Find(b, table, Find(b, "moov"), nth);
    PutBE(b, p + (std::strcmp(table, "stsz") == 0 ? 12 : 8), 0xFFFFFFFFu);
    Write(at(name), b);
  }
  void BreakSampleSizes(const std::string& name) const {
    Bytes b = Read(at(name));
    const size_t p = Find(b, "stsz", Find(b, "moov"));
    uint32_t count = uint32_t(b[p + 12]) << 24 | uint32_t(b[p + 13]) << 16 |
                     uint32_t(b[p + 14]) << 8 | b[p + 15];
    for (uint32_t i = 0; i < count; ++i) PutBE(b, p + 16 + 4 * size_t(i), 0xFFFFFFFFu);
    Write(at(name), b);
  }
  void Flip(const std::string& name, const char* box, size_t offset, size_t bytes) const {
    Bytes b = Read(at(name));
    const size_t p = Find(b, box) + offset;
    for (size_t i = p; i < p + bytes && i < b.size(); ++i) b[i] ^= 0xFF;
    Write(at(name), b);
  }
  void Truncate(const std::string& name, double part) const {
    Bytes b = Read(at(name));
    b.resize(size_t(double(b.size()) * part));
    Write(at(name), b);
  }
  // Every idx1 entry made of 0xFF bytes, or only the first entry's offset moved out.
  void GarbageIndex(const std::string& name, bool wholeIndex) const {
    Bytes b = Read(at(name));
    const size_t p = Find(b, "idx1");
    const uint32_t size = uint32_t(b[p + 4]) | uint32_t(b[p + 5]) << 8 |
                          uint32_t(b[p + 6]) << 16 | uint32_t(b[p + 7]) << 24;
    if (wholeIndex)
      std::fill(b.begin() + long(p + 8), b.begin() + long(std::min<size_t>(p + 8 + size, b.size())), 0xFF);
    else
      PutLE(b, p + 16, 0x7FFFFFF0u);
    Write(at(name), b);
  }
  void Random(const std::string& name, size_t bytes) const {
    std::mt19937 rng(7);
    Bytes b(bytes);
    for (uint8_t& v : b) v = uint8_t(rng());
    Write(at(name), b);
  }
  void Text(const std::string& name, const std::string& text) const {
    Write(at(name), Bytes(text.begin(), text.end()));
  }
  void Fifo(const std::string& name) const { ASSERT_EQ(::mkfifo(at(name).c_str(), 0600), 0); }
  void Link(const std::string& name, const std::string& target) const {
    ASSERT_EQ(::symlink(target.c_str(), at(name).c_str()), 0);
  }
  void Folder(const std::string& name) const { fs::create_directory(at(name)); }

 private:
  const TempDir& dir_;
};

struct Entry {
  fs::file_type type;
  Bytes bytes;
};

// What the folder holds: every name with its type, and the bytes of regular files.
std::map<std::string, Entry> Snapshot(const TempDir& dir) {
  std::map<std::string, Entry> out;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const fs::file_type type = fs::symlink_status(e.path()).type();
    out[e.path().filename().string()] =
        Entry{type, type == fs::file_type::regular ? Read(e.path().string()) : Bytes()};
  }
  return out;
}

struct Row {
  std::string name;
  std::function<void(const Inputs&)> make;
  std::string args;          // run in the row's folder
  int exitCode;
  std::string message;       // part of standard output or error ("" none required)
  std::string absent = {};   // must not appear in either
  bool repairs = false;      // `repair` may change inputs; what it changed must read cleanly
  std::vector<std::string> replaced = {};  // inputs the command may replace (--force)
};

bool IsMedia(const std::string& name) {
  const std::string ext = fs::path(name).extension().string();
  return ext == ".mp4" || ext == ".avi";
}

void RunRow(const Row& row) {
  SCOPED_TRACE(row.name + ": tqmb20 " + row.args);
  TempDir dir;
  row.make(Inputs(dir));
  const auto before = Snapshot(dir);
  const auto run = tq::test::RunCommand("cd " + Quote(dir.path().string()) + " && '" TQ_BUILD_DIR
                                        "/tqmb20' " + row.args + " </dev/null");
  EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
  if (!row.message.empty()) {
    EXPECT_NE(run.output.find(row.message), std::string::npos) << run.output;
  }
  if (!row.absent.empty()) {
    EXPECT_EQ(run.output.find(row.absent), std::string::npos) << run.output;
  }
  // Every line printed, trace lines included, is ended.
  if (!run.output.empty()) {
    EXPECT_EQ(run.output.back(), '\n') << run.output;
  }

  const auto after = Snapshot(dir);
  for (const auto& [name, entry] : before) {
    SCOPED_TRACE(name);
    auto it = after.find(name);
    ASSERT_NE(it, after.end()) << "removed";
    EXPECT_EQ(it->second.type, entry.type) << "replaced by another kind of file";
    const bool mayChange =
        row.repairs || std::count(row.replaced.begin(), row.replaced.end(), name) > 0;
    if (it->second.bytes != entry.bytes) {
      EXPECT_TRUE(mayChange) << "changed";
      if (mayChange) {
        EXPECT_EQ(tq::test::Ffprobe(dir.file(name)).output, "");
      }
    }
  }
  for (const auto& [name, entry] : after) {
    if (before.count(name)) continue;
    SCOPED_TRACE(name);
    EXPECT_EQ(name.find(".part"), std::string::npos) << "a temporary file was left";
    if (IsMedia(name)) {
      EXPECT_EQ(tq::test::Ffprobe(dir.file(name)).output, "");
    }
  }
}

std::function<void(const Inputs&)> CopyOf(const std::string& fixture, const std::string& name) {
  return [=](const Inputs& in) { in.Copy(fixture, name); };
}

TEST(DamagedInput, outputs_never_replace_the_recording_or_write_through_special_files) {
  const auto avi = CopyOf("avi_front.avi", "s.avi");
  const auto mp4 = CopyOf("h264_sound.mp4", "s.mp4");
  const Row rows[] = {
      {"AVI onto itself", avi, "export s.avi --from 1 --to 2 -o s.avi", 1, "would replace"},
      {"AVI onto itself, relative", avi, "export s.avi --from 1 --to 2 -o ./s.avi", 1, "would replace"},
      {"AVI onto itself, absolute", avi, "export s.avi --from 1 --to 2 -o \"$PWD/s.avi\"", 1,
       "would replace"},
      {"AVI onto a link to itself",
       [](const Inputs& in) {
         in.Copy("avi_front.avi", "s.avi");
         in.Link("l.avi", "s.avi");
       },
       "export s.avi --from 1 --to 2 -o l.avi", 1, "would replace"},
      {"MP4 onto itself", mp4, "export s.mp4 --from 1 --to 2 -o ./s.mp4", 1, "would replace"},
      {"MP4 into a FIFO",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "s.mp4");
         in.Fifo("o.mp4");
       },
       "export s.mp4 --from 0 --to 1 -o o.mp4", 1, "not a regular file"},
      {"AVI into a FIFO",
       [](const Inputs& in) {
         in.Copy("avi_front.avi", "s.avi");
         in.Fifo("o.avi");
       },
       "export s.avi --from 0 --to 1 -o o.avi", 1, "not a regular file"},
      {"MP4 through a link to another file",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "s.mp4");
         in.Text("keep.txt", "kept");
         in.Link("o.mp4", "keep.txt");
       },
       "export s.mp4 --from 0 --to 1 -o o.mp4", 1, "not a regular file"},
      {"MP4 onto a folder",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "s.mp4");
         in.Folder("o.mp4");
       },
       "export s.mp4 --from 0 --to 1 -o o.mp4", 1, "not a regular file"},
      {"MP4 onto an existing file",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "s.mp4");
         in.Text("o.mp4", "kept");
       },
       "export s.mp4 --from 0 --to 1 -o o.mp4", 1, "already exists"},
      {"AVI onto an existing file",
       [](const Inputs& in) {
         in.Copy("avi_front.avi", "s.avi");
         in.Text("o.avi", "kept");
       },
       "export s.avi --from 0 --to 1 -o o.avi", 1, "already exists"},
      {"MP4 onto an existing file with --force",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "s.mp4");
         in.Text("o.mp4", "old");
       },
       "export s.mp4 --from 0 --to 1 --force -o o.mp4", 0, "", "", false, {"o.mp4"}},
      {"AVI onto an existing file with --force",
       [](const Inputs& in) {
         in.Copy("avi_front.avi", "s.avi");
         in.Text("o.avi", "old");
       },
       "export s.avi --from 0 --to 1 --force -o o.avi", 0, "", "", false, {"o.avi"}},
  };
  for (const Row& row : rows) RunRow(row);
}

TEST(DamagedInput, commands_that_read_leave_unfinished_recordings_unchanged) {
  const auto unfinished = CopyOf("unfinished_frames.mp4", "u.mp4");
  const auto avi = CopyOf("avi_pair_noindex.avi", "n.avi");
  const Row rows[] = {
      {"export of an unfinished MP4", unfinished, "export u.mp4 --from 0 --to 1 -o o.mp4", 0,
       "exported 0.000-1.466"},
      {"export of an unfinished MP4, bad range", unfinished,
       "export u.mp4 --from 0 --to 99 -o o.mp4", 1, "invalid range"},
      {"export of an unfinished MP4, no such folder", unfinished,
       "export u.mp4 --from 0 --to 1 -o none/o.mp4", 1, ""},
      {"export of an AVI without index", avi, "export n.avi --from 0 --to 1 --camera rear -o o.avi",
       0, "exported 0.000-1.933"},
      {"play of an AVI without index", avi, "play n.avi --speed 4 --seconds 1", 0, "presented"},
      {"play with an unfinished rear",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "f.mp4");
         in.Copy("unfinished_frames.mp4", "r.mp4");
       },
       "play f.mp4 --rear r.mp4 --speed 4 --seconds 1", 0, "rear: first picture", "dropped"},
      {"play of an unfinished front", unfinished, "play u.mp4 --speed 4 --seconds 1", 0, "presented"},
      {"dry run names no recovery", unfinished, "repair --dry-run u.mp4", 0, "would be repaired",
       "Recovery"},
  };
  for (const Row& row : rows) RunRow(row);
}

TEST(DamagedInput, broken_sample_tables_are_not_usable_and_are_repaired_from_the_frame_records) {
  struct Damage {
    const char* name;
    std::function<void(const Inputs&)> apply;
  };
  std::vector<Damage> damages;
  for (const char* table : {"stsz", "stts", "stco", "stsc", "stss", "stsd"})
    damages.push_back({table, [table](const Inputs& in) { in.BreakCount("t.mp4", table); }});
  damages.push_back({"sound stsz", [](const Inputs& in) { in.BreakCount("t.mp4", "stsz", 1); }});
  damages.push_back({"sizes", [](const Inputs& in) { in.BreakSampleSizes("t.mp4"); }});
  for (const Damage& d : damages) {
    const auto make = [&d](const Inputs& in) {
      in.Copy("h264_sound.mp4", "t.mp4");
      d.apply(in);
    };
    const Row rows[] = {
        {d.name, make, "info t.mp4", 0, "not playable"},
        {d.name, make, "export t.mp4 --from 1 --to 2 -o o.mp4", 0, "exported 1.000-2.966"},
        {d.name, make, "repair t.mp4", 0, "repaired", "", true},
    };
    for (const Row& row : rows) RunRow(row);
  }
  // What has no frame records to rebuild from stays as it is.
  const auto gps2 = [](const Inputs& in) {
    in.Copy("gps2.mp4", "g.mp4");
    in.BreakCount("g.mp4", "stsz");
  };
  RunRow({"gps2 layout", gps2, "repair g.mp4", 1, "never repaired"});
  RunRow({"gps2 layout", gps2, "export g.mp4 --from 0 --to 1 -o o.mp4", 1, "not a usable"});
  RunRow({"play shows pictures", [](const Inputs& in) {
            in.Copy("h264_sound.mp4", "t.mp4");
            in.BreakCount("t.mp4", "stco");
          },
          "play t.mp4 --speed 4 --seconds 1", 0, "presented"});
}

TEST(DamagedInput, flipped_and_truncated_recordings) {
  for (size_t offset : {40, 200, 400, 700}) {
    const auto flipped = [offset](const Inputs& in) {
      in.Copy("h264_sound.mp4", "f.mp4");
      in.Flip("f.mp4", "moov", offset, 24);
    };
    const std::string at = " at moov+" + std::to_string(offset);
    // Whatever the flip hit, reading commands change nothing, what is written reads, and
    // info calls the index usable only when ffprobe reads the damaged file too.
    TempDir judge;
    Inputs(judge).Copy("h264_sound.mp4", "f.mp4");
    Inputs(judge).Flip("f.mp4", "moov", offset, 24);
    const bool clean = tq::test::Ffprobe(judge.file("f.mp4")).output.empty();
    RunRow({"flip" + at, flipped, "info f.mp4", 0, clean ? "" : "not playable"});
    RunRow({"flip" + at, flipped, "export f.mp4 --from 0 --to 1 -o o.mp4", 0, ""});
    RunRow({"flip" + at, flipped, "repair f.mp4", 0, "", "", true});
  }
  for (double part : {0.25, 0.5, 0.9}) {
    const auto cut = [part](const Inputs& in) {
      in.Copy("h264_sound.mp4", "c.mp4");
      in.Truncate("c.mp4", part);
    };
    const std::string name = "cut to " + std::to_string(part);
    RunRow({name, cut, "info c.mp4", 0, "not playable"});
    RunRow({name, cut, "export c.mp4 --from 0 --to 1 -o o.mp4", 0, "exported 0.000-"});
    RunRow({name, cut, "repair c.mp4", 0, "repaired", "", true});
  }
}

TEST(DamagedInput, avi_index_garbage_and_ranges) {
  const auto garbage = [](const Inputs& in) {
    in.Copy("avi_pair.avi", "g.avi");
    in.GarbageIndex("g.avi", true);
  };
  const auto outside = [](const Inputs& in) {
    in.Copy("avi_pair.avi", "g.avi");
    in.GarbageIndex("g.avi", false);
  };
  const auto avi = CopyOf("avi_front.avi", "s.avi");
  const Row rows[] = {
      {"garbage idx1", garbage, "info g.avi", 0, "not playable"},
      {"garbage idx1", garbage, "repair --dry-run g.avi", 0, "index damaged"},
      {"garbage idx1", garbage, "export g.avi --from 0 --to 1 -o o.avi", 0, "exported"},
      {"garbage idx1", garbage, "play g.avi --speed 4 --seconds 1", 0, "presented"},
      {"garbage idx1", garbage, "repair g.avi", 0, "rebuilt", "", true},
      {"idx1 outside movi", outside, "info g.avi", 0, "not playable"},
      {"idx1 outside movi", outside, "repair g.avi", 0, "rebuilt", "", true},
      {"AVI past the end", avi, "export s.avi --from 0 --to 9999999 -o o.avi", 1, "invalid range"},
      {"AVI reversed range", avi, "export s.avi --from 2 --to 1 -o o.avi", 1, "invalid range"},
      {"MP4 reversed range", CopyOf("h264_sound.mp4", "s.mp4"),
       "export s.mp4 --from 2 --to 1 -o o.mp4", 1, "invalid range"},
      {"AVI span", avi, "export s.avi --from 1 --to 1 -o o.avi", 1, "invalid range"},
      {"AVI exported span", avi, "export s.avi --from 0 --to 1 -o o.avi", 0, "exported 0.000-1.933"},
  };
  for (const Row& row : rows) RunRow(row);
}

TEST(DamagedInput, nothing_usable_is_a_failure_with_a_message) {
  const auto random = [](const Inputs& in) { in.Random("r.mp4", 64); };
  const auto empty = [](const Inputs& in) { in.Text("e.mp4", ""); };
  const auto folder = [](const Inputs& in) { in.Folder("d.mp4"); };
  const Row rows[] = {
      {"random bytes", random, "info r.mp4", 1, "not a recording"},
      {"random bytes", random, "play r.mp4 --seconds 1", 1, ""},
      {"random bytes", random, "export r.mp4 --from 0 --to 1 -o o.mp4", 1, "not a usable"},
      {"empty", empty, "info e.mp4", 1, ""},
      {"empty", empty, "play e.mp4 --seconds 1", 1, ""},
      {"folder", folder, "info d.mp4", 1, "is a folder"},
      {"folder", folder, "export d.mp4 --from 0 --to 1 -o o.mp4", 1, "is a folder"},
      {"folder", folder, "play d.mp4", 1, "is a folder"},
      {"folder", folder, "gsensor d.mp4", 1, "is a folder"},
      {"folder", folder, "repair d.mp4", 1, "is a folder"},
      {"random G-sensor log", [](const Inputs& in) { in.Random("20261205_101500_N.3gf", 400); },
       "gsensor 20261205_101500_N.3gf", 1, "back in time"},
      {"G-sensor log past the recording",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "20261205_101500_N.mp4");
         Bytes b(20, 0);
         for (size_t at : {size_t(2), size_t(12)}) {  // 10000 ms: past the 3 s recording
           b[at] = 0x27;
           b[at + 1] = 0x10;
         }
         Write(in.at("20261205_101500_N.3gf"), b);
       },
       "gsensor 20261205_101500_N.3gf", 1, "past the recording"},
      {"unopenable rear is named",
       [](const Inputs& in) {
         in.Copy("h264_sound.mp4", "f.mp4");
         in.Random("r.mp4", 64);
       },
       "play f.mp4 --rear r.mp4 --speed 4 --seconds 1", 0, "r.mp4: the rear camera was dropped"},
  };
  for (const Row& row : rows) RunRow(row);
}

}  // namespace
