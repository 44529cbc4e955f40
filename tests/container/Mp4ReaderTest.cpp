// The box reader on hand-built files: the walk's stop and failure rules, the camera
// metadata, counts that no box could hold, and truncation at every byte.
#include <cstring>
#include <memory>

#include "app/TraceLog.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"
#include "container/Mp4ReadBoxes.h"

namespace tq::readtest {
namespace {

struct Scanned {
  std::unique_ptr<MP4INFO[]> info = std::make_unique<MP4INFO[]>(2);
  int status = 0;
  uint64_t length = 0;
  Bytes telemetry;
  ~Scanned() { FreeMP4INFO(info[0]); FreeMP4INFO(info[1]); }
  MP4INFO& operator*() { return info[0]; }
  MP4INFO* operator->() { return &info[0]; }
};

// Scans `bytes` written to a file; a telemetry buffer of `telemetryBytes` (0: none).
std::unique_ptr<Scanned> ScanPath(const std::string& path, uint32_t telemetryBytes = 0,
                                  int second = 0) {
  auto s = std::make_unique<Scanned>();
  if (telemetryBytes) {
    s->telemetry.assign(telemetryBytes, 0);
    s->info[0].gpsBuffer = {s->telemetry.data(), telemetryBytes};
  }
  s->status = ScanMP4(path, s->info.get(), second, &s->length);
  return s;
}

std::unique_ptr<Scanned> Scan(const Bytes& bytes, uint32_t telemetryBytes = 0, int second = 0) {
  TempDir dir;
  std::string path = dir.File("scan.mp4");
  WriteFile(path, bytes);
  return ScanPath(path, telemetryBytes, second);
}

Box VideoTrak(uint32_t id = 1) {
  TrackTables t;
  t.stts = {{3, 33}};
  t.stsc = {{1, 1, 1}};
  t.stco = {{100}, {200}, {300}};
  t.sizes = {10, 20, 30};
  t.stss = {{1}};
  return Trak(id, "vide", Stbl(Avc1(1920, 1080, {1, 0x42, 0x80, 0x1e, 0xff, 0xe1}), t), 1000, 1920, 1080);
}

Bytes FileWith(Box moov, const Bytes& before = {}) {
  Bytes out;
  Append(out, Ftyp());
  Append(out, before);
  Append(out, Box("mdat").Zeros(16));
  Append(out, moov);
  return out;
}

TEST(Mp4Reader, complete_file_reads_every_header_field) {
  Box moov("moov");
  moov.Add(Mvhd(1000, 99)).Add(VideoTrak(7));
  auto s = Scan(FileWith(moov));
  ASSERT_EQ(s->status, 1);
  EXPECT_EQ((*s)->majorBrand, FourCC("mp42"));
  EXPECT_EQ((*s)->moov.mvhd.timescale, 1000u);
  EXPECT_EQ((*s)->moov.mvhd.nextTrackId, 3u);
  const TRAKBOX* t = (*s)->moov.trak[0].get();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->tkhd.trackId, 7u);
  EXPECT_EQ(t->tkhd.width, 1920);
  EXPECT_EQ(t->tkhd.height, 1080);
  EXPECT_EQ(t->mdia.hdlr.handlerType, FourCC("vide"));
  EXPECT_EQ(t->mdia.minf.mediaHeaderType, FourCC("vmhd"));
  const STBLBOX& st = t->mdia.minf.stbl;
  ASSERT_EQ(st.stsd.entries.size(), 1u);
  EXPECT_EQ(st.stsd.entries[0].format, FourCC("avc1"));
  EXPECT_EQ(st.stsd.entries[0].visual.width, 1920);
  EXPECT_EQ(st.stsd.entries[0].visual.profileIndication, 0x42);
  EXPECT_EQ(st.stsd.entries[0].visual.lengthSizeMinusOne, 3);
  EXPECT_EQ(st.stsd.entries[0].visual.pParameterSetNALUnit.size(), 6u);
  EXPECT_EQ(st.stsz.sampleCount, 3u);
  EXPECT_EQ(st.stco.entryCount, 3u);
  EXPECT_EQ(st.stss.entryCount, 1u);
  EXPECT_EQ(IsPlayableMP4((*s)->moov, (*s)->mdat), 1);
}

TEST(Mp4Reader, version_one_headers_read_their_64_bit_fields) {
  Box trak("trak");
  trak.Add(Tkhd(5, 640, 480, 1));
  Box moov("moov");
  moov.Add(Mvhd(90000, 0x12345678u, 1)).Add(trak);
  auto s = Scan(FileWith(moov));
  EXPECT_EQ((*s)->moov.mvhd.version, 1);
  EXPECT_EQ((*s)->moov.mvhd.timescale, 90000u);
  EXPECT_EQ((*s)->moov.mvhd.duration, 0x12345678u);
  ASSERT_TRUE((*s)->moov.trak[0]);
  EXPECT_EQ((*s)->moov.trak[0]->tkhd.trackId, 5u);
  EXPECT_EQ((*s)->moov.trak[0]->tkhd.duration, 99u);
  EXPECT_EQ((*s)->moov.trak[0]->tkhd.width, 640);
}

TEST(Mp4Reader, size_zero_or_one_ends_the_walk_of_its_parent) {
  for (uint32_t small : {0u, 1u}) {
    SCOPED_TRACE(small);
    // Top level: an mdat with a 64-bit size hides the moov after it.
    Bytes top;
    Append(top, Ftyp());
    Append(top, Box("mdat").Size(small).Zeros(16));
    Box moov("moov");
    moov.Add(Mvhd(1000, 1)).Add(VideoTrak());
    Append(top, moov);
    auto s = Scan(top);
    EXPECT_EQ(s->status, 1);
    EXPECT_TRUE((*s)->mdat.found());
    EXPECT_FALSE((*s)->moov.moov.found());

    // Inside moov: the trak after a small child is never read, and moov succeeds.
    Box m("moov");
    m.Add(Mvhd(1000, 1)).Add(Box("udta").Size(small)).Add(VideoTrak());
    auto s2 = Scan(FileWith(m));
    EXPECT_EQ(s2->status, 1);
    EXPECT_FALSE((*s2)->moov.trak[0]);
  }
}

TEST(Mp4Reader, fifth_trak_fails_moov_but_keeps_four) {
  Box moov("moov");
  moov.Add(Mvhd(1000, 1));
  for (uint32_t i = 1; i <= 5; ++i) moov.Add(VideoTrak(i));
  auto s = Scan(FileWith(moov));
  EXPECT_EQ(s->status, 0);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE((*s)->moov.trak[size_t(i)]);
    EXPECT_EQ((*s)->moov.trak[size_t(i)]->tkhd.trackId, uint32_t(i + 1));
  }
}

