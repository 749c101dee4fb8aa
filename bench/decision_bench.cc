// Authentication decisions against a database of a million users, through the filter object as
// the web server calls it (version check of the database file, decision, event log line), from
// one and from two threads, beside the system calls a decision makes (the look at the database
// file and the appended event line) made alone; and a reload of that database while decisions
// go on. Beside them,
// decisions on a small database whose passwords are hashed in the system's default scheme,
// every logon verified once before (the cache of verified logons warm), next to the same
// database with the passwords in plain; and one verification of such a hash (a cold logon).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/sample_database.h"
#include "filter/auth_filter.h"
#include "passhash/password_hash.h"
#include "platform/files.h"
#include "settings/settings_key.h"

namespace gatekeeper::bench {
namespace {

// A million users, or GATEKEEPER_BENCH_USERS.
const int kUsers = [] {
  const char* users = std::getenv("GATEKEEPER_BENCH_USERS");
  return users != nullptr && std::atoi(users) > 0 ? std::atoi(users) : 1000000;
}();

// The directory of this run: its database, settings, event log and backups. Each run has its
// own, so that runs side by side (several checkouts on one machine) neither reload nor rewrite
// each other's database; it is removed when the program ends.
class WorkDirectory {
 public:
  WorkDirectory()
      : path_(std::filesystem::temp_directory_path() /
              ("gatekeeper-bench-filter-" + std::to_string(std::random_device()()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_ / "backups");
  }
  ~WorkDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::filesystem::path workDirectory() {
  static const WorkDirectory directory;
  return directory.path();
}

std::string databasePath() {
  return (workDirectory() / ("db-" + std::to_string(kUsers) + ".cfg")).string();
}

// A filter on the database at path, through the settings key of a registry of the benchmark's
// own. The key names the 1M-user database again afterwards: the shared filter's reloads read it.
std::unique_ptr<AuthFilter> filterOn(const std::string& path) {
  ::setenv("GATEKEEPER_REGISTRY", (workDirectory() / "registry").string().c_str(), 1);
  SettingsKey key;
  key.openForWriting();
  key.writeString("Configuration File", path);
  key.writeString("Backup directory", (workDirectory() / "backups").string());
  auto filter = std::make_unique<AuthFilter>();
  key.writeString("Configuration File", databasePath());
  return filter;
}

// The filter on a 1M-user database whose event log is on.
AuthFilter& sharedFilter() {
  static std::unique_ptr<AuthFilter> filter = [] {
    if (!std::filesystem::exists(databasePath())) {
      writeSampleDatabase(databasePath(), kUsers, (workDirectory() / "events.log").string());
    }
    return filterOn(databasePath());
  }();
  return *filter;
}

// The server's side of one request: fixed server variables and its credential buffers.
BOOL WINAPI getServerVariable(HTTP_FILTER_CONTEXT*, LPSTR name, LPVOID buffer, LPDWORD size) {
  const char* value = std::strcmp(name, "SERVER_NAME") == 0   ? "intranet"
                      : std::strcmp(name, "SERVER_PORT") == 0 ? "80"
                      : std::strcmp(name, "SCRIPT_NAME") == 0 ? "/private/index.htm"
                                                              : nullptr;
  if (value == nullptr) return FALSE;
  const DWORD needed = static_cast<DWORD>(std::strlen(value) + 1);
  if (*size < needed) {
    *size = needed;
    return FALSE;
  }
  std::memcpy(buffer, value, needed);
  *size = needed;
  return TRUE;
}

BOOL WINAPI serverSupportFunction(HTTP_FILTER_CONTEXT*, enum SF_REQ_TYPE, PVOID, ULONG_PTR,
                                  ULONG_PTR) {
  return TRUE;
}

DWORD decide(AuthFilter& filter, int user) {
  HTTP_FILTER_CONTEXT context{};
  context.cbSize = sizeof(context);
  context.GetServerVariable = getServerVariable;
  context.ServerSupportFunction = serverSupportFunction;
  char name[SF_MAX_USERNAME];
  char password[SF_MAX_PASSWORD];
  std::snprintf(name, sizeof name, "user%d", user);
  std::snprintf(password, sizeof password, "%s", samplePassword(user).c_str());
  HTTP_FILTER_AUTHENT credentials{name, sizeof name, password, sizeof password};
  return filter.handleAuthentication(&context, &credentials);
}

void BM_Decision(benchmark::State& state) {
  AuthFilter& filter = sharedFilter();
  long long i = state.thread_index() * 104729LL;
  for (auto _ : state) {
    const int user = static_cast<int>((i++ * 7919LL) % kUsers);
    if (decide(filter, user) != SF_STATUS_REQ_HANDLED_NOTIFICATION) state.SkipWithError("refused");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Decision)->Threads(1)->Threads(2)->UseRealTime();

// The last line of the event log as the filter wrote it, its line end included (read from the
// log's end: the decisions before have made it long).
std::string lastEventLine() {
  std::ifstream log(workDirectory() / "events.log", std::ios::binary | std::ios::ate);
  const std::streamoff size = log.tellg();
  const std::streamoff start = std::max<std::streamoff>(0, size - 4096);
  std::string tail(static_cast<std::size_t>(size - start), '\0');
  log.seekg(start);
  log.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  if (tail.size() < 2 || tail.back() != '\n') return "";
  const std::size_t previous = tail.rfind('\n', tail.size() - 2);
  return previous == std::string::npos ? "" : tail.substr(previous + 1);
}

// The system calls of one decision and nothing else: a stat of the database file (the look at
// its version) and one write of a line as long as a decision's event line to a file opened for
// appending (the event log held open), from one and from two threads sharing the file as the
// filter's threads share its log. BM_Decision over this is what the decision adds to them.
void BM_DecisionSystemCalls(benchmark::State& state) {
  static const std::string line = [] {
    decide(sharedFilter(), 1);
    return lastEventLine();
  }();
  static const int log = [] {
    return ::open((workDirectory() / "system-calls.log").c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
  }();
  const std::string database = databasePath();
  if (log < 0 || line.size() < 2) {
    state.SkipWithError("no event line to write");
    return;
  }
  for (auto _ : state) {
    struct stat st;
    if (::stat(database.c_str(), &st) != 0) state.SkipWithError("stat failed");
    if (::write(log, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      state.SkipWithError("write failed");
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(line.size()) + " bytes a line");
}
BENCHMARK(BM_DecisionSystemCalls)->Threads(1)->Threads(2)->UseRealTime();

// One save of the database while a thread keeps deciding: how long from the save until the new
// content decides, and the longest single decision meanwhile (backup and freeing included).
void BM_ReloadWhileDeciding(benchmark::State& state) {
  AuthFilter& filter = sharedFilter();
  const std::string copy = databasePath() + ".copy";
  for (auto _ : state) {
    state.PauseTiming();
    // The new version adds a user: one more, or one less than the last version had.
    static int added = 0;
    added = added == 1 ? 0 : 1;
    writeSampleDatabase(copy, kUsers + added, (workDirectory() / "events.log").string());
    std::atomic<bool> stop{false};
    std::atomic<long long> longest{0};
    std::thread decider([&] {
      for (int i = 0; !stop.load(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        decide(filter, (i * 7919) % kUsers);
        const long long took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        if (took > longest.load()) longest.store(took);
      }
    });
    state.ResumeTiming();
    const auto saved = std::chrono::steady_clock::now();
    std::filesystem::rename(copy, databasePath());  // a save: a new file replaces the old one
    decide(filter, 1);                              // notices it and starts the reload
    // In force once the added user is known (or, the other way round, no longer known).
    const DWORD expected = added == 1 ? SF_STATUS_REQ_HANDLED_NOTIFICATION : SF_STATUS_REQ_ERROR;
    while (decide(filter, kUsers) != expected) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - saved).count();
    filter.waitForReload();
    state.PauseTiming();
    stop = true;
    decider.join();
    state.counters["in_force_s"] = seconds;
    state.counters["longest_wait_ms"] = static_cast<double>(longest.load()) / 1e6;
    for (const auto& entry : std::filesystem::directory_iterator(workDirectory() / "backups")) {
      std::filesystem::remove(entry.path());
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReloadWhileDeciding)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The small databases: few users, since each hash takes tens of milliseconds to make and to
// verify the first time.
constexpr int kSmallUsers = 64;

// A hash of user i's password in the system's default scheme, made once per run.
const std::string& sampleHash(int i) {
  static const std::vector<std::string> hashes = [] {
    std::vector<std::string> made;
    for (int user = 0; user < kSmallUsers; ++user) {
      made.push_back(passhash::hashPassword(samplePassword(user)).value_or(""));
    }
    return made;
  }();
  return hashes[static_cast<std::size_t>(i)];
}

// The filter on kSmallUsers users with their passwords plain or hashed, event log on, every
// user decided once (for hashes: verified and remembered).
AuthFilter& smallFilter(bool hashed) {
  const auto make = [](bool hashed) {
    const std::string path =
        (workDirectory() / (hashed ? "hashed.cfg" : "plain.cfg")).string();
    writeSampleDatabase(path, kSmallUsers, (workDirectory() / "events-small.log").string(),
                        "\r\n", hashed ? std::function<std::string(int)>(sampleHash)
                                        : std::function<std::string(int)>());
    std::unique_ptr<AuthFilter> filter = filterOn(path);
    for (int user = 0; user < kSmallUsers; ++user) decide(*filter, user);
    return filter;
  };
  if (hashed) {
    static const std::unique_ptr<AuthFilter> withHashes = make(true);
    return *withHashes;
  }
  static const std::unique_ptr<AuthFilter> plain = make(false);
  return *plain;
}

void smallDecisions(benchmark::State& state, bool hashed) {
  AuthFilter& filter = smallFilter(hashed);
  int user = state.thread_index() * 17;
  for (auto _ : state) {
    if (decide(filter, user++ % kSmallUsers) != SF_STATUS_REQ_HANDLED_NOTIFICATION) {
      state.SkipWithError("refused");
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_DecisionPlainPasswords(benchmark::State& state) { smallDecisions(state, false); }
BENCHMARK(BM_DecisionPlainPasswords)->Threads(1)->Threads(2)->UseRealTime();

void BM_DecisionHashedPasswordsWarm(benchmark::State& state) {
  if (passhash::schemeOf(sampleHash(0)) == passhash::Scheme::kPlain) {
    state.SkipWithError("no hash could be made");
    return;
  }
  smallDecisions(state, true);
  state.SetLabel(passhash::schemeName(passhash::schemeOf(sampleHash(0))));
}
BENCHMARK(BM_DecisionHashedPasswordsWarm)->Threads(1)->Threads(2)->UseRealTime();

// One verification of a hash in the default scheme: what a logon costs that the cache does
// not hold (the first one of a user, or any after a reload).
void BM_ColdVerification(benchmark::State& state) {
  const std::string& hash = sampleHash(0);
  for (auto _ : state) {
    if (!passhash::verifyPassword(hash, samplePassword(0))) state.SkipWithError("refused");
  }
  state.SetLabel(passhash::schemeName(passhash::schemeOf(hash)));
}
BENCHMARK(BM_ColdVerification)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace gatekeeper::bench

BENCHMARK_MAIN();
