// A request of a fake server for the tests of the host code: facts and headers as a test sets
// them, memory freed with the request, and what the code logged and added to the response.
#ifndef GATEKEEPER_HOST_ISAPI_FAKE_HOST_H_
#define GATEKEEPER_HOST_ISAPI_FAKE_HOST_H_

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "isapi_host.h"

struct FakeRequest {
  std::map<IsapiRequestFact, std::string> facts;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::unique_ptr<char[]>> memory;
  std::vector<std::pair<std::string, std::string>> responseHeaders;
  std::vector<std::string> log;
  std::vector<std::string> failedLogons;  // "user|reason" ("user|-" without a reason)
  bool outOfMemory = false;

  static const IsapiHost host;
};

inline const IsapiHost FakeRequest::host = {
    [](void* request, IsapiRequestFact fact) -> const char* {
      auto& facts = static_cast<FakeRequest*>(request)->facts;
      auto found = facts.find(fact);
      return found != facts.end() ? found->second.c_str() : nullptr;
    },
    [](void* request, int (*visit)(void*, const char*, size_t, const char*, size_t),
       void* context) {
      for (const auto& [name, value] : static_cast<FakeRequest*>(request)->headers) {
        if (!visit(context, name.data(), name.size(), value.data(), value.size())) return;
      }
    },
    [](void* request, size_t size) -> void* {
      auto* r = static_cast<FakeRequest*>(request);
      if (r->outOfMemory) return nullptr;
      r->memory.push_back(std::make_unique<char[]>(size));
      return r->memory.back().get();
    },
    [](void* request, const FilterHeader* header) -> int {
      static_cast<FakeRequest*>(request)->responseHeaders.emplace_back(
          std::string(header->name, header->nameLength),
          std::string(header->value, header->valueLength));
      return 1;
    },
    [](void* request, IsapiLogLevel, const char* message) {
      static_cast<FakeRequest*>(request)->log.emplace_back(message);
    },
    [](void* request, const char* user, const char* reason) {
      static_cast<FakeRequest*>(request)->failedLogons.push_back(
          std::string(user) + "|" + (reason != nullptr ? reason : "-"));
    },
};

#endif  // GATEKEEPER_HOST_ISAPI_FAKE_HOST_H_