TEST(Mp4Reader, trak_with_unreadable_tkhd_is_dropped_and_next_takes_its_slot) {
  Box bad("trak");
  bad.Add(Box("tkhd").Full().U32(1));  // body cut short
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(bad).Add(VideoTrak(9));
  auto s = Scan(FileWith(moov));
  EXPECT_EQ(s->status, 1);
  ASSERT_TRUE((*s)->moov.trak[0]);
  EXPECT_EQ((*s)->moov.trak[0]->tkhd.trackId, 9u);
  EXPECT_FALSE((*s)->moov.trak[1]);
}

TEST(Mp4Reader, failed_mvhd_clears_it_and_fails_moov) {
  Box moov("moov");
  moov.Add(Box("mvhd").Full().U32(1)).Add(VideoTrak());
  auto s = Scan(FileWith(moov));
  EXPECT_EQ(s->status, 0);
  EXPECT_FALSE((*s)->moov.mvhd.found());
  EXPECT_FALSE((*s)->moov.trak[0]);
}

TEST(Mp4Reader, stsd_count_zero_stops_the_sample_table_walk) {
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(0)).Add(Table("stts", {{1, 33}})).Add(Stsz(0, {5}));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl));
  auto s = Scan(FileWith(moov));
  const STBLBOX& st = (*s)->moov.trak[0]->mdia.minf.stbl;
  EXPECT_TRUE(st.stsd.found());
  EXPECT_FALSE(st.stts.found());
  EXPECT_FALSE(st.stsz.found());
  EXPECT_EQ(IsPlayableMP4((*s)->moov, (*s)->mdat), 0);
}

