#pragma once
// A band of consecutive columns of the augmented matrix [A | b], every row, read from the scratch
// file with one positioned read per row and held column by column; column N+1 is b.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scratch/scratch_file.h"

namespace quenta {

// The memory of a band and when two threads read it; the defaults are the program's.
struct BandSize {
    std::size_t bytes = std::size_t(8) << 20;  // 8 MB whatever the order of the system
    std::int64_t twoReaderRecords = 1 << 16;   // bands of fewer records are read by one thread
};

class Band {
public:
    // A band of a system of order n; its buffer is allocated by the first load (MemoryError).
    Band(int n, ScratchReader& file, BandSize size = {});

    // Loads columns first..min(first+width-1, n+1) of the records that exist. FileError when the
    // file is closed or a read fails.
    void load(int first);
    bool holds(int i) const { return i >= first_ && i < first_ + count_; }
    // Element k is a(k+1, i) for k < rows(i).
    const float* column(int i) const { return data_.get() + static_cast<std::size_t>(i - first_) * stride_; }
    // How many of the rows 1..n of column i exist in the file.
    int rows(int i) const;

private:
    void load_rows(int from, int to, std::vector<unsigned char>& bytes);

    int n_;
    i16 n1_;
    ScratchReader& file_;
    BandSize size_;
    std::int64_t records_;
    std::size_t stride_;
    int width_;
    int first_ = 1;
    int count_ = 0;
    std::unique_ptr<float[]> data_;
    std::vector<unsigned char> bytes_, helperBytes_;
};

} // namespace quenta
