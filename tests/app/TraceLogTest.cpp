#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/TraceLog.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string TempPath(const char* name) {
  return testing::TempDir() + "/" + name + std::to_string(::getpid());
}

TEST(TraceLog, start_truncates_and_writes_the_version_line) {
  std::string path = TempPath("trace_a");
  { std::ofstream(path) << "old content\n"; }
  ASSERT_TRUE(tq::StartTraceFile(path, "1.02"));
  tq::TraceLog("ValidMP4", 1244, "Invalid %s Recovery\n", "/x/a.mp4");
  EXPECT_EQ(ReadAll(path), "Version : 1.02\n[ValidMP4(1244)] Invalid /x/a.mp4 Recovery\n");
  tq::SetTraceFile("");
}

TEST(TraceLog, long_message_is_cut_not_dropped_and_empty_writes_nothing) {
  std::string path = TempPath("trace_b");
  ASSERT_TRUE(tq::StartTraceFile(path, "1.00"));
  std::string big(10000, 'x');
  tq::TraceLog("T", 1, "%s", big.c_str());
  tq::TraceLog("T", 2, "%s", "");
  std::string text = ReadAll(path);
  EXPECT_EQ(text, "Version : 1.00\n[T(1)] " + std::string(8191, 'x'));
  tq::SetTraceFile("");
}

TEST(TraceLog, cut_never_splits_a_character) {
  std::string path = TempPath("trace_d");
  ASSERT_TRUE(tq::StartTraceFile(path, "1.00"));
  // 8190 ASCII bytes then a three-byte character: the cut at 8191 bytes falls inside it.
  std::string text = std::string(8190, 'x') + "\xE6\x97\xA5" + "tail";
  tq::TraceLog("T", 3, "%s", text.c_str());
  EXPECT_EQ(ReadAll(path), "Version : 1.00\n[T(3)] " + std::string(8190, 'x'));
  // A character that ends exactly at the limit is kept.
  ASSERT_TRUE(tq::StartTraceFile(path, "1.00"));
  text = std::string(8188, 'x') + "\xE6\x97\xA5" + "tail";
  tq::TraceLog("T", 4, "%s", text.c_str());
  EXPECT_EQ(ReadAll(path), "Version : 1.00\n[T(4)] " + std::string(8188, 'x') + "\xE6\x97\xA5");
  tq::SetTraceFile("");
}

TEST(TraceLog, lines_from_many_threads_stay_whole) {
  std::string path = TempPath("trace_c");
  ASSERT_TRUE(tq::StartTraceFile(path, "1.00"));
  constexpr int kThreads = 8, kLines = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      std::string pad(100 + t * 50, char('a' + t));
      for (int i = 0; i < kLines; ++i) tq::TraceLog("CDispWnd::AudPlay", i, "%d %s\n", t, pad.c_str());
    });
  }
  for (auto& th : threads) th.join();
  std::istringstream in(ReadAll(path));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Version : 1.00");
  // Each line is "[CDispWnd::AudPlay(<n>)] <t> <pad of thread t>". (No std::regex here:
  // g++ 12 warns inside <regex> under the sanitizers.)
  const std::string head = "[CDispWnd::AudPlay(";
  int count = 0;
  while (std::getline(in, line)) {
    ASSERT_EQ(line.compare(0, head.size(), head), 0) << line.substr(0, 80);
    size_t close = line.find(")] ", head.size());
    ASSERT_NE(close, std::string::npos) << line.substr(0, 80);
    std::string rest = line.substr(close + 3);
    ASSERT_GE(rest.size(), 2u);
    int t = rest[0] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads && rest[1] == ' ') << line.substr(0, 80);
    EXPECT_EQ(rest.substr(2), std::string(size_t(100 + t * 50), char('a' + t)));
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
  tq::SetTraceFile("");
}

TEST(TraceLog, unwritable_trace_file_falls_back_to_stderr) {
  EXPECT_FALSE(tq::StartTraceFile("/nonexistent-dir/trace_sd.txt", "1.00"));
  testing::internal::CaptureStderr();
  tq::TraceLog("CDrawWnd::OpenVCodec", 12, "video codec open failed\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[CDrawWnd::OpenVCodec(12)] video codec open failed\n");
  // On standard error a message without its line end still ends its line; the file
  // keeps messages byte for byte (see the cut tests above).
  testing::internal::CaptureStderr();
  tq::TraceLog("CreateFixedSizeTrak", 1874, "MP4MBOX_NODE STSC buf alloc failed. Size(%d)", 12);
  tq::TraceLog("T", 2, "next\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[CreateFixedSizeTrak(1874)] MP4MBOX_NODE STSC buf alloc failed. Size(12)\n[T(2)] next\n");
  tq::SetTraceFile("");
}

}  // namespace
