#pragma once
// The packed copy of the scratch file, "data.sle.packed": the same N(N+1) values as data.sle,
// 4-byte little-endian floats without filler, so that a sweep reads 4 bytes per coefficient
// instead of 128. Connect writes it in the same pass as data.sle; the file-backed routines read
// it instead of data.sle only while its header names the data.sle that is open and the order
// that is solved. data.sle stays the system of record: a copy that is missing, short, unreadable
// or names another file is ignored.
//
// Layout: a header block of PackedHeaderBytes bytes, then the rows of [A | b] in blocks of
// `rowsPerBlock` consecutive rows (the last block may hold fewer). Within a block of r rows the
// values lie column by column: column j (1..N+1) of the block's rows is r consecutive floats.
// A band of columns is thus one stretch of each block, and each column of the band is a handful
// of contiguous pieces; the text comes row by row and a block is transposed in memory before it
// is written, so the file is written in order.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "scratch/scratch_claim.h"

namespace quenta {

constexpr std::int64_t PackedHeaderBytes = 4096;

// Where the packed values of a system of order n lie.
struct PackedLayout {
    int n = 0;
    int rowsPerBlock = 1;

    // The layout Connect writes: blocks of about 1 MiB, at least one row each.
    static PackedLayout of(int n);
    std::int64_t columns() const { return std::int64_t(n) + 1; }
    std::int64_t values() const { return std::int64_t(n) * columns(); }
    std::int64_t bytes() const { return PackedHeaderBytes + 4 * values(); }
    // Rows in the block that starts at row `first` (1-based).
    int blockRows(int first) const { return std::min(rowsPerBlock, n - first + 1); }
    // Byte offset of column j's piece of the block that starts at row `first`.
    std::int64_t offset(int first, int j) const
    {
        return PackedHeaderBytes + 4 * ((std::int64_t(first) - 1) * columns() + std::int64_t(j - 1) * blockRows(first));
    }
};

// Writes the packed copy. The file is created afresh; it holds no header, and so is never read,
// until finish() names the data.sle it belongs to.
class PackedWriter {
public:
    // FileError when the file cannot be created.
    explicit PackedWriter(const QString& path);
    ~PackedWriter();
    PackedWriter(const PackedWriter&) = delete;
    PackedWriter& operator=(const PackedWriter&) = delete;

    // The order of the system; reserves the copy's disk space (WriteError when the disk has no
    // room for it).
    void reserve(int n);
    // The next row of [A | b], N+1 values. WriteError when a write fails.
    void add(const float* row);
    // Writes what is left and the header that names `scratch` (as Connect recorded it), and
    // closes. WriteError when the rows are not all there or a write fails.
    void finish(const ScratchIdentity& scratch);
    // Closes and removes the file.
    void discard();

private:
    void writeBlock();

    QByteArray name_;
    int fd_ = -1;
    PackedLayout layout_;
    int rows_ = 0;      // rows added
    int buffered_ = 0;  // rows of the current block held in rowBuffer_
    std::vector<float> rowBuffer_, blockBuffer_;
};

// The packed copy opened for reading, for one data.sle.
class PackedReader {
public:
    // Nothing is read yet; a copy that cannot be opened is never valid().
    explicit PackedReader(const QString& path);
    ~PackedReader();
    PackedReader(const PackedReader&) = delete;
    PackedReader& operator=(const PackedReader&) = delete;

    // Whether the copy holds a system of order n whose data.sle is `scratch`, whole.
    bool matches(int n, const ScratchIdentity& scratch);
    const PackedLayout& layout() const { return layout_; }
    // Bytes at `offset` into `into`. FileError when the read fails or the copy ends early.
    void read(std::int64_t offset, std::size_t size, unsigned char* into);
    // Asks the system to bring those bytes into the page cache, without waiting for them; a
    // request it cannot serve is only a lost hint.
    void prefetch(std::int64_t offset, std::size_t size);

private:
    int fd_ = -1;
    PackedLayout layout_;
};

} // namespace quenta
