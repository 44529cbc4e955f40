#include "container/AviValid.h"

#include <algorithm>
#include <cstring>

#include "app/TraceLog.h"

namespace tq {
namespace {

constexpr uint32_t kChunkHeader = 8;
constexpr uint32_t kListHeader = 12;
constexpr uint32_t kRepairBatch = 1024;  // entries written at a time
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr uint8_t kSpsHeaderByte = 0x67;  // nal_ref_idc 3, type 7 (sequence parameter set)

bool Printable(uint32_t code) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(code >> (8 * i));
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

struct Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
  uint64_t at = 0;  // header position
  uint64_t dataEnd() const { return at + kChunkHeader + size; }
};

bool ReadChunkHeader(MediaFile& f, uint64_t at, Chunk* c) {
  uint8_t h[kChunkHeader];
  if (!f.Seek(at) || !f.Read(h, sizeof h)) return false;
  c->id = GetLE32(h);
  c->size = GetLE32(h + 4);
  c->at = at;
  return true;
}

// Where the chunk after `c` starts. RIFF pads odd chunks to even; files the camera wrote
// do not, so the pad byte is taken only when a chunk id follows it and none follows the
// chunk directly.
uint64_t NextChunkAt(MediaFile& f, const Chunk& c, uint64_t limit) {
  const uint64_t end = c.dataEnd();
  if ((c.size & 1) == 0 || end + 1 + kChunkHeader > limit) return end;
  Chunk direct, padded;
  if (ReadChunkHeader(f, end, &direct) && Printable(direct.id)) return end;
  if (ReadChunkHeader(f, end + 1, &padded) && Printable(padded.id)) return end + 1;
  return end;
}

// Reads min(chunk size, slot) bytes of a chunk into a zeroed slot.
bool ReadIntoSlot(MediaFile& f, const Chunk& c, void* slot, size_t slotSize) {
  std::memset(slot, 0, slotSize);
  const size_t n = std::min<size_t>(c.size, slotSize);
  return f.Seek(c.at + kChunkHeader) && f.Read(slot, n);
}

bool ReadStrl(MediaFile& f, uint64_t from, uint64_t end, AVIINFO* info) {
  if (info->streamCount >= kAviStreamSlots) return true;  // beyond the slots: ignored
  AviStreamHeader& slot = info->streams[info->streamCount++];
  bool haveHeader = false, haveSound = info->soundFormat.wFormatTag != 0;
  for (uint64_t at = from; at + kChunkHeader <= end;) {
    Chunk c;
    if (!ReadChunkHeader(f, at, &c) || c.dataEnd() > end) return false;
    if (c.id == RiffCode("strh")) {
      if (!ReadIntoSlot(f, c, &slot, sizeof slot)) return false;
      haveHeader = true;
    } else if (c.id == RiffCode("strf") && haveHeader) {
      if (slot.fccType == RiffCode("vids") && info->videoStreamCount < kAviVideoFormats) {
        if (!ReadIntoSlot(f, c, &info->videoFormats[info->videoStreamCount++],
                          sizeof(AviBitmapInfo)))
          return false;
      } else if (slot.fccType == RiffCode("auds") && !haveSound) {
        if (!ReadIntoSlot(f, c, &info->soundFormat, sizeof info->soundFormat)) return false;
      }
    }
    at = NextChunkAt(f, c, end);
  }
  return true;
}

bool ReadHdrl(MediaFile& f, uint64_t from, uint64_t end, AVIINFO* info) {
  Chunk avih;
  if (!ReadChunkHeader(f, from, &avih) || avih.id != RiffCode("avih") ||
      avih.size < kAviMainHeaderSize || avih.dataEnd() > end ||
      !f.Read(&info->mainHeader, kAviMainHeaderSize))
    return false;
  for (uint64_t at = NextChunkAt(f, avih, end); at + kChunkHeader <= end;) {
    Chunk c;
    if (!ReadChunkHeader(f, at, &c) || c.dataEnd() > end) return false;
    uint32_t type = 0;
    if (c.id == RiffCode("LIST") && c.size >= 4) {
      uint8_t t[4];
      if (!f.Read(t, 4)) return false;
      type = GetLE32(t);
    }
    if (type == RiffCode("strl") && !ReadStrl(f, c.at + kListHeader, c.dataEnd(), info))
      return false;
    at = NextChunkAt(f, c, end);
  }
  return true;
}

bool ReadIdx1(MediaFile& f, const Chunk& c, uint64_t length, AVIINFO* info, std::string* error) {
  const uint32_t count = c.size / kAviIndexEntrySize;
  if (count > kAviMaxIndexEntries) {
    *error = "the index holds " + std::to_string(count) + " entries, more than " +
             std::to_string(kAviMaxIndexEntries);
    return false;
  }
  if (c.at + kChunkHeader + uint64_t(count) * kAviIndexEntrySize > length) {
    *error = "the index runs past the end of the file";
    return false;
  }
  std::vector<AviIndexEntry> entries(count);
  if (count && !f.Read(entries.data(), count * kAviIndexEntrySize)) {
    *error = "the index cannot be read";
    return false;
  }
  info->index = std::move(entries);
  info->indexCount = uint16_t(count);
  return true;
}

// Two lower-case letters: "dc", "db", "wb", "pc", and the camera's "tx" text streams.
bool IsIndexType(uint32_t ckid) {
  const char a = char((ckid >> 16) & 0xFF), b = char(ckid >> 24);
  return a >= 'a' && a <= 'z' && b >= 'a' && b <= 'z';
}

// Why the entries read from idx1 cannot be the index, or "": every entry must name a
// stream (one of the headers', or any when there were more streams than slots kept) and
// a chunk inside movi.
std::string IndexProblem(const AVIINFO& info) {
  const int streams = info.streamCount < kAviStreamSlots ? info.streamCount : 10;
  for (size_t i = 0; i < info.index.size(); ++i) {
    const AviIndexEntry& e = info.index[i];
    const int stream = AviChunkStream(e.ckid);
    if ((e.ckid & 0xFF) != '0' || stream < 0 || stream >= streams || !IsIndexType(e.ckid))
      return "entry " + std::to_string(i + 1) + " names no stream (" + RiffCodeText(e.ckid) + ")";
    if (e.dwChunkOffset < 4 ||
        uint64_t(e.dwChunkOffset) - 4 + kChunkHeader + e.dwChunkLength > info.moviSize)
      return "entry " + std::to_string(i + 1) + " points outside the movi list";
  }
  return {};
}

bool WalkAvi(MediaFile& f, AVIINFO* info, std::string* error) {
  const uint64_t length = f.Length();
  uint8_t head[kListHeader];
  if (!f.Seek(0) || !f.Read(head, sizeof head) || GetLE32(head) != RiffCode("RIFF") ||
      GetLE32(head + 8) != RiffCode("AVI ")) {
    *error = "no RIFF AVI header";
    return false;
  }
  // The walk goes to the end of the file, not of the RIFF size: the index a repair
  // appends lies behind the size the camera wrote.
  bool haveHeaders = false;
  for (uint64_t at = kListHeader; at + kChunkHeader <= length;) {
    Chunk c;
    if (!ReadChunkHeader(f, at, &c) || !Printable(c.id)) break;
    if (c.id == RiffCode("LIST") && c.size >= 4) {
      uint8_t t[4];
      if (!f.Read(t, 4)) break;
      const uint32_t type = GetLE32(t);
      if (type == RiffCode("hdrl") && !haveHeaders) {
        if (c.dataEnd() > length || !ReadHdrl(f, c.at + kListHeader, c.dataEnd(), info)) {
          *error = "the header list cannot be read";
          return false;
        }
        haveHeaders = true;
      } else if (type == RiffCode("movi") && info->moviSize == 0) {
        info->moviOffset = uint32_t(c.at + kListHeader);
        info->moviSize = c.size - 4;
      }
    } else if (c.id == RiffCode("idx1")) {
      if (!ReadIdx1(f, c, length, info, error)) return false;
      break;  // the index closes the file; whatever follows it is not read
    }
    at = NextChunkAt(f, c, length);
  }
  if (!haveHeaders) {
    *error = "no header list";
    return false;
  }
  if (info->moviSize == 0) {
    *error = "no movi data";
    return false;
  }
  if (!info->index.empty()) {
    info->indexProblem = IndexProblem(*info);
    if (!info->indexProblem.empty()) {
      TraceLog("ReadAVI", __LINE__, "%s: idx1 set aside: %s\n", f.path().c_str(),
               info->indexProblem.c_str());
      info->index.clear();
      info->indexCount = 0;
    }
  }
  return true;
}

// One idx1 entry per complete movi chunk, in file order. False (no entries) when the
// first video chunk carries no start code or there are more chunks than the count holds.
bool CollectEntries(MediaFile& f, const AVIINFO& info, std::vector<AviIndexEntry>* out) {
  out->clear();
  const uint64_t base = info.moviOffset;
  const uint64_t end = base + info.moviSize;
  bool sawVideo = false;
  for (uint64_t at = base; at + kChunkHeader <= end;) {
    Chunk c;
    if (!ReadChunkHeader(f, at, &c) || c.size < 1 || c.dataEnd() > end) break;
    uint32_t flags = 0;
    if (IsAviVideoChunk(c.id)) {
      uint8_t data[5];
      if (c.size < sizeof data || !f.Read(data, sizeof data) ||
          std::memcmp(data, kStartCode, sizeof kStartCode) != 0)
        break;
      flags = data[4] == kSpsHeaderByte ? kAviKeyFrame : 0;
    }
    if (out->size() == kAviMaxIndexEntries) {
      TraceLog("RecoverAVI", __LINE__, "AVI IDX too many entries. Count (%d)\n",
               int(out->size()) + 1);
      out->clear();
      return false;
    }
    out->push_back({c.id, flags, uint32_t(at - base + 4), c.size});
    sawVideo = sawVideo || IsAviVideoChunk(c.id);
    at = NextChunkAt(f, c, end);
  }
  // An index without a single picture would make a silent file "usable".
  return sawVideo;
}

}  // namespace

