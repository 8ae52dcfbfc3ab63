#pragma once
// One window at a time owns a scratch file. A Connect takes an exclusive lock on the lock file
// beside it and keeps it while its window stays connected; a Connect in another window that
// finds the lock taken changes nothing. What Connect wrote is recorded by identity, and every
// file-backed run first checks that the scratch file is still that file, so that a file
// replaced or changed behind the window is never solved as if it were the connected system.
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace quenta {

// A file as the file system knows it: which file (device, inode) and which contents (size,
// modification time to the nanosecond).
struct ScratchIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    // Nothing when there is no such file.
    static std::optional<ScratchIdentity> of(const QString& path);
    // The file open as `fd`.
    static std::optional<ScratchIdentity> of(int fd);
    bool operator==(const ScratchIdentity&) const = default;
};

class ScratchClaim {
public:
    // Takes the lock on `lockPath` (created when missing, never deleted) without waiting.
    // nullptr when another window holds it; FileError when the lock file cannot be opened.
    static std::shared_ptr<ScratchClaim> take(const QString& lockPath);
    ~ScratchClaim();  // releases the lock
    ScratchClaim(const ScratchClaim&) = delete;
    ScratchClaim& operator=(const ScratchClaim&) = delete;

    // Records the scratch file as Connect left it. FileError when it cannot be examined.
    void record(const QString& scratchPath);
    const ScratchIdentity& written() const { return written_; }
    // Whether the scratch file is still the one recorded.
    bool unchanged(const QString& scratchPath) const;

private:
    explicit ScratchClaim(int fd) : fd_(fd) {}
    int fd_;
    ScratchIdentity written_;
};

} // namespace quenta
