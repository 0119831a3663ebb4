#pragma once

#include <QStringList>

namespace bench {

// The argument that turns the benchmark program into a one-shot measuring
// child. Each peak is taken in a fresh process, so that no earlier benchmark's
// heap is counted.
inline constexpr char PeakMemoryArgument[] = "--peak-memory";

// The child's side: `bare` shows the bare window, `reader <directory>` starts
// the reader on a collection; either then prints its peak resident size.
// Returns the process exit status.
int runPeakMemoryChild(const QStringList& arguments);

// Runs a child with these arguments and returns its peak resident size in KiB,
// or a negative number if it failed.
double measurePeakKiB(const QStringList& arguments);

} // namespace bench
