#include "scratch/band.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

namespace {

constexpr int GroupRows = 8;             // rows a direct reader reads before it files them into columns
constexpr std::size_t Align = 4096;      // direct I/O: offsets, lengths and buffer addresses
constexpr std::size_t HugePage = std::size_t(2) << 20;

std::size_t round_up(std::size_t v, std::size_t to) { return (v + to - 1) / to * to; }

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

} // namespace

std::int64_t direct_read_threshold()
{
    static const std::int64_t half = [] {
        const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
        if (pages <= 0 || page <= 0)
            return std::numeric_limits<std::int64_t>::max();
        return static_cast<std::int64_t>(pages) * page / 2;
    }();
    return half;
}

// One load, shared by its readers: the next group of rows to take and the first failure.
struct BandLoad {
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> direct{false};
    bool directRefused = false;  // a direct read was refused once: buffered reads from then on
    int directFd = -1;
    int group = 1;  // rows a reader takes at a time
    std::mutex lock;
    std::exception_ptr failure;
    struct Buffer {
        std::unique_ptr<unsigned char, FreeDeleter> bytes;
        std::size_t size = 0;
    };
    std::vector<Buffer> buffers;  // one per reader, kept from load to load
};

Band::Band(int n, ScratchReader& file, BandSize size)
    : n_(n), n1_(add16(static_cast<i16>(n), 1)), file_(file), size_(size), records_(file.records()),
      stride_((static_cast<std::size_t>(n) + 3) / 4 * 4 + 16),  // padded off powers of two
      load_(std::make_unique<BandLoad>())
{
    direct_ = records_ * ScratchRecordLength > size.directAbove && file.directFd() >= 0;
    const std::size_t bytes = direct_ ? size.directBytes : size.bytes;
    width_ = static_cast<int>(
        std::clamp<std::size_t>(bytes / sizeof(float) / stride_, 1, static_cast<std::size_t>(n) + 1));
    load_->buffers.resize(static_cast<std::size_t>(std::max({1, size_.readers, size_.directReaders})));
}

Band::~Band() { std::free(data_); }

int Band::rows(int i) const
{
    if (records_ < i)
        return 0;
    return static_cast<int>(std::min<std::int64_t>(n_, (records_ - i) / n1_ + 1));
}

// The rows are taken a group at a time by up to size_.readers (direct: size_.directReaders)
// threads, the calling one among them; each reads its rows into its own buffer and files them into the band's columns. The
// arithmetic stays on the calling thread.
void Band::load(int first)
{
    if (file_.fd() < 0)
        throw FileError("the scratch file is not open");
    if (!data_) {
        // Huge pages for a direct band, hundreds of megabytes: filing rows into columns touches
        // every column. A small band is allocated by every call, where a huge page's fault can
        // cost more than it saves.
        const std::size_t bytes = stride_ * static_cast<std::size_t>(width_) * sizeof(float);
        const bool huge = direct_ && bytes >= HugePage;
        data_ = static_cast<float*>(huge ? std::aligned_alloc(HugePage, round_up(bytes, HugePage))
                                         : std::malloc(bytes));
        if (!data_)
            throw MemoryError("not enough memory for the read buffer");
        if (huge)
            ::madvise(data_, round_up(bytes, HugePage), MADV_HUGEPAGE);
    }
    first_ = first;
    count_ = std::min(width_, n_ + 2 - first);
    BandLoad& l = *load_;
    l.next = 0;
    l.stop = false;
    l.failure = nullptr;
    l.directFd = direct_ && !l.directRefused ? file_.directFd() : -1;
    l.direct = l.directFd >= 0;
    const std::int64_t records = static_cast<std::int64_t>(count_) * n_;
    // A buffered row is filed while the copy is still in the processor's cache.
    l.group = l.direct ? GroupRows : 1;
    const int groups = (n_ + l.group - 1) / l.group;
    const int wanted = l.direct ? size_.directReaders : size_.readers;
    const int readers = records < size_.parallelRecords ? 1 : std::clamp(wanted, 1, groups);
    std::vector<std::thread> helpers;
    for (int k = 1; k < readers; ++k) {
        try {
            helpers.emplace_back([this, k] { read_groups(k); });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the others read the rest
        }
    }
    read_groups(0);
    for (std::thread& t : helpers)
        t.join();
    if (!l.direct && l.directFd >= 0)
        l.directRefused = true;
    if (l.failure)
        std::rethrow_exception(l.failure);
}

void Band::read_groups(int reader)
{
    BandLoad& l = *load_;
    BandLoad::Buffer& buffer = l.buffers[static_cast<std::size_t>(reader)];
    try {
        const std::size_t slot = round_up(static_cast<std::size_t>(count_) * ScratchRecordLength, Align) + 2 * Align;
        const int group = l.group;
        const std::size_t need = slot * static_cast<std::size_t>(group);
        if (buffer.size < need) {
            buffer.bytes.reset();
            buffer.bytes.reset(static_cast<unsigned char*>(std::aligned_alloc(Align, need)));
            buffer.size = buffer.bytes ? need : 0;
            if (!buffer.bytes)
                throw MemoryError("not enough memory for the read buffer");
        }
        const int groups = (n_ + group - 1) / group;
        for (;;) {
            const int g = l.next++;
            if (g >= groups || l.stop)
                return;
            const unsigned char* row[GroupRows];
            std::int64_t have[GroupRows];
            int got = 0;
            for (int j = g * group + 1; j <= std::min(n_, (g + 1) * group); ++j, ++got) {
                const std::int64_t r = static_cast<std::int64_t>(n1_) * (j - 1) + first_;
                have[got] = std::min<std::int64_t>(count_, records_ - r + 1);
                if (have[got] <= 0)
                    break;  // later rows start further on
                // Only the value bytes of the last record are needed.
                const std::int64_t offset = (r - 1) * ScratchRecordLength;
                const std::size_t size = static_cast<std::size_t>((have[got] - 1) * ScratchRecordLength + 4);
                unsigned char* into = buffer.bytes.get() + slot * static_cast<std::size_t>(got);
                row[got] = into;
                if (l.direct) {
                    const std::int64_t start = offset / std::int64_t(Align) * std::int64_t(Align);
                    const std::size_t skip = static_cast<std::size_t>(offset - start);
                    if (record_io::read_direct(l.directFd, into, round_up(skip + size, Align), skip + size, start)) {
                        row[got] = into + skip;
                        continue;
                    }
                    l.direct = false;  // refused here: buffered reads for the rest
                }
                record_io::read_exact(file_.fd(), into, size, offset);
            }
            float* out = data_ + static_cast<std::ptrdiff_t>(g) * group;
            const std::int64_t full = got > 0 ? *std::min_element(have, have + got) : 0;
            for (std::int64_t c = 0; c < count_; ++c, out += stride_) {
                const std::size_t at = static_cast<std::size_t>(c) * ScratchRecordLength;
                for (int t = 0; t < got; ++t) {
                    if (c >= full && c >= have[t])
                        continue;
                    if constexpr (std::endian::native == std::endian::little)
                        std::memcpy(out + t, row[t] + at, sizeof(float));
                    else
                        out[t] = record_io::decode(row[t] + at);
                }
            }
        }
    } catch (...) {
        l.stop = true;
        const std::lock_guard<std::mutex> hold(l.lock);
        if (!l.failure)
            l.failure = std::current_exception();
    }
}

} // namespace quenta
