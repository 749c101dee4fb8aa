#include "site_list.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

int addSite(SiteList* list, const char* name, size_t nameLength, unsigned port) {
  char portText[12];
  snprintf(portText, sizeof(portText), "%u", port);
  for (size_t i = 0; i < list->count; ++i) {
    const HOST_FILTER_SITE* site = &list->sites[i];
    if (strlen(site->serverName) == nameLength &&
        strncasecmp(site->serverName, name, nameLength) == 0 &&
        strcmp(site->serverPort, portText) == 0) {
      return 1;
    }
  }
  if (list->count == list->capacity) {
    size_t capacity = list->capacity > 0 ? 2 * list->capacity : 4;
    HOST_FILTER_SITE* grown = realloc(list->sites, capacity * sizeof(*grown));
    if (grown == NULL) return 0;
    list->sites = grown;
    list->capacity = capacity;
  }
  char* nameCopy = malloc(nameLength + 1);
  char* portCopy = strdup(portText);
  if (nameCopy == NULL || portCopy == NULL) {
    free(nameCopy);
    free(portCopy);
    return 0;
  }
  memcpy(nameCopy, name, nameLength);
  nameCopy[nameLength] = '\0';
  list->sites[list->count].serverName = nameCopy;
  list->sites[list->count].serverPort = portCopy;
  ++list->count;
  return 1;
}

void clearSites(SiteList* list) {
  for (size_t i = 0; i < list->count; ++i) {
    free((char*)list->sites[i].serverName);
    free((char*)list->sites[i].serverPort);
  }
  free(list->sites);
  list->sites = NULL;
  list->count = 0;
  list->capacity = 0;
}

int hostLogRank(DWORD severity) {
  if (severity <= HOST_LOG_ERROR) return 0;
  return severity == HOST_LOG_WARNING ? 1 : 2;
}
