// A test double of an ISAPI authentication filter, loaded by Apache through mod_isapi_filter in
// the end-to-end tests. Whatever the request, it first adds the header "X-Test-Filter-Saw: <user
// name sent>" (or "(anonymous)"), so tests can count notifications. What it then does is chosen
// by the user name the client sent; the password carries the argument:
//
//   (anonymous)   under /supply/: supplies the credentials webuser/webpass, HANDLED;
//                 elsewhere: HANDLED, credentials left empty
//   map           password "name=password": puts those credentials in place, HANDLED
//   map-next      the same, answering NEXT_NOTIFICATION
//   deny          asks for "401 Access Denied", last error ERROR_ACCESS_DENIED, ERROR
//   respond       password "status|headers": asks for that response, ERROR
//   respond-next  the same, answering NEXT_NOTIFICATION
//   error         password a number: sets it as last error, ERROR
//   finish        FINISHED, without asking for a response
//   bogus         an undefined status
//   unterminated  fills the user-name buffer without a terminating zero, HANDLED
//   longest       puts the longest name that fits its buffer in place, HANDLED
//   colon         puts the name "we:b" in place, HANDLED
//   vars          reports server variables and probes of the context as "X-Var-*" and
//                 "X-Probe-*" response headers, NEXT_NOTIFICATION
//   anything else NEXT_NOTIFICATION, credentials untouched
//
// Every call also adds "X-Test-Filter-Order: <name>", so tests can see which filters ran in
// which order: the name and the priority are chosen at build time (default: "medium" at
// SF_NOTIFY_ORDER_MEDIUM).
//
// GetFilterVersion fails when the environment variable TEST_FILTER_REFUSE_START is set; it
// appends a line to the file named by TEST_FILTER_START_LOG, when set, each time it is called.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/isapi.h"

#define EXPORT __attribute__((visibility("default")))

#ifndef TEST_FILTER_NAME
#define TEST_FILTER_NAME "medium"
#define TEST_FILTER_ORDER SF_NOTIFY_ORDER_MEDIUM
#endif

EXPORT BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
  if (getenv("TEST_FILTER_REFUSE_START") != NULL) return FALSE;
  const char* startLog = getenv("TEST_FILTER_START_LOG");
  if (startLog != NULL) {
    FILE* log = fopen(startLog, "a");
    if (log != NULL) {
      fputs("started\n", log);
      fclose(log);
    }
  }
  version->dwFilterVersion = 0x00040000;
  snprintf(version->lpszFilterDesc, SF_MAX_FILTER_DESC_LEN, "test filter %s", TEST_FILTER_NAME);
  version->dwFlags = TEST_FILTER_ORDER | SF_NOTIFY_AUTHENTICATION | SF_NOTIFY_NONSECURE_PORT |
                     SF_NOTIFY_SECURE_PORT;
  return TRUE;
}

static void addHeader(HTTP_FILTER_CONTEXT* pfc, const char* name, const char* value) {
  char line[1024];
  snprintf(line, sizeof(line), "%s: %s\r\n", name, value);
  pfc->AddResponseHeaders(pfc, line, 0);
}

// Copies text into a credential buffer of size bytes, cutting it to fit.
static void putCredential(char* buffer, DWORD size, const char* text, size_t length) {
  if (length >= size) length = size - 1;
  memcpy(buffer, text, length);
  buffer[length] = '\0';
}

// "name=password" from the password buffer into both buffers.
static void mapFromPassword(HTTP_FILTER_AUTHENT* authent) {
  char argument[SF_MAX_PASSWORD];
  snprintf(argument, sizeof(argument), "%s", authent->pszPassword);
  char* equals = strchr(argument, '=');
  const char* password = equals != NULL ? equals + 1 : "";
  if (equals != NULL) *equals = '\0';
  putCredential(authent->pszUser, authent->cbUserBuff, argument, strlen(argument));
  putCredential(authent->pszPassword, authent->cbPasswordBuff, password, strlen(password));
}

// "status|headers" from the password: asks the server for that response.
static void respondFromPassword(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* authent) {
  char argument[SF_MAX_PASSWORD];
  snprintf(argument, sizeof(argument), "%s", authent->pszPassword);
  char* bar = strchr(argument, '|');
  const char* headers = NULL;
  if (bar != NULL) {
    *bar = '\0';
    headers = bar + 1;
  }
  pfc->ServerSupportFunction(pfc, SF_REQ_SEND_RESPONSE_HEADER, argument, (ULONG_PTR)headers, 0);
}

// Reads a variable into a generous buffer and reports it as "X-Var-<name>", line ends shown
// as '|'.
static void reportVariable(HTTP_FILTER_CONTEXT* pfc, const char* name) {
  char value[512];
  DWORD size = sizeof(value);
  char header[64];
  snprintf(header, sizeof(header), "X-Var-%s", name);
  if (pfc->GetServerVariable(pfc, (LPSTR)name, value, &size)) {
    for (char* c = value; *c != '\0'; ++c) {
      if (*c == '\n') *c = '|';
    }
    addHeader(pfc, header, value);
  } else {
    snprintf(value, sizeof(value), "(FALSE %u)", (unsigned)GetLastError());
    addHeader(pfc, header, value);
  }
}

