// Feeds arbitrary bytes to every telemetry parser: NMEA text, gps2 records, the AVI
// sentence batch, 3GF blocks (through the slot reduction), and a look-up afterwards.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "telemetry/GSensorGraph.h"
#include "telemetry/GpsPanelText.h"
#include "telemetry/GpsTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exact-size copies, so that any read past the input is caught.
  std::vector<uint8_t> bytes(data, data + size);
  tq::GpsTrack track;
  track.startOfDay = size > 0 ? data[0] * 1000 : 0;
  tq::ParseNmeaText(track, bytes.data(), int32_t(bytes.size()));
  tq::ParseBinaryGps(track, bytes.data(), int32_t(bytes.size()), size > 1 ? data[1] : 0);
  tq::ParseSentenceBatch(track, bytes.data(), uint32_t(bytes.size()));
  tq::MapReport report;
  for (int64_t ms : {0, 1000, 60000, 86400000})
    if (const tq::GpsSample* s = tq::FindSample(track, ms, &report)) {
      tq::GpsPanelText text;
      tq::UpdateGps(text, s, 3, tq::kSpeedKmh);
    }

  tq::GSensorGraph graph;
  graph.Create();
  graph.Resize(600, 101);
  graph.Set3GF(bytes.data(), int64_t(bytes.size()), size > 2 ? data[2] : 60,
               tq::SecondsPerSlot(size > 2 ? data[2] : 60));
  graph.SetPos(size > 3 ? data[3] * 1000 : 0);
  return 0;
}
