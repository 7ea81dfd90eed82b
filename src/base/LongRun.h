#pragma once
// Memory for a process that runs for hours with a few threads (the editor playing a page in a loop).

namespace qv {

// Every thread allocates from one heap, blocks of 128 kB and more are taken from the system one
// by one and given back when freed, and GiveFreePagesBackToTheSystem may be called now and then.
// Pictures made on worker threads (a crawl's strips, a text's picture) and freed on the interface
// thread, each of a slightly different size, otherwise leave holes in the heaps of the threads that
// made them, and the resident memory of a looping page grew by steps of ~0.7 MB every few minutes
// while the memory in use stayed the same. Call once, before other threads start.
void KeepMemoryForLongRuns();

// Gives the free pages inside the heap back to the system. A few hundred microseconds at most;
// for a moment when the process waits anyway, a minute or so apart.
void GiveFreePagesBackToTheSystem();

}  // namespace qv
