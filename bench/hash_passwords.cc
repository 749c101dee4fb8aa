// Hashes passwords for the benchmark's databases the way the programs store them: one password
// a line on standard input, its hash in the system's default scheme on the same line of
// standard output. The hashes are made on every core; status 1 when one cannot be made.
// With --scheme it names the default scheme instead.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "passhash/password_hash.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--scheme") {
    std::cout << gatekeeper::passhash::schemeName(gatekeeper::passhash::defaultScheme()) << '\n';
    return 0;
  }
  std::vector<std::string> passwords;
  for (std::string line; std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    passwords.push_back(line);
  }
  std::vector<std::string> hashes(passwords.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      for (std::size_t i = next++; i < passwords.size(); i = next++) {
        const std::optional<std::string> hash = gatekeeper::passhash::hashPassword(passwords[i]);
        if (!hash) {
          failed = true;
          return;
        }
        hashes[i] = *hash;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  if (failed) {
    std::fprintf(stderr, "hash_passwords: a hash could not be made\n");
    return 1;
  }
  for (const std::string& hash : hashes) std::cout << hash << '\n';
  return std::cout.flush() ? 0 : 1;
}
