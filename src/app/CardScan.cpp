#include "app/CardScan.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Files.h"

namespace tq {
namespace {

constexpr char kSetupCfgName[] = "setup.cfg";
constexpr size_t kSetupCfgScanBytes = 32;
constexpr const char* kSetupCfgModels[] = {"TQ4400K", "TQ310"};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool HasSetupCfgModel(const std::string& root) {
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(JoinPath(root, kSetupCfgName).c_str(), "rb"));
  if (!f) return false;
  char head[kSetupCfgScanBytes] = {};
  size_t got = std::fread(head, 1, sizeof head, f.get());
  for (const char* model : kSetupCfgModels) {
    size_t len = std::strlen(model);
    if (got >= len && std::memcmp(head, model, len) == 0) return true;
  }
  return false;
}

}  // namespace

int CardFamilyOf(const std::string& root) {
  if (root.empty()) return kFamilyNone;
  if (IsDirectory(JoinPath(root, kCardFolderPrefix))) return kFamilyFolder;
  if (HasSetupCfgModel(root)) return kFamilySetupCfg;
  return kFamilyNone;
}

bool ScanCards(const DriveProvider& drives, std::vector<CardDrive>* cards, int* family) {
  cards->clear();
  for (const DriveInfo& d : drives.RemovableDrives()) {
    int f = CardFamilyOf(d.root);
    if (f == kFamilyNone) continue;
    cards->push_back({d.root, d.label, f});
    if (*family == kFamilyNone) *family = f;
  }
  return !cards->empty();
}

std::string CardRecordFolder(const std::string& root) {
  return JoinPath(JoinPath(root, kCardFolderPrefix), "Record");
}

std::string CardConfigFile(const std::string& root, const char* name) {
  return JoinPath(JoinPath(JoinPath(root, kCardFolderPrefix), "Config"), name);
}

std::string CardBrowseFolder(const std::string& root, int family) {
  return family == kFamilyFolder ? CardRecordFolder(root) : root;
}

bool IsOnCard(const std::string& path, const std::vector<CardDrive>& cards) {
  for (const CardDrive& c : cards) {
    if (c.root.empty()) continue;
    if (path == c.root) return true;
    std::string prefix = c.root.back() == '/' ? c.root : c.root + "/";
    if (path.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

const CardDrive* FindCard(const std::vector<CardDrive>& cards, const std::string& root) {
  for (const CardDrive& c : cards) {
    if (c.root == root) return &c;
  }
  return nullptr;
}

}  // namespace tq
