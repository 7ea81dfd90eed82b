#include "base/LongRun.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qv {

void GiveLargeBlocksBackToTheSystem() {
#if defined(__GLIBC__)
  // Setting the threshold also stops the library from moving it.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void GiveFreePagesBackToTheSystem() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace qv
