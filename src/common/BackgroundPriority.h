#pragma once

namespace pelagon {

// Lowers the calling thread's scheduling priority a little, once per thread, so that work done in
// the background (drawing frames, reading positions) gives way to the window's thread when both
// want a core: the wheel, the read-out and the menus answer while a frame is drawn. Threads the
// calling thread starts afterwards inherit the lower priority. Does nothing where threads have no
// priority of their own.
void lowerThreadPriority();

}  // namespace pelagon
