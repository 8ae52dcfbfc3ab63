#pragma once
// The scratch file "data.sle": headerless, 128-byte records numbered from 1, each holding one
// little-endian float in its first 4 bytes (the other 124 bytes are filler, written as zeros).
// The augmented matrix [A | b] of order n lies row by row: a(i,j) is record (n+1)(i-1)+j and
// b(i) is record (n+1)i. A record past the end of the file is a read failure, never a value.
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

#include "model/int16.h"
#include "scratch/record_io.h"

namespace quenta {

// Record number of a(i, j) in a system of order n: n+1 in 16-bit arithmetic (OverflowError),
// the product and sum in 32 bits.
std::int32_t record_of(i16 i, i16 j, i16 n);

class ScratchReader;
class PackedReader;

// Reads records of an open scratch file, through a buffer of its own: one for each thread that
// reads. Every read of the scratch file goes through one.
class RecordReader {
public:
    // A direct reader reads past the page cache while the file system allows it.
    explicit RecordReader(ScratchReader& file, bool direct = false);

    // The floats of records first, first + stride, first + 2 stride, ... (count of them, stride at
    // least 1) into out[0..count). Consecutive records come in stretches of up to 1 MiB, one positioned read
    // each; records further apart one read each. FileError, before anything is read, when the
    // file is closed or one of the records lies outside it; FileError when a read fails.
    void read(std::int64_t first, std::int64_t count, std::int64_t stride, float* out);

private:
    // The bytes at `offset`, the first `size` of them read.
    const unsigned char* fetch(std::int64_t offset, std::size_t size);

    ScratchReader& file_;
    bool direct_;
    record_io::Freed<unsigned char> bytes_;
    std::size_t capacity_ = 0;
};

// The scratch file opened for reading records; closed by the destructor or close().
class ScratchReader {
public:
    // FileError when the file cannot be opened. `packedPath` names the packed copy that may
    // stand in for the records (packed_copy.h); none when empty.
    explicit ScratchReader(const QString& path, const QString& packedPath = {});
    ~ScratchReader();
    ScratchReader(const ScratchReader&) = delete;
    ScratchReader& operator=(const ScratchReader&) = delete;
    void close();

    // Number of whole records in the file.
    std::int64_t records() const { return records_; }

    // One record: a(i, j) of a system of order n. FileError past the end or on a failed read.
    float geta(i16 i, i16 j, i16 n);
    // b(i) = geta(i, n+1, n).
    float getb(i16 i, i16 n);
    // RecordReader::read on this thread's reader.
    void read(std::int64_t first, std::int64_t count, std::int64_t stride, float* out)
    {
        reader_.read(first, count, stride, out);
    }

    // The packed copy when it holds the system of order n that this file holds as it is now,
    // whole; else null, and the records are read.
    PackedReader* packed(int n);

    int fd() const { return fd_; }
    // The same file opened once more for direct I/O, on first use; -1 when the file is closed or
    // its file system refuses direct I/O. A reader that is refused a direct read says so with
    // refuseDirect(), and the others read through the page cache from then on.
    int directFd();
    void refuseDirect() { directRefused_ = true; }

private:
    int fd_ = -1;
    int directFd_ = -1;  // -2: the open was refused
    std::atomic<bool> directRefused_{false};
    std::int64_t records_ = 0;
    RecordReader reader_{*this};
    std::unique_ptr<PackedReader> packed_;
};

} // namespace quenta
