// The generator's ready-made sets: the demo card that ./run.sh shows, and the small test
// fixtures built once per build.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tq {

// Seconds since 1970 of a local clock time, read by UTC rules (the camera's convention).
int64_t ClockSeconds(int year, int month, int day, int hour, int minute, int second);

// A whole card under `dir`: TQ-MB20/Record with recordings over two days, and
// TQ-MB20/Config/version.bin and config.ini. The same seed gives the same bytes.
bool MakeDemoCard(const std::string& dir, uint32_t seed, bool verbose, std::string* error);

// The test fixtures (listed in tests/fixtures.cmake) under `dir`.
bool MakeFixtures(const std::string& dir, bool verbose, std::string* error);

// The camera's identity file and configuration file as a new card carries them.
std::string VersionBinText();
std::string ConfigIniText();

}  // namespace tq
