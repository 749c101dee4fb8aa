// Loading and saving the account database at 10,000 to 1,000,000 users.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "bench/sample_database.h"
#include "configstore/config_file.h"

namespace gatekeeper::bench {
namespace {

std::string samplePath(int users) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("gatekeeper-bench-" + std::to_string(users) + ".cfg"))
                               .string();
  if (!std::filesystem::exists(path)) writeSampleDatabase(path, users, "");
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

}  // namespace
}  // namespace gatekeeper::bench

BENCHMARK_MAIN();
