#include "scratch/scratch_file.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <fcntl.h>
#include <new>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

namespace {

int open_path(const QString& path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

std::int32_t record_of(i16 i, i16 j, i16 n)
{
    const i16 n1 = add16(n, 1);
    const std::int64_t r = static_cast<std::int64_t>(n1) * (static_cast<std::int64_t>(i) - 1) + j;
    if (r < INT32_MIN || r > INT32_MAX)
        throw OverflowError("record number overflow");
    return static_cast<std::int32_t>(r);
}

// ---- ScratchReader ----

ScratchReader::ScratchReader(const QString& path)
{
    fd_ = open_path(path, O_RDONLY);
    if (fd_ < 0)
        throw FileError("cannot open the scratch file");
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw FileError("cannot read the scratch file");
    }
    records_ = static_cast<std::int64_t>(st.st_size) / ScratchRecordLength;
}

ScratchReader::~ScratchReader() { close(); }

void ScratchReader::close()
{
    if (directFd_ >= 0)
        ::close(directFd_);
    directFd_ = -1;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int ScratchReader::directFd()
{
    if (fd_ < 0 || directFd_ == -2)
        return -1;
    if (directFd_ < 0) {
        // Through the descriptor rather than the name: the very file that is open.
        const QString self = QStringLiteral("/proc/self/fd/%1").arg(fd_);
        directFd_ = open_path(self, O_RDONLY | O_DIRECT);
        if (directFd_ < 0)
            directFd_ = -2;
    }
    return directFd_ < 0 ? -1 : directFd_;
}

float ScratchReader::geta(i16 i, i16 j, i16 n)
{
    const std::int32_t r = record_of(i, j, n);
    if (fd_ < 0)
        throw FileError("the scratch file is not open");
    if (r < 1 || r > records_)
        throw FileError("record past the end of the scratch file");
    float v = 0;
    record_io::read_strided(fd_, r, 1, &v, 1, bytes_);
    return v;
}

float ScratchReader::getb(i16 i, i16 n) { return geta(i, add16(n, 1), n); }

std::int64_t ScratchReader::readRun(std::int32_t first, std::int64_t count, float* out)
{
    if (fd_ < 0)
        throw FileError("the scratch file is not open");
    if (count <= 0)
        return 0;
    if (first < 1)
        throw FileError("record before the start of the scratch file");
    const std::int64_t available = records_ - first + 1;
    const std::int64_t n = count < available ? count : (available > 0 ? available : 0);
    if (n > 0)
        record_io::read_strided(fd_, first, n, out, 1, bytes_);
    return n;
}

// ---- ScratchWriter ----

namespace {

// Records per buffer. Through the page cache 256 KiB, so that a filled buffer is still in the
// cache when the thread copies it; past the page cache 4 MiB, as the disk takes each write
// whole before the thread can go on. Both are whole disk blocks: buffers of consecutive
// records from record 1 start on a block.
constexpr std::int64_t CachedBufferRecords = 2048;
constexpr std::int64_t DirectBufferRecords = 32768;
// One buffer fills while the others wait for the disk or are being written.
constexpr int WriterBuffers = 4;
constexpr std::int64_t DirectAlignment = 4096;

bool put_all(int fd, const unsigned char* data, std::size_t size, std::int64_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

inline void put_value(float v, unsigned char* p)
{
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(p, &v, 4);
    else
        record_io::encode(v, p);
}

} // namespace

struct ScratchWriter::Output {
    struct Job {
        unsigned char* data;
        std::int64_t offset;
        std::size_t size;
    };
    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    std::vector<std::unique_ptr<unsigned char, Free>> buffers;  // zero filler, value bytes only change
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::vector<unsigned char*> idle;
    bool writing = false;  // the thread holds a job
    bool failed = false;   // a write failed and was not reported yet
    bool quit = false;
    std::thread thread;
    int fd = -1, directFd = -1;

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
            const bool ok = skip || put(job);
            lock.lock();
            writing = false;
            failed = failed || !ok;
            idle.push_back(job.data);
            changed.notify_all();
        }
    }

    bool put(const Job& job) const
    {
        std::size_t direct = 0;
        if (directFd >= 0 && job.offset % DirectAlignment == 0)
            direct = job.size / DirectAlignment * DirectAlignment;
        if (direct > 0 && !put_all(directFd, job.data, direct, job.offset)) {
            if (errno != EINVAL)
                return false;
            direct = 0;  // a file system that takes O_DIRECT at open but not for writes
        }
        return put_all(fd, job.data + direct, job.size - direct, job.offset + static_cast<std::int64_t>(direct));
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
    if (directBytes_ < 0) {
        // About where the kernel starts to hold back writers (vm.dirty_ratio, 20 % by default):
        // beyond it the page cache only slows the writes down.
        const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
        directBytes_ = pages > 0 && pageSize > 0 ? std::int64_t(pages) * pageSize / 5 : std::int64_t(4) << 30;
    }
    fd_ = open_path(path, O_WRONLY | O_CREAT);
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
    if (bytes > st.st_size) {
        int rc;
        do
            rc = ::fallocate(fd_, 0, 0, static_cast<off_t>(bytes));
        while (rc != 0 && errno == EINTR);
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
        directFd_ = open_path(QFile::decodeName(name_), O_WRONLY | O_DIRECT);
    }
}

void ScratchWriter::write(std::int32_t record, float value) { write(record, &value, 1); }

void ScratchWriter::write(std::int64_t first, const float* values, std::int64_t count)
{
    while (count > 0) {
        if (bufferCount_ > 0 && (first != bufferFirst_ + bufferCount_ || bufferCount_ == bufferRecords_))
            handOff();
        if (fd_ < 0)
            throw FileError("the scratch file is not open");
        if (first < 1)
            throw FileError("record before the start of the scratch file");
        if (!buffer_) {
            if (!out_) {
                auto out = std::make_unique<Output>();
                bufferRecords_ = directFd_ >= 0 ? DirectBufferRecords : CachedBufferRecords;
                const auto bytes = static_cast<std::size_t>(bufferRecords_ * ScratchRecordLength);
                try {
                    for (int k = 0; k < WriterBuffers; ++k) {
                        void* p = std::aligned_alloc(DirectAlignment, bytes);
                        if (!p)
                            throw std::bad_alloc();
                        std::memset(p, 0, bytes);
                        out->buffers.emplace_back(static_cast<unsigned char*>(p));
                        out->idle.push_back(static_cast<unsigned char*>(p));
                    }
                } catch (const std::bad_alloc&) {
                    throw MemoryError("not enough memory for the write buffers");
                }
                out->fd = fd_;
                out->directFd = directFd_;
                out->thread = std::thread([o = out.get()] { o->run(); });
                out_ = std::move(out);
            }
            std::unique_lock lock(out_->mutex);
            out_->changed.wait(lock, [this] { return !out_->idle.empty(); });
            buffer_ = out_->idle.back();
            out_->idle.pop_back();
            out_->report();
        }
        if (bufferCount_ == 0)
            bufferFirst_ = first;
        const std::int64_t n = std::min(count, bufferRecords_ - bufferCount_);
        unsigned char* p = buffer_ + bufferCount_ * ScratchRecordLength;
        for (std::int64_t k = 0; k < n; ++k, p += ScratchRecordLength)
            put_value(values[k], p);
        bufferCount_ += n;
        first += n;
        values += n;
        count -= n;
    }
}

// Gives the filled buffer to the thread (the buffer is given up whatever happens, so a failed
// write is reported once).
void ScratchWriter::handOff()
{
    if (bufferCount_ == 0)
        return;
    const Output::Job job{buffer_, (bufferFirst_ - 1) * ScratchRecordLength,
                          static_cast<std::size_t>(bufferCount_ * ScratchRecordLength)};
    buffer_ = nullptr;
    bufferCount_ = 0;
    writtenEnd_ = std::max(writtenEnd_, job.offset + static_cast<std::int64_t>(job.size));
    std::lock_guard lock(out_->mutex);
    out_->jobs.push_back(job);
    out_->changed.notify_all();
    out_->report();
}

void ScratchWriter::flush()
{
    if (!out_)
        return;
    handOff();
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
        stop();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::truncate(name_.constData(), 0);  // nothing more can be done when even this fails
}

} // namespace quenta
