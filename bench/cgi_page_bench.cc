// One overseer run in process, as the web server starts it for a request: the settings key,
// the database lock, loading the account database, the page and (for a storing page) the save,
// at 100,000 and 1,000,000 users. The page's output goes to a buffer.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "admin/handle_request.h"
#include "bench/sample_database.h"
#include "platform/environment.h"
#include "websupport/form_fields.h"
#include "websupport/response_writer.h"
#include "settings/settings_key.h"

namespace gatekeeper::bench {
namespace {

namespace fs = std::filesystem;

// A sample database of its own for each size (storing pages change it) named by a settings key
// of the benchmark's own.
std::string prepareDatabase(int users) {
  const fs::path dir = fs::temp_directory_path() / "gatekeeper-cgi-bench";
  fs::create_directories(dir);
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", (dir / "registry").string().c_str());
  platform::setEnvironmentVariable("SCRIPT_NAME", "/cgi/overseer");
  const std::string path = (dir / ("accounts-" + std::to_string(users) + ".cfg")).string();
  writeSampleDatabase(path, users, "");
  SettingsKey key;
  if (!key.openForWriting() || !key.writeString(kConfigurationFileValue, path)) return "";
  return path;
}

// The whole run of one request; false when the page is not what was asked for.
bool runOverseer(const char* action, const FormFields& form, const char* expected) {
  FormFields query;
  query.insert("Action", action);
  ResponseCapture page;
  handleRequest(form, query, FormFields());
  return page.text().find(expected) != std::string::npos;
}

// The page that shows overseer's frame (no action: the database location form inside it).
void BM_OverseerFramePage(benchmark::State& state) {
  if (prepareDatabase(static_cast<int>(state.range(0))).empty()) {
    state.SkipWithError("no settings key");
    return;
  }
  for (auto _ : state) {
    if (!runOverseer("", FormFields(), "Configuration file")) state.SkipWithError("no frame");
  }
}
BENCHMARK(BM_OverseerFramePage)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A storing page: one user's password and mapping changed, and the database saved.
void BM_OverseerStoringPage(benchmark::State& state) {
  const int users = static_cast<int>(state.range(0));
  if (prepareDatabase(users).empty()) {
    state.SkipWithError("no settings key");
    return;
  }
  int round = 0;
  for (auto _ : state) {
    FormFields form;
    form.insert("Authority", "Staff");
    form.insert("User", userName((round * 7919) % users).c_str());
    form.insert("Pass", ("changed" + std::to_string(round++)).c_str());
    form.insert("MapTo", "ON");
    form.insert("NTAcc", "webuser");
    form.insert("B1", "Submit");
    if (!runOverseer("ChangeUserDo", form, "changed")) state.SkipWithError("not stored");
  }
}
BENCHMARK(BM_OverseerStoringPage)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gatekeeper::bench

BENCHMARK_MAIN();
