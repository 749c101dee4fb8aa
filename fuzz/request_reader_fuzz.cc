// Fuzz target for the CGI request reader: any CONTENT_LENGTH text, query string, cookie header
// and body must be read without a fault, and the collections must keep their promises: every
// field is found by its own name (the first of that name), holds at least one value, and no
// decoded text is longer than the raw bytes it came from.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "websupport/request_reader.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void checkCollection(const gatekeeper::FormFields& fields, std::size_t rawSize) {
  std::size_t decoded = 0;
  for (int position = 1; position <= fields.count(); ++position) {
    const gatekeeper::FormField& field = fields.at(position);
    check(field.count() >= 1);
    decoded += field.name().size();
    for (int value = 1; value <= field.count(); ++value) decoded += field.value(value).text().size();
    // The first field of a name is the one a lookup finds; later ones never share its name.
    if (!field.name().empty()) check(&fields.field(field.name()) == &field);
    check(field.text() == field.value(1).text());
  }
  check(decoded <= rawSize);
  check(&fields.at(0) == &gatekeeper::FormField::empty());
  check(&fields.at(fields.count() + 1) == &gatekeeper::FormField::empty());
}

}  // namespace

// Input: three texts (CONTENT_LENGTH, QUERY_STRING, HTTP_COOKIE), each ended by a backslash
// followed by another character, then the body. A leading byte chooses which are set.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::uint8_t unset = provider.ConsumeIntegral<std::uint8_t>();
  gatekeeper::RawRequest raw;
  std::string contentLength = provider.ConsumeRandomLengthString();
  std::string query = provider.ConsumeRandomLengthString();
  std::string cookie = provider.ConsumeRandomLengthString();
  std::string body = provider.ConsumeRemainingBytesAsString();
  if (!(unset & 1)) raw.contentLength = contentLength;
  if (!(unset & 2)) raw.queryString = query;
  if (!(unset & 4)) raw.cookie = cookie;

  // The body as a stream of exactly its bytes: a CONTENT_LENGTH beyond them must not block or
  // read past the end. An empty body is a stream at its end.
  std::FILE* stream = body.empty() ? std::fopen("/dev/null", "rb")
                                   : fmemopen(body.data(), body.size(), "rb");
  if (stream == nullptr) return 0;
  raw.body = stream;
  const gatekeeper::RequestFields fields = gatekeeper::parseRequest(raw);
  std::fclose(stream);

  checkCollection(fields.form, body.size());
  checkCollection(fields.query, raw.queryString ? query.size() : 0);
  checkCollection(fields.cookies, raw.cookie ? cookie.size() : 0);
  if (!raw.contentLength) check(fields.form.count() == 0);
  return 0;
}
