#include "scratch/scratch_writer.h"

#include <QFile>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "model/errors.h"

namespace quenta {

using namespace record_io;

namespace {

// Records per buffer once a thread writes them. Through the page cache 256 KiB, so that a filled
// buffer is still in the cache when the thread copies it; past the page cache 4 MiB, as the disk
// takes each write whole before the thread can go on. Both are whole disk blocks: buffers of
// consecutive records from record 1 start on a block.
constexpr std::int64_t CachedBufferRecords = 2048;
constexpr std::int64_t DirectBufferRecords = 32768;
// One buffer fills while the others wait for the disk or are being written.
constexpr std::size_t WriterBuffers = 4;
// The buffer of a writer that announced nothing: a small system needs no more, a large one
// outgrows it at once.
constexpr std::int64_t FirstBufferRecords = 32;

struct Job {
    unsigned char* data;
    std::int64_t offset;
    std::size_t size;
};

// Writes a buffer out: its whole blocks past the page cache where the writer has a descriptor for
// that and the buffer starts on a block, the rest through the cache.
bool put(int fd, int directFd, const Job& job)
{
    std::size_t direct = 0;
    if (directFd >= 0 && job.offset % std::int64_t(Block) == 0)
        direct = job.size / Block * Block;
    if (direct > 0 && !write_at(directFd, job.data, direct, job.offset)) {
        if (errno != EINVAL)
            return false;
        direct = 0;  // a file system that takes O_DIRECT at open but not for writes
    }
    return write_at(fd, job.data + direct, job.size - direct, job.offset + static_cast<std::int64_t>(direct));
}

// A buffer of `records` records, their filler zeros unless `zeroed` is false; only value bytes
// change from then on.
Freed<unsigned char> new_buffer(std::int64_t records, bool zeroed = true)
{
    const auto bytes = static_cast<std::size_t>(records * ScratchRecordLength);
    Freed<unsigned char> p = block_aligned(bytes);
    if (!p)
        throw MemoryError("not enough memory for the write buffers");
    if (zeroed)
        std::memset(p.get(), 0, bytes);
    return p;
}

} // namespace

struct ScratchWriter::Output {
    std::vector<Freed<unsigned char>> buffers;  // made as they are needed, WriterBuffers at most
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::vector<unsigned char*> idle;
    bool writing = false;  // the thread holds a job
    bool failed = false;   // a write failed and was not reported yet
    bool quit = false;
    std::thread thread;
    int fd, directFd;

    Output(int fd, int directFd) : fd(fd), directFd(directFd) {}

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return quit || !jobs.empty(); });
            if (jobs.empty())
                return;
            const Job job = jobs.front();
            jobs.pop_front();
            writing = true;
            const bool skip = failed || quit;  // after a failure the rest is given up
            lock.unlock();
            const bool ok = skip || put(fd, directFd, job);
            lock.lock();
            writing = false;
            failed = failed || !ok;
            idle.push_back(job.data);
            changed.notify_all();
        }
    }

    // Under the lock: the failure not reported yet, as a WriteError.
    void report()
    {
        if (failed) {
            failed = false;
            throw WriteError("cannot write the scratch file");
        }
    }
};

ScratchWriter::ScratchWriter(const QString& path, std::int64_t directBytes)
    : name_(QFile::encodeName(path)), directBytes_(directBytes)
{
    fd_ = open_path(name_, O_WRONLY | O_CREAT);
    if (fd_ < 0)
        throw FileError("cannot open the scratch file for writing");
}

ScratchWriter::~ScratchWriter()
{
    try {
        close();
    } catch (const QuentaError&) {
        // A destructor cannot report; close() is the place to see write failures.
    }
}

void ScratchWriter::reserve(std::int64_t count)
{
    if (fd_ < 0)
        throw FileError("the scratch file is not open");
    const std::int64_t bytes = count * ScratchRecordLength;
    struct stat st {};
    if (count <= 0 || ::fstat(fd_, &st) != 0)
        return;
    announced_ = std::max(announced_, count);
    if (bytes > st.st_size) {
        const int rc = retrying([&] { return ::fallocate(fd_, 0, 0, static_cast<off_t>(bytes)); });
        if (rc != 0 && errno != EOPNOTSUPP)
            throw WriteError("no room for the scratch file");
        if (rc == 0) {
            if (sizeBefore_ < 0)
                sizeBefore_ = st.st_size;
            reservedEnd_ = std::max(reservedEnd_, bytes);
        }
    }
    if (bytes >= directBytes_ && directFd_ < 0 && !out_) {
        // A file this large would only pass through the page cache and push out everything
        // else; its own blocks go straight to the disk. Where O_DIRECT is refused, the page cache.
        directFd_ = open_path(name_, O_WRONLY | O_DIRECT);
    }
}

void ScratchWriter::write(std::int32_t record, float value) { write(record, &value, 1); }