std::string RiffCodeText(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char(code >> (8 * i));
    s += c >= 0x20 && c <= 0x7E ? c : '?';
  }
  return s;
}

uint32_t AviChunkId(int stream, const char* type) {
  const char tens = char('0' + (stream / 10) % 10), ones = char('0' + stream % 10);
  return uint32_t(uint8_t(tens)) | uint32_t(uint8_t(ones)) << 8 |
         uint32_t(uint8_t(type[0])) << 16 | uint32_t(uint8_t(type[1])) << 24;
}

bool ReadAVI(const std::string& path, AVIINFO* info, std::string* error) {
  std::string dummy;
  std::string& err = error ? *error : dummy;
  std::unique_ptr<MediaFile> f = MediaFile::Open(path, "rb");
  if (!f) {
    err = "cannot open";
    return false;
  }
  return WalkAvi(*f, info, &err);
}

int ValidAVI(const std::string& path, AVIINFO* info) {
  std::string error;
  if (!ReadAVI(path, info, &error)) {
    TraceLog("ValidAVI", __LINE__, "%s: %s\n", path.c_str(), error.c_str());
    return 0;
  }
  if (info->indexCount > 0) return 1;
  TraceLog("ValidAVI", 127, "Invalid %s Recovery\n", path.c_str());
  std::unique_ptr<MediaFile> f = MediaFile::Open(path, "rb+");
  if (!f) return 0;
  const int repaired = RecoverAVI(*f, info);
  if (repaired)
    TraceLog("ValidAVI", __LINE__, "%s repaired: index of %u entries rebuilt\n", path.c_str(),
             unsigned(info->indexCount));
  return repaired;
}

