// Camera cards laid out in temp folders, for the card scan and identity tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/TempDir.h"

namespace tqtest {

// A first-family card: TQ-MB20/Record and, when versionBin is not null, Config/version.bin.
inline std::string MakeFolderCard(const std::string& root, const char* versionBin) {
  std::filesystem::create_directories(root + "/TQ-MB20/Record");
  if (versionBin) WriteBytes(root + "/TQ-MB20/Config/version.bin", versionBin);
  return root;
}
inline std::string MakeFolderCard(const std::string& root, const std::string& versionBin) {
  return MakeFolderCard(root, versionBin.c_str());
}

inline std::string VersionBin(const std::string& model, const std::string& version = "1.005",
                              const std::string& language = "English") {
  return "[firmware]\r\nversion = " + version + "\r\nmodel = " + model + "\r\nlanguage = " + language +
         "\r\nopt = sg\r\n[config]\r\nversion = 1.002\r\n[local]\r\noption = K1\r\nregion = 2\r\n";
}

// setup.cfg of a second-family card: model bytes (copied as given, up to 32), three
// version numbers and a language index; `size` bytes of the 64-byte record are written.
inline std::string SetupCfg(const std::string& modelBytes, int32_t v1, int32_t v2, int32_t v3, int32_t lang,
                            size_t size = 64) {
  std::string rec(64, '\0');
  std::memcpy(rec.data(), modelBytes.data(), std::min<size_t>(modelBytes.size(), 32));
  auto put = [&rec](size_t off, int32_t v) {
    for (int i = 0; i < 4; ++i) rec[off + i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
  };
  put(32, v1);
  put(36, v2);
  put(40, v3);
  put(44, lang);
  return rec.substr(0, size);
}

inline std::string MakeSetupCfgCard(const std::string& root, const std::string& cfg) {
  std::filesystem::create_directories(root);
  WriteBytes(root + "/setup.cfg", cfg);
  return root;
}

}  // namespace tqtest
