#include "response_headers.h"

#include "apr_strings.h"

#include "filter_response.h"

int filterHeadersAcceptable(const char* text) { return forEachFilterHeader(text, NULL, NULL); }

typedef struct {
  request_rec* request;
  apr_table_t* headers;
} HeaderTarget;

static void addHeader(void* context, const FilterHeader* header) {
  HeaderTarget* target = context;
  apr_pool_t* pool = target->request->pool;
  apr_table_addn(target->headers, apr_pstrmemdup(pool, header->name, header->nameLength),
                 apr_pstrmemdup(pool, header->value, header->valueLength));
}

int addFilterHeaders(request_rec* r, apr_table_t* headers, const char* text) {
  HeaderTarget target = {r, headers};
  return forEachFilterHeader(text, addHeader, &target);
}