// One GetServerVariable call reported as "<TRUE|FALSE> <last error or 0> <size after>
// <buffer untouched|written>".
static void probe(HTTP_FILTER_CONTEXT* pfc, const char* header, const char* name, int withBuffer,
                  DWORD size) {
  char buffer[512];
  memset(buffer, '#', sizeof(buffer));
  SetLastError(0);
  BOOL ok = pfc->GetServerVariable(pfc, (LPSTR)name, withBuffer ? buffer : NULL, &size);
  DWORD error = ok ? 0 : GetLastError();
  char report[128];
  snprintf(report, sizeof(report), "%s %u %u %s", ok ? "TRUE" : "FALSE", (unsigned)error,
           (unsigned)size, buffer[0] == '#' ? "untouched" : "written");
  addHeader(pfc, header, report);
}

static DWORD reportVariables(HTTP_FILTER_CONTEXT* pfc) {
  static const char* const kNames[] = {"SERVER_NAME", "SERVER_PORT", "SCRIPT_NAME",
                                       "AUTH_TYPE",   "REMOTE_ADDR", "QUERY_STRING",
                                       "HTTP_HOST",   "server_port", "REQUEST_METHOD",
                                       "ALL_HTTP"};
  for (size_t i = 0; i < sizeof(kNames) / sizeof(kNames[0]); ++i) reportVariable(pfc, kNames[i]);

  DWORD needed = 0;
  pfc->GetServerVariable(pfc, "SERVER_NAME", NULL, &needed);
  probe(pfc, "X-Probe-Size-Query", "SERVER_NAME", 0, 0);
  probe(pfc, "X-Probe-One-Short", "SERVER_NAME", 1, needed - 1);
  probe(pfc, "X-Probe-Exact", "SERVER_NAME", 1, needed);
  probe(pfc, "X-Probe-Unknown", "NO_SUCH_VARIABLE", 1, 512);
  probe(pfc, "X-Probe-Missing-Header", "HTTP_X_NOT_SENT", 1, 512);

  char* memory = pfc->AllocMem(pfc, 64, 0);
  if (memory != NULL) memset(memory, 'm', 64);
  addHeader(pfc, "X-Probe-AllocMem", memory != NULL ? "ok" : "NULL");
  DWORD bytes = 1;
  addHeader(pfc, "X-Probe-WriteClient", pfc->WriteClient(pfc, "x", &bytes, 0) ? "TRUE" : "FALSE");
  addHeader(pfc, "X-Probe-Unsupported",
            pfc->ServerSupportFunction(pfc, SF_REQ_GET_CONNID, NULL, 0, 0) ? "TRUE" : "FALSE");
  addHeader(pfc, "X-Probe-Bad-Headers",
            pfc->AddResponseHeaders(pfc, "X-Split: a\rX-Injected: b\r\n", 0) ? "TRUE" : "FALSE");
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

static int startsWith(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

static DWORD authenticate(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* authent) {
  const char* user = authent->pszUser;
  addHeader(pfc, "X-Test-Filter-Saw", user[0] != '\0' ? user : "(anonymous)");
  addHeader(pfc, "X-Test-Filter-Order", TEST_FILTER_NAME);

  if (user[0] == '\0') {
    char path[512];
    DWORD size = sizeof(path);
    if (pfc->GetServerVariable(pfc, "SCRIPT_NAME", path, &size) && startsWith(path, "/supply/")) {
      putCredential(authent->pszUser, authent->cbUserBuff, "webuser", 7);
      putCredential(authent->pszPassword, authent->cbPasswordBuff, "webpass", 7);
    }
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (strcmp(user, "map") == 0 || strcmp(user, "map-next") == 0) {
    int next = strcmp(user, "map-next") == 0;
    mapFromPassword(authent);
    return next ? SF_STATUS_REQ_NEXT_NOTIFICATION : SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (strcmp(user, "deny") == 0) {
    pfc->ServerSupportFunction(pfc, SF_REQ_SEND_RESPONSE_HEADER, "401 Access Denied", 0, 0);
    SetLastError(ERROR_ACCESS_DENIED);
    return SF_STATUS_REQ_ERROR;
  }
  if (strcmp(user, "respond") == 0 || strcmp(user, "respond-next") == 0) {
    int next = strcmp(user, "respond-next") == 0;
    respondFromPassword(pfc, authent);
    return next ? SF_STATUS_REQ_NEXT_NOTIFICATION : SF_STATUS_REQ_ERROR;
  }
  if (strcmp(user, "error") == 0) {
    SetLastError((DWORD)strtoul(authent->pszPassword, NULL, 10));
    return SF_STATUS_REQ_ERROR;
  }
  if (strcmp(user, "finish") == 0) return SF_STATUS_REQ_FINISHED;
  if (strcmp(user, "bogus") == 0) return 0x12345;
  if (strcmp(user, "unterminated") == 0) {
    memset(authent->pszUser, 'x', authent->cbUserBuff);
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (strcmp(user, "longest") == 0) {
    memset(authent->pszUser, 'l', authent->cbUserBuff - 1);
    authent->pszUser[authent->cbUserBuff - 1] = '\0';
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (strcmp(user, "colon") == 0) {
    putCredential(authent->pszUser, authent->cbUserBuff, "we:b", 4);
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (strcmp(user, "vars") == 0) return reportVariables(pfc);
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

EXPORT DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                   VOID* notification) {
  if (notificationType != SF_NOTIFY_AUTHENTICATION) return SF_STATUS_REQ_NEXT_NOTIFICATION;
  return authenticate(pfc, (HTTP_FILTER_AUTHENT*)notification);
}
