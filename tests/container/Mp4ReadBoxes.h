// Hand-built box files for the reader and repair tests: a tiny box builder, a camera
// file composer (metadata, frame records, optional moov) and temp-folder helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq::readtest {

using Bytes = std::vector<uint8_t>;

// One box: payload bytes, then children. `size` overrides the computed size field.
struct Box {
  uint32_t type;
  Bytes payload;
  std::vector<Box> children;
  int64_t size = -1;

  explicit Box(const char (&t)[5]) : type(FourCC(t)) {}
  Box& U8(uint8_t v) { payload.push_back(v); return *this; }
  Box& U16(uint16_t v) { uint8_t b[2]; PutU16(b, v); return Raw(b, 2); }
  Box& U32(uint32_t v) { uint8_t b[4]; PutU32(b, v); return Raw(b, 4); }
  Box& U64(uint64_t v) { uint8_t b[8]; PutU64(b, v); return Raw(b, 8); }
  Box& Code(const char (&t)[5]) { return U32(FourCC(t)); }
  Box& Zeros(size_t n) { payload.insert(payload.end(), n, 0); return *this; }
  Box& Raw(const uint8_t* p, size_t n) { payload.insert(payload.end(), p, p + n); return *this; }
  Box& Raw(const Bytes& b) { return Raw(b.data(), b.size()); }
  Box& Text(const std::string& s) { return Raw(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  Box& Full(uint8_t version = 0, uint32_t flags = 0) { U8(version); U8(uint8_t(flags >> 16)); U8(uint8_t(flags >> 8)); return U8(uint8_t(flags)); }
  Box& Add(Box child) { children.push_back(std::move(child)); return *this; }
  Box& Size(int64_t s) { size = s; return *this; }

  Bytes Serialize() const {
    Bytes body = payload;
    for (const Box& c : children) {
      Bytes cb = c.Serialize();
      body.insert(body.end(), cb.begin(), cb.end());
    }
    Bytes out(8);
    PutU32(out.data(), size >= 0 ? uint32_t(size) : uint32_t(body.size() + 8));
    PutU32(out.data() + 4, type);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }
};

inline void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }
inline void Append(Bytes& to, const Box& b) { Append(to, b.Serialize()); }

// A temporary folder removed with the test.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tq-mp4read-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream o(path, std::ios::binary | std::ios::trunc);
  o.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream i(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(i), std::istreambuf_iterator<char>());
}

// ---- standard boxes ----------------------------------------------------------------

inline Box Ftyp() { return Box("ftyp").Code("mp42").U32(1).Code("mp42").Code("mp42"); }

inline Box Mvhd(uint32_t timescale, uint32_t duration, uint8_t version = 0) {
  Box b("mvhd");
  b.Full(version);
  if (version == 1) b.U64(1).U64(2).U32(timescale).U64(duration);
  else b.U32(1).U32(2).U32(timescale).U32(duration);
  return b.U32(0x00010000).U16(0x0100).Zeros(10).Zeros(36).Zeros(24).U32(3);
}

inline Box Tkhd(uint32_t id, uint16_t width, uint16_t height, uint8_t version = 0) {
  Box b("tkhd");
  b.Full(version, 1);
  if (version == 1) b.U64(1).U64(2).U32(id).U32(0).U64(99);
  else b.U32(1).U32(2).U32(id).U32(0).U32(99);
  return b.Zeros(8).Zeros(8).Zeros(36).U32(uint32_t(width) << 16).U32(uint32_t(height) << 16);
}

inline Box Mdhd(uint32_t timescale, uint32_t duration) {
  return Box("mdhd").Full().U32(1).U32(2).U32(timescale).U32(duration).U16(0x15C7).U16(0);
}

inline Box Hdlr(const char (&handler)[5]) {
  return Box("hdlr").Full().U32(0).Code(handler).Zeros(12).Text("x").U8(0);
}

inline Box Avc1(uint16_t width, uint16_t height, const Bytes& avcC) {
  Box e("avc1");
  e.Zeros(6).U16(1).Zeros(16).U16(width).U16(height).U32(0x00480000).U32(0x00480000).U32(0)
      .U16(1).Zeros(32).U16(0x18).U16(0xFFFF);
  return e.Add(Box("avcC").Raw(avcC));
}

inline Box Mp4a(uint16_t channels, uint16_t rate) {
  Box e("mp4a");
  e.Zeros(6).U16(1).Zeros(8).U16(channels).U16(16).U16(0).U16(0).U32(uint32_t(rate) << 16);
  Box esds("esds");
  esds.Full().U8(3).U8(0x19).U16(0).U8(0).U8(4).U8(0x11).U8(0x40).U8(0x15).Zeros(3).U32(0).U32(0)
      .U8(5).U8(2).U8(0x11).U8(0x90).U8(6).U8(1).U8(2);
  return e.Add(esds);
}

inline Box Table(const char (&type)[5], const std::vector<std::vector<uint32_t>>& entries) {
  Box b(type);
  b.Full().U32(uint32_t(entries.size()));
  for (const auto& e : entries)
    for (uint32_t v : e) b.U32(v);
  return b;
}

inline Box Stsz(uint32_t constant, const std::vector<uint32_t>& sizes) {
  Box b("stsz");
  b.Full().U32(constant).U32(uint32_t(sizes.size()));
  if (constant == 0)
    for (uint32_t s : sizes) b.U32(s);
  return b;
}

struct TrackTables {
  std::vector<std::vector<uint32_t>> stts, stsc, stco, stss;
  uint32_t stszConstant = 0;
  std::vector<uint32_t> sizes;
};

