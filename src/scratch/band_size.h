#pragma once
// The memory the file-backed routines give to the band of columns they hold at a time (8 MB).
// Tests make it small so that a sweep crosses many band boundaries; 0 restores the default.
#include <cstddef>
#include <cstdint>

namespace quenta::band_size {

std::size_t bytes();
void setBytes(std::size_t bytes);

// Bands of at least this many records are read by two threads (65536 unless changed; 0 restores
// the default, 1 makes every band be read by two).
std::int64_t twoReaderRecords();
void setTwoReaderRecords(std::int64_t records);

} // namespace quenta::band_size
