#include "container/AviWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/TraceLog.h"
#include "platform/Files.h"

namespace tq {
namespace {

constexpr uint32_t kChunkHeader = 8;
constexpr uint32_t kAvihSize = 56;          // the main header with its four reserved words
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kMaxStreams = 100;       // two decimal digits in the chunk id

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

void PutChunkHeader(std::vector<uint8_t>& out, const char (&id)[5], uint32_t size) {
  const size_t at = out.size();
  out.resize(at + kChunkHeader);
  PutLE32(out.data() + at, RiffCode(id));
  PutLE32(out.data() + at + 4, size);
}

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + size);
}

const char* ChunkType(uint32_t fccType) {
  if (fccType == RiffCode("vids")) return "dc";
  if (fccType == RiffCode("auds")) return "wb";
  return "tx";
}

uint32_t Padded(uint32_t size) { return size + (size & 1); }

}  // namespace

std::unique_ptr<AviWriter> AviWriter::Create(const std::string& path, uint32_t usPerFrame,
                                             std::string* error) {
  return Create(path, usPerFrame, Options{}, error);
}

std::unique_ptr<AviWriter> AviWriter::Create(const std::string& path, uint32_t usPerFrame,
                                             const Options& options, std::string* error) {
  const std::string temp = path + ".part";
  std::unique_ptr<MediaFile> f = MediaFile::Open(temp, "wb+");
  if (!f) {
    Fail(error, path + ": cannot create");
    return nullptr;
  }
  return std::unique_ptr<AviWriter>(new AviWriter(std::move(f), path, temp, usPerFrame, options));
}

AviWriter::~AviWriter() {
  if (finished_) return;
  file_.reset();
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
}

int AviWriter::AddStream(const AviStreamHeader& from, const void* format, uint32_t formatSize,
                         std::string* error) {
  if (started_) return Fail(error, "streams must be added before the first chunk"), -1;
  if (streams_.size() >= kMaxStreams) return Fail(error, "too many streams"), -1;
  Stream s;
  s.header.fccType = from.fccType;
  s.header.fccHandler = from.fccHandler;
  s.header.dwScale = from.dwScale;
  s.header.dwRate = from.dwRate;
  s.header.dwQuality = from.dwQuality;
  s.header.dwSampleSize = from.dwSampleSize;
  s.header.rcFrame.right = from.rcFrame.right;
  s.header.rcFrame.bottom = from.rcFrame.bottom;
  const uint8_t* p = static_cast<const uint8_t*>(format);
  if (formatSize) s.format.assign(p, p + formatSize);
  s.chunkId = AviChunkId(int(streams_.size()), ChunkType(from.fccType));
  streams_.push_back(std::move(s));
  return int(streams_.size()) - 1;
}

// hdrl with placeholders for the counts; PatchHeaders fills them in at the end.
bool AviWriter::WriteHeaders(std::string* error) {
  std::vector<uint8_t> h;
  PutChunkHeader(h, "RIFF", 0);
  PutBytes(h, "AVI ", 4);
  const size_t hdrlAt = h.size();
  PutChunkHeader(h, "LIST", 0);
  PutBytes(h, "hdrl", 4);
  PutChunkHeader(h, "avih", kAvihSize);
  avihAt_ = h.size();
  h.resize(h.size() + kAvihSize, 0);
  for (Stream& s : streams_) {
    const size_t strlAt = h.size();
    PutChunkHeader(h, "LIST", 0);
    PutBytes(h, "strl", 4);
    PutChunkHeader(h, "strh", kAviStreamHeaderSize);
    s.headerAt = h.size();
    PutBytes(h, &s.header, sizeof s.header);
    PutChunkHeader(h, "strf", uint32_t(s.format.size()));
    PutBytes(h, s.format.data(), s.format.size());
    if (s.format.size() & 1) h.push_back(0);
    PutLE32(h.data() + strlAt + 4, uint32_t(h.size() - strlAt - kChunkHeader));
  }
  PutLE32(h.data() + hdrlAt + 4, uint32_t(h.size() - hdrlAt - kChunkHeader));
  moviAt_ = h.size();
  PutChunkHeader(h, "LIST", 0);
  PutBytes(h, "movi", 4);
  if (!file_->Write(h.data(), h.size())) return Fail(error, path_ + ": write failed");
  position_ = h.size();
  started_ = true;
  return true;
}

