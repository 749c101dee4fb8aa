// The request's side of ngx_http_isapi_filter_module: the server facts a filter reads, the
// notification before nginx's access checks, the replaced credentials in the request's
// Authorization header only while those checks run, and the variables for backends and logs.
//
// For the client's request (r == r->main) of a location with filters:
//   preaccess (first)          the notification, once per client request; after an internal
//                              redirect (error_page, try_files, index, a named location) the
//                              replaced credentials are put in again for that pass's checks;
//   precontent (first)         the client's own Authorization back before any content handler
//                              (proxy, FastCGI, static), so no backend sees the rewritten one;
//   server rewrite, rewrite    the same when an error page's or a named location's redirect
//                              starts again (its own access phase puts them in again);
//   header filter              the same before any response (an error nginx sends itself).
// Subrequests (auth_request) share the client request's Authorization element and so see
// the replaced credentials while the access checks run. The rewritten value is zeroed when the
// request ends.

#include <nginx.h>

#include "basic_credentials.h"
#include "filter_library.h"
#include "isapi_host.h"
#include "log_text.h"
#include "ngx_http_isapi_filter.h"
#include "notification.h"

static ngx_http_output_header_filter_pt ngx_http_next_header_filter;

// ---- the request record, found again after internal redirects ----------------------------

static void ngx_http_isapi_cleanup(void* data) {
  ngx_http_isapi_ctx_t* ctx = data;
  if (ctx->replaced_value.len > 0) eraseSecret(ctx->replaced_value.data, ctx->replaced_value.len);
}

// The record of the client's request r, or NULL. An internal redirect clears the modules'
// contexts: the record is also a cleanup of the request's pool (as ngx_http_realip_module
// keeps its own).
static ngx_http_isapi_ctx_t* ngx_http_isapi_get_ctx(ngx_http_request_t* r) {
  ngx_http_isapi_ctx_t* ctx = ngx_http_get_module_ctx(r, ngx_http_isapi_filter_module);
  if (ctx != NULL) return ctx;
  for (ngx_pool_cleanup_t* c = r->pool->cleanup; c != NULL; c = c->next) {
    if (c->handler == ngx_http_isapi_cleanup) {
      ctx = c->data;
      ngx_http_set_ctx(r, ctx, ngx_http_isapi_filter_module);
      return ctx;
    }
  }
  return NULL;
}

static ngx_http_isapi_ctx_t* ngx_http_isapi_create_ctx(ngx_http_request_t* r) {
  ngx_pool_cleanup_t* cleanup = ngx_pool_cleanup_add(r->pool, sizeof(ngx_http_isapi_ctx_t));
  if (cleanup == NULL) return NULL;
  ngx_http_isapi_ctx_t* ctx = cleanup->data;
  ngx_memzero(ctx, sizeof(*ctx));
  cleanup->handler = ngx_http_isapi_cleanup;
  ngx_http_set_ctx(r, ctx, ngx_http_isapi_filter_module);
  return ctx;
}

// ---- the host's callbacks -----------------------------------------------------------------

static const char* ngx_http_isapi_text(ngx_http_request_t* r, const u_char* data, size_t len) {
  u_char* text = ngx_pnalloc(r->pool, len + 1);
  if (text == NULL) return NULL;
  if (len > 0) ngx_memcpy(text, data, len);
  text[len] = '\0';
  return (const char*)text;
}

static const char* ngx_http_isapi_port_text(ngx_http_request_t* r, struct sockaddr* address) {
  u_char* text = ngx_pnalloc(r->pool, NGX_INT_T_LEN + 1);
  if (text == NULL) return NULL;
  *ngx_sprintf(text, "%ui", (ngx_uint_t)ngx_inet_get_port(address)) = '\0';
  return (const char*)text;
}

