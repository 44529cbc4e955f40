// What the tool reports as written or repaired is on the medium when it says so: a driver
// may pull the card at once. Judged by the page cache: after the command, dropping the
// file's cached pages must leave none, which holds only for pages already written out
// (pages still waiting to be written stay in memory).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using tq::test::Fixture;
using tq::test::Quote;
using tq::test::RunCommand;
using tq::test::TempDir;

// Pages of the file still in memory after asking the system to drop them all; -1 when
// the file cannot be looked at.
long PagesKept(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  long kept = -1;
  if (size > 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0) {
    void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map != MAP_FAILED) {
      const long page = ::sysconf(_SC_PAGESIZE);
      std::vector<unsigned char> resident(size_t((size + page - 1) / page));
      if (::mincore(map, size_t(size), resident.data()) == 0) {
        kept = 0;
        for (unsigned char r : resident) kept += r & 1;
      }
      ::munmap(map, size_t(size));
    }
  }
  ::close(fd);
  return kept;
}

// Whether the folder's file system lets the check tell written pages from waiting ones
// (a memory file system keeps every page): a file just written keeps its pages, the same
// file synced keeps none.
bool CheckWorksIn(const TempDir& dir) {
  const std::string probe = dir.file("probe.bin");
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::vector<char> bytes(256 * 1024, 'x');
  const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
  const long waiting = PagesKept(probe);
  const bool synced = ::fdatasync(fd) == 0;
  ::close(fd);
  const long afterSync = PagesKept(probe);
  ::unlink(probe.c_str());
  return written && synced && waiting > 0 && afterSync == 0;
}

struct Durable {
  const char* name;
  const char* fixture;  // copied to "in" + its extension
  const char* args;     // IN and OUT stand for the two paths
  bool outputExists;    // an earlier export stands under the name (replaced with --force)
  bool judgeInput;      // the repaired recording is judged, else the output
};

// The arguments with the words IN and OUT replaced by the quoted paths.
std::string Expand(const std::string& args, const std::string& in, const std::string& out) {
  std::istringstream words(args);
  std::string line, word;
  while (words >> word) line += " " + (word == "IN" ? Quote(in) : word == "OUT" ? Quote(out) : word);
  return line;
}

TEST(DurableWrites, exports_and_repairs_are_on_the_medium_when_the_tool_returns) {
  TempDir dir;
  if (!CheckWorksIn(dir)) GTEST_SKIP() << "the temporary folder's file system keeps every page in memory";
  const Durable rows[] = {
      {"MP4 export", "h264_sound.mp4", "export IN --from 0 --to 1 -o OUT", false, false},
      {"MP4 export replacing an earlier one", "h264_sound.mp4", "export IN --from 0 --to 1 --force -o OUT", true,
       false},
      {"MP4 export of an unfinished recording", "unfinished_frames.mp4", "export IN --from 0 --to 1 -o OUT", false,
       false},
      {"AVI export of the rear camera", "avi_pair.avi", "export IN --from 0 --to 1 --camera rear -o OUT", false,
       false},
      {"MP4 repair", "unfinished_frames.mp4", "repair IN", false, true},
      {"MP4 repair in the reserved room", "reserved_unfinished.mp4", "repair IN", false, true},
      {"AVI index rebuilt", "avi_noindex.avi", "repair IN", false, true},
  };
  for (const Durable& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string name(row.fixture);
    const std::string ext = name.substr(name.rfind('.'));
    const std::string in = dir.file("in" + ext), out = dir.file("out" + ext);
    ::unlink(out.c_str());
    ASSERT_TRUE(tq::test::CopyFile(Fixture(row.fixture), in));
    if (row.outputExists) {
      ASSERT_TRUE(tq::test::CopyFile(Fixture(row.fixture), out));
    }
    const auto r = RunCommand(Quote(std::string(TQ_BUILD_DIR) + "/tqmb20") + Expand(row.args, in, out));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string judged = row.judgeInput ? in : out;
    EXPECT_EQ(PagesKept(judged), 0) << judged << " is not all on the medium yet";
    EXPECT_EQ(tq::test::Ffprobe(judged).output, "") << "ffprobe complains about " << judged;
  }
}

}  // namespace
