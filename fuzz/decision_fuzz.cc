// Fuzz target for the authentication decision: an arbitrary account database and an arbitrary
// request (host, port, user, password, buffer sizes) sent through the in-process test server.
// No fault, no access outside the server's buffers, and every answer one of the decision's
// outcomes: passed on untouched, handled (credentials as sent or replaced, within their
// buffers), or refused (with at most the one deny response).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "accountdb/database_names.h"
#include "configstore/config_section.h"
#include "configstore/text_stream.h"
#include "filter/authenticate_request.h"
#include "filter/test_server.h"

namespace {

// 2020-06-15 12:00:00 UTC as 100 ns ticks since 1601: a fixed clock keeps runs reproducible.
constexpr std::int64_t kNow = 116444736000000000LL + 1592222400LL * 10000000LL;

void check(bool condition) {
  if (!condition) std::abort();
}

// The server's view of a text after it was copied into a buffer of that size.
std::string cut(const std::string& text, DWORD size) {
  std::string shown = text.substr(0, text.find('\0'));
  const std::size_t room = size == 0 ? 0 : size - 1;
  return shown.size() > room ? shown.substr(0, room) : shown;
}

}  // namespace

// Input: host, port, user and password, each ended by a backslash followed by another
// character; one byte choosing unset variables and small buffers; the rest is the database.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  gatekeeper::TestRequest request;
  const std::string host = provider.ConsumeRandomLengthString(400);
  const std::string port = provider.ConsumeRandomLengthString(64);
  request.user = provider.ConsumeRandomLengthString(400);
  request.password = provider.ConsumeRandomLengthString(400);
  const std::uint8_t shape = provider.ConsumeIntegral<std::uint8_t>();
  request.variables["SERVER_NAME"] = host.substr(0, host.find('\0'));
  request.variables["SERVER_PORT"] = port.substr(0, port.find('\0'));
  if (shape & 1) request.variables.erase("SERVER_NAME");
  if (shape & 2) request.variables.erase("SERVER_PORT");
  if (shape & 4) request.userBufferSize = 1 + shape % 16;
  if (shape & 8) request.passwordBufferSize = 1 + shape / 16;

  gatekeeper::ConfigSection database("accounts");
  auto stream = gatekeeper::TextStream::forReading(provider.ConsumeRemainingBytesAsString());
  database.readContents(stream.get(), -1);
  // The event log's path comes from the database: never let the fuzzer write files.
  gatekeeper::ConfigSection* main = database.sectionByName(gatekeeper::accountdb::kMain);
  if (!main->isPlaceholder()) {
    for (int i = 0; i < 8 && main->deleteByName(gatekeeper::accountdb::kLog) != 0; ++i) {
    }
  }

  const gatekeeper::TestOutcome outcome = gatekeeper::sendAuthentication(
      [&database](HTTP_FILTER_CONTEXT* pfc, DWORD type, void* notification) {
        check(type == SF_NOTIFY_AUTHENTICATION);
        return gatekeeper::authenticateRequest(
            pfc, static_cast<HTTP_FILTER_AUTHENT*>(notification), database, kNow);
      },
      request);

  const std::string sentUser = cut(request.user, request.userBufferSize);
  const std::string sentPassword = cut(request.password, request.passwordBufferSize);
  check(outcome.user.size() < request.userBufferSize);
  check(outcome.password.size() < request.passwordBufferSize);
  switch (outcome.status) {
    case SF_STATUS_REQ_NEXT_NOTIFICATION:
      check(outcome.user == sentUser && outcome.password == sentPassword);
      check(outcome.responseStatuses.empty());
      break;
    case SF_STATUS_REQ_HANDLED_NOTIFICATION:
      check(outcome.responseStatuses.empty());
      break;
    case SF_STATUS_REQ_ERROR:
      check(outcome.user == sentUser && outcome.password == sentPassword);
      check(outcome.responseStatuses.size() <= 1);
      if (!outcome.responseStatuses.empty()) {
        check(outcome.responseStatuses[0] == gatekeeper::kDenyStatus);
        check(outcome.responseHeaders[0].empty());
      }
      break;
    default:
      std::abort();
  }
  return 0;
}
