#include <gtest/gtest.h>

#include <string>

#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tqtest::ReadBytes;
using tqtest::TempDir;

// The line of `text` that starts with `key`, without its line break.
std::string Line(const std::string& text, const std::string& key) {
  size_t at = text.find("\n" + key);
  if (at == std::string::npos) return {};
  size_t end = text.find('\n', at + 1);
  return text.substr(at + 1, end - at - 1);
}

struct EntryRow {
  const char* program;
  const char* exec;  // as the desktop file must hold it
};

// The desktop entry lets a file manager open MP4 and AVI recordings with the viewer: the
// program path is quoted and escaped as the desktop entry format wants it.
TEST(DesktopEntry, install_writes_the_program_path_and_the_video_types) {
  const EntryRow rows[] = {
      {"/opt/tq/TQ-MB20_Viewer", "Exec=\"/opt/tq/TQ-MB20_Viewer\" %f"},
      {"/home/u/my build/TQ-MB20_Viewer", "Exec=\"/home/u/my build/TQ-MB20_Viewer\" %f"},
      {"/x/a$b&c|d\"e`f\\g/TQ", "Exec=\"/x/a\\\\$b&c|d\\\\\"e\\\\`f\\\\\\\\g/TQ\" %f"},
  };
  for (const EntryRow& row : rows) {
    TempDir data;
    auto r = tq::test::RunCommand("XDG_DATA_HOME=" + tq::test::Quote(data.path()) + " '" TQ_SOURCE_DIR
                                  "/scripts/install-desktop-entry.sh' " + tq::test::Quote(row.program));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string entry = ReadBytes(data / "applications/tq-mb20-viewer.desktop");
    ASSERT_TRUE(entry.starts_with("[Desktop Entry]\n")) << entry;
    EXPECT_EQ(Line(entry, "Exec="), row.exec);
    EXPECT_EQ(Line(entry, "MimeType="), "MimeType=video/mp4;video/x-msvideo;");
    EXPECT_EQ(Line(entry, "Type="), "Type=Application");
  }
  // A relative program path would break as soon as the file manager starts it elsewhere.
  TempDir data;
  auto r = tq::test::RunCommand("XDG_DATA_HOME=" + tq::test::Quote(data.path()) + " '" TQ_SOURCE_DIR
                                "/scripts/install-desktop-entry.sh' build/TQ-MB20_Viewer");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.output.find("build/TQ-MB20_Viewer"), std::string::npos);
}

}  // namespace
