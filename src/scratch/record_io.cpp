#include "scratch/record_io.h"

#include <fcntl.h>
#include <limits>
#include <unistd.h>

#include "model/errors.h"

namespace quenta::record_io {

int open_path(const QByteArray& name, int flags)
{
    return retrying([&] { return ::open(name.constData(), flags | O_CLOEXEC, 0644); });
}

bool read_at(int fd, unsigned char* into, std::size_t size, std::size_t need, std::int64_t offset)
{
    for (std::size_t done = 0; done < need;) {
        const auto at = static_cast<off_t>(offset + static_cast<std::int64_t>(done));
        const ssize_t got = retrying([&] { return ::pread(fd, into + done, size - done, at); });
        if (got < 0)
            return false;
        if (got == 0)
            throw FileError("the scratch file ends early");
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool write_at(int fd, const unsigned char* data, std::size_t size, std::int64_t offset)
{
    for (std::size_t done = 0; done < size;) {
        const auto at = static_cast<off_t>(offset + static_cast<std::int64_t>(done));
        const ssize_t put = retrying([&] { return ::pwrite(fd, data + done, size - done, at); });
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

Freed<unsigned char> block_aligned(std::size_t bytes)
{
    return Freed<unsigned char>(static_cast<unsigned char*>(std::aligned_alloc(Block, round_up(bytes, Block))));
}

namespace {

// The physical memory in bytes; 0 when the system does not say.
std::int64_t physical_memory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? std::int64_t(pages) * page : 0;
}

} // namespace

std::int64_t direct_read_above()
{
    static const std::int64_t half =
        physical_memory() > 0 ? physical_memory() / 2 : std::numeric_limits<std::int64_t>::max();
    return half;
}

std::int64_t direct_write_from()
{
    static const std::int64_t fifth = physical_memory() > 0 ? physical_memory() / 5 : std::int64_t(4) << 30;
    return fifth;
}

} // namespace quenta::record_io