TEST(Mp4Reader, stts_count_zero_keeps_the_count_and_stops_the_walk) {
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(1).Add(Avc1(8, 8, {1, 2, 3, 4, 0xff})))
      .Add(Table("stts", {})).Add(Stsz(0, {5}));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl));
  auto s = Scan(FileWith(moov));
  const STBLBOX& st = (*s)->moov.trak[0]->mdia.minf.stbl;
  EXPECT_TRUE(st.stts.found());
  EXPECT_EQ(st.stts.entryCount, 0u);
  EXPECT_FALSE(st.stsz.found());
}

TEST(Mp4Reader, edit_list_failures_never_drop_the_track) {
  struct Row { const char* name; Box elst; size_t entries; };
  Box huge("elst");
  huge.Full().U32(0x7FFFFFFF).U32(1000).U32(0).U32(0x00010000);
  Box good("elst");
  good.Full().U32(2).U32(500).U32(uint32_t(-1)).U32(0x00010000).U32(1000).U32(0).U32(0x00010000);
  Row rows[] = {
      {"count 0", Box("elst").Full().U32(0), 0},
      {"count beyond the box", huge, 0},
      {"two entries", good, 2},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.name);
    Box trak = VideoTrak();
    trak.children.insert(trak.children.begin() + 1, Box("edts").Add(r.elst));
    Box moov("moov");
    moov.Add(Mvhd(1000, 1)).Add(trak);
    auto s = Scan(FileWith(moov));
    ASSERT_TRUE((*s)->moov.trak[0]);
    EXPECT_TRUE((*s)->moov.trak[0]->elst.found());
    EXPECT_EQ((*s)->moov.trak[0]->elst.entries.size(), r.entries);
    EXPECT_EQ(IsPlayableMP4((*s)->moov, (*s)->mdat), 1);
  }
}

TEST(Mp4Reader, counts_no_box_could_hold_are_never_allocated) {
  // stsd claiming two billion entries: the parser fails, the walk of stbl stops.
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(0x7FFFFFFF).Zeros(16)).Add(Table("stts", {{1, 1}}));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl));
  auto s = Scan(FileWith(moov));
  EXPECT_TRUE((*s)->moov.trak[0]->mdia.minf.stbl.stsd.entries.empty());
  EXPECT_FALSE((*s)->moov.trak[0]->mdia.minf.stbl.stts.found());

  // Table counts are clamped to the entries the box holds.
  Box stbl2("stbl");
  stbl2.Add(Box("stsd").Full().U32(1).Add(Avc1(8, 8, {1, 2, 3, 4, 0xff})))
      .Add(Box("stsz").Full().U32(0).U32(0xFFFFFFF0u).U32(7).U32(8))
      .Add(Box("stco").Full().U32(0x40000000u).U32(1));
  Box moov2("moov");
  moov2.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl2));
  auto s2 = Scan(FileWith(moov2));
  EXPECT_EQ((*s2)->moov.trak[0]->mdia.minf.stbl.stsz.sampleCount, 2u);
  EXPECT_EQ((*s2)->moov.trak[0]->mdia.minf.stbl.stco.entryCount, 1u);

  // A configuration box larger than its sample entry fails the entry.
  Box entry = Avc1(8, 8, {1, 2, 3, 4, 0xff});
  entry.children[0].Size(100000);
  Box stbl3("stbl");
  stbl3.Add(Box("stsd").Full().U32(1).Add(entry)).Add(Table("stts", {{1, 1}}));
  Box moov3("moov");
  moov3.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl3));
  auto s3 = Scan(FileWith(moov3));
  EXPECT_TRUE((*s3)->moov.trak[0]->mdia.minf.stbl.stsd.entries[0].visual.pParameterSetNALUnit.empty());
  EXPECT_FALSE((*s3)->moov.trak[0]->mdia.minf.stbl.stts.found());
}

