#include "playback/StepCache.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

extern "C" {
#include <libavutil/frame.h>
}

#include "app/TraceLog.h"

namespace tq {

bool StepCache::Open(const std::string& path, uint64_t length) {
  Close();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) std::ofstream(path, std::ios::binary).flush();
  const uint64_t have = std::filesystem::file_size(path, ec);
  if (ec || (have < length && (std::filesystem::resize_file(path, length, ec), ec))) {
    TraceLog("CDrawWnd::StepCache", __LINE__, "%s file open failed\n", path.c_str());
    return false;
  }
  file_ = MediaFile::Open(path, "rb+");
  if (!file_) {
    TraceLog("CDrawWnd::StepCache", __LINE__, "%s file open failed\n", path.c_str());
    return false;
  }
  std::memset(flags_, 0, sizeof flags_);
  return true;
}

void StepCache::Close() {
  file_.reset();
  std::memset(flags_, 0, sizeof flags_);
}

bool StepCache::Store(uint64_t at, const AVFrame* p, int width, int height) {
  if (!file_ || !file_->Seek(at)) return false;
  const int widths[3] = {width, width / 2, width / 2};
  const int heights[3] = {height, height / 2, height / 2};
  // Rows are packed into one staging buffer and written at once: the decoder's rows are
  // padded, and a write per row costs more than the copy.
  staging_.resize(size_t(width) * height + 2 * size_t(width / 2) * (height / 2));
  uint8_t* out = staging_.data();
  for (int plane = 0; plane < 3; ++plane) {
    for (int y = 0; y < heights[plane]; ++y) {
      std::memcpy(out, p->data[plane] + ptrdiff_t(y) * p->linesize[plane], size_t(widths[plane]));
      out += widths[plane];
    }
  }
  return file_->Write(staging_.data(), staging_.size());
}

bool StepCache::Load(uint64_t at, AVFrame* p, int width, int height) {
  if (!file_ || !file_->Seek(at)) return false;
  const int widths[3] = {width, width / 2, width / 2};
  const int heights[3] = {height, height / 2, height / 2};
  for (int plane = 0; plane < 3; ++plane) {
    if (p->linesize[plane] == widths[plane]) {
      if (!file_->Read(p->data[plane], size_t(widths[plane]) * heights[plane])) return false;
      continue;
    }
    for (int y = 0; y < heights[plane]; ++y)
      if (!file_->Read(p->data[plane] + ptrdiff_t(y) * p->linesize[plane], size_t(widths[plane])))
        return false;
  }
  return true;
}

}  // namespace tq
