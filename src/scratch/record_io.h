#pragma once
// What the scratch file's reader and writer share: the bytes of a record's value, system calls
// retried when a signal interrupts them, buffers from the C allocator, and when the page cache
// is bypassed.
#include <QByteArray>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quenta {

constexpr std::int64_t ScratchRecordLength = 128;

namespace record_io {

// Direct I/O wants its offsets, lengths and buffer addresses on this boundary.
constexpr std::size_t Block = 4096;

inline std::size_t round_up(std::size_t v, std::size_t to) { return (v + to - 1) / to * to; }

// A record's value: the little-endian float in its first 4 bytes, on a machine of either order.
inline std::uint32_t little_endian(std::uint32_t bits)
{
    if constexpr (std::endian::native == std::endian::little)
        return bits;
    else
        return __builtin_bswap32(bits);
}
inline float load_value(const unsigned char* p)
{
    std::uint32_t bits;
    std::memcpy(&bits, p, 4);
    return std::bit_cast<float>(little_endian(bits));
}
inline void store_value(float v, unsigned char* p)
{
    const std::uint32_t bits = little_endian(std::bit_cast<std::uint32_t>(v));
    std::memcpy(p, &bits, 4);
}

// Calls `call` again for as long as it fails with EINTR; its last result.
template <class Call> auto retrying(Call call)
{
    auto rc = call();
    while (rc < 0 && errno == EINTR)
        rc = call();
    return rc;
}

// open(2) of an encoded name, closed on exec; -1 and errno on failure.
int open_path(const QByteArray& name, int flags);

// Reads bytes at `offset` into `into` until at least `need` of the `size` asked for arrived.
// False when a read fails (errno says why); FileError when the file ends before `need`.
bool read_at(int fd, unsigned char* into, std::size_t size, std::size_t need, std::int64_t offset);
// Writes all `size` bytes at `offset`. False when a write fails or the file takes no more.
bool write_at(int fd, const unsigned char* data, std::size_t size, std::int64_t offset);

// Memory from the C allocator, given back to it.
struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Freed = std::unique_ptr<T, Free>;
// `bytes` (rounded up to whole blocks) at a block boundary, or null.
Freed<unsigned char> block_aligned(std::size_t bytes);

// Scratch files larger than this are read past the page cache (direct I/O): half of the
// physical memory. The cache could not hold such a file next to the program and everything
// else, so a sweep would only push the rest of the machine out of it and read from the disk
// anyway.
std::int64_t direct_read_above();
// Scratch files of at least this many reserved bytes are written past the page cache: a fifth
// of the physical memory, about where the kernel starts to hold writers back (vm.dirty_ratio,
// 20 % by default). Beyond it the page cache only slows the writes down.
std::int64_t direct_write_from();

} // namespace record_io
} // namespace quenta
