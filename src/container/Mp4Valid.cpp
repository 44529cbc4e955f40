// Validation before use and the in-place repair of recordings the camera left without a
// usable moov. The repair walks the 16-byte frame records of mdat, rebuilds the sample
// tables and writes a new moov, in an order that leaves a repairable file whenever a
// write is interrupted (see WriteAppended and WriteInReservedRoom).
#include "container/Mp4Valid.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "app/TraceLog.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Writer.h"

namespace tq {
namespace {

constexpr uint32_t kBoxHeader = 8;
constexpr uint32_t kFrameRecordSize = 16;
constexpr uint16_t kFirstStream = 1;
constexpr uint16_t kSecondStream = 2;
constexpr uint32_t kPtnmMarkable = 12;   // a ptnm larger than this carries a kind byte to mark
constexpr uint8_t kPtnmKindRepaired = 2;
constexpr size_t kMinParameterSets = 2;

struct RepairPlan {
  MP4MBOX_NODE video;
  MP4MBOX_NODE sound;
  bool withSound = false;
  uint16_t videoStream = 0;
  uint16_t soundStream = 0;
  uint32_t validBytes = 0;  // complete frame records from the mdat payload on
  uint32_t dataEnd = 0;     // mdat payload offset + validBytes
  bool reservedRoom = false;
  uint32_t moovStart = 0;   // where the new moov begins
  uint32_t room = 0;        // reserved room: the old moov box size, kept as the new one's
  uint32_t moovSize = 0;    // as the writer computes it
};

// Why a file cannot be repaired, or null. Nothing has been written when this is asked.
const char* RefusalOf(const MP4INFO& info) {
  const auto& ptrh = info.ptrh;
  if (info.mdat.offset == 0) return "no media data box";
  if (!info.sttm.found()) return "no start time (sttm) in the metadata";
  if (!ptrh.box.found()) return "no stream descriptions (ptrh) in the metadata";
  if (!ptrh.ptvi.found()) return "no video description (ptvi)";
  if ((ptrh.ptso.size == 0) != (ptrh.ptso.offset == 0)) return "broken sound description (ptso)";
  if (ptrh.vi.codec != kCodecAvc1 && ptrh.vi.codec != kCodecHvc1)
    return "video codec is neither H.264 (avc1) nor H.265 (hvc1)";
  if (ptrh.vi.config.size() < kMinParameterSets) return "fewer than two video parameter sets";
  if (ptrh.ptso.found() && ptrh.so.codec != kCodecMp3 && ptrh.so.codec != kCodecMp4a)
    return "sound codec is neither AAC (mp4a) nor MP3";
  return nullptr;
}

// Reads the frame records one small read each. A read also takes the bytes just after
// the record, so a short sample (a sound frame) brings the next record along with it.
// A picture sample is far larger than a read, so a walk costs about one system call per
// picture: nothing else (a memory map, large blocks) touches fewer pages of the file.
class RecordReader {
 public:
  RecordReader(MediaFile& f, uint64_t fileLength) : f_(f), length_(fileLength) {
    f_.SkipAccessTimes();
  }
  bool Read(uint64_t pos, uint8_t* record) {
    if (pos < start_ || pos + kFrameRecordSize > start_ + filled_) {
      if (pos >= length_ || length_ - pos < kFrameRecordSize) return false;
      size_t want = size_t(std::min<uint64_t>(sizeof buffer_, length_ - pos));
      if (!f_.ReadAt(pos, buffer_, want)) return false;
      start_ = pos;
      filled_ = want;
    }
    std::memcpy(record, buffer_ + (pos - start_), kFrameRecordSize);
    return true;
  }