TEST(Mp4Reader, allocation_refusals_write_their_trace_lines) {
  TempDir dir;
  std::string trace = dir.File("trace.txt");
  SetTraceFile(trace);
  Box elst("elst");
  elst.Full().U32(0x7FFFFFFF).U32(1);
  Box trak = VideoTrak();
  trak.children.insert(trak.children.begin() + 1, Box("edts").Add(elst));
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(5000).Zeros(16));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(trak).Add(Trak(2, "vide", stbl));
  Box ptvi("ptvi");
  ptvi.U16(1).Code("avc1").U16(8).U16(8).U16(1).U16(9).U8(0x67);
  Box ptso("ptso");
  ptso.U16(2).Code("mp4a").U16(1).U16(16).U32(48000).U16(40);
  Box free("free");
  free.Add(Box("ptrh").Add(ptvi).Add(ptso));
  Scan(FileWith(moov, free.Serialize()));
  SetTraceFile("");
  Bytes b = ReadFile(trace);
  std::string log(b.begin(), b.end());
  for (const char* line : {"[ParseELST(173)] ELSTEntry alloc failed. Count(2147483647)\n",
                           "[ParseSTSD(600)] PSampleEntry alloc failed. Count(5000)\n",
                           "[ParsePTVI(963)] szConfigStr alloc failed. Size(9)\n",
                           "[ParsePTSO(992)] ConfigParam alloc failed. nConfigNum(40)\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "in:\n" << log;
}

TEST(Mp4Reader, esds_descriptor_lengths_and_tags) {
  struct Row { const char* name; Bytes esds; bool ok; };
  Bytes good = {0, 0, 0, 0, 3, 0x19, 0, 1, 0, 4, 0x11, 0x40, 0x15, 0, 0, 0,
                0, 0, 0, 1, 0, 0, 0, 2, 5, 2, 0x11, 0x90};
  Bytes longLength = good;
  longLength[5] = 0x80;  // a length byte chain that never ends inside the box
  longLength.resize(6);
  longLength.insert(longLength.end(), 64, 0x80);
  Bytes wrongTag = good;
  wrongTag[4] = 4;
  Bytes withFlags = {0, 0, 0, 0, 3, 0x80, 0x80, 0x19, 0, 1, 0xE0, 0, 9, 3, 'a', 'b', 'c',
                     0, 8, 4, 0x11, 0x40, 0x15, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 5, 2, 0x11, 0x90};
  Row rows[] = {{"plain", good, true}, {"unending length", longLength, false},
                {"wrong tag", wrongTag, false}, {"dependence, url, ocr", withFlags, true}};
  for (Row& r : rows) {
    SCOPED_TRACE(r.name);
    Box entry("mp4a");
    entry.Zeros(6).U16(1).Zeros(8).U16(2).U16(16).U16(0).U16(0).U32(48000u << 16);
    entry.Add(Box("esds").Raw(r.esds));
    Box stbl("stbl");
    stbl.Add(Box("stsd").Full().U32(1).Add(entry)).Add(Table("stts", {{1, 1024}}));
    Box moov("moov");
    moov.Add(Mvhd(1000, 1)).Add(Trak(2, "soun", stbl));
    auto s = Scan(FileWith(moov));
    const STBLBOX& st = (*s)->moov.trak[0]->mdia.minf.stbl;
    EXPECT_EQ(st.stts.found(), r.ok);  // a failed entry stops the stbl walk
    if (r.ok) {
      EXPECT_EQ(st.stsd.entries[0].audio.esdsRec.objectTypeIndication, 0x40);
      EXPECT_EQ(st.stsd.entries[0].audio.esdsRec.avgBitrate, 2u);
      EXPECT_EQ(st.stsd.entries[0].audio.channelCount, 2);
      EXPECT_EQ(st.stsd.entries[0].audio.sampleRate, 48000);
    }
  }
}

TEST(Mp4Reader, camera_metadata_texts_at_their_length_limits) {
  struct Row { size_t cprt; size_t name; bool cprtRead; bool nameRead; };
  Row rows[] = {{255, 63, true, true}, {256, 64, false, false}, {1, 1, true, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cprt);
    Box free("free");
    free.Add(Box("cprt").Text(std::string(r.cprt, 'c')));
    free.Add(Box("ptnm").U8(3).Zeros(3).Text(std::string(r.name, 'n')));
    free.Add(Box("sttm").U64(42));
    auto s = Scan(FileWith(Box("moov"), free.Serialize()));
    EXPECT_EQ(std::strlen((*s)->cprtText), r.cprtRead ? r.cprt : 0u);
    EXPECT_EQ(std::strlen((*s)->ptnmName), r.nameRead ? r.name : 0u);
    EXPECT_EQ((*s)->startTime, 42u);  // parsing went on after the texts
  }
}

TEST(Mp4Reader, gps2_layout_flag_without_a_telemetry_buffer) {
  Box viaBox("free");
  viaBox.Add(Box("gps2").Zeros(20));
  auto s = Scan(FileWith(Box("moov"), viaBox.Serialize()));
  EXPECT_EQ((*s)->gps2Layout, 1u);
  EXPECT_EQ((*s)->gpsLength, -1);

  Box viaKind("free");
  viaKind.Add(Box("ptnm").U8(4).Zeros(3).Text("X").U8(0));
  auto s2 = Scan(FileWith(Box("moov"), viaKind.Serialize()));
  EXPECT_EQ((*s2)->gps2Layout, 1u);
}

TEST(Mp4Reader, telemetry_gps_then_sensor_and_the_order_rule) {
  Bytes sensor(40, 1);
  sensor.insert(sensor.end(), 10, 0xFF);
  Box gps = Box("gps ").Text("$GPRMC,1").U8(0);
  Box gsensor = Box("3gf ").Raw(sensor);

  Box ordered("free");
  ordered.Add(gps).Add(gsensor);
  auto s = Scan(FileWith(Box("moov"), ordered.Serialize()), 1024);
  EXPECT_EQ((*s)->gpsLength, 8);
  EXPECT_EQ((*s)->sensorEnd, 40);
  ASSERT_NE((*s)->sensorBuffer, nullptr);
  EXPECT_EQ((*s)->sensorBuffer - (*s)->gpsBuffer.data, 9);
  EXPECT_EQ((*s)->sensorBuffer[0], 1);

  Box reversed("free");
  reversed.Add(gsensor).Add(gps);
  auto s2 = Scan(FileWith(Box("moov"), reversed.Serialize()), 1024);
  EXPECT_EQ((*s2)->gpsLength, 8);
  EXPECT_EQ((*s2)->sensorEnd, -1);

  // Payloads that would not fit the buffer are skipped, not cut.
  auto s3 = Scan(FileWith(Box("moov"), ordered.Serialize()), 8);
  EXPECT_EQ((*s3)->gpsLength, -1);
  EXPECT_EQ((*s3)->sensorEnd, -1);
  auto s4 = Scan(FileWith(Box("moov"), ordered.Serialize()), 9 + 49);
  EXPECT_EQ((*s4)->gpsLength, 8);
  EXPECT_EQ((*s4)->sensorEnd, -1);
}

TEST(Mp4Reader, stream_descriptions_and_their_failures) {
  CameraSpec spec;
  Box free = MetaFree(spec);
  auto s = Scan(FileWith(Box("moov"), free.Serialize()));
  const auto& ptrh = (*s)->ptrh;
  EXPECT_EQ(ptrh.vi.codec, uint32_t(kCodecAvc1));
  EXPECT_EQ(ptrh.vi.width, 1920);
  ASSERT_EQ(ptrh.vi.config.size(), 2u);
  EXPECT_EQ(ptrh.vi.config[0].length, 5);
  EXPECT_EQ(ptrh.vi.config[1].szConfigStr[0], 0x68);
  EXPECT_EQ(ptrh.so.codec, uint32_t(kCodecMp4a));
  EXPECT_EQ(ptrh.so.sampleRate, 48000u);
  EXPECT_EQ(ptrh.so.streamNumber, 2);

  // nConfigNum beyond the box and a string longer than the box: the child is cleared.
  Box badCount("ptvi");
  badCount.U16(1).Code("avc1").U16(8).U16(8).U16(0xFFFF).U16(1).U8(0x67);
  Box badString("ptso");
  badString.U16(2).Code("mp4a").U16(1).U16(16).U32(48000).U16(1).U16(500).Zeros(4);
  Box ptrc("ptrc");
  ptrc.Add(badCount).Add(badString).Add(Box("ptme").Zeros(4));
  Box free2("free");
  free2.Add(ptrc).Add(Box("sttm").U64(7));
  auto s2 = Scan(FileWith(Box("moov"), free2.Serialize()));
  EXPECT_TRUE((*s2)->ptrc.box.found());
  EXPECT_FALSE((*s2)->ptrc.ptvi.found());
  EXPECT_EQ((*s2)->ptrc.vi.nConfigNum, 0u);
  EXPECT_FALSE((*s2)->ptrc.ptso.found());
  EXPECT_TRUE((*s2)->ptrc.ptme.found());
  EXPECT_EQ((*s2)->startTime, 7u);
}

TEST(Mp4Reader, second_movie_set_only_when_asked) {
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(VideoTrak(1));
  Box moov2("moov");
  moov2.Add(Mvhd(600, 1)).Add(VideoTrak(2));
  Bytes file = FileWith(moov);
  Append(file, Ftyp());
  Append(file, Box("mdat").Zeros(8));
  Append(file, moov2);

  auto one = Scan(file);
  EXPECT_FALSE(one->info[1].moov.moov.found());
  auto two = Scan(file, 0, 1);
  EXPECT_EQ(two->info[0].moov.mvhd.timescale, 1000u);
  EXPECT_EQ(two->info[1].moov.mvhd.timescale, 600u);
  ASSERT_TRUE(two->info[1].moov.trak[0]);
  EXPECT_EQ(two->info[1].moov.trak[0]->tkhd.trackId, 2u);
  EXPECT_TRUE(two->info[1].mdat.found());
}

TEST(Mp4Reader, short_or_missing_files_yield_zero_untouched) {
  auto s = Scan(Bytes{0, 0, 0, 8, 'f', 't', 'y'});
  EXPECT_EQ(s->status, 0);
  EXPECT_FALSE((*s)->ftyp.found());
  MP4INFO info;
  uint64_t length = 77;
  EXPECT_EQ(ScanMP4("/nonexistent/x.mp4", &info, 0, &length), 0);
  EXPECT_EQ(length, 77u);
}

TEST(Mp4Reader, every_truncation_of_a_valid_file_is_read_safely) {
  CameraSpec spec;
  spec.frames = {{1, 1, 0, 6, 0}, {2, 0, 0, 4, 2}, {1, 0, 33, 5, 0}};
  std::vector<Placed> placed;
  Bytes file = BuildCameraFile(spec, &placed);
  size_t mdatEnd = file.size();
  // A finished file: mdat size set, moov after it.
  uint32_t mdatStart = placed[0].recordStart - 8;
  PutU32(file.data() + mdatStart, uint32_t(mdatEnd - mdatStart));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(VideoTrak());
  Append(file, moov);
  TempDir dir;
  std::string path = dir.File("cut.mp4");
  WriteFile(path, file);
  auto full = ScanPath(path, 4096);
  ASSERT_EQ(full->status, 1);
  ASSERT_EQ(IsPlayableMP4((*full)->moov, (*full)->mdat), 1);
  // Cut from the end down, one byte at a time.
  for (size_t cut = file.size(); cut-- > 0;) {
    std::filesystem::resize_file(path, cut);
    auto s = ScanPath(path, 4096, int(cut % 2));
    if (cut < mdatEnd) {
      EXPECT_EQ(IsPlayableMP4((*s)->moov, (*s)->mdat), 0) << cut;
    }
  }
}

}  // namespace
}  // namespace tq::readtest
