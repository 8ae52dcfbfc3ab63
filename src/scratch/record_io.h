#pragma once
// Positioned reads of the value bytes of consecutive scratch-file records.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quenta::record_io {

// Decodes the little-endian float at p.
float decode(const unsigned char* p);
// Encodes v little-endian into p[0..3].
void encode(float v, unsigned char* p);

// Reads the floats of `count` consecutive records starting at record `first` (numbered from 1),
// all of which exist, into out[0], out[stride], out[2*stride], ... One positioned read per
// stretch of at most `maxBytes` bytes; `bytes` is the reusable read buffer. FileError when a read
// fails or the file ends early.
void read_strided(int fd, std::int64_t first, std::int64_t count, float* out, std::size_t stride,
                  std::vector<unsigned char>& bytes, std::size_t maxBytes = std::size_t(1) << 20);

} // namespace quenta::record_io