inline Box Stbl(Box sampleEntry, const TrackTables& t) {
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(1).Add(std::move(sampleEntry)));
  stbl.Add(Table("stts", t.stts)).Add(Stsz(t.stszConstant, t.sizes)).Add(Table("stsc", t.stsc));
  stbl.Add(Table("stco", t.stco));
  if (!t.stss.empty()) stbl.Add(Table("stss", t.stss));
  return stbl;
}

inline Box Trak(uint32_t id, const char (&handler)[5], Box stbl, uint32_t timescale = 1000,
                uint16_t width = 0, uint16_t height = 0) {
  Box minf("minf");
  minf.Add(Box(handler[0] == 'v' ? "vmhd" : "smhd").Full(0, 1).Zeros(8)).Add(Box("dinf")).Add(std::move(stbl));
  Box mdia("mdia");
  mdia.Add(Mdhd(timescale, 0)).Add(Hdlr(handler)).Add(std::move(minf));
  return Box("trak").Add(Tkhd(id, width, height)).Add(std::move(mdia));
}

// ---- camera files --------------------------------------------------------------------

struct Frame {
  uint16_t stream = 1;
  uint16_t key = 0;
  uint32_t time = 0;
  uint32_t size = 0;   // sample bytes (filled with a pattern)
  uint32_t extra = 0;
};

struct CameraSpec {
  const char* videoCodec = "avc1";
  int parameterSets = 2;
  const char* soundCodec = "mp4a";  // null: no ptso
  uint8_t ptnmKind = 3;
  bool ptnm = true;
  bool sttm = true;
  bool gps2Box = false;
  uint32_t reservedRoom = 0;  // >0: a moov{junk} of this size before the mdat
  uint32_t mdatSize = 0;      // as the camera left it (0: unfinished)
  std::vector<Frame> frames;
};

struct Placed {
  Frame frame;
  uint32_t recordStart = 0;
  uint32_t dataOffset = 0;
  uint32_t end = 0;  // first byte after the sample
};

inline Box Ptvi(const CameraSpec& s) {
  Box b("ptvi");
  b.U16(1).Text(s.videoCodec).U16(1920).U16(1080).U16(uint16_t(s.parameterSets));
  for (int i = 0; i < s.parameterSets; ++i) {
    Bytes ps = i == 0 ? Bytes{0x67, 0x42, 0x80, 0x1e, 0xda} : Bytes{0x68, 0xce, 0x3c, 0x80};
    b.U16(uint16_t(ps.size())).Raw(ps);
  }
  return b;
}

inline Box Ptso(const CameraSpec& s) {
  return Box("ptso").U16(2).Text(s.soundCodec).U16(1).U16(16).U32(48000).U16(0);
}

inline Box MetaFree(const CameraSpec& s) {
  Box free("free");
  free.Add(Box("cprt").Text(" Test notice").U8(0));
  if (s.sttm) free.Add(Box("sttm").U64(1700000000000ull));
  if (s.ptnm) free.Add(Box("ptnm").U8(s.ptnmKind).Zeros(3).Text("TQ-MB20").U8(0));
  Box ptrh("ptrh");
  ptrh.Add(Ptvi(s));
  if (s.soundCodec) ptrh.Add(Ptso(s));
  free.Add(std::move(ptrh));
  if (s.gps2Box) free.Add(Box("gps2").Zeros(32));
  return free;
}

inline uint8_t PatternByte(uint32_t offset) { return uint8_t(offset * 131u + 7u); }

// Composes ftyp, the metadata free box, [moov{junk}], mdat with the frame records.
inline Bytes BuildCameraFile(const CameraSpec& s, std::vector<Placed>* placed = nullptr) {
  Bytes out;
  Append(out, Ftyp());
  Append(out, MetaFree(s));
  if (s.reservedRoom) {
    Box moov("moov");
    moov.Size(s.reservedRoom);
    Box junk("junk");
    junk.Size(s.reservedRoom - 8);
    Bytes m = moov.Serialize();
    Bytes j = junk.Serialize();
    Append(out, m);
    Append(out, j);
    out.resize(out.size() + s.reservedRoom - 16, 0);
  }
  Bytes mdat = Box("mdat").Size(s.mdatSize).Serialize();
  Append(out, mdat);
  for (const Frame& f : s.frames) {
    Placed p{f, uint32_t(out.size()), 0, 0};
    uint8_t r[16];
    PutU16(r, f.stream);
    PutU16(r + 2, f.key);
    PutU32(r + 4, f.time);
    PutU32(r + 8, f.size);
    PutU32(r + 12, f.extra);
    out.insert(out.end(), r, r + 16);
    out.resize(out.size() + f.extra, 0xEE);
    p.dataOffset = uint32_t(out.size());
    for (uint32_t i = 0; i < f.size; ++i) out.push_back(PatternByte(p.dataOffset + i));
    p.end = uint32_t(out.size());
    if (placed) placed->push_back(p);
  }
  return out;
}

// Video at 30 fps (key every 10th), sound every 64 ms, interleaved by time.
inline std::vector<Frame> Interleaved(int videoFrames, bool sound, uint32_t firstTime = 1000) {
  std::vector<Frame> frames;
  uint32_t nextSound = firstTime;
  for (int i = 0; i < videoFrames; ++i) {
    uint32_t t = firstTime + uint32_t(i) * 33;
    while (sound && nextSound <= t) {
      frames.push_back({2, 0, nextSound, 40 + (nextSound % 7), 0});
      nextSound += 64;
    }
    frames.push_back({1, uint16_t(i % 10 == 0), t, 300 + uint32_t(i % 13) * 17, uint32_t(i % 3 == 2 ? 4 : 0)});
  }
  return frames;
}

}  // namespace tq::readtest
