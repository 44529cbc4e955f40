// The binary "gps2" records and the AVI sentence batch.
#include <gtest/gtest.h>

#include "TelemetryTestUtil.h"
#include "telemetry/GpsTrack.h"

namespace {

using namespace tq::test;
using tq::GpsTrack;

constexpr uint64_t kStart = 1704462301000;  // "sttm" of the recording, ms
constexpr int32_t kStartOfDay = kStampCentis;

GpsTrack ParseRecords(const std::vector<std::vector<uint8_t>>& records, size_t extraBytes = 0) {
  std::vector<uint8_t> payload;
  for (const auto& r : records) payload.insert(payload.end(), r.begin(), r.end());
  payload.resize(payload.size() + extraBytes, 0xEE);
  GpsTrack t;
  t.startOfDay = kStartOfDay;
  tq::ParseBinaryGps(t, payload.data(), int32_t(payload.size()), kStart);
  return t;
}

TEST(ParseBinaryGps, only_type_1_length_44_stamped_fixed_records_are_taken) {
  struct Row {
    const char* name;
    Gps2Fields f;
    bool taken;
  };
  auto with = [](auto change) { Gps2Fields f; f.stamp = kStart + 500; change(f); return f; };
  const Row rows[] = {
      {"fix 1 status A", with([](Gps2Fields&) {}), true},
      {"fix 2 status P", with([](Gps2Fields& f) { f.fix = '2'; f.status = 'P'; }), true},
      {"status V", with([](Gps2Fields& f) { f.status = 'V'; }), false},
      {"fix 0", with([](Gps2Fields& f) { f.fix = '0'; }), false},
      {"fix 3", with([](Gps2Fields& f) { f.fix = '3'; }), false},
      {"type 2", with([](Gps2Fields& f) { f.type = 2; }), false},
      {"length 43", with([](Gps2Fields& f) { f.length = 43; }), false},
      {"stamp 0", with([](Gps2Fields& f) { f.stamp = 0; }), false},
      {"stamped before the recording", with([](Gps2Fields& f) { f.stamp = kStart - 10; }), false},
  };
  for (const auto& r : rows) {
    GpsTrack t = ParseRecords({Gps2Record(r.f)});
    EXPECT_EQ(t.samples.size(), r.taken ? 1u : 0u) << r.name;
    EXPECT_EQ(t.parked, 0) << r.name;  // "P" does not park a binary track
  }
}

TEST(ParseBinaryGps, numbers_are_formed_from_integer_and_fraction_parts) {
  struct Row {
    uint16_t latInt, latFrac, speedInt, speedFrac;
    char ns, ew;
    double latitude, longitude, speed;
  } rows[] = {
      {3723, 4567, 12, 5, 'N', 'E', 3723.4567, 12158.3416, 12.5},
      {3723, 4567, 12, 50, 'S', 'W', -3723.4567, -12158.3416, 12.5},
      {3723, 45, 0, 7, 'N', 'E', 3723.0045, 12158.3416, 0.7},       // fraction padded to 4 digits
      {3723, 12345, 1, 123, 'N', 'E', 3723.12345, 12158.3416, 1.123},  // five digits stay five
  };
  for (const auto& r : rows) {
    Gps2Fields f;
    f.stamp = kStart + 12340;
    f.latInt = r.latInt; f.latFrac = r.latFrac; f.speedInt = r.speedInt; f.speedFrac = r.speedFrac;
    f.ns = r.ns; f.ew = r.ew;
    GpsTrack t = ParseRecords({Gps2Record(f)});
    ASSERT_EQ(t.samples.size(), 1u);
    const auto& s = t.samples[0];
    EXPECT_DOUBLE_EQ(s.latitude, r.latitude);
    EXPECT_DOUBLE_EQ(s.longitude, r.longitude);
    EXPECT_DOUBLE_EQ(s.speed, r.speed);
    EXPECT_EQ(s.ns[0], r.ns);
    EXPECT_EQ(s.ew[0], r.ew);
    EXPECT_EQ(s.time, kStartOfDay + 1234);  // 12,340 ms after the start
  }
}

TEST(ParseBinaryGps, a_partial_last_record_is_not_examined) {
  Gps2Fields f;
  f.stamp = kStart + 1000;
  auto r = Gps2Record(f);
  EXPECT_EQ(ParseRecords({r, r}, 0).samples.size(), 2u);
  EXPECT_EQ(ParseRecords({r, r}, 47).samples.size(), 2u);
  EXPECT_EQ(ParseRecords({}, 47).samples.size(), 0u);
  // A payload cut inside the first record: nothing, and nothing read past it.
  std::vector<uint8_t> cut(r.begin(), r.begin() + 47);
  GpsTrack t;
  t.startOfDay = 0;
  tq::ParseBinaryGps(t, cut.data(), int32_t(cut.size()), kStart);
  EXPECT_TRUE(t.samples.empty());
}

TEST(ParseBinaryGps, without_sttm_samples_fall_outside_every_lookup) {
  Gps2Fields f;
  f.stamp = kStart + 1000;
  std::vector<uint8_t> r = Gps2Record(f);
  GpsTrack t;
  t.startOfDay = kStartOfDay;
  tq::ParseBinaryGps(t, r.data(), int32_t(r.size()), 0);
  for (int64_t ms : {0, 1000, 60000}) EXPECT_EQ(tq::FindSample(t, ms, nullptr), nullptr);
}

std::string Sentence(const char* hhmmss, char status = 'A', const char* rest = "3723.2475,N,12158.3416,W,10.5") {
  return std::string("$GPRMC,") + hhmmss + "," + status + "," + rest;
}

GpsTrack ParseBatch(const std::vector<uint8_t>& batch, int32_t startOfDay = 1000) {
  GpsTrack t;
  t.startOfDay = startOfDay;
  tq::ParseSentenceBatch(t, batch.data(), uint32_t(batch.size()));
  return t;
}

TEST(ParseSentenceBatch, offsets_count_from_the_first_timed_sentence_across_midnight) {
  GpsTrack t = ParseBatch(Batch(300, {Sentence("235958.00"), Sentence("235959.00"), Sentence("000000.00"),
                                      Sentence("000001.00"), Sentence("000002.00")}));
  ASSERT_EQ(t.samples.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(t.samples[size_t(i)].time, 1000 + 300 + i * 100) << i;
  EXPECT_DOUBLE_EQ(t.samples[0].latitude, 3723.2475);
  EXPECT_DOUBLE_EQ(t.samples[0].longitude, -12158.3416);
  EXPECT_DOUBLE_EQ(t.samples[0].speed, 10.5);
}

TEST(ParseSentenceBatch, no_fix_and_void_sentences_give_no_sample) {
  // A sentence without a time neither gives a point at 0,0 nor sets the reference.
  GpsTrack t = ParseBatch(Batch(0, {"$GPRMC,,V,,,,,,,,,N*53", Sentence("120000.00"),
                                    Sentence("120001.00", 'V'), Sentence("120002.00")}));
  ASSERT_EQ(t.samples.size(), 2u);
  EXPECT_EQ(t.samples[0].time, 1000);
  EXPECT_EQ(t.samples[1].time, 1200);
  // A void sentence with a time still sets the reference.
  GpsTrack u = ParseBatch(Batch(0, {Sentence("120000.00", 'V'), Sentence("120003.00")}));
  ASSERT_EQ(u.samples.size(), 1u);
  EXPECT_EQ(u.samples[0].time, 1300);
}

TEST(ParseSentenceBatch, a_batch_starting_at_midnight_keeps_its_reference) {
  GpsTrack t = ParseBatch(Batch(0, {Sentence("000000.00"), Sentence("000001.00")}), 0);
  ASSERT_EQ(t.samples.size(), 2u);
  EXPECT_EQ(t.samples[0].time, 0);
  EXPECT_EQ(t.samples[1].time, 100);
}

TEST(ParseSentenceBatch, entries_end_at_a_zero_or_negative_length_or_the_buffer_end) {
  auto b = Batch(0, {Sentence("120000.00"), std::string(127, 'x'), Sentence("120001.00")});
  EXPECT_EQ(ParseBatch(b).samples.size(), 1u);  // length byte 128 reads as negative

  auto whole = Batch(0, {Sentence("120000.00"), Sentence("120001.00")});
  std::vector<uint8_t> cut(whole.begin(), whole.end() - 3);  // second entry runs past the end
  EXPECT_EQ(ParseBatch(cut).samples.size(), 1u);

  whole[0] = 0;  // no batch
  EXPECT_EQ(ParseBatch(whole).samples.size(), 0u);
  EXPECT_EQ(ParseBatch({1, 0, 0}).samples.size(), 0u);  // shorter than its header
}

}  // namespace
