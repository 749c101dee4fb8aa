#include "platform/system_error.h"

#include <windows.h>

namespace gatekeeper::platform {

int lastSystemError() { return static_cast<int>(GetLastError()); }

std::string systemErrorText(int code) {
  char buffer[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(code), 0, buffer, sizeof buffer,
                                nullptr);
  while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' ||
                        buffer[length - 1] == ' ' || buffer[length - 1] == '.')) {
    --length;
  }
  if (length == 0) return "error " + std::to_string(code);
  return std::string(buffer, length);
}

std::string readProblem(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return systemErrorText(static_cast<int>(GetLastError()));
  char byte;
  DWORD got = 0;
  const BOOL read = ReadFile(file, &byte, 1, &got, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  return read ? std::string() : systemErrorText(static_cast<int>(error));
}

}  // namespace gatekeeper::platform
