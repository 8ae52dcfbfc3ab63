#pragma once
// A band of consecutive columns of the augmented matrix [A | b], every row, held column by column;
// column N+1 is b. It is read from the packed copy, one stretch of each block of rows, when the
// scratch file has a packed copy that matches it, and from the scratch file's records otherwise,
// one row's stretch at a time; the values are the same either way.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "scratch/scratch_file.h"

namespace quenta {

// The memory the file-backed routines hold a band of columns in when they read the scratch file
// with direct I/O. A band this large is a few thousand columns wide even at the largest order, so
// each row's part of it is one read of a few hundred kilobytes. The readers' row buffers come on
// top: about 160 bytes per column and reader.
constexpr std::size_t ScratchReadBudget = std::size_t(160) << 20;

// The memory of a band and how it is read; the defaults are the program's. Buffered reads come
// from the page cache and are copies, as fast as the cores, and a band small enough to stay in
// the processor's cache while it is computed does best. Direct reads wait for the disk, which
// answers many at a time as fast as few large ones.
struct BandSize {
    std::size_t bytes = std::size_t(8) << 20;  // the band, buffered...
    std::size_t directBytes = ScratchReadBudget;  // ...and direct
    std::int64_t parallelRecords = 1 << 16;  // bands of fewer records are read by one thread
    int readers = 2;                         // threads reading a larger band, buffered...
    int directReaders = 16;                  // ...and direct
    std::int64_t directAbove = record_io::direct_read_above();  // files larger than this: direct I/O
};

class Band {
public:
    // A band of a system of order n; its buffer is allocated by the first load (MemoryError).
    Band(int n, ScratchReader& file, BandSize size = {});
    ~Band();
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;

    // Loads columns first..min(first+width-1, n+1) of the records that exist. FileError when the
    // file is closed or a read fails.
    void load(int first);
    bool holds(int i) const { return i >= first_ && i < first_ + count_; }
    // Element k is a(k+1, i) for k < rows(i).
    const float* column(int i) const { return data_.get() + static_cast<std::size_t>(i - first_) * stride_; }
    // How many of the rows 1..n of column i exist in the file.
    int rows(int i) const;

private:
    void read_groups(int reader);
    void read_blocks(int reader);
    // The next band's stretches of the packed copy asked for while this band is computed, so
    // that a copy that is not in the page cache is read while the processor works. Only beside
    // a scratch file too large for the page cache: a smaller copy is most likely there already,
    // and the hint's thread would only take a core from the arithmetic.
    void prefetch_next();

    int n_;
    i16 n1_;
    ScratchReader& file_;
    BandSize size_;
    std::int64_t records_;
    std::size_t stride_;
    int width_;
    int first_ = 1;
    int count_ = 0;
    record_io::Freed<float> data_;
    bool direct_;
    // Reading the packed copy of a file too large for the page cache: large bands, as many
    // readers as direct reads have, and the next band asked for ahead.
    bool largePacked_;
    PackedReader* packed_;  // null: the records are read
    std::unique_ptr<struct BandLoad> load_;
    std::thread prefetch_;
};

} // namespace quenta
