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

// Reads exactly `size` bytes at byte `offset`. FileError when a read fails or the file ends early.
void read_exact(int fd, unsigned char* into, std::size_t size, std::int64_t offset);

// The same through a file opened for direct I/O: reads up to `size` bytes at `offset` into
// `into`, all three aligned as direct I/O wants; the first `need` of them must arrive. Returns
// false when the system refuses the direct read, and then a buffered read has to do.
bool read_direct(int fd, unsigned char* into, std::size_t size, std::size_t need, std::int64_t offset);

// Reads the floats of `count` consecutive records starting at record `first` (numbered from 1),
// all of which exist, into out[0], out[stride], out[2*stride], ... One positioned read per
// stretch of at most `maxBytes` bytes; `bytes` is the reusable read buffer. FileError when a read
// fails or the file ends early.
void read_strided(int fd, std::int64_t first, std::int64_t count, float* out, std::size_t stride,
                  std::vector<unsigned char>& bytes, std::size_t maxBytes = std::size_t(1) << 20);

} // namespace quenta::record_io