bool PlanRecoverAVI(MediaFile& f, const AVIINFO& info, std::vector<AviIndexEntry>* entries) {
  entries->clear();
  const uint64_t indexAt = uint64_t(info.moviOffset) + info.moviSize;
  if (info.moviOffset == 0 || indexAt > f.Length()) {
    TraceLog("RecoverAVI", __LINE__, "movi incomplete. %s\n", f.path().c_str());
    return false;
  }
  // The index takes the place right after movi: a chunk there (other than an empty index
  // of the camera's) is data of its own, not room to overwrite.
  uint8_t next[4];
  if (f.Length() >= indexAt + sizeof next && f.Seek(indexAt) && f.Read(next, sizeof next) &&
      Printable(GetLE32(next)) && GetLE32(next) != RiffCode("idx1")) {
    TraceLog("RecoverAVI", __LINE__, "a chunk follows movi. %s\n", f.path().c_str());
    return false;
  }
  if (!CollectEntries(f, info, entries)) return false;
  return indexAt + kChunkHeader + entries->size() * kAviIndexEntrySize <= kMaxMediaFileSize;
}

int RecoverAVI(MediaFile& f, AVIINFO* info) {
  std::vector<AviIndexEntry> entries;
  if (!PlanRecoverAVI(f, *info, &entries)) return 0;
  const uint64_t indexAt = uint64_t(info->moviOffset) + info->moviSize;
  const uint32_t bytes = uint32_t(entries.size()) * kAviIndexEntrySize;

  // Crash safety: the chunk id is written last. Until it is complete the place reads as
  // no chunk at all (zeros), so an interrupted append is repaired again the same way.
  const uint8_t zero[4] = {};
  if (f.Length() > indexAt && (!f.Seek(indexAt) || !f.Write(zero, sizeof zero) || !f.Sync()))
    return 0;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(entries.data());
  const uint32_t batch = kRepairBatch * kAviIndexEntrySize;
  if (!f.Seek(indexAt + kChunkHeader)) return 0;
  for (uint32_t done = 0; done < bytes; done += batch)
    if (!f.Write(data + done, std::min(batch, bytes - done))) return 0;
  uint8_t field[4];
  PutLE32(field, bytes);
  // Entries and size reach the medium before the id that makes them a chunk.
  if (!f.Flush() || !f.Seek(indexAt + 4) || !f.Write(field, 4) || !f.Sync()) return 0;
  PutLE32(field, RiffCode("idx1"));
  if (!f.Seek(indexAt) || !f.Write(field, 4) || !f.Sync()) return 0;

  info->indexCount = uint16_t(entries.size());
  info->index = std::move(entries);
  return 1;
}

}  // namespace tq
