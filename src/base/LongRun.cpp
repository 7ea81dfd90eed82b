#include "base/LongRun.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qv {

void KeepMemoryForLongRuns() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 1);
  // Setting the threshold also stops the library from raising it to the largest block freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void GiveFreePagesBackToTheSystem() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace qv
