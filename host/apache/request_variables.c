#include "request_variables.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include "apr_strings.h"
#include "http_core.h"
#include "http_ssl.h"

#include "basic_credentials.h"

// The name and port Apache gives CGI programs for the same request (SERVER_NAME and SERVER_PORT
// of mod_cgi's environment): under UseCanonicalName On the virtual host's ServerName and its
// port (the scheme's default port when ServerName names none), under Off the client's Host
// header. Filters bind sites by them, as the CGI programs that manage a site do, so both find
// the same binding; a configuration that must not let the client choose the site says On.
static const char* serverName(request_rec* r) { return ap_get_server_name(r); }

static const char* serverPort(request_rec* r) { return apr_itoa(r->pool, ap_get_server_port(r)); }

static const char* isSecure(request_rec* r) {
  return ap_ssl_conn_is_ssl(r->connection) ? "1" : "0";
}

static const char* https(request_rec* r) {
  return ap_ssl_conn_is_ssl(r->connection) ? "on" : "off";
}

static const char* protocol(request_rec* r) { return r->protocol; }

static const char* software(request_rec* r) {
  (void)r;
  return ap_get_server_banner();
}

static const char* method(request_rec* r) { return r->method; }

static const char* path(request_rec* r) { return r->uri != NULL ? r->uri : ""; }

static const char* query(request_rec* r) { return r->args != NULL ? r->args : ""; }

static const char* authType(request_rec* r) {
  size_t length;
  const char* scheme = credentialsScheme(apr_table_get(r->headers_in, "Authorization"), &length);
  return length > 0 ? apr_pstrmemdup(r->pool, scheme, length) : "";
}

static const char* remoteAddress(request_rec* r) { return r->useragent_ip; }

static const char* remotePort(request_rec* r) {
  return apr_itoa(r->pool, r->useragent_addr->port);
}

static const char* localAddress(request_rec* r) { return r->connection->local_ip; }

// Writes "HTTP_NAME" for a header name (upper case, '-' as '_') at out; returns the end.
static char* putHeaderVariableName(char* out, const char* header) {
  memcpy(out, "HTTP_", 5);
  out += 5;
  for (; *header != '\0'; ++header) {
    *out++ = *header == '-' ? '_' : (char)toupper((unsigned char)*header);
  }
  return out;
}

// Every request header as "HTTP_NAME:value\n", as IIS's ALL_HTTP: measured first, then
// written into one allocation.
static const char* allHttp(request_rec* r) {
  const apr_array_header_t* headers = apr_table_elts(r->headers_in);
  const apr_table_entry_t* entries = (const apr_table_entry_t*)headers->elts;
  size_t length = 0;
  for (int i = 0; i < headers->nelts; ++i) {
    if (entries[i].key == NULL) continue;
    length += 5 + strlen(entries[i].key) + 1 +
              (entries[i].val != NULL ? strlen(entries[i].val) : 0) + 1;
  }
  char* all = apr_palloc(r->pool, length + 1);
  char* at = all;
  for (int i = 0; i < headers->nelts; ++i) {
    if (entries[i].key == NULL) continue;
    at = putHeaderVariableName(at, entries[i].key);
    *at++ = ':';
    size_t valueLength = entries[i].val != NULL ? strlen(entries[i].val) : 0;
    memcpy(at, entries[i].val != NULL ? entries[i].val : "", valueLength);
    at += valueLength;
    *at++ = '\n';
  }
  *at = '\0';
  return all;
}

typedef struct {
  const char* name;  // upper case
  size_t length;
  const char* (*value)(request_rec* r);
} VariableSource;

#define VARIABLE(name, value) {name, sizeof(name) - 1, value}

static const VariableSource kVariables[] = {
    VARIABLE("SERVER_NAME", serverName),
    VARIABLE("SERVER_PORT", serverPort),
    VARIABLE("SERVER_PORT_SECURE", isSecure),
    VARIABLE("SERVER_PROTOCOL", protocol),
    VARIABLE("SERVER_SOFTWARE", software),
    VARIABLE("REQUEST_METHOD", method),
    VARIABLE("SCRIPT_NAME", path),
    VARIABLE("URL", path),
    VARIABLE("QUERY_STRING", query),
    VARIABLE("AUTH_TYPE", authType),
    VARIABLE("REMOTE_ADDR", remoteAddress),
    VARIABLE("REMOTE_HOST", remoteAddress),
    VARIABLE("REMOTE_PORT", remotePort),
    VARIABLE("LOCAL_ADDR", localAddress),
    VARIABLE("HTTPS", https),
    VARIABLE("ALL_HTTP", allHttp),
};

// The request header that HTTP_<NAME> stands for, or NULL.
static const char* headerVariable(request_rec* r, const char* name) {
  if (strncasecmp(name, "HTTP_", 5) != 0 || name[5] == '\0') return NULL;
  char* header = apr_pstrdup(r->pool, name + 5);
  for (char* c = header; *c != '\0'; ++c) {
    if (*c == '_') *c = '-';
  }
  return apr_table_get(r->headers_in, header);
}

// Whether name, of the given length, is upperName ignoring the case of ASCII letters (the
// names are ASCII: no locale is consulted).
static int isVariableName(const char* name, size_t length, const char* upperName,
                          size_t upperLength) {
  if (length != upperLength) return 0;
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    if (c != upperName[i]) return 0;
  }
  return 1;
}

const char* requestVariable(request_rec* r, const char* name) {
  size_t length = strlen(name);
  for (size_t i = 0; i < sizeof(kVariables) / sizeof(kVariables[0]); ++i) {
    if (isVariableName(name, length, kVariables[i].name, kVariables[i].length)) {
      const char* value = kVariables[i].value(r);
      return value != NULL ? value : "";
    }
  }
  return headerVariable(r, name);
}
