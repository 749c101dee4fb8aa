#include <windows.h>

#include "platform/process.h"

namespace gatekeeper::platform {

std::int64_t currentProcessId() { return static_cast<std::int64_t>(GetCurrentProcessId()); }

bool processRuns(std::int64_t processId) {
  if (processId <= 0 || processId > MAXDWORD) return false;
  if (processId == currentProcessId()) return true;
  HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
  // No such process gives ERROR_INVALID_PARAMETER; any other refusal means it exists.
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD exitCode = 0;
  const bool runs = !GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
  CloseHandle(process);
  return runs;
}

std::string hostName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size)) return "";
  return std::string(name, size);
}

}  // namespace gatekeeper::platform
