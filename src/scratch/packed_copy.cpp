#include "scratch/packed_copy.h"

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

using namespace record_io;

namespace {

constexpr char Magic[8] = {'Q', 'N', 'T', 'P', 'A', 'C', 'K', '1'};
constexpr std::int64_t BlockBytes = std::int64_t(1) << 20;
// Columns transposed together: each row's piece of them is one cache line or a few, and their
// pieces of the block fill in step.
constexpr std::size_t TransposeColumns = 64;

// The header's fields, in the machine's own order: the device and inode it names only mean
// something on the machine that wrote it.
struct Header {
    char magic[8];
    std::int32_t n;
    std::int32_t rowsPerBlock;
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t size;
    std::int64_t modifiedNs;
};

} // namespace

PackedLayout PackedLayout::of(int n)
{
    PackedLayout l;
    l.n = n;
    const std::int64_t rowBytes = 4 * (std::int64_t(n) + 1);
    l.rowsPerBlock = static_cast<int>(std::clamp<std::int64_t>(BlockBytes / rowBytes, 1, std::max(n, 1)));
    return l;
}

// ---- PackedWriter ----

PackedWriter::PackedWriter(const QString& path) : name_(QFile::encodeName(path))
{
    fd_ = open_path(name_, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd_ < 0)
        throw FileError("cannot create the packed copy");
}

PackedWriter::~PackedWriter()
{
    if (fd_ >= 0)
        discard();  // neither finished nor discarded: a copy without its header is of no use
}

void PackedWriter::reserve(int n)
{
    layout_ = PackedLayout::of(n);
    const int rc = retrying([&] { return ::fallocate(fd_, 0, 0, static_cast<off_t>(layout_.bytes())); });
    if (rc != 0 && errno != EOPNOTSUPP)
        throw WriteError("no room for the packed copy");
    const auto columns = static_cast<std::size_t>(layout_.columns());
    rowBuffer_.resize(columns * static_cast<std::size_t>(layout_.rowsPerBlock));
    blockBuffer_.resize(rowBuffer_.size());
}

void PackedWriter::add(const float* row)
{
    if (fd_ < 0 || rows_ >= layout_.n)
        throw WriteError("a row beyond the packed copy's system");
    const auto columns = static_cast<std::size_t>(layout_.columns());
    std::memcpy(rowBuffer_.data() + columns * static_cast<std::size_t>(buffered_), row, columns * sizeof(float));
    ++rows_;
    if (++buffered_ == layout_.rowsPerBlock || rows_ == layout_.n)
        writeBlock();
}

// The buffered rows, column by column, at their block's place.
void PackedWriter::writeBlock()
{
    const int first = rows_ - buffered_ + 1;
    const int r = buffered_;
    const auto columns = static_cast<std::size_t>(layout_.columns());
    const auto rows = static_cast<std::size_t>(r);
    auto* out = reinterpret_cast<unsigned char*>(blockBuffer_.data());
    for (std::size_t j0 = 0; j0 < columns; j0 += TransposeColumns) {
        const std::size_t j1 = std::min(columns, j0 + TransposeColumns);
        for (std::size_t k = 0; k < rows; ++k)
            for (std::size_t j = j0; j < j1; ++j)
                store_value(rowBuffer_[k * columns + j], out + 4 * (j * rows + k));
    }
    buffered_ = 0;
    if (!write_at(fd_, reinterpret_cast<const unsigned char*>(blockBuffer_.data()), columns * static_cast<std::size_t>(r) * 4,
                  layout_.offset(first, 1)))
        throw WriteError("cannot write the packed copy");
}

void PackedWriter::finish(const ScratchIdentity& scratch)
{
    if (fd_ < 0 || rows_ != layout_.n)
        throw WriteError("the packed copy is incomplete");
    unsigned char block[PackedHeaderBytes] = {};
    Header h{};
    std::memcpy(h.magic, Magic, sizeof Magic);
    h.n = layout_.n;
    h.rowsPerBlock = layout_.rowsPerBlock;
    h.device = scratch.device;
    h.inode = scratch.inode;
    h.size = scratch.size;
    h.modifiedNs = scratch.modifiedNs;
    std::memcpy(block, &h, sizeof h);
    if (!write_at(fd_, block, sizeof block, 0) || ::ftruncate(fd_, static_cast<off_t>(layout_.bytes())) != 0)
        throw WriteError("cannot write the packed copy");
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0)
        throw WriteError("cannot close the packed copy");
}

void PackedWriter::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    ::unlink(name_.constData());  // nothing more can be done when even this fails
}

// ---- PackedReader ----

PackedReader::PackedReader(const QString& path) { fd_ = open_path(QFile::encodeName(path), O_RDONLY); }

PackedReader::~PackedReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool PackedReader::matches(int n, const ScratchIdentity& scratch)
{
    Header h{};
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    try {
        if (!read_at(fd_, reinterpret_cast<unsigned char*>(&h), sizeof h, sizeof h, 0))
            return false;
    } catch (const FileError&) {
        return false;  // shorter than its header
    }
    if (std::memcmp(h.magic, Magic, sizeof Magic) != 0 || h.n != n || h.rowsPerBlock < 1 ||
        ScratchIdentity{h.device, h.inode, h.size, h.modifiedNs} != scratch)
        return false;
    layout_ = PackedLayout{n, h.rowsPerBlock};
    return st.st_size == layout_.bytes();
}

void PackedReader::read(std::int64_t offset, std::size_t size, unsigned char* into)
{
    if (fd_ < 0 || !read_at(fd_, into, size, size, offset))
        throw FileError("cannot read the packed copy");
}

void PackedReader::prefetch(std::int64_t offset, std::size_t size)
{
    if (fd_ >= 0)
        ::posix_fadvise(fd_, offset, static_cast<off_t>(size), POSIX_FADV_WILLNEED);
}

} // namespace quenta
