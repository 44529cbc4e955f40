// The generator's second-family recordings and demo card: every AVI reads cleanly in
// ffprobe, names parse as the catalog reads them, the card is recognised by its
// setup.cfg, and the recordings carry what playback takes from them.
#include <gtest/gtest.h>

#include <filesystem>

#include "AviRecording.h"
#include "app/CameraIdentity.h"
#include "container/AviValid.h"
#include "library/CFileList.h"
#include "library/RecordingName.h"
#include "telemetry/GpsTrack.h"
#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::Fixture;

TEST(AviGenerator, every_avi_fixture_reads_cleanly_in_ffprobe) {
  for (const char* name : {"avi_front.avi", "avi_pair.avi", "avi_pair_noindex.avi",
                           "avi_noindex.avi", "avi_small.avi",
                           "nor_00000120261205_103000_1F_N.avi"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(test::Ffprobe(Fixture(name)).output, "");
  }
}

TEST(AviGenerator, pictures_carry_their_camera_and_frame_tags) {
  struct Row { const char* map; int camera; };
  for (const Row& row : {Row{"0:v:0", 0}, Row{"0:v:1", 1}}) {
    const test::CommandResult r = test::RunCommand(
        "ffprobe -v error -select_streams " + std::string(row.map + 2) +
        " -count_frames -show_entries stream=nb_read_frames,width -of csv=p=0 " +
        test::Quote(Fixture("avi_pair.avi")));
    EXPECT_EQ(r.output, row.camera ? "256,90\n" : "320,90\n");
  }
  std::vector<test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(test::DecodeFrameTags(Fixture("avi_front.avi"), &tags, &error)) << error;
  ASSERT_EQ(tags.size(), 90u);
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_EQ(tags[i].camera, 0);
    EXPECT_EQ(tags[i].frame, int(i));
    EXPECT_EQ(tags[i].key, i % 30 == 0);
  }
}

TEST(AviGenerator, names_parse_as_second_family_recordings) {
  struct Row { const char* cls; char type; int classCode; };
  for (const Row& row : {Row{"nor", 'N', kClassNormal}, Row{"evt", 'N', kClassEvent},
                         Row{"nor", 'E', kClassEvent}, Row{"nor", 'P', kClassParking}}) {
    AviRecordingSpec s;
    s.recordClass = row.cls;
    s.type = row.type;
    s.sequence = 42;
    s.startSeconds = 1796467845;  // 2026-12-05 10:50:45 by UTC rules
    const std::string base = AviRecordingBaseName(s);
    SCOPED_TRACE(base);
    ParsedName p;
    ASSERT_TRUE(ParseRecordingName(base, kKindAvi, &p));
    EXPECT_EQ(p.date, 20261205);
    EXPECT_EQ(p.time, 105045);
    EXPECT_EQ(EntryClass(p.typeCode), row.classCode);
  }
}

TEST(AviGenerator, duration_probe_reads_the_generated_header) {
  EXPECT_EQ(CFileList::ProbeDuration(Fixture("avi_front.avi"), kKindAvi), 3);
  EXPECT_EQ(CFileList::ProbeDuration(Fixture("avi_small.avi"), kKindAvi), 1);
}

TEST(AviGenerator, demo_card_is_a_second_family_card_of_avi_recordings) {
  test::TempDir dir;
  const std::string card = dir.file("card");
  const test::CommandResult r = test::RunCommand(
      test::Quote(std::string(TQ_BUILD_DIR) + "/tqmb20-gen") + " --demo-card-avi " +
      test::Quote(card) + " --quiet");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  CameraIdentity id;
  ASSERT_TRUE(ReadIdentity(card, kIdAll, &id));
  EXPECT_EQ(id.model, "TQ4400K-1");
  EXPECT_EQ(id.firmware, "1.2.7");
  EXPECT_EQ(id.language, "English");
  int recordings = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(card)) {
    if (e.path().extension() != ".avi") continue;
    ++recordings;
    SCOPED_TRACE(e.path().string());
    ParsedName p;
    EXPECT_TRUE(ParseRecordingName(e.path().stem().string(), kKindAvi, &p));
    EXPECT_EQ(test::Ffprobe(e.path().string()).output, "");
    AVIINFO info{};
    EXPECT_TRUE(ReadAVI(e.path().string(), &info));
    EXPECT_GT(info.indexCount, 0);
  }
  EXPECT_EQ(recordings, 4);
}

// The GPS chunks gathered as the playback's indexer gathers them (a flag byte, the count of
// chunks before the first sentence x 100, then length + 1 and the text of every sentence)
// give one track sample a second.
TEST(AviGenerator, gps_chunks_form_a_sentence_batch_the_track_reads) {
  const std::string path = Fixture("avi_pair.avi");
  AVIINFO info{};
  ASSERT_TRUE(ReadAVI(path, &info));
  const std::vector<uint8_t> bytes = test::ReadAll(path);
  std::vector<uint8_t> batch = {1, 0, 0, 0, 0};
  for (const AviIndexEntry& e : info.index) {
    if (AviChunkStream(e.ckid) != 3) continue;
    const uint8_t* d = bytes.data() + info.moviOffset + e.dwChunkOffset + 4;
    const uint32_t length = GetLE32(d + 4);
    ASSERT_LT(length, 126u);
    ASSERT_EQ(d[8], '$');
    batch.push_back(uint8_t(length + 1));
    batch.insert(batch.end(), d + 8, d + 8 + length);
  }
  batch.push_back(0);
  GpsTrack track;
  track.startOfDay = 0;
  ParseSentenceBatch(track, batch.data(), uint32_t(batch.size()));
  ASSERT_EQ(track.samples.size(), 3u);
  for (size_t i = 0; i < track.samples.size(); ++i) {
    EXPECT_EQ(track.samples[i].time, int32_t(i) * 100);
    EXPECT_NE(track.samples[i].latitude, 0.0);
    EXPECT_NE(track.samples[i].longitude, 0.0);
  }
}

TEST(AviGenerator, refuses_a_recording_without_frames) {
  AviRecordingSpec s;
  s.durationMs = 0;
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteAviRecording(s, dir.file("none.avi"), nullptr, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(dir.file("none.avi")));
}

}  // namespace
}  // namespace tq