static const char* ngx_http_isapi_fact(void* request, IsapiRequestFact fact) {
  ngx_http_request_t* r = request;
  ngx_connection_t* c = r->connection;
  switch (fact) {
    case kIsapiServerName: {
      // What $server_name gives: the server block's first server_name, never the client's Host.
      ngx_http_core_srv_conf_t* cscf = ngx_http_get_module_srv_conf(r, ngx_http_core_module);
      return ngx_http_isapi_text(r, cscf->server_name.data, cscf->server_name.len);
    }
    case kIsapiServerPort:
      // What $server_port gives: the port the request arrived on.
      if (ngx_connection_local_sockaddr(c, NULL, 0) != NGX_OK) return NULL;
      return ngx_http_isapi_port_text(r, c->local_sockaddr);
    case kIsapiServerProtocol:
      return ngx_http_isapi_text(r, r->http_protocol.data, r->http_protocol.len);
    case kIsapiServerSoftware: {
      ngx_http_core_loc_conf_t* clcf = ngx_http_get_module_loc_conf(r, ngx_http_core_module);
      if (clcf->server_tokens == NGX_HTTP_SERVER_TOKENS_ON) return NGINX_VER;
      if (clcf->server_tokens == NGX_HTTP_SERVER_TOKENS_BUILD) return NGINX_VER_BUILD;
      return "nginx";
    }
    case kIsapiRequestMethod:
      return ngx_http_isapi_text(r, r->method_name.data, r->method_name.len);
    case kIsapiRequestPath:
      return ngx_http_isapi_text(r, r->uri.data, r->uri.len);
    case kIsapiQueryString:
      return ngx_http_isapi_text(r, r->args.data, r->args.len);
    case kIsapiRemoteAddress:
      return ngx_http_isapi_text(r, c->addr_text.data, c->addr_text.len);
    case kIsapiRemotePort:
      return ngx_http_isapi_port_text(r, c->sockaddr);
    case kIsapiLocalAddress: {
      u_char address[NGX_SOCKADDR_STRLEN];
      ngx_str_t text = {sizeof(address), address};
      if (ngx_connection_local_sockaddr(c, &text, 0) != NGX_OK) return NULL;
      return ngx_http_isapi_text(r, text.data, text.len);
    }
  }
  return NULL;
}

static void ngx_http_isapi_for_each_header(void* request,
                                           int (*visit)(void* context, const char* name,
                                                        size_t nameLength, const char* value,
                                                        size_t valueLength),
                                           void* context) {
  ngx_http_request_t* r = request;
  for (ngx_list_part_t* part = &r->headers_in.headers.part; part != NULL; part = part->next) {
    ngx_table_elt_t* h = part->elts;
    for (ngx_uint_t i = 0; i < part->nelts; ++i) {
      if (h[i].hash == 0) continue;
      if (!visit(context, (const char*)h[i].key.data, h[i].key.len, (const char*)h[i].value.data,
                 h[i].value.len)) {
        return;
      }
    }
  }
}

static void* ngx_http_isapi_allocate(void* request, size_t size) {
  return ngx_pcalloc(((ngx_http_request_t*)request)->pool, size);
}

static ngx_table_elt_t* ngx_http_isapi_push_header(ngx_http_request_t* r, const char* name,
                                                   size_t nameLength, const char* value,
                                                   size_t valueLength) {
  ngx_table_elt_t* h = ngx_list_push(&r->headers_out.headers);
  const char* key = ngx_http_isapi_text(r, (const u_char*)name, nameLength);
  const char* text = ngx_http_isapi_text(r, (const u_char*)value, valueLength);
  if (h == NULL || key == NULL || text == NULL) {
    if (h != NULL) h->hash = 0;
    return NULL;
  }
  h->hash = 1;
  h->key.data = (u_char*)key;
  h->key.len = nameLength;
  h->value.data = (u_char*)text;
  h->value.len = valueLength;
  h->lowcase_key = NULL;
  return h;
}

static int ngx_http_isapi_add_response_header(void* request, const FilterHeader* header) {
  return ngx_http_isapi_push_header(request, header->name, header->nameLength, header->value,
                                    header->valueLength) != NULL;
}

static void ngx_http_isapi_emit_header(void* request, const FilterHeader* header) {
  ngx_http_isapi_add_response_header(request, header);
}

static void ngx_http_isapi_log(void* request, IsapiLogLevel level, const char* message) {
  static const ngx_uint_t kLevels[] = {NGX_LOG_ERR, NGX_LOG_WARN, NGX_LOG_INFO, NGX_LOG_DEBUG};
  ngx_http_request_t* r = request;
  u_char* escaped = ngx_pnalloc(r->pool, escapedLogTextSize(message));
  if (escaped == NULL) return;
  ngx_log_error(kLevels[level], r->connection->log, 0, "%s",
                escapeLogText(message, (char*)escaped));
}

