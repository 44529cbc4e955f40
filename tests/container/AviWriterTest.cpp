// Our AVI writer: layout others can read, odd chunks padded with the index pointing at the
// real data, the 16-bit index limit, and no file left when a write is not finished.
#include <gtest/gtest.h>

#include <filesystem>

#include "AviTestUtil.h"
#include "container/AviValid.h"
#include "container/AviWriter.h"

namespace tq {
namespace {

using test::ReadAll;
using test::TempDir;

AviStreamHeader TextHeader(const char* handler) {
  AviStreamHeader h{};
  h.fccType = RiffCode("txts");
  h.fccHandler = RiffCode("GPSR");
  h.fccHandler = uint32_t(uint8_t(handler[0])) | uint32_t(uint8_t(handler[1])) << 8 |
                 uint32_t(uint8_t(handler[2])) << 16 | uint32_t(uint8_t(handler[3])) << 24;
  h.dwScale = 1;
  h.dwRate = 1;
  return h;
}

TEST(AviWriter, odd_chunks_are_padded_and_indexed_at_their_data) {
  TempDir dir;
  const std::string path = dir.file("odd.avi");
  std::string error;
  auto w = AviWriter::Create(path, 40000, &error);
  ASSERT_TRUE(w) << error;
  ASSERT_EQ(w->AddStream(TextHeader("AAAA"), nullptr, 0, &error), 0);
  ASSERT_EQ(w->AddStream(TextHeader("BBBB"), nullptr, 0, &error), 1);
  const std::vector<std::vector<uint8_t>> chunks = {{1}, {2, 2}, {3, 3, 3}, {}, {5, 5, 5, 5, 5}};
  for (size_t i = 0; i < chunks.size(); ++i)
    ASSERT_TRUE(w->Write(int(i % 2), chunks[i].data(), uint32_t(chunks[i].size()),
                         i == 0 ? kAviKeyFrame : 0, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path)) << "visible before it is finished";
  ASSERT_TRUE(w->Finish(&error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));

  const std::vector<uint8_t> b = ReadAll(path);
  EXPECT_EQ(GetLE32(b.data() + 4), b.size() - 8) << "RIFF size";
  EXPECT_EQ(b.size() % 2, 0u);
  AVIINFO info{};
  ASSERT_TRUE(ReadAVI(path, &info));
  ASSERT_EQ(info.indexCount, chunks.size());
  EXPECT_EQ(info.streamCount, 2);
  EXPECT_EQ(info.streams[1].fccHandler, RiffCode("BBBB"));
  EXPECT_EQ(info.streams[0].dwLength, 3u);
  for (size_t i = 0; i < chunks.size(); ++i) {
    const AviIndexEntry& e = info.index[i];
    EXPECT_EQ(e.ckid, AviChunkId(int(i % 2), "tx"));
    EXPECT_EQ(e.dwFlags, i == 0 ? kAviKeyFrame : 0u);
    ASSERT_EQ(e.dwChunkLength, chunks[i].size());
    const size_t data = info.moviOffset + e.dwChunkOffset + 4;
    ASSERT_LE(data + e.dwChunkLength, b.size());
    EXPECT_TRUE(std::equal(chunks[i].begin(), chunks[i].end(), b.begin() + long(data))) << i;
  }
}

TEST(AviWriter, only_the_copied_stream_header_fields_are_kept) {
  TempDir dir;
  const std::string path = dir.file("h.avi");
  auto w = AviWriter::Create(path, 33333, nullptr);
  ASSERT_TRUE(w);
  AviStreamHeader h{};
  h.fccType = RiffCode("vids");
  h.fccHandler = RiffCode("H264");
  h.dwFlags = 7;
  h.wPriority = 3;
  h.dwInitialFrames = 9;
  h.dwScale = 1001;
  h.dwRate = 30000;
  h.dwStart = 44;
  h.dwLength = 12345;
  h.dwQuality = 5000;
  h.dwSampleSize = 0;
  h.rcFrame = {1, 2, 320, 180};
  AviBitmapInfo fmt{};
  fmt.biSize = 40;
  fmt.biWidth = 320;
  ASSERT_EQ(w->AddStream(h, &fmt, sizeof fmt, nullptr), 0);
  const uint8_t data[4] = {0, 0, 0, 1};
  ASSERT_TRUE(w->Write(0, data, 4, kAviKeyFrame, nullptr));
  ASSERT_TRUE(w->Finish(nullptr));
  AVIINFO info{};
  ASSERT_TRUE(ReadAVI(path, &info));
  const AviStreamHeader& s = info.streams[0];
  EXPECT_EQ(s.fccHandler, RiffCode("H264"));
  EXPECT_EQ(s.dwFlags, 0u);
  EXPECT_EQ(s.wPriority, 0);
  EXPECT_EQ(s.dwInitialFrames, 0u);
  EXPECT_EQ(s.dwStart, 0u);
  EXPECT_EQ(s.dwScale, 1001u);
  EXPECT_EQ(s.dwRate, 30000u);
  EXPECT_EQ(s.dwQuality, 5000u);
  EXPECT_EQ(s.dwLength, 1u) << "the length counts what was written";
  EXPECT_EQ(s.rcFrame.left, 0);
  EXPECT_EQ(s.rcFrame.top, 0);
  EXPECT_EQ(s.rcFrame.right, 320);
  EXPECT_EQ(s.rcFrame.bottom, 180);
  EXPECT_EQ(info.mainHeader.dwTotalFrames, 1u);
  EXPECT_EQ(info.mainHeader.dwStreams, 1u);
  EXPECT_EQ(info.mainHeader.dwMicroSecPerFrame, 33333u);
  EXPECT_EQ(info.videoFormats[0].biWidth, 320);
}

TEST(AviWriter, refuses_more_chunks_than_the_index_count_holds) {
  TempDir dir;
  const std::string path = dir.file("many.avi");
  auto w = AviWriter::Create(path, 40000, nullptr);
  ASSERT_TRUE(w);
  ASSERT_EQ(w->AddStream(TextHeader("SENS"), nullptr, 0, nullptr), 0);
  const uint8_t two[2] = {1, 2};
  for (uint32_t i = 0; i < kAviMaxIndexEntries; ++i)
    ASSERT_TRUE(w->Write(0, two, 2, 0, nullptr)) << i;
  std::string error;
  EXPECT_FALSE(w->Write(0, two, 2, 0, &error));
  EXPECT_NE(error.find("65535"), std::string::npos) << error;
  EXPECT_FALSE(w->Finish(nullptr)) << "a refused file is not finished";
  w.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(AviWriter, refuses_to_grow_beyond_the_size_limit) {
  TempDir dir;
  const std::string path = dir.file("big.avi");
  AviWriter::Options options;
  options.maxFileSize = 4096;
  auto w = AviWriter::Create(path, 40000, options, nullptr);
  ASSERT_TRUE(w);
  ASSERT_EQ(w->AddStream(TextHeader("GPSR"), nullptr, 0, nullptr), 0);
  const std::vector<uint8_t> chunk(1000, 7);
  std::string error;
  int written = 0;
  while (w->Write(0, chunk.data(), uint32_t(chunk.size()), 0, &error)) ++written;
  // Header (~200 bytes) plus three chunks with their index fit in 4096, a fourth does not.
  EXPECT_EQ(written, 3);
  EXPECT_NE(error.find("size limit"), std::string::npos) << error;
  EXPECT_FALSE(w->Finish(nullptr));
  w.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(AviWriter, abandoned_file_leaves_nothing) {
  TempDir dir;
  const std::string path = dir.file("gone.avi");
  {
    auto w = AviWriter::Create(path, 40000, nullptr);
    ASSERT_TRUE(w);
    ASSERT_EQ(w->AddStream(TextHeader("GPSR"), nullptr, 0, nullptr), 0);
    const uint8_t one = 1;
    ASSERT_TRUE(w->Write(0, &one, 1, 0, nullptr));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(AviWriter, streams_after_the_first_chunk_are_refused) {
  TempDir dir;
  auto w = AviWriter::Create(dir.file("late.avi"), 40000, nullptr);
  ASSERT_TRUE(w);
  ASSERT_EQ(w->AddStream(TextHeader("GPSR"), nullptr, 0, nullptr), 0);
  const uint8_t one = 1;
  ASSERT_TRUE(w->Write(0, &one, 1, 0, nullptr));
  std::string error;
  EXPECT_EQ(w->AddStream(TextHeader("SENS"), nullptr, 0, &error), -1);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(w->Write(1, &one, 1, 0, nullptr));
}

TEST(AviWriter, six_streams_keep_five_slots) {
  TempDir dir;
  const std::string path = dir.file("six.avi");
  auto w = AviWriter::Create(path, 40000, nullptr);
  ASSERT_TRUE(w);
  for (int i = 0; i < 6; ++i) {
    const char handler[5] = {'S', 'T', 'R', char('0' + i), 0};
    ASSERT_EQ(w->AddStream(TextHeader(handler), nullptr, 0, nullptr), i);
  }
  const uint8_t one = 1;
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(w->Write(i, &one, 1, 0, nullptr));
  ASSERT_TRUE(w->Finish(nullptr));
  AVIINFO info{};
  ASSERT_TRUE(ReadAVI(path, &info));
  EXPECT_EQ(info.streamCount, kAviStreamSlots);
  EXPECT_EQ(info.streams[4].fccHandler, RiffCode("STR4"));
  EXPECT_EQ(info.indexCount, 6);
}

}  // namespace
}  // namespace tq