bool AviWriter::Write(int stream, const void* data, uint32_t size, uint32_t flags,
                      std::string* error) {
  if (failed_ || finished_) return Fail(error, path_ + ": the file is no longer open");
  if (stream < 0 || size_t(stream) >= streams_.size()) return Fail(error, "no such stream");
  if (!started_ && !WriteHeaders(error)) return failed_ = true, false;
  // Room for this chunk, every index entry including its own, and the idx1 header.
  const uint64_t indexBytes =
      options_.index ? kChunkHeader + uint64_t(index_.size() + 1) * kAviIndexEntrySize : 0;
  const uint64_t limit = std::min(options_.maxFileSize, kAviMaxFileSize);
  if (position_ + kChunkHeader + Padded(size) + indexBytes > limit) {
    failed_ = true;
    return Fail(error, path_ + ": the file would exceed the AVI size limit of " +
                           std::to_string(limit) + " bytes (an AVI file stays below 2 GiB)");
  }
  if (options_.index && index_.size() >= kAviMaxIndexEntries) {
    failed_ = true;
    return Fail(error, path_ + ": more than 65535 chunks cannot be indexed");
  }
  Stream& s = streams_[size_t(stream)];
  uint8_t h[kChunkHeader];
  PutLE32(h, s.chunkId);
  PutLE32(h + 4, size);
  const uint8_t pad = 0;
  if (!file_->Write(h, sizeof h) || (size && !file_->Write(data, size)) ||
      ((size & 1) && !file_->Write(&pad, 1))) {
    failed_ = true;
    return Fail(error, path_ + ": write failed");
  }
  index_.push_back({s.chunkId, flags, uint32_t(position_ - moviAt_ - kChunkHeader), size});
  position_ += kChunkHeader + Padded(size);
  ++s.chunks;
  s.bytes += size;
  s.largest = std::max(s.largest, size);
  return true;
}

bool AviWriter::PatchHeaders(uint64_t riffEnd, std::string* error) {
  AviMainHeader m{};
  m.dwMicroSecPerFrame = usPerFrame_;
  m.dwFlags = (options_.index ? kAvifHasIndex : 0) | kAvifIsInterleaved;
  m.dwStreams = uint32_t(streams_.size());
  uint64_t totalBytes = 0;
  for (Stream& s : streams_) {
    totalBytes += s.bytes;
    m.dwSuggestedBufferSize = std::max(m.dwSuggestedBufferSize, s.largest + kChunkHeader);
    s.header.dwSuggestedBufferSize = s.largest;
    s.header.dwLength = s.header.dwSampleSize ? uint32_t(s.bytes / s.header.dwSampleSize)
                                              : s.chunks;
    if (s.header.fccType == RiffCode("vids") && m.dwTotalFrames == 0) {
      m.dwTotalFrames = s.chunks;
      m.dwWidth = uint32_t(std::max<int16_t>(s.header.rcFrame.right, 0));
      m.dwHeight = uint32_t(std::max<int16_t>(s.header.rcFrame.bottom, 0));
    }
    if (!file_->Seek(s.headerAt) || !file_->Write(&s.header, sizeof s.header))
      return Fail(error, path_ + ": write failed");
  }
  if (m.dwTotalFrames && usPerFrame_)
    m.dwMaxBytesPerSec = uint32_t(std::min<uint64_t>(
        totalBytes * 1000000 / (uint64_t(m.dwTotalFrames) * usPerFrame_), UINT32_MAX));
  uint8_t field[4];
  if (!file_->Seek(avihAt_) || !file_->Write(&m, sizeof m)) return Fail(error, path_ + ": write failed");
  PutLE32(field, uint32_t(riffEnd - kChunkHeader));
  if (!file_->Seek(4) || !file_->Write(field, 4)) return Fail(error, path_ + ": write failed");
  PutLE32(field, uint32_t(position_ - moviAt_ - kChunkHeader));
  if (!file_->Seek(moviAt_ + 4) || !file_->Write(field, 4)) return Fail(error, path_ + ": write failed");
  return true;
}

bool AviWriter::Finish(std::string* error) {
  if (failed_ || finished_) return Fail(error, path_ + ": the file is no longer open");
  if (!started_ && !WriteHeaders(error)) return failed_ = true, false;
  uint64_t end = position_;
  if (options_.index) {
    std::vector<uint8_t> idx;
    PutChunkHeader(idx, "idx1", uint32_t(index_.size() * kAviIndexEntrySize));
    PutBytes(idx, index_.data(), index_.size() * kAviIndexEntrySize);
    if (!file_->Write(idx.data(), idx.size())) {
      failed_ = true;
      return Fail(error, path_ + ": write failed");
    }
    end += idx.size();
  }
  if (!PatchHeaders(end, error) || !file_->Flush()) {
    failed_ = true;
    if (error && error->empty()) *error = path_ + ": write failed";
    return false;
  }
  file_.reset();
  std::string why;
  if (!SyncFileToMedium(temp_, &why)) {
    failed_ = true;
    return Fail(error, path_ + ": cannot write the finished file to the medium: " + why);
  }
  std::error_code ec;
  std::filesystem::rename(temp_, path_, ec);
  if (ec) {
    failed_ = true;
    return Fail(error, path_ + ": cannot rename the finished file: " + ec.message());
  }
  finished_ = true;
  return true;
}

}  // namespace tq
