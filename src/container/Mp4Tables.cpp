// The consistency check of a parsed index: every track's sample tables must agree with
// each other and with the file before the index is called usable. A camera recording
// that fails it is repaired from its frame records like one without an index.
#include <string>
#include <vector>

#include "container/Mp4Valid.h"

namespace tq {
namespace {

constexpr uint32_t kBoxHeader = 8;
constexpr uint32_t kTableHead = 8;  // version/flags, entry count
constexpr uint32_t kStszHead = 12;  // version/flags, sample size, sample count

class TableCheck {
 public:
  TableCheck(MediaFile& f, uint64_t fileLength, std::string* why)
      : f_(f), length_(fileLength), why_(why) {}

  bool Track(const TRAKBOX& t);

 private:
  bool Bad(const std::string& text) {
    *why_ = name_ + " track: " + text;
    return false;
  }
  // The stored header fields of a table box (the parser clamps counts; this does not).
  bool Head(const BOXREF& box, const char* name, uint32_t headBytes, uint8_t* head);
  // The entries of a table, refused when the stored count does not fit the box.
  bool Entries(const BOXREF& box, const char* name, uint32_t headBytes, uint32_t count,
               uint32_t entrySize, std::vector<uint8_t>* out);

  MediaFile& f_;
  uint64_t length_;
  std::string* why_;
  std::string name_;
};

bool TableCheck::Head(const BOXREF& box, const char* name, uint32_t headBytes, uint8_t* head) {
  if (box.size < kBoxHeader + headBytes || uint64_t(box.offset) - kBoxHeader + box.size > length_)
    return Bad(std::string(name) + " box is cut short or runs past the end of the file");
  if (!f_.ReadAt(box.offset, head, headBytes)) return Bad(std::string(name) + " cannot be read");
  return true;
}

bool TableCheck::Entries(const BOXREF& box, const char* name, uint32_t headBytes,
                         uint32_t count, uint32_t entrySize, std::vector<uint8_t>* out) {
  const uint64_t room = (box.size - kBoxHeader - headBytes) / entrySize;
  if (count > room)
    return Bad(std::string(name) + " claims " + std::to_string(count) + " entries, its box holds " +
               std::to_string(room));
  out->resize(size_t(count) * entrySize);
  if (count && !f_.ReadAt(uint64_t(box.offset) + headBytes, out->data(), out->size()))
    return Bad(std::string(name) + " cannot be read");
  return true;
}

bool TableCheck::Track(const TRAKBOX& t) {
  const STBLBOX& s = t.mdia.minf.stbl;
  name_ = FourCCText(t.mdia.hdlr.handlerType);
  uint8_t head[kStszHead];

  if (!Head(s.stsd, "stsd", kTableHead, head)) return false;
  const uint32_t descriptions = GetU32(head + 4);
  if (descriptions == 0 || descriptions != s.stsd.entries.size())
    return Bad("stsd claims " + std::to_string(descriptions) + " sample descriptions, " +
               std::to_string(s.stsd.entries.size()) + " are there");

  if (!Head(s.stsz, "stsz", kStszHead, head)) return false;
  const uint32_t fixedSize = GetU32(head + 4);
  const uint32_t samples = GetU32(head + 8);
  std::vector<uint8_t> sizes, stts, stsc, stco, stss;
  if (fixedSize == 0 && !Entries(s.stsz, "stsz", kStszHead, samples, 4, &sizes)) return false;

  if (!Head(s.stts, "stts", kTableHead, head) ||
      !Entries(s.stts, "stts", kTableHead, GetU32(head + 4), 8, &stts))
    return false;
  uint64_t timed = 0;
  for (size_t i = 0; i < stts.size(); i += 8) timed += GetU32(&stts[i]);
  if (timed != samples)
    return Bad("stts times " + std::to_string(timed) + " samples, stsz holds " +
               std::to_string(samples));

  if (!Head(s.stsc, "stsc", kTableHead, head) ||
      !Entries(s.stsc, "stsc", kTableHead, GetU32(head + 4), 12, &stsc) ||
      !Head(s.stco, "stco", kTableHead, head) ||
      !Entries(s.stco, "stco", kTableHead, GetU32(head + 4), 4, &stco))
    return false;
  if (samples > 0 && (stsc.empty() || stco.empty())) return Bad("samples without chunks");
  for (size_t i = 0; i < stsc.size(); i += 12) {
    const uint32_t first = GetU32(&stsc[i]), perChunk = GetU32(&stsc[i + 4]),
                   description = GetU32(&stsc[i + 8]);
    const uint32_t previous = i == 0 ? 0 : GetU32(&stsc[i - 12]);
    if ((i == 0 && first != 1) || (i > 0 && first <= previous) || perChunk == 0 ||
        description == 0 || description > descriptions)
      return Bad("stsc entry " + std::to_string(i / 12 + 1) + " is out of order or out of range");
  }

  // Every chunk's samples lie inside the file, and the chunks hold exactly the samples.
  const uint32_t chunks = uint32_t(stco.size() / 4);
  uint64_t sample = 0;
  size_t run = 0;
  for (uint32_t chunk = 1; chunk <= chunks && sample < samples; ++chunk) {
    while (run + 12 < stsc.size() && GetU32(&stsc[run + 12]) <= chunk) run += 12;
    const uint64_t perChunk = GetU32(&stsc[run + 4]);
    const uint64_t offset = GetU32(&stco[size_t(chunk - 1) * 4]);
    if (sample + perChunk > samples) return Bad("the chunks hold more samples than stsz");
    uint64_t bytes = 0;
    if (fixedSize) {
      bytes = perChunk * fixedSize;
    } else {
      for (uint64_t k = 0; k < perChunk; ++k) bytes += GetU32(&sizes[size_t(sample + k) * 4]);
    }
    if (offset + bytes > length_)
      return Bad("chunk " + std::to_string(chunk) + " runs past the end of the file");
    sample += perChunk;
  }
  if (sample != samples)
    return Bad("the chunks hold " + std::to_string(sample) + " samples, stsz " +
               std::to_string(samples));

  if (s.stss.found()) {
    if (!Head(s.stss, "stss", kTableHead, head) ||
        !Entries(s.stss, "stss", kTableHead, GetU32(head + 4), 4, &stss))
      return false;
    for (size_t i = 0; i < stss.size(); i += 4) {
      const uint32_t key = GetU32(&stss[i]);
      if (key == 0 || key > samples || (i > 0 && key <= GetU32(&stss[i - 4])))
        return Bad("stss names sample " + std::to_string(key) + " out of order or range");
    }
  }
  return true;
}

bool HasTables(const TRAKBOX& t) {
  const STBLBOX& s = t.mdia.minf.stbl;
  return s.stsd.found() && s.stts.found() && s.stsz.found() && s.stco.found() && s.stsc.found();
}

}  // namespace

bool SampleTablesAgree(MediaFile& f, uint64_t fileLength, const MOOVBOX& moov, std::string* why) {
  std::string dummy;
  TableCheck check(f, fileLength, why ? why : &dummy);
  for (const auto& t : moov.trak) {
    if (!t) continue;
    const uint32_t handler = t->mdia.hdlr.handlerType;
    // A picture or sound track whose tables could not all be read is as broken as one
    // whose tables disagree.
    if (!HasTables(*t)) {
      if (handler != FourCC("vide") && handler != FourCC("soun")) continue;
      *(why ? why : &dummy) = FourCCText(handler) + " track: sample tables missing or unreadable";
      return false;
    }
    if (!check.Track(*t)) return false;
  }
  return true;
}

}  // namespace tq
