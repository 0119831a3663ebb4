#pragma once

// For work done on a thread beside the one that shows the window.

// Gives the calling thread the lowest priority, so that it runs on what the
// rest of the program and the window system leave. It cannot be raised again.
void lowerCurrentThreadPriority();
