#include "container/Mp4Box.h"

namespace tq {

void FreeTRAKBOX(std::unique_ptr<TRAKBOX>& trak) { trak.reset(); }

void FreeMP4INFO(MP4INFO& info) {
  for (auto& t : info.moov.trak) FreeTRAKBOX(t);
  info.ptrc.vi.config.clear();
  info.ptrc.so.config.clear();
  info.ptrh.vi.config.clear();
  info.ptrh.so.config.clear();
}

}  // namespace tq
