#pragma once
// Text files of large systems for the benchmarks that read them.
#include <QString>

namespace quenta::bench {

// Writes a system of order n with sample-like values in [0, 1000) (the same file on every run),
// N lines of N+1 numbers, streamed through a buffer.
void write_system(const QString& path, int n);

} // namespace quenta::bench