 private:
  // A record and what follows it: a camera's sound frame (a few hundred bytes) and the
  // record after it. Copying more costs more than the rare extra read it saves.
  static constexpr size_t kReadBytes = 1024;
  MediaFile& f_;
  uint64_t length_;
  uint64_t start_ = 0;
  size_t filled_ = 0;
  uint8_t buffer_[kReadBytes];
};

// Walks the frame records from the mdat payload and adds every complete one to its
// builder. The walk ends at the first record that is broken, cut by the end of the file,
// goes back in time within its stream, or would exceed its stream's capacity; everything
// before it is the valid data.
bool WalkFrameRecords(MediaFile& f, uint64_t fileLength, RepairPlan& plan, std::string* reason) {
  uint64_t pos = plan.dataEnd;  // starts at the mdat payload
  uint32_t base = 0;
  uint32_t lastTime[3] = {};
  bool seen[3] = {};
  uint64_t total = 0;
  RecordReader records(f, fileLength);
  for (;;) {
    uint8_t r[kFrameRecordSize];
    if (!records.Read(pos, r)) break;
    uint16_t stream = GetU16(r);
    uint16_t key = GetU16(r + 2);
    uint32_t time = GetU32(r + 4);
    uint32_t size = GetU32(r + 8);
    uint32_t extra = GetU32(r + 12);
    if (stream != kFirstStream && stream != kSecondStream) break;
    if (size == 0 || key > 1) break;
    uint64_t data = pos + kFrameRecordSize + extra;
    if (seen[stream] && time < lastTime[stream]) break;
    if (data + size > fileLength) break;
    bool isVideo = stream == plan.videoStream;
    MP4MBOX_NODE* node = isVideo ? &plan.video
                         : (plan.withSound && stream == plan.soundStream) ? &plan.sound
                                                                          : nullptr;
    if (!node) {
      *reason = "frame record of stream " + std::to_string(stream) + " has no description";
      return false;
    }
    if (node->sampleCount >= node->capacity) break;  // the builder is full: valid data ends
    if (plan.video.sampleCount == 0 && plan.sound.sampleCount == 0) base = time;
    // A record earlier than the first one of the other stream starts at 0, not 49 days on.
    uint32_t relative = time >= base ? time - base : 0;
    if (!AddSample(*node, uint32_t(data), size, relative, isVideo && key == 1, isVideo)) break;
    total += kFrameRecordSize + uint64_t(extra) + size;
    lastTime[stream] = time;
    seen[stream] = true;
    pos = data + size;
  }
  if (plan.video.sampleCount == 0 && plan.sound.sampleCount == 0) {
    *reason = "no complete frame record in the media data";
    return false;
  }
  if (plan.video.sampleCount == 0) {
    *reason = "no complete video frame in the media data";
    return false;
  }
  plan.validBytes = uint32_t(total);
  plan.dataEnd = uint32_t(plan.dataEnd + total);
  return true;
}

// Decides where the new moov goes and checks, before anything is written, that it fits.
bool PlaceMoov(const MP4INFO& info, RepairPlan& plan, std::string* reason) {
  const MP4MBOX_NODE* sound = plan.withSound ? &plan.sound : nullptr;
  plan.moovSize = MoovSize(info, &plan.video, sound, nullptr);
  if (plan.moovSize == 0) {
    *reason = "the new index cannot be built from the stream descriptions";
    return false;
  }
  plan.reservedRoom = info.moov.moov.found() && info.moov.junk.found();
  if (!plan.reservedRoom) {
    plan.moovStart = plan.dataEnd;
    if (uint64_t(plan.dataEnd) + plan.moovSize + kBoxHeader >= kMaxMediaFileSize) {
      *reason = "the repaired file would reach 4 GiB";
      return false;
    }
    return true;
  }
  uint64_t start = uint64_t(info.moov.moov.offset) - kBoxHeader;
  uint64_t mdatStart = uint64_t(info.mdat.offset) - kBoxHeader;
  plan.moovStart = uint32_t(start);
  plan.room = info.moov.moov.size;
  // The old moov box keeps its size; the new moov plus a junk child fill it exactly.
  bool fits = start + plan.room <= mdatStart &&
              (plan.moovSize == plan.room || uint64_t(plan.moovSize) + kBoxHeader <= plan.room);
  if (!fits) {
    *reason = "the new index (" + std::to_string(plan.moovSize) +
              " bytes) does not fit the room reserved before the media data (" +
              std::to_string(plan.room) + " bytes)";
    return false;
  }
  return true;
}

bool PlanRepair(MediaFile& f, uint64_t fileLength, const MP4INFO& info, RepairPlan& plan,
                std::string* reason) {
  if (const char* refusal = RefusalOf(info)) {
    *reason = refusal;
    return false;
  }
  plan.videoStream = info.ptrh.vi.streamNumber;
  plan.withSound = info.ptrh.ptso.found();
  plan.soundStream = plan.withSound ? info.ptrh.so.streamNumber : 0;
  if (!CreateFixedSizeTrak(plan.video, kVideoSampleCapacity, true) ||
      (plan.withSound && !CreateFixedSizeTrak(plan.sound, kSoundSampleCapacity, false))) {
    *reason = "out of memory for the sample tables";
    return false;
  }
  plan.dataEnd = info.mdat.offset;
  return WalkFrameRecords(f, fileLength, plan, reason) && PlaceMoov(info, plan, reason);
}

bool WriteAt(MediaFile& f, uint64_t offset, const void* data, size_t bytes) {
  return f.Seek(offset) && f.Write(data, bytes);
}

bool WriteBoxHeader(MediaFile& f, uint64_t offset, uint32_t size, uint32_t type) {
  uint8_t h[kBoxHeader];
  PutU32(h, size);
  PutU32(h + 4, type);
  return WriteAt(f, offset, h, sizeof h);
}

// A scratch file for building the moov away from the recording: in memory, or in the
// temporary folder where the system has no anonymous memory files.
class ScratchFile {
 public:
  ScratchFile() {
    file_ = MediaFile::OpenInMemory("tqmb20-moov");
    if (file_) return;
    std::random_device rd;
    path_ = (std::filesystem::temp_directory_path() /
             ("tqmb20-moov-" + std::to_string(rd()) + std::to_string(rd()) + ".tmp"))
                .string();
  }
  ~ScratchFile() {
    file_.reset();
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
  }
  MediaFile* Open() {
    if (!file_ && !path_.empty()) file_ = MediaFile::Open(path_, "wb+");
    return file_.get();
  }

