#include "scratch/band.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <vector>

#include "model/errors.h"
#include "scratch/packed_copy.h"

namespace quenta {

namespace {

constexpr int GroupRows = 8;  // rows a direct reader reads before it files them into columns
constexpr std::size_t HugePage = std::size_t(2) << 20;

} // namespace

// One load, shared by its readers: the next group of rows to take and the first failure.
struct BandLoad {
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    int group = 1;  // rows a reader takes at a time
    std::mutex lock;
    std::exception_ptr failure;
    // Called from a reader's catch: the other readers stop, and the first failure is kept.
    void fail()
    {
        stop = true;
        const std::lock_guard<std::mutex> hold(lock);
        if (!failure)
            failure = std::current_exception();
    }
    struct Reader {
        RecordReader records;
        std::vector<float> rows;  // the group's rows, one after the other
    };
    std::vector<Reader> readers;  // one per thread, kept from load to load
};

Band::Band(int n, ScratchReader& file, BandSize size)
    : n_(n), n1_(add16(static_cast<i16>(n), 1)), file_(file), size_(size), records_(file.records()),
      stride_((static_cast<std::size_t>(n) + 3) / 4 * 4 + 16),  // padded off powers of two
      packed_(file.packed(n)), load_(std::make_unique<BandLoad>())
{
    // A file too large for the page cache is read past it, in large bands; its packed copy, 32
    // times smaller, through the cache but in the same large bands, so that each read is long.
    const bool large = records_ * ScratchRecordLength > size.directAbove;
    direct_ = large && !packed_ && file.directFd() >= 0;
    largePacked_ = large && packed_;
    const std::size_t bytes = direct_ || largePacked_ ? size.directBytes : size.bytes;
    width_ = static_cast<int>(
        std::clamp<std::size_t>(bytes / sizeof(float) / stride_, 1, static_cast<std::size_t>(n) + 1));
    const int readers = std::max(1, direct_ ? size_.directReaders : size_.readers);
    load_->readers.reserve(static_cast<std::size_t>(readers));
    for (int k = 0; k < readers; ++k)
        load_->readers.push_back({RecordReader(file, direct_), {}});
}

Band::~Band()
{
    if (prefetch_.joinable())
        prefetch_.join();
}

int Band::rows(int i) const
{
    if (records_ < i)
        return 0;
    return static_cast<int>(std::min<std::int64_t>(n_, (records_ - i) / n1_ + 1));
}

// The rows are taken a group at a time by up to size_.readers (direct: size_.directReaders)
// threads, the calling one among them; each reads its rows with its own reader and files them
// into the band's columns. The arithmetic stays on the calling thread.
void Band::load(int first)
{
    if (file_.fd() < 0)
        throw FileError("the scratch file is not open");
    if (prefetch_.joinable())
        prefetch_.join();
    if (!data_) {
        // Huge pages for a direct band, hundreds of megabytes: filing rows into columns touches
        // every column. A small band is allocated by every call, where a huge page's fault can
        // cost more than it saves.
        const std::size_t bytes = stride_ * static_cast<std::size_t>(width_) * sizeof(float);
        const bool huge = direct_ && bytes >= HugePage;
        const std::size_t rounded = record_io::round_up(bytes, HugePage);
        data_.reset(static_cast<float*>(huge ? std::aligned_alloc(HugePage, rounded) : std::malloc(bytes)));
        if (!data_)
            throw MemoryError("not enough memory for the read buffer");
        if (huge)
            ::madvise(data_.get(), rounded, MADV_HUGEPAGE);
    }
    first_ = first;
    count_ = std::min(width_, n_ + 2 - first);
    BandLoad& l = *load_;
    l.next = 0;
    l.stop = false;
    l.failure = nullptr;
    const std::int64_t records = static_cast<std::int64_t>(count_) * n_;
    // A buffered row is filed while the copy is still in the processor's cache.
    const bool direct = direct_ && file_.directFd() >= 0;
    l.group = packed_ ? packed_->layout().rowsPerBlock : direct ? GroupRows : 1;
    const int groups = (n_ + l.group - 1) / l.group;
    const int wanted = direct || largePacked_ ? size_.directReaders : size_.readers;
    const int most = std::min(groups, static_cast<int>(l.readers.size()));
    const int readers = records < size_.parallelRecords ? 1 : std::clamp(wanted, 1, most);
    std::vector<std::thread> helpers;
    for (int k = 1; k < readers; ++k) {
        try {
            helpers.emplace_back([this, k] { packed_ ? read_blocks(k) : read_groups(k); });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the others read the rest
        }
    }
    packed_ ? read_blocks(0) : read_groups(0);
    for (std::thread& t : helpers)
        t.join();
    if (l.failure)
        std::rethrow_exception(l.failure);
    prefetch_next();
}

void Band::prefetch_next()
{
    const int next = first_ + count_;
    if (!largePacked_ || next > n_ + 1)
        return;
    try {
        prefetch_ = std::thread([this, next] {
            const PackedLayout& layout = packed_->layout();
            const std::size_t width = static_cast<std::size_t>(std::min(width_, n_ + 2 - next));
            for (int first = 1; first <= n_; first += layout.rowsPerBlock)
                packed_->prefetch(layout.offset(first, next),
                                  width * static_cast<std::size_t>(layout.blockRows(first)) * sizeof(float));
        });
    } catch (const std::system_error&) {
        // no thread to be had: the next load reads without the hint
    }
}

void Band::read_groups(int reader)
{
    BandLoad& l = *load_;
    BandLoad::Reader& r = l.readers[static_cast<std::size_t>(reader)];
    try {
        const int group = l.group;
        const std::size_t rowLength = static_cast<std::size_t>(count_);
        try {
            r.rows.resize(rowLength * static_cast<std::size_t>(group));
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the read buffer");
        }
        const int groups = (n_ + group - 1) / group;
        for (;;) {
            const int g = l.next++;
            if (g >= groups || l.stop)
                return;
            std::int64_t have[GroupRows];
            int got = 0;
            for (int j = g * group + 1; j <= std::min(n_, (g + 1) * group); ++j, ++got) {
                const std::int64_t start = static_cast<std::int64_t>(n1_) * (j - 1) + first_;
                have[got] = std::min<std::int64_t>(count_, records_ - start + 1);
                if (have[got] <= 0)
                    break;  // later rows start further on
                r.records.read(start, have[got], 1, r.rows.data() + rowLength * static_cast<std::size_t>(got));
            }
            float* out = data_.get() + static_cast<std::ptrdiff_t>(g) * group;
            const std::int64_t full = got > 0 ? *std::min_element(have, have + got) : 0;
            const float* in = r.rows.data();
            for (std::int64_t c = 0; c < count_; ++c, out += stride_, ++in)
                for (int t = 0; t < got; ++t)
                    if (c < full || c < have[t])
                        out[t] = in[rowLength * static_cast<std::size_t>(t)];
        }
    } catch (...) {
        l.fail();
    }
}

} // namespace quenta

