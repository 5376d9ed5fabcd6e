// The threads that convert bands of a frame: started once, on the first frame that asks for more
// than the calling thread, grown when a frame asks for more than ever before, never stopped.
#pragma once

#include <cstdint>

namespace vyr::frame {

// task(context, band, slot) for every band in 0..bands-1, on at most `threads` threads at once, the
// calling thread among them; returns when every band is done. Each thread that takes part has its
// own slot, 0..threads-1 (the caller's is 0). Any number of callers may run at the same time.
using BandTask = void (*)(void* context, uint32_t band, unsigned slot);
void runBands(unsigned threads, uint32_t bands, BandTask task, void* context);

// Threads started by the pool so far (for tests: frames do not start threads of their own).
unsigned poolThreadCount();

} // namespace vyr::frame
