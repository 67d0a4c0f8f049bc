#include "app/HeapRelease.h"
#include <cstdlib>  // defines __GLIBC__ on the GNU C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepBigBlocksApart() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void releaseFreeHeap() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