void ScratchWriter::write(std::int64_t first, const float* values, std::int64_t count)
{
    while (count > 0) {
        if (bufferCount_ > 0 && (first != bufferFirst_ + bufferCount_ || bufferCount_ == bufferRecords_)) {
            if (single_ && first == bufferFirst_ + bufferCount_)
                outgrow();
            else
                handOff();
        }
        if (fd_ < 0)
            throw FileError("the scratch file is not open");
        if (first < 1)
            throw FileError("record before the start of the scratch file");
        if (!buffer_)
            takeBuffer();
        if (bufferCount_ == 0)
            bufferFirst_ = first;
        const std::int64_t n = std::min(count, bufferRecords_ - bufferCount_);
        if (single_ && bufferCount_ + n > singleZeroed_) {
            // The one buffer is sized to the whole system, of which a failing file may give a
            // line or two: its filler is cleared as far as the records go.
            std::memset(buffer_ + singleZeroed_ * ScratchRecordLength, 0,
                        static_cast<std::size_t>((bufferCount_ + n - singleZeroed_) * ScratchRecordLength));
            singleZeroed_ = bufferCount_ + n;
        }
        unsigned char* p = buffer_ + bufferCount_ * ScratchRecordLength;
        for (std::int64_t k = 0; k < n; ++k, p += ScratchRecordLength)
            store_value(values[k], p);
        bufferCount_ += n;
        first += n;
        values += n;
        count -= n;
    }
}

// The first buffer is the only one when it holds what reserve() announced; otherwise, and once
// the only one was outgrown, the thread's buffers take turns.
void ScratchWriter::takeBuffer()
{
    const std::int64_t threadRecords = directFd_ >= 0 ? DirectBufferRecords : CachedBufferRecords;
    if (bufferRecords_ == 0 && announced_ <= threadRecords) {
        bufferRecords_ = announced_ > 0 ? announced_ : FirstBufferRecords;
        single_ = new_buffer(bufferRecords_, false);  // zeroed as the records reach it
        singleZeroed_ = 0;
    }
    if (single_) {
        buffer_ = single_.get();
        return;
    }
    if (!out_) {
        auto out = std::make_unique<Output>(fd_, directFd_);
        out->thread = std::thread([o = out.get()] { o->run(); });
        out_ = std::move(out);
        bufferRecords_ = threadRecords;
    }
    Output& o = *out_;
    std::unique_lock lock(o.mutex);
    if (o.idle.empty() && o.buffers.size() < WriterBuffers) {
        lock.unlock();
        o.buffers.push_back(new_buffer(bufferRecords_));
        lock.lock();
        o.idle.push_back(o.buffers.back().get());
    }
    o.changed.wait(lock, [&o] { return !o.idle.empty(); });
    buffer_ = o.idle.back();
    o.idle.pop_back();
    o.report();
}

// The only buffer is full and the records go on: what it holds moves to the first of the
// thread's buffers, so that those still start where the records did (on a block, for direct
// I/O, and on the page cache's large pages).
void ScratchWriter::outgrow()
{
    Freed<unsigned char> single = std::move(single_);
    const std::int64_t records = bufferRecords_;
    try {
        takeBuffer();
    } catch (...) {
        single_ = std::move(single);
        buffer_ = single_.get();
        bufferRecords_ = records;
        throw;
    }
    std::memcpy(buffer_, single.get(), static_cast<std::size_t>(bufferCount_ * ScratchRecordLength));
}

// Writes the filled buffer out, or gives it to the thread (the buffer is given up whatever
// happens, so a failed write is reported once).
void ScratchWriter::handOff()
{
    if (bufferCount_ == 0)
        return;
    const Job job{buffer_, (bufferFirst_ - 1) * ScratchRecordLength,
                  static_cast<std::size_t>(bufferCount_ * ScratchRecordLength)};
    buffer_ = nullptr;
    bufferCount_ = 0;
    writtenEnd_ = std::max(writtenEnd_, job.offset + static_cast<std::int64_t>(job.size));
    if (single_) {
        if (!put(fd_, directFd_, job))
            throw WriteError("cannot write the scratch file");
        return;
    }
    std::lock_guard lock(out_->mutex);
    out_->jobs.push_back(job);
    out_->changed.notify_all();
    out_->report();
}

void ScratchWriter::flush()
{
    handOff();
    if (!out_)
        return;
    std::unique_lock lock(out_->mutex);
    out_->changed.wait(lock, [this] { return out_->jobs.empty() && !out_->writing; });
    out_->report();
}

// Ends the thread once it has done (or given up) what it holds, and closes the files.
void ScratchWriter::stop()
{
    if (out_) {
        {
            std::lock_guard lock(out_->mutex);
            out_->quit = true;
            out_->changed.notify_all();
        }
        out_->thread.join();
        out_.reset();
    }
    single_.reset();
    buffer_ = nullptr;
    bufferCount_ = 0;
    if (directFd_ >= 0) {
        ::close(directFd_);
        directFd_ = -1;
    }
}

void ScratchWriter::close()
{
    if (fd_ < 0)
        return;
    try {
        flush();
    } catch (...) {
        stop();
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    stop();
    // Space reserved for records that never came goes back.
    const std::int64_t keep = std::max(sizeBefore_, writtenEnd_);
    if (sizeBefore_ >= 0 && reservedEnd_ > keep)
        (void)::ftruncate(fd_, static_cast<off_t>(keep));
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0)
        throw WriteError("cannot close the scratch file");
}

void ScratchWriter::discard()
{
    if (out_) {
        {
            std::lock_guard lock(out_->mutex);
            out_->jobs.clear();
        }
    }
    stop();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::truncate(name_.constData(), 0);  // nothing more can be done when even this fails
}

} // namespace quenta
