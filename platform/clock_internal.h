// Calendar arithmetic shared by the POSIX and Win32 clocks; not part of the public interface.
#ifndef GATEKEEPER_PLATFORM_CLOCK_INTERNAL_H_
#define GATEKEEPER_PLATFORM_CLOCK_INTERNAL_H_

#include <cstdint>

#include "platform/clock.h"

namespace gatekeeper::platform::internal {

// Seconds from 1601-01-01 to 1970-01-01 UTC.
inline constexpr std::int64_t kUnixEpochSeconds = 11644473600;

// A date of the calendar, month 1-12 and day 1-31.
struct Date {
  int year;
  int month;
  int day;
};

// The date that year, month and day name after rolling months and days over (see
// utcMidnight). false when it lies outside the years of file times.
bool rollOver(int year, int month, int day, Date* out);

inline FileTime fileTimeFromUnixSeconds(std::int64_t seconds) {
  return (seconds + kUnixEpochSeconds) * kTicksPerSecond;
}

// A FileTime from the two 32-bit halves of a Windows FILETIME.
inline FileTime fileTimeFromHalves(std::uint32_t high, std::uint32_t low) {
  return static_cast<FileTime>((static_cast<std::uint64_t>(high) << 32) | low);
}

}  // namespace gatekeeper::platform::internal

#endif  // GATEKEEPER_PLATFORM_CLOCK_INTERNAL_H_