// In the shape of ngx_http_auth_basic_module's lines, which fail2ban's nginx-http-auth filter
// counts: `user "NAME" was not found in "PATH"` when the filter knows no such user, `user
// "NAME": password mismatch` for a wrong password, and for another reason (a disabled or
// expired account) `user "NAME" was not found in "PATH (REASON)"`; PATH is the request's path.
// nginx writes these texts as they are: the client's are escaped here, with no quote left in
// them, so that a quote in a name or a path neither forges a line nor keeps it from counting.
static void ngx_http_isapi_log_failed_logon(void* request, const char* user, const char* reason) {
  ngx_http_request_t* r = request;
  const char* path = ngx_http_isapi_text(r, r->uri.data, r->uri.len);
  if (path == NULL) return;
  char* name = ngx_pnalloc(r->pool, escapedLogTextSize(user));
  char* where = ngx_pnalloc(r->pool, escapedLogTextSize(path));
  char* why = ngx_pnalloc(r->pool, escapedLogTextSize(reason != NULL ? reason : ""));
  if (name == NULL || where == NULL || why == NULL) return;
  escapeLogText(user, name);
  escapeLogText(path, where);
  escapeLogText(reason != NULL ? reason : "", why);
  if (reason == NULL) {
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "user \"%s\" was not found in \"%s\"", name,
                  where);
  } else if (ngx_strcasecmp((u_char*)reason, (u_char*)"password mismatch") == 0) {
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "user \"%s\": password mismatch", name);
  } else {
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "user \"%s\" was not found in \"%s (%s)\"",
                  name, where, why);
  }
}

static const IsapiHost ngx_http_isapi_host = {
    ngx_http_isapi_fact,     ngx_http_isapi_for_each_header,
    ngx_http_isapi_allocate, ngx_http_isapi_add_response_header,
    ngx_http_isapi_log,      ngx_http_isapi_log_failed_logon,
};

// ---- replaced credentials in and out of the request's headers -----------------------------

static ngx_str_t ngx_http_isapi_authorization_key = ngx_string("Authorization");

// Puts the replaced credentials in r's Authorization for nginx's access checks; nginx's Basic
// parsing (auth_basic) reads them anew.
static ngx_int_t ngx_http_isapi_present(ngx_http_request_t* r, ngx_http_isapi_ctx_t* ctx) {
  if (ctx->replaced_value.len == 0) {
    // Emptied credentials: the request is checked as anonymous, not with the client's.
    r->headers_in.authorization = NULL;
  } else if (ctx->header != NULL && !ctx->pushed) {
    ctx->header->value = ctx->replaced_value;
    r->headers_in.authorization = ctx->header;
  } else {
    ngx_table_elt_t* h = ngx_list_push(&r->headers_in.headers);
    if (h == NULL) return NGX_ERROR;
    h->key = ngx_http_isapi_authorization_key;
    h->lowcase_key = (u_char*)"authorization";
    h->hash = ngx_hash_key(h->lowcase_key, h->key.len);
    h->value = ctx->replaced_value;
    ctx->header = h;
    ctx->pushed = 1;
    r->headers_in.authorization = h;
  }
  ngx_str_null(&r->headers_in.user);
  ngx_str_null(&r->headers_in.passwd);
  ctx->presented = 1;
  return NGX_OK;
}

// Whether h is the last element of the list.
static ngx_int_t ngx_http_isapi_is_last(ngx_list_t* list, ngx_table_elt_t* h) {
  return list->last->nelts > 0 && (ngx_table_elt_t*)list->last->elts + list->last->nelts - 1 == h;
}