 private:
  std::string path_;
  std::unique_ptr<MediaFile> file_;
};

// The moov image the writer produces for the plan's builders, built in a scratch file so
// that the recording is written in an order of our choosing (see WriteAppended). Nothing
// in a moov depends on where it lies: sample offsets come from the builders.
bool RenderMoov(const MP4INFO& info, RepairPlan& plan, std::vector<uint8_t>* image) {
  ScratchFile scratch;
  MediaFile* s = scratch.Open();
  if (!s) return false;
  auto layout = std::make_unique<MP4INFO>();  // an empty mdat right before the moov
  layout->ptrh = info.ptrh;
  layout->sttm = info.sttm;
  layout->startTime = info.startTime;
  layout->mdat = {kBoxHeader, kBoxHeader};
  uint32_t position = kBoxHeader;
  if (!s->Seek(position) ||
      !WriteMoov(*s, &position, *layout, &plan.video, plan.withSound ? &plan.sound : nullptr,
                 nullptr, kBoxHeader))
    return false;
  uint8_t h[kBoxHeader];
  if (!s->ReadAt(kBoxHeader, h, sizeof h)) return false;
  uint32_t size = GetU32(h);
  if (size != plan.moovSize || GetU32(h + 4) != FourCC("moov")) return false;
  image->resize(size);
  return s->ReadAt(kBoxHeader, image->data(), size);
}

// Writes the mdat size that covers exactly the valid data.
bool CorrectMdatSize(MediaFile& f, const MP4INFO& info, const RepairPlan& plan) {
  uint8_t size[4];
  uint64_t mdatStart = uint64_t(info.mdat.offset) - kBoxHeader;
  PutU32(size, uint32_t(plan.dataEnd - mdatStart));
  return WriteAt(f, mdatStart, size, sizeof size);
}

// Every write below may be cut anywhere, byte by byte, and the file must stay repairable
// to the same samples. The index only becomes visible when its type turns into "moov";
// until then it is a "skip" box (every prefix of "moov" written over "skip" is a type no
// reader knows), so a half-written or half-sized index is never parsed.

// Appended moov, right after the valid data:
//   1. "skip" at the type position first: from its first byte the 16 bytes after the
//      valid data no longer read as a frame record (the key flag is not 0 or 1), so the
//      frame walk stops where it stopped before;
//   2. the whole image, still typed "skip";
//   3. the mdat size;
//   4. "moov": the commit;
//   5. the tail becomes a free box.
bool WriteAppended(MediaFile& f, MP4INFO& info, RepairPlan& plan, std::vector<uint8_t>& image) {
  uint64_t start = plan.moovStart;
  uint8_t skip[4], moov[4];
  PutU32(skip, FourCC("skip"));
  PutU32(moov, FourCC("moov"));
  std::memcpy(image.data() + 4, skip, 4);
  if (!WriteAt(f, start + 4, skip, 4) || !WriteAt(f, start, image.data(), image.size()) ||
      !CorrectMdatSize(f, info, plan) || !f.Sync() || !WriteAt(f, start + 4, moov, 4))
    return false;
  uint64_t moovEnd = start + image.size();
  uint64_t length = f.Length();
  if (length > moovEnd) {
    // The discarded tail (a cut record, garbage) becomes free space.
    uint64_t tail = std::max<uint64_t>(length - moovEnd, kBoxHeader);
    if (!WriteBoxHeader(f, moovEnd, uint32_t(tail), FourCC("free"))) return false;
  }
  return true;
}

// Reserved room, over the old moov before the mdat. The old box keeps its size, so the
// top level stays walkable to the mdat at every step:
//   1. the old moov's type becomes "skip";
//   2. the new children and a junk child filling the rest of the room go under it;
//   3. the mdat size;
//   4. "moov": the commit.
// Interrupted before 4, the next repair finds no index and appends one after the data.
bool WriteInReservedRoom(MediaFile& f, MP4INFO& info, RepairPlan& plan,
                         std::vector<uint8_t>& image) {
  std::vector<uint8_t> body(image.begin() + kBoxHeader, image.end());
  if (image.size() < plan.room) {
    uint8_t junk[kBoxHeader];
    PutU32(junk, plan.room - uint32_t(image.size()));
    PutU32(junk + 4, FourCC("junk"));
    body.insert(body.end(), junk, junk + kBoxHeader);
  }
  uint64_t start = plan.moovStart;
  uint8_t skip[4], moov[4];
  PutU32(skip, FourCC("skip"));
  PutU32(moov, FourCC("moov"));
  return WriteAt(f, start + 4, skip, 4) &&
         WriteAt(f, start + kBoxHeader, body.data(), body.size()) &&
         CorrectMdatSize(f, info, plan) && f.Sync() && WriteAt(f, start + 4, moov, 4);
}

bool MarkRepaired(MediaFile& f, MP4INFO& info) {
  if (info.ptnm.size <= kPtnmMarkable) return true;
  uint8_t kind = kPtnmKindRepaired;
  if (!WriteAt(f, info.ptnm.offset, &kind, 1)) return false;
  info.ptnmKind = kind;
  return true;
}

bool ApplyRepair(MediaFile& f, MP4INFO& info, RepairPlan& plan) {
  std::vector<uint8_t> image;
  if (!RenderMoov(info, plan, &image)) return false;
  bool written = plan.reservedRoom ? WriteInReservedRoom(f, info, plan, image)
                                   : WriteAppended(f, info, plan, image);
  return written && MarkRepaired(f, info) && f.Sync();
}

// After a repair: walks the top level from `start` (a box header) to the new moov.
int FindNewMoov(MediaFile& f, uint64_t length, uint64_t start, MP4INFO& info) {
  uint64_t pos = start;
  while (pos < length) {
    uint8_t h[kBoxHeader];
    if (!f.Seek(pos) || !f.Read(h, sizeof h)) return 0;
    uint32_t size = GetU32(h);
    uint32_t type = GetU32(h + 4);
    if (type == FourCC("mdat")) info.mdat = {size, uint32_t(pos + kBoxHeader)};
    if (type == FourCC("moov")) {
      info.moov.moov = {size, uint32_t(pos + kBoxHeader)};
      return ParseMOOV(f, info.moov);
    }
    if (size < kBoxHeader) return 0;
    pos += size;
  }
  return 0;
}

ValidateReport Fail(std::string reason) {
  ValidateReport r;
  r.result = ValidateResult::Failed;
  r.reason = std::move(reason);
  return r;
}

const char* OpenFailure(MediaFile::OpenError e) {
  switch (e) {
    case MediaFile::OpenError::NotFound: return "no such file";
    case MediaFile::OpenError::TooLarge: return "4 GiB or larger: offsets of the format are 32-bit";
    default: return "cannot be read";
  }
}

}  // namespace

int RebuildMoov(MediaFile& f, uint64_t fileLength, MP4INFO& info) {
  RepairPlan plan;
  std::string reason;
  if (!PlanRepair(f, fileLength, info, plan, &reason)) return 0;
  return ApplyRepair(f, info, plan) ? 1 : 0;
}

ValidateReport ValidateMP4(const std::string& path, MP4INFO* info, int acceptSecondSet,
                           const ValidateOptions& options) {
  MediaFile::OpenError openError;
  if (!MediaFile::Open(path, "rb", &openError)) {
    if (openError == MediaFile::OpenError::TooLarge)
      TraceLog("ValidMP4", __LINE__, "%s is 4 GiB or larger: refused\n", path.c_str());
    return Fail(OpenFailure(openError));
  }
  uint64_t length = 0;
  ScanMP4(path, info, acceptSecondSet, &length);
  if (length < kBoxHeader) return Fail("shorter than 8 bytes");
  MP4INFO& set = info[0];
  std::string unusable = "index unusable";
  if (IsPlayableMP4(set.moov, set.mdat)) {
    // An index is only usable when its tables agree with each other and with the file;
    // one that does not is rebuilt from the frame records like a missing one.
    std::string why;
    auto reader = MediaFile::Open(path, "rb", &openError);
    if (reader && IndexAgrees(*reader, length, set, &why)) {
      ValidateReport r;
      r.result = ValidateResult::Ok;
      r.reason = "index usable";
      return r;
    }
    unusable = reader ? "sample tables broken (" + why + ")" : "index cannot be read";
    TraceLog("ValidMP4", __LINE__, "%s: %s\n", path.c_str(), unusable.c_str());
  }
  if (options.dryRun)
    TraceLog("ValidMP4", __LINE__, "%s: %s; not repaired (read only)\n", path.c_str(),
             unusable.c_str());
  else
    TraceLog("ValidMP4", 1244, "Invalid %s Recovery\n", path.c_str());
  if (set.gps2Layout) return Fail(unusable + "; files with the gps2 layout are never repaired");

  auto f = MediaFile::Open(path, options.dryRun ? "rb" : "rb+", &openError);
  if (!f) return Fail(unusable + "; " + OpenFailure(openError) + " for update");
  RepairPlan plan;
  std::string reason;
  if (!PlanRepair(*f, length, set, plan, &reason)) return Fail(unusable + "; " + reason);

  ValidateReport r;
  r.dryRun = options.dryRun;
  r.videoSamples = plan.video.sampleCount;
  r.audioSamples = plan.sound.sampleCount;
  r.validBytes = plan.validBytes;
  r.result = ValidateResult::Repaired;
  std::string where = plan.reservedRoom ? "in the reserved room" : "after the valid data";
  if (options.dryRun) {
    r.reason = "would write a new index " + where;
    return r;
  }
  uint32_t oldMoovPayload = set.moov.moov.offset;
  if (!ApplyRepair(*f, set, plan)) return Fail("writing the new index failed");

  // Read the new index back as the next open would.
  for (auto& t : set.moov.trak) FreeTRAKBOX(t);
  uint64_t newLength = f->Length();
  uint64_t start = (plan.reservedRoom ? oldMoovPayload : set.mdat.offset) - uint64_t(kBoxHeader);
  if (!FindNewMoov(*f, newLength, start, set)) return Fail("the new index cannot be read back");
  r.reason = "new index written " + where;
  TraceLog("ValidMP4", __LINE__, "%s repaired: %s (%u video, %u sound samples)\n", path.c_str(),
           r.reason.c_str(), r.videoSamples, r.audioSamples);
  return r;
}

bool IndexAgrees(MediaFile& f, uint64_t fileLength, const MP4INFO& set, std::string* why) {
  // A camera recording describes its pictures (ptvi); an index without them is broken.
  if (set.ptrh.ptvi.found() && !HasPictureTrackMP4(set.moov)) {
    if (why) *why = "the index holds no picture track";
    return false;
  }
  return SampleTablesAgree(f, fileLength, set.moov, why);
}

RepairedIndex::~RepairedIndex() {
  file_.reset();
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
}

bool RepairedIndex::WorkOut(const std::string& path, MP4INFO& set, std::string* reason) {
  auto f = MediaFile::Open(path, "rb");
  if (!f) return *reason = path + ": cannot be read", false;
  const uint64_t length = f->Length();
  RepairPlan plan;
  if (!PlanRepair(*f, length, set, plan, reason)) return false;
  std::vector<uint8_t> image;
  if (!RenderMoov(set, plan, &image)) return *reason = "the new index cannot be built", false;
  std::random_device rd;
  path_ = (std::filesystem::temp_directory_path() /
           ("tqmb20-index-" + std::to_string(rd()) + std::to_string(rd()) + ".tmp"))
              .string();
  file_ = MediaFile::Open(path_, "wb+");
  // The image goes where a parsed box would start, after one empty box header's room.
  if (!file_ || !file_->Seek(kBoxHeader) || !file_->Write(image.data(), image.size()) ||
      !file_->Flush())
    return *reason = "no room for the worked-out index", false;
  for (auto& t : set.moov.trak) FreeTRAKBOX(t);
  set.moov = MOOVBOX{};
  set.moov.moov = {uint32_t(image.size()), 2 * kBoxHeader};
  set.mdat.size = plan.dataEnd - (set.mdat.offset - kBoxHeader);
  if (!file_->Seek(2 * kBoxHeader) || !ParseMOOV(*file_, set.moov) ||
      !IsPlayableMP4(set.moov, set.mdat))
    return *reason = "the worked-out index cannot be read back", false;
  return true;
}

int ValidMP4(const std::string& path, MP4INFO* info, int acceptSecondSet) {
  return ValidateMP4(path, info, acceptSecondSet).result != ValidateResult::Failed;
}

}  // namespace tq