namespace quenta {

// A block of rows holds each column's piece of it in one run, and the band's columns lie side by
// side in it: one read of the band's stretch, then each piece copied into its column.
void Band::read_blocks(int reader)
{
    BandLoad& l = *load_;
    BandLoad::Reader& r = l.readers[static_cast<std::size_t>(reader)];
    try {
        const PackedLayout& layout = packed_->layout();
        const std::size_t width = static_cast<std::size_t>(count_);
        try {
            r.rows.resize(width * static_cast<std::size_t>(l.group));
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the read buffer");
        }
        const int groups = (n_ + l.group - 1) / l.group;
        for (;;) {
            const int g = l.next++;
            if (g >= groups || l.stop)
                return;
            const int first = g * l.group + 1;
            const auto rows = static_cast<std::size_t>(layout.blockRows(first));
            auto* bytes = reinterpret_cast<unsigned char*>(r.rows.data());
            packed_->read(layout.offset(first, first_), width * rows * sizeof(float), bytes);
            float* out = data_.get() + (first - 1);
            for (std::size_t c = 0; c < width; ++c, out += stride_, bytes += rows * sizeof(float)) {
                if constexpr (std::endian::native == std::endian::little)
                    std::memcpy(out, bytes, rows * sizeof(float));
                else
                    for (std::size_t k = 0; k < rows; ++k)
                        out[k] = record_io::load_value(bytes + 4 * k);
            }
        }
    } catch (...) {
        l.fail();
    }
}

} // namespace quenta
