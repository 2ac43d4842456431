// The Windows side of the clock, for callers that name the time zone themselves.
#pragma once
#include <windows.h>

#include <cstdint>

#include "platform/clock.h"

namespace platform {

// UnixSecondsFromLocal by the rules of `zone` (null: the system's zone).
int64_t UnixSecondsFromLocalIn(const TIME_ZONE_INFORMATION* zone, const LocalTime& t);

}  // namespace platform
