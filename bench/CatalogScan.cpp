// Scan of a card folder with 10,000 recordings (5,000 front/rear pairs over 30 days),
// created once as empty files in shuffled order. Before timing, the catalog order is
// checked against the insertion rule applied by a plain walk from the head.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "library/CFileList.h"
#include "platform/FolderList.h"

namespace {

constexpr int kPairs = 5000;
constexpr int kDays = 30;

std::vector<std::string> RecordingNames() {
  const char kTypes[] = {'N', 'N', 'N', 'E', 'P', 'M'};
  std::vector<std::string> names;
  for (int i = 0; i < kPairs; ++i) {
    int day = i % kDays + 1;
    int minuteOfDay = 6 * 60 + i / kDays;
    char base[32];
    std::snprintf(base, sizeof base, "202406%02d_%02d%02d%02d_%c", day, minuteOfDay / 60,
                  minuteOfDay % 60, (i * 7) % 60, kTypes[i % 6]);
    names.push_back(std::string(base) + "F.mp4");
    names.push_back(std::string(base) + "R.mp4");
  }
  return names;
}

// The folder lives for the whole run and is removed at exit.
struct CardFolder {
  std::string path;
  CardFolder() {
    path = (std::filesystem::temp_directory_path() / ("tq_bench_catalog_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(path);
    std::vector<std::string> names = RecordingNames();
    std::mt19937 rng(20240601);
    std::shuffle(names.begin(), names.end(), rng);
    for (const std::string& n : names) std::ofstream(path + "/" + n);
  }
  ~CardFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const CardFolder& Card() {
  static CardFolder card;
  return card;
}

// The rule as a walk from the head over the names in directory order.
std::vector<std::string> ReferenceOrder(const std::string& folder) {
  struct Item { int32_t date, time; std::string name; };
  std::list<Item> ref;
  tq::ListFolder(folder, [&](std::string_view n, bool isFolder) {
    if (isFolder || n.size() < 5) return;
    std::string base(n.substr(0, n.size() - 4));
    tq::ParsedName p;
    if (!tq::ParseRecordingName(base, tq::kKindMp4, &p)) return;
    auto it = ref.begin();
    for (; it != ref.end(); ++it) {
      if (it->date < p.date || (it->date == p.date && it->time < p.time)) break;
      if (it->date == p.date && it->time == p.time) {
        if (it->name.size() > base.size()) break;
        size_t cp = tq::CameraLetterPos(base);
        if (it->name.size() == base.size() && base[cp] == 'F' && it->name[cp] == 'R') break;
      }
    }
    ref.insert(it, Item{p.date, p.time, base});
  });
  std::vector<std::string> out;
  for (const Item& i : ref) out.push_back(i.name);
  return out;
}

bool OrderMatchesRule(const tq::CFileList& list, const std::string& folder) {
  std::vector<std::string> got;
  for (const tq::CatalogEntry& e : list.Entries()) got.push_back(e.name);
  return got == ReferenceOrder(folder);
}

void BM_CatalogScan(benchmark::State& state) {
  const CardFolder& card = Card();
  tq::CFileList list;
  tq::ScanResult first = list.Scan(card.path);
  if (first.count != 2 * kPairs || !OrderMatchesRule(list, card.path)) {
    state.SkipWithError("catalog order differs from the insertion rule");
    return;
  }
  for (auto _ : state) {
    tq::ScanResult r = list.Scan(card.path);
    benchmark::DoNotOptimize(r.count);
  }
  state.counters["recordings"] = double(first.count);
  state.counters["days"] = double(first.days.size());
}
BENCHMARK(BM_CatalogScan)->Unit(benchmark::kMillisecond);

// Insertion alone, names in the shuffled order, without the directory listing.
void BM_CatalogAdd(benchmark::State& state) {
  std::vector<std::string> names = RecordingNames();
  std::mt19937 rng(20240601);
  std::shuffle(names.begin(), names.end(), rng);
  for (std::string& n : names) n.resize(n.size() - 4);
  for (auto _ : state) {
    tq::CFileList list;
    for (const std::string& n : names) list.Add(n, tq::kKindMp4);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_CatalogAdd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