// The client's own Authorization (or none, as it sent) back in r's headers; the password nginx
// decoded from the replaced one is zeroed. $remote_user, which nginx decodes from the header
// again, then names the client's user as it would without the filter; $isapi_logon_user names
// the account that was checked.
static void ngx_http_isapi_withdraw(ngx_http_request_t* r, ngx_http_isapi_ctx_t* ctx) {
  if (!ctx->presented) return;
  ctx->presented = 0;
  if (ctx->pushed) {
    if (ngx_http_isapi_is_last(&r->headers_in.headers, ctx->header)) {
      --r->headers_in.headers.last->nelts;
    } else {
      ctx->header->hash = 0;
      ngx_str_set(&ctx->header->value, "");
    }
    ctx->header = NULL;
    ctx->pushed = 0;
    r->headers_in.authorization = NULL;
  } else if (ctx->header != NULL) {
    ctx->header->value = ctx->client_value;
    r->headers_in.authorization = ctx->header;
  }
  if (r->headers_in.passwd.len > 0) {
    eraseSecret(r->headers_in.passwd.data, r->headers_in.passwd.len);
    ngx_str_set(&r->headers_in.passwd, "");
  }
}

// ---- the phases ---------------------------------------------------------------------------

// Adds the refusal's challenge and the filter's header text to r's response; the status.
static ngx_int_t ngx_http_isapi_refuse(ngx_http_request_t* r, ngx_http_isapi_ctx_t* ctx,
                                       const Notification* result) {
  // Checked when the filter asked for them: every line passes.
  if (result->headers != NULL) forEachFilterHeader(result->headers, ngx_http_isapi_emit_header, r);
  if (result->status == NGX_HTTP_UNAUTHORIZED) {
    ngx_int_t challenged = 0;
    for (ngx_list_part_t* part = &r->headers_out.headers.part; part != NULL && !challenged;
         part = part->next) {
      ngx_table_elt_t* h = part->elts;
      for (ngx_uint_t i = 0; i < part->nelts; ++i) {
        if (h[i].hash != 0 && h[i].key.len == sizeof("WWW-Authenticate") - 1 &&
            ngx_strncasecmp(h[i].key.data, (u_char*)"WWW-Authenticate", h[i].key.len) == 0) {
          challenged = 1;
          break;
        }
      }
    }
    if (!challenged) {
      // The location's auth_basic realm is the auth_basic module's own: the site's name is the
      // realm, as SERVER_NAME tells the filter.
      const char* realm = ngx_http_isapi_fact(r, kIsapiServerName);
      if (realm == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
      char* challenge = ngx_pnalloc(r->pool, basicChallengeSize(realm));
      if (challenge == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
      writeBasicChallenge(realm, challenge);
      ngx_table_elt_t* h =
          ngx_http_isapi_push_header(r, "WWW-Authenticate", 16, challenge, ngx_strlen(challenge));
      if (h == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
      r->headers_out.www_authenticate = h;
    }
  }
  if (result->reason != NULL) {
    size_t length = 4 + ngx_strlen(result->reason);
    u_char* line = ngx_pnalloc(r->pool, length + 1);
    if (line != NULL) {
      ngx_sprintf(line, "%03i %s%Z", (ngx_int_t)result->status, result->reason);
      ctx->refusal_line.data = line;
      ctx->refusal_line.len = length;
      ctx->refusal_status = (ngx_uint_t)result->status;
    }
  }
  return result->status;
}

// The filters of r's location in calling order (priority, then configuration order), worked
// out once per process and location; NULL when one is not started in this process.
static const IsapiFilter** ngx_http_isapi_ordered(ngx_http_request_t* r,
                                                  ngx_http_isapi_loc_conf_t* lcf) {
  if (lcf->ordered != NULL) return lcf->ordered;
  ngx_http_isapi_library_t** libraries = lcf->filters->elts;
  for (ngx_uint_t i = 0; i < lcf->filters->nelts; ++i) {
    if (libraries[i]->filter == NULL) {
      ngx_log_error(NGX_LOG_ALERT, r->connection->log, 0,
                    "isapi_filter: %V is not started in this process", &libraries[i]->path);
      return NULL;
    }
  }
  // Lives as long as the configuration the location belongs to.
  const IsapiFilter** ordered = ngx_palloc(ngx_cycle->pool, lcf->filters->nelts * sizeof(*ordered));
  if (ordered == NULL) return NULL;
  size_t count = 0;
  for (ngx_uint_t i = 0; i < lcf->filters->nelts; ++i) {
    count = insertByPriority(ordered, count, libraries[i]->filter);
  }
  lcf->ordered_count = count;
  lcf->ordered = ordered;
  return ordered;
}

static ngx_int_t ngx_http_isapi_notify(ngx_http_request_t* r, ngx_http_isapi_loc_conf_t* lcf) {
  ngx_http_isapi_ctx_t* ctx = ngx_http_isapi_create_ctx(r);
  if (ctx == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
  ctx->notified = 1;
  const IsapiFilter** ordered = ngx_http_isapi_ordered(r, lcf);
  if (ordered == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;

  ngx_table_elt_t* sent = r->headers_in.authorization;
  char* authorization = NULL;
  if (sent != NULL) {
    authorization = (char*)ngx_http_isapi_text(r, sent->value.data, sent->value.len);
    if (authorization == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
  int securePort = 0;
#if (NGX_HTTP_SSL)
  securePort = r->connection->ssl != NULL;
#endif
  Notification result;
  notifyFilters(&ngx_http_isapi_host, r, authorization, ordered, lcf->ordered_count, securePort,
                &result);
  if (authorization != NULL) eraseSecret(authorization, sent->value.len);
  if (result.status != 0) return ngx_http_isapi_refuse(r, ctx, &result);
  if (!result.replaced) return NGX_DECLINED;

  ctx->replaced = 1;
  ctx->sent_user.data = (u_char*)result.sentUser;
  ctx->sent_user.len = ngx_strlen(result.sentUser);
  ctx->logon_user.data = (u_char*)result.logonUser;
  ctx->logon_user.len = ngx_strlen(result.logonUser);
  if (result.authorization != NULL) {
    ctx->replaced_value.data = (u_char*)result.authorization;
    ctx->replaced_value.len = ngx_strlen(result.authorization);
  }
  ctx->header = sent;
  if (sent != NULL) ctx->client_value = sent->value;
  if (ngx_http_isapi_present(r, ctx) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;
  return NGX_DECLINED;
}

ngx_int_t ngx_http_isapi_notify_handler(ngx_http_request_t* r) {
  if (r != r->main) return NGX_DECLINED;
  ngx_http_isapi_ctx_t* ctx = ngx_http_isapi_get_ctx(r);
  if (ctx != NULL && ctx->notified) {
    // Another pass of the same client request (an internal redirect): notified already.
    if (ctx->replaced && !ctx->presented && ngx_http_isapi_present(r, ctx) != NGX_OK) {
      return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    return NGX_DECLINED;
  }
  ngx_http_isapi_loc_conf_t* lcf = ngx_http_get_module_loc_conf(r, ngx_http_isapi_filter_module);
  if (lcf->filters == NULL || lcf->filters->nelts == 0) return NGX_DECLINED;
  return ngx_http_isapi_notify(r, lcf);
}

ngx_int_t ngx_http_isapi_withdraw_handler(ngx_http_request_t* r) {
  if (r != r->main) return NGX_DECLINED;
  ngx_http_isapi_ctx_t* ctx = ngx_http_isapi_get_ctx(r);
  if (ctx != NULL) ngx_http_isapi_withdraw(r, ctx);
  return NGX_DECLINED;
}

static ngx_int_t ngx_http_isapi_header_filter(ngx_http_request_t* r) {
  if (r == r->main) {
    ngx_http_isapi_ctx_t* ctx = ngx_http_isapi_get_ctx(r);
    if (ctx != NULL) {
      ngx_http_isapi_withdraw(r, ctx);
      if (ctx->refusal_line.len > 0 && r->headers_out.status == ctx->refusal_status) {
        r->headers_out.status_line = ctx->refusal_line;
      }
    }
  }
  return ngx_http_next_header_filter(r);
}

ngx_int_t ngx_http_isapi_init_header_filter(void) {
  ngx_http_next_header_filter = ngx_http_top_header_filter;
  ngx_http_top_header_filter = ngx_http_isapi_header_filter;
  return NGX_OK;
}

// ---- variables ----------------------------------------------------------------------------

typedef enum { kAuthUser, kLogonUser, kLogonReplaced, kAuthType } IsapiVariableKind;

static void ngx_http_isapi_set(ngx_http_variable_value_t* v, u_char* data, size_t len) {
  v->data = data;
  v->len = len;
  v->valid = 1;
  v->no_cacheable = 1;
  v->not_found = 0;
}

// The user name of the client's own Basic credentials, empty when it sent none.
static void ngx_http_isapi_client_user(ngx_http_request_t* r, ngx_http_isapi_ctx_t* ctx,
                                       ngx_http_variable_value_t* v) {
  ngx_table_elt_t* h = r->headers_in.authorization;
  ngx_str_t value = h != NULL ? h->value : (ngx_str_t)ngx_null_string;
  if (ctx != NULL && ctx->presented) value = ctx->client_value;
  ngx_http_isapi_set(v, (u_char*)"", 0);
  if (value.len == 0) return;
  const char* header = ngx_http_isapi_text(r, value.data, value.len);
  char user[SF_MAX_USERNAME];
  char password[SF_MAX_PASSWORD];
  CredentialsResult decoded = header != NULL ? decodeBasicCredentials(header, user, sizeof(user),
                                                                      password, sizeof(password))
                                             : kCredentialsNone;
  eraseSecret(password, sizeof(password));
  if (header != NULL) eraseSecret((char*)header, value.len);
  if (decoded != kCredentialsDecoded) return;
  const char* copy = ngx_http_isapi_text(r, (u_char*)user, ngx_strlen(user));
  if (copy != NULL) ngx_http_isapi_set(v, (u_char*)copy, ngx_strlen(copy));
}

// The account nginx's authentication checks: the filter's replacement, else the client's own.
static void ngx_http_isapi_logon_user(ngx_http_request_t* r, ngx_http_isapi_ctx_t* ctx,
                                      int replaced, ngx_http_variable_value_t* v) {
  if (replaced)
    ngx_http_isapi_set(v, ctx->logon_user.data, ctx->logon_user.len);
  else
    ngx_http_isapi_client_user(r->main, ctx, v);
}

static ngx_int_t ngx_http_isapi_variable(ngx_http_request_t* r, ngx_http_variable_value_t* v,
                                         uintptr_t data) {
  ngx_http_isapi_ctx_t* ctx = ngx_http_isapi_get_ctx(r->main);
  int replaced = ctx != NULL && ctx->replaced;
  switch ((IsapiVariableKind)data) {
    case kAuthUser:
      if (replaced)
        ngx_http_isapi_set(v, ctx->sent_user.data, ctx->sent_user.len);
      else
        ngx_http_isapi_client_user(r->main, ctx, v);
      break;
    case kLogonUser:
      ngx_http_isapi_logon_user(r, ctx, replaced, v);
      break;
    case kLogonReplaced:
      ngx_http_isapi_set(v, (u_char*)(replaced ? "1" : ""), replaced ? 1 : 0);
      break;
    case kAuthType:
      // "Basic" where there is a logon user: the only scheme whose credentials the filters see.
      ngx_http_isapi_logon_user(r, ctx, replaced, v);
      if (v->len > 0) ngx_http_isapi_set(v, (u_char*)"Basic", 5);
      break;
  }
  return NGX_OK;
}

ngx_int_t ngx_http_isapi_add_variables(ngx_conf_t* cf) {
  static ngx_http_variable_t variables[] = {
      {ngx_string("isapi_auth_user"), NULL, ngx_http_isapi_variable, kAuthUser,
       NGX_HTTP_VAR_NOCACHEABLE, 0},
      {ngx_string("isapi_logon_user"), NULL, ngx_http_isapi_variable, kLogonUser,
       NGX_HTTP_VAR_NOCACHEABLE, 0},
      {ngx_string("isapi_logon_replaced"), NULL, ngx_http_isapi_variable, kLogonReplaced,
       NGX_HTTP_VAR_NOCACHEABLE, 0},
      {ngx_string("isapi_auth_type"), NULL, ngx_http_isapi_variable, kAuthType,
       NGX_HTTP_VAR_NOCACHEABLE, 0},
  };
  for (size_t i = 0; i < sizeof(variables) / sizeof(variables[0]); ++i) {
    ngx_http_variable_t* v = ngx_http_add_variable(cf, &variables[i].name, variables[i].flags);
    if (v == NULL) return NGX_ERROR;
    v->get_handler = variables[i].get_handler;
    v->data = variables[i].data;
  }
  return NGX_OK;
}
