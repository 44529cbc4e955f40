// The generator's ready-made sets of the second camera family: its demo card and the AVI
// test fixtures.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// A second-family card under `dir`: "setup.cfg" and AVI recordings at the root.
bool MakeDemoCardAvi(const std::string& dir, uint32_t seed, bool verbose, std::string* error);

// The AVI fixtures (listed in tests/fixtures.cmake) under `dir`.
bool MakeAviFixtures(const std::string& dir, bool verbose, std::string* error);

}  // namespace tq
