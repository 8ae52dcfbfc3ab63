#pragma once
// The scratch file "data.sle": headerless, 128-byte records numbered from 1, each holding one
// little-endian float in its first 4 bytes (the other 124 bytes are filler, written as zeros).
// The augmented matrix [A | b] of order n lies row by row: a(i,j) is record (n+1)(i-1)+j and
// b(i) is record (n+1)i. A record past the end of the file is a read failure, never a value.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/int16.h"

namespace quenta {

constexpr std::int64_t ScratchRecordLength = 128;

// Record number of a(i, j) in a system of order n: n+1 in 16-bit arithmetic (OverflowError),
// the product and sum in 32 bits.
std::int32_t record_of(i16 i, i16 j, i16 n);

// The scratch file opened for reading records; closed by the destructor or close().
class ScratchReader {
public:
    // FileError when the file cannot be opened.
    explicit ScratchReader(const QString& path);
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

    // Reads the floats of `count` consecutive records starting at record `first` into out.
    // Only records that exist are read; returns how many were (fewer than count at the end of
    // the file). FileError on a failed read.
    std::int64_t readRun(std::int32_t first, std::int64_t count, float* out);

    int fd() const { return fd_; }
    // The same file opened once more for direct I/O, on first use; -1 when the file is closed or
    // its file system refuses direct I/O.
    int directFd();

private:
    int fd_ = -1;
    int directFd_ = -1;  // -2: refused
    std::int64_t records_ = 0;
    std::vector<unsigned char> bytes_;  // read buffer of readRun
};

// The scratch file opened for writing records: created when missing, never truncated by what
// is written. Records are gathered in large buffers that a second thread writes out while the
// next one fills, so that making the values and writing the disk overlap; values land exactly
// where one record write per value would put them, the filler is zeros. A failed write is
// reported once, as a WriteError from the next write, flush() or close().
class ScratchWriter {
public:
    // FileError when the file cannot be opened. Files of at least `directBytes` reserved bytes
    // (when negative: a fifth of the machine's memory) are written past the page cache
    // (O_DIRECT) where the file system allows it.
    explicit ScratchWriter(const QString& path, std::int64_t directBytes = -1);
    ~ScratchWriter();
    ScratchWriter(const ScratchWriter&) = delete;
    ScratchWriter& operator=(const ScratchWriter&) = delete;

    // Reserves the disk space of records 1..count before they are written, so that a disk too
    // full for them fails here (WriteError) and not halfway. The file grows to hold them and
    // never shrinks; a file system that cannot reserve is left to grow as records are written.
    void reserve(std::int64_t count);

    void write(std::int32_t record, float value);
    // values[0..count) into records first, first + 1, ...
    void write(std::int64_t first, const float* values, std::int64_t count);
    // Writes what is buffered and waits for it to reach the file. WriteError when a write fails.
    void flush();
    // flush(), then gives back what reserve() added beyond the records written (the file keeps
    // at least its length from before), and closes.
    void close();
    // Gives the file's disk space back after a failed write: truncates it to nothing and closes.
    void discard();

private:
    struct Output;  // the buffers and the thread that writes them
    void handOff();
    void stop();

    QByteArray name_;
    int fd_ = -1;
    int directFd_ = -1;
    std::int64_t directBytes_;
    std::int64_t sizeBefore_ = -1;   // the file's length when reserve() grew it, else -1
    std::int64_t reservedEnd_ = 0;   // the length reserve() gave it
    std::int64_t writtenEnd_ = 0;    // end of the furthest buffer handed to the thread
    std::int64_t bufferFirst_ = 0;   // record number of the buffer's first record
    std::int64_t bufferCount_ = 0;   // records held in the buffer
    std::int64_t bufferRecords_ = 0; // records a buffer holds
    unsigned char* buffer_ = nullptr;
    std::unique_ptr<Output> out_;
};

} // namespace quenta
