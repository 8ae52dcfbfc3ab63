#include "scratch/scratch_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

namespace {

// Records held by the writer's buffer before it is written out: 4 MB.
constexpr std::int64_t WriterBufferRecords = 1024;  // 128 KiB: stays in the cache between flushes

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

ScratchWriter::ScratchWriter(const QString& path) : name_(QFile::encodeName(path))
{
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

void ScratchWriter::write(std::int32_t record, float value)
{
    if (bufferCount_ > 0 && (record != bufferFirst_ + bufferCount_ || bufferCount_ == WriterBufferRecords))
        flush();
    if (fd_ < 0)
        throw FileError("the scratch file is not open");
    if (record < 1)
        throw FileError("record before the start of the scratch file");
    if (buffer_.empty()) {
        try {
            buffer_.assign(static_cast<std::size_t>(WriterBufferRecords * ScratchRecordLength), 0);
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the write buffer");
        }
    }
    if (bufferCount_ == 0)
        bufferFirst_ = record;
    unsigned char* p = buffer_.data() + bufferCount_ * ScratchRecordLength;
    record_io::encode(value, p);
    ++bufferCount_;
}

void ScratchWriter::flush()
{
    if (bufferCount_ == 0)
        return;
    const std::size_t size = static_cast<std::size_t>(bufferCount_ * ScratchRecordLength);
    const off_t offset = static_cast<off_t>((bufferFirst_ - 1) * ScratchRecordLength);
    // The buffer is given up whatever happens, so a failed write is reported once.
    bufferCount_ = 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd_, buffer_.data() + done, size - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw WriteError("cannot write the scratch file");
        done += static_cast<std::size_t>(put);
    }
}

void ScratchWriter::close()
{
    if (fd_ < 0)
        return;
    try {
        flush();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0)
        throw WriteError("cannot close the scratch file");
}

void ScratchWriter::discard()
{
    bufferCount_ = 0;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::truncate(name_.constData(), 0);  // nothing more can be done when even this fails
}

} // namespace quenta
