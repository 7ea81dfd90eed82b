#pragma once
// Memory for processes that run for hours (the editor, a playout, an on-air server).

namespace qv {

// Blocks of 128 kB and more — a crawl's strips, a text's picture, a sequence's frames — are taken
// from the system one by one and given back to it when freed. By default the C library raises
// that threshold to the largest block freed so far, after which such blocks come from the heap of
// the thread that made them: pictures made on worker threads and freed on another, each of a
// slightly different size, leave holes there that the next does not fit, and a looping page's
// resident memory grows for as long as it plays. Call once, before other threads start.
void GiveLargeBlocksBackToTheSystem();

// Gives the free pages inside the heaps back to the system: the small blocks of pictures and texts
// made and dropped over and over leave whole free pages between blocks still in use, which the
// system would otherwise keep counting as the process's. A few hundred microseconds; for a
// moment when the process waits anyway, a minute or so apart.
void GiveFreePagesBackToTheSystem();

}  // namespace qv
