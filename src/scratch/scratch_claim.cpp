#include "scratch/scratch_claim.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

namespace {

ScratchIdentity identity(const struct stat& st)
{
    return ScratchIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                           static_cast<std::int64_t>(st.st_size),
                           static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

std::optional<ScratchIdentity> ScratchIdentity::of(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return identity(st);
}

std::optional<ScratchIdentity> ScratchIdentity::of(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return identity(st);
}

std::shared_ptr<ScratchClaim> ScratchClaim::take(const QString& lockPath)
{
    const int fd = record_io::open_path(QFile::encodeName(lockPath), O_RDWR | O_CREAT);
    if (fd < 0)
        throw FileError("cannot open the scratch file's lock");
    if (record_io::retrying([fd] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held)
            return nullptr;
        throw FileError("cannot lock the scratch file");
    }
    return std::shared_ptr<ScratchClaim>(new ScratchClaim(fd));
}

ScratchClaim::~ScratchClaim() { ::close(fd_); }

void ScratchClaim::record(const QString& scratchPath)
{
    const std::optional<ScratchIdentity> id = ScratchIdentity::of(scratchPath);
    if (!id)
        throw FileError("cannot examine the scratch file");
    written_ = *id;
}

bool ScratchClaim::unchanged(const QString& scratchPath) const { return ScratchIdentity::of(scratchPath) == written_; }

} // namespace quenta
