#include "scratch/record_io.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/scratch_file.h"

namespace quenta::record_io {

float decode(const unsigned char* p)
{
    std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return std::bit_cast<float>(bits);
}

void encode(float v, unsigned char* p)
{
    const auto bits = std::bit_cast<std::uint32_t>(v);
    p[0] = static_cast<unsigned char>(bits);
    p[1] = static_cast<unsigned char>(bits >> 8);
    p[2] = static_cast<unsigned char>(bits >> 16);
    p[3] = static_cast<unsigned char>(bits >> 24);
}

bool read_direct(int fd, unsigned char* into, std::size_t size, std::size_t need, std::int64_t offset)
{
    std::size_t done = 0;
    while (done < need) {
        const ssize_t got = ::pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EINVAL)
                return false;
            throw FileError("cannot read the scratch file");
        }
        if (got == 0)
            throw FileError("the scratch file ends early");
        done += static_cast<std::size_t>(got);
    }
    return true;
}

void read_exact(int fd, unsigned char* into, std::size_t size, std::int64_t offset)
{
    // On a descriptor without direct I/O, EINVAL is a failure like any other.
    if (!read_direct(fd, into, size, size, offset))
        throw FileError("cannot read the scratch file");
}

void read_strided(int fd, std::int64_t first, std::int64_t count, float* out, std::size_t stride,
                  std::vector<unsigned char>& bytes, std::size_t maxBytes)
{
    const std::int64_t perRead = std::max<std::int64_t>(1, static_cast<std::int64_t>(maxBytes) / ScratchRecordLength);
    while (count > 0) {
        const std::int64_t k = std::min(count, perRead);
        // Only the value bytes of the last record are needed.
        const std::size_t size = static_cast<std::size_t>((k - 1) * ScratchRecordLength + 4);
        if (bytes.size() < size)
            bytes.resize(size);
        read_exact(fd, bytes.data(), size, (first - 1) * ScratchRecordLength);
        const unsigned char* p = bytes.data();
        if constexpr (std::endian::native == std::endian::little) {
            for (std::int64_t r = 0; r < k; ++r, p += ScratchRecordLength, out += stride)
                std::memcpy(out, p, sizeof(float));
        } else {
            for (std::int64_t r = 0; r < k; ++r, p += ScratchRecordLength, out += stride)
                *out = decode(p);
        }
        first += k;
        count -= k;
    }
}

} // namespace quenta::record_io
