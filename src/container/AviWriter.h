// Our AVI writer: a RIFF "AVI " file with an hdrl list (avih, one strl per stream), the
// movi list holding the chunks in the order they are written, and an idx1 index. The
// file is written under a temporary name and takes its real name only when finished.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/AviInfo.h"
#include "container/MediaFile.h"

namespace tq {

// Offsets and sizes are 32-bit and many readers take them as signed: files must stay
// below 2 GiB.
constexpr uint64_t kAviMaxFileSize = 0x7FFFFFFFull;

class AviWriter {
 public:
  struct Options {
    bool index = true;     // false: no idx1 (as a recording cut short before its index)
    uint64_t maxFileSize = kAviMaxFileSize;  // lower only to test the refusal
  };

  static std::unique_ptr<AviWriter> Create(const std::string& path, uint32_t microSecPerFrame,
                                           std::string* error);
  static std::unique_ptr<AviWriter> Create(const std::string& path, uint32_t microSecPerFrame,
                                           const Options& options, std::string* error);
  ~AviWriter();  // an unfinished file is removed
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Adds a stream before the first chunk is written. From `header` only fccType,
  // fccHandler, dwScale, dwRate, dwQuality, dwSampleSize and the right and bottom of
  // rcFrame are used. Returns the stream number, or -1.
  int AddStream(const AviStreamHeader& header, const void* format, uint32_t formatSize,
                std::string* error);

  // Appends one chunk of `stream`; `flags` go to its index entry (kAviKeyFrame).
  bool Write(int stream, const void* data, uint32_t size, uint32_t flags, std::string* error);

  // Writes the index, completes the headers and renames the file. False leaves nothing.
  bool Finish(std::string* error);

  const std::string& path() const { return path_; }
  uint32_t chunkCount() const { return uint32_t(index_.size()); }

 private:
  struct Stream {
    AviStreamHeader header{};
    std::vector<uint8_t> format;
    uint32_t chunkId = 0;
    uint32_t chunks = 0;
    uint64_t bytes = 0;
    uint32_t largest = 0;
    uint64_t headerAt = 0;  // strh data position
  };
  AviWriter(std::unique_ptr<MediaFile> f, std::string path, std::string temp, uint32_t usPerFrame,
            const Options& options)
      : file_(std::move(f)), path_(std::move(path)), temp_(std::move(temp)),
        usPerFrame_(usPerFrame), options_(options) {}
  bool WriteHeaders(std::string* error);
  bool PatchHeaders(uint64_t riffEnd, std::string* error);

  std::unique_ptr<MediaFile> file_;
  std::string path_, temp_;
  uint32_t usPerFrame_;
  Options options_;
  std::vector<Stream> streams_;
  std::vector<AviIndexEntry> index_;
  uint64_t avihAt_ = 0, moviAt_ = 0, position_ = 0;
  bool started_ = false, finished_ = false, failed_ = false;
};

}  // namespace tq
