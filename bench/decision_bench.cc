// Authentication decisions per second against a database of a million users, from one and
// from several threads, through the filter object as the web server calls it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "bench/sample_database.h"
#include "configstore/config_file.h"
#include "filter/authenticate_request.h"
#include "filter/test_server.h"

namespace gatekeeper::bench {
namespace {

constexpr int kUsers = 1000000;

const ConfigFile& sharedDatabase() {
  static std::unique_ptr<ConfigFile> database = [] {
    const std::string path =
        (std::filesystem::temp_directory_path() / "gatekeeper-bench-decision.cfg").string();
    // No event log: the benchmark measures the decision, not the disk.
    writeSampleDatabase(path, kUsers, "");
    auto loaded = std::make_unique<ConfigFile>(path.c_str(), 0);
    loaded->load();
    return loaded;
  }();
  return *database;
}

void BM_Decision(benchmark::State& state) {
  const ConfigFile& database = sharedDatabase();
  const FilterProc decide = [&database](HTTP_FILTER_CONTEXT* pfc, DWORD, void* data) {
    return authenticateRequest(pfc, static_cast<HTTP_FILTER_AUTHENT*>(data), database,
                               133000000000000000LL);
  };
  TestRequest request;
  long long i = state.thread_index() * 104729LL;
  for (auto _ : state) {
    const int user = static_cast<int>((i++ * 7919LL) % kUsers);
    request.user = userName(user);
    request.password = "pw" + std::to_string(user);
    const TestOutcome outcome = sendAuthentication(decide, request);
    if (outcome.status != SF_STATUS_REQ_HANDLED_NOTIFICATION) state.SkipWithError("refused");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Decision)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
}  // namespace gatekeeper::bench

BENCHMARK_MAIN();
