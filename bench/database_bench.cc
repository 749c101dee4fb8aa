// Loading and saving the account database at 10,000 to 1,000,000 users.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/sample_database.h"
#include "configstore/config_file.h"

namespace gatekeeper::bench {
namespace {

// The sample database of that size, written once; lineFeeds: its lines end in LF alone.
std::string samplePath(int users, bool lineFeeds = false) {
  const std::string path =
      (std::filesystem::temp_directory_path() /
       ("gatekeeper-bench-" + std::to_string(users) + (lineFeeds ? "-lf" : "") + ".cfg"))
          .string();
  if (!std::filesystem::exists(path)) {
    writeSampleDatabase(path, users, "", lineFeeds ? "\n" : "\r\n");
  }
  return path;
}

void BM_Load(benchmark::State& state) {
  const std::string path = samplePath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ConfigFile database(path.c_str(), 1);
    if (!database.load()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(database.count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  const std::string path = samplePath(static_cast<int>(state.range(0)));
  ConfigFile database(path.c_str(), 1);
  database.load();
  const std::string copy = path + ".saved";
  // The first save also parses the sections that loading kept as text (a storing page pays
  // that: cgi_page_bench); timed are saves of the whole tree as it is then.
  if (!database.saveAs(copy.c_str())) state.SkipWithError("save failed");
  for (auto _ : state) {
    if (!database.saveAs(copy.c_str())) state.SkipWithError("save failed");
  }
  std::remove(copy.c_str());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Save)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Finding one user among all, as the filter does on every request.
void BM_FindUser(benchmark::State& state) {
  const int users = static_cast<int>(state.range(0));
  const std::string path = samplePath(users);
  ConfigFile database(path.c_str(), 1);
  database.load();
  const ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
  long long i = 0;
  for (auto _ : state) {
    const std::string name = userName(static_cast<int>((i++ * 7919LL) % users));
    benchmark::DoNotOptimize(staff->sectionByName(name.c_str()));
  }
}
BENCHMARK(BM_FindUser)->Arg(10000)->Arg(1000000);

// Resident memory of this process in bytes (Linux), 0 where it cannot be read.
double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0, resident = 0;
  if (!(statm >> pages >> resident)) return 0;
  return resident * 4096;
}

// rss_per_file_byte_complete: the database loaded as the filter loads it (loadComplete), with
// every user indexed, per byte of its file.
void countCompleteLoad(benchmark::State& state, const std::string& path, double fileBytes) {
  const double before = residentBytes();
  ConfigFile database(path.c_str(), 0);
  if (!database.loadComplete()) state.SkipWithError("load failed");
  const ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
  benchmark::DoNotOptimize(staff->sectionByName(userName(0).c_str()));
  state.counters["rss_per_file_byte_complete"] = (residentBytes() - before) / fileBytes;
}

// What a loaded database costs in memory, per byte of its file, and whether memory comes back
// when it is freed: rss_per_file_byte_complete as the filter loads it (loadComplete, every user
// indexed), then for load(): rss_per_file_byte_as_loaded right after loading,
// rss_per_file_byte once every user is known by name, rss_growth_after_cycles the resident
// memory after three more load and free cycles over the memory after the first (1.0: flat).
void BM_LoadedMemory(benchmark::State& state) {
  const std::string path = samplePath(static_cast<int>(state.range(0)));
  const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
  for (auto _ : state) {
    countCompleteLoad(state, path, fileBytes);
    const double before = residentBytes();
    double firstLoad = 0;
    {
      ConfigFile database(path.c_str(), 1);
      if (!database.load()) state.SkipWithError("load failed");
      state.counters["rss_per_file_byte_as_loaded"] = (residentBytes() - before) / fileBytes;
      // Every user known by name, as after the filter's first lookup.
      const ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
      benchmark::DoNotOptimize(staff->sectionByName(userName(0).c_str()));
      firstLoad = residentBytes();
    }
    double afterCycles = 0;
    for (int cycle = 0; cycle < 3; ++cycle) {
      ConfigFile database(path.c_str(), 1);
      database.load();
      const ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
      benchmark::DoNotOptimize(staff->sectionByName(userName(0).c_str()));
      afterCycles = residentBytes();
    }
    state.counters["file_bytes"] = fileBytes;
    state.counters["rss_per_file_byte"] = (firstLoad - before) / fileBytes;
    state.counters["rss_growth_after_cycles"] = afterCycles / firstLoad;
  }
}
BENCHMARK(BM_LoadedMemory)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same database with lines that end in LF alone (edited by hand or by other tools), as the
// filter loads it.
void BM_CompleteLoadMemoryLineFeeds(benchmark::State& state) {
  const std::string path = samplePath(static_cast<int>(state.range(0)), true);
  const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
  for (auto _ : state) countCompleteLoad(state, path, fileBytes);
}
BENCHMARK(BM_CompleteLoadMemoryLineFeeds)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gatekeeper::bench

BENCHMARK_MAIN();
