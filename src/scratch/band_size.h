#pragma once
// The memory the file-backed routines give to the band of columns they hold at a time (8 MB).
// Tests make it small so that a sweep crosses many band boundaries; 0 restores the default.
#include <cstddef>

namespace quenta::band_size {

std::size_t bytes();
void setBytes(std::size_t bytes);

} // namespace quenta::band_size
