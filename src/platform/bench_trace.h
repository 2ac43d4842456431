// Timestamped events for the start-up benchmark (bench/wine_startup.py): when the program's
// own code starts, when a window shows its image and when that image first holds content. Compiled in only by a build that
// defines PELINOR_BENCH_TRACE (the benchmark's own tree); everywhere else the call is empty.
#pragma once

namespace platform {

#if defined(PELINOR_BENCH_TRACE)
// Appends "<ms since 1970> <what> <who>" to bench-events.txt beside the executable. The
// first event of a process is preceded by "<ms> created 0": the process creation time.
void BenchEvent(const char* what, const void* who);
#else
inline void BenchEvent(const char*, const void*) {}
#endif

}  // namespace platform
