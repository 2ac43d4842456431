// The program's own version, read from the executable's version resource.
#pragma once
#include <windows.h>

namespace platform {

// The program version "1.b.c.d" from the executable's version resource, b, c and d being
// its file version's last three parts. Fills `buffer` and returns 1, or returns 0 and
// leaves it untouched when there is no version resource.
int GetProgramVersion(wchar_t* buffer, int capacity);

}  // namespace platform
