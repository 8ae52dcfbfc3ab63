#pragma once
// The scratch file opened for writing records (the layout is in scratch_file.h).
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "scratch/record_io.h"

namespace quenta {

// Created when missing, never truncated by what is written. Records are gathered in a buffer and
// written a buffer at a time; values land exactly where one record write per value would put
// them, the filler is zeros. What fits one buffer, sized to the records reserve() announced, is
// written by the calling thread. More than that goes through several large buffers that a second
// thread writes out while the next one fills, so that making the values and writing the disk
// overlap. A failed write is reported once, as a WriteError from the write that handed its
// buffer over or from the next write, flush() or close().
class ScratchWriter {
public:
    // FileError when the file cannot be opened. Files of at least `directBytes` reserved bytes are
    // written past the page cache (O_DIRECT) where the file system allows it.
    explicit ScratchWriter(const QString& path, std::int64_t directBytes = record_io::direct_write_from());
    ~ScratchWriter();
    ScratchWriter(const ScratchWriter&) = delete;
    ScratchWriter& operator=(const ScratchWriter&) = delete;

    // Reserves the disk space of records 1..count before they are written, so that a disk too
    // full for them fails here (WriteError) and not halfway. The file grows to hold them and
    // never shrinks; a file system that cannot reserve is left to grow as records are written.
    // The writer's buffers are sized to them.
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
    void takeBuffer();
    void outgrow();
    void handOff();
    void stop();

    QByteArray name_;
    int fd_ = -1;
    int directFd_ = -1;
    std::int64_t directBytes_;
    std::int64_t announced_ = 0;     // records reserve() announced
    std::int64_t sizeBefore_ = -1;   // the file's length when reserve() grew it, else -1
    std::int64_t reservedEnd_ = 0;   // the length reserve() gave it
    std::int64_t writtenEnd_ = 0;    // end of the furthest buffer handed over
    std::int64_t bufferFirst_ = 0;   // record number of the buffer's first record
    std::int64_t bufferCount_ = 0;   // records held in the buffer
    std::int64_t bufferRecords_ = 0; // records a buffer holds
    unsigned char* buffer_ = nullptr;
    record_io::Freed<unsigned char> single_;  // the one buffer, while there is no thread
    std::int64_t singleZeroed_ = 0;           // its records whose filler is cleared
    std::unique_ptr<Output> out_;
};

} // namespace quenta
