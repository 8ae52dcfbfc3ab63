#include "scratch/scratch_file.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/packed_copy.h"
#include "scratch/scratch_claim.h"

namespace quenta {

using namespace record_io;

std::int32_t record_of(i16 i, i16 j, i16 n)
{
    const i16 n1 = add16(n, 1);
    const std::int64_t r = static_cast<std::int64_t>(n1) * (static_cast<std::int64_t>(i) - 1) + j;
    if (r < INT32_MIN || r > INT32_MAX)
        throw OverflowError("record number overflow");
    return static_cast<std::int32_t>(r);
}

// ---- RecordReader ----

namespace {

constexpr std::int64_t StretchRecords = (std::int64_t(1) << 20) / ScratchRecordLength;

} // namespace

RecordReader::RecordReader(ScratchReader& file, bool direct) : file_(file), direct_(direct && file.directFd() >= 0) {}

void RecordReader::read(std::int64_t first, std::int64_t count, std::int64_t stride, float* out)
{
    if (count <= 0)
        return;
    if (file_.fd() < 0)
        throw FileError("the scratch file is not open");
    if (first < 1)
        throw FileError("record before the start of the scratch file");
    if (first > file_.records() || (stride > 0 && count - 1 > (file_.records() - first) / stride))
        throw FileError("record past the end of the scratch file");
    const std::int64_t perRead = stride == 1 ? StretchRecords : 1;
    while (count > 0) {
        const std::int64_t k = std::min(count, perRead);
        // Only the value bytes of the last record are needed.
        const auto size = static_cast<std::size_t>((k - 1) * ScratchRecordLength + 4);
        const unsigned char* p = fetch((first - 1) * ScratchRecordLength, size);
        for (std::int64_t r = 0; r < k; ++r, p += ScratchRecordLength)
            *out++ = load_value(p);
        first += k * stride;
        count -= k;
    }
}

const unsigned char* RecordReader::fetch(std::int64_t offset, std::size_t size)
{
    // A direct read takes whole blocks: the bytes wanted start `skip` bytes into the first.
    const std::size_t skip = static_cast<std::size_t>(offset % std::int64_t(Block));
    const std::size_t span = round_up(skip + size, Block);
    if (capacity_ < span) {
        bytes_.reset();
        bytes_ = block_aligned(span);
        capacity_ = bytes_ ? span : 0;
        if (!bytes_)
            throw MemoryError("not enough memory for the read buffer");
    }
    if (direct_) {
        const int fd = file_.directFd();
        if (fd >= 0 && read_at(fd, bytes_.get(), span, skip + size, offset - std::int64_t(skip)))
            return bytes_.get() + skip;
        if (fd >= 0 && errno != EINVAL)
            throw FileError("cannot read the scratch file");
        // Refused here, by a file system that takes O_DIRECT at open but not for reads: the page
        // cache from now on, for every reader of the file.
        direct_ = false;
        file_.refuseDirect();
    }
    if (!read_at(file_.fd(), bytes_.get(), size, size, offset))
        throw FileError("cannot read the scratch file");
    return bytes_.get();
}

// ---- ScratchReader ----

ScratchReader::ScratchReader(const QString& path, const QString& packedPath)
{
    fd_ = open_path(QFile::encodeName(path), O_RDONLY);
    if (fd_ < 0)
        throw FileError("cannot open the scratch file");
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw FileError("cannot read the scratch file");
    }
    records_ = static_cast<std::int64_t>(st.st_size) / ScratchRecordLength;
    if (!packedPath.isEmpty())
        packed_ = std::make_unique<PackedReader>(packedPath);
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

PackedReader* ScratchReader::packed(int n)
{
    if (!packed_ || fd_ < 0)
        return nullptr;
    const std::optional<ScratchIdentity> now = ScratchIdentity::of(fd_);
    return now && packed_->matches(n, *now) ? packed_.get() : nullptr;
}

int ScratchReader::directFd()
{
    if (fd_ < 0 || directFd_ == -2 || directRefused_)
        return -1;
    if (directFd_ < 0) {
        // Through the descriptor rather than the name: the very file that is open.
        directFd_ = open_path(QByteArray("/proc/self/fd/") + QByteArray::number(fd_), O_RDONLY | O_DIRECT);
        if (directFd_ < 0)
            directFd_ = -2;
    }
    return directFd_ < 0 ? -1 : directFd_;
}

float ScratchReader::geta(i16 i, i16 j, i16 n)
{
    float v;
    read(record_of(i, j, n), 1, 1, &v);
    return v;
}

float ScratchReader::getb(i16 i, i16 n) { return geta(i, add16(n, 1), n); }

} // namespace quenta
