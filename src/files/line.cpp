#include "files/line.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"

namespace quenta {

namespace {

// The first space in [p, end), or end: eight bytes at a time while eight are left.
inline const char* next_space(const char* p, const char* end)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL, spaces = ones * ' ', highs = ones * 0x80;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        word ^= spaces;  // a space becomes a zero byte
        const std::uint64_t zeros = (word - ones) & ~word & highs;
        if (zeros != 0) {
            // The lowest flagged byte is exact (flags above it may be false); bytes are in
            // memory order on a little-endian machine.
            if constexpr (std::endian::native == std::endian::little)
                return p + std::countr_zero(zeros) / 8;
            break;
        }
        p += 8;
    }
    while (p != end && *p != ' ')
        ++p;
    return p;
}

} // namespace

void get_row(std::string_view line, i16& m, std::vector<std::string_view>& y)
{
    y.clear();
    y.emplace_back();  // y[0] is never used
    m = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    int count = 0;
    for (;;) {
        while (p != end && *p == ' ')
            ++p;
        if (p == end)
            break;
        const char* start = p;
        p = next_space(p, end);
        if (count == INT16_MAX)
            throw OverflowError("more than 32767 numbers on a line");
        ++count;
        y.emplace_back(start, static_cast<std::size_t>(p - start));
    }
    m = static_cast<i16>(count);
}

FieldSplitter::FieldSplitter(std::string_view separators)
{
    for (char c : separators)
        separates_[static_cast<unsigned char>(c)] = true;
}

void FieldSplitter::split(std::string_view line, i16& m, std::vector<std::string_view>& y) const
{
    y.clear();
    y.emplace_back();  // y[0] is never used
    m = 0;
    const auto separates = [this](char c) { return separates_[static_cast<unsigned char>(c)]; };
    const char* p = line.data();
    const char* const end = p + line.size();
    int count = 0;
    for (;;) {
        while (p != end && separates(*p))
            ++p;
        if (p == end)
            break;
        const char* start = p;
        while (p != end && !separates(*p))
            ++p;
        if (count == INT16_MAX)
            throw OverflowError("more than 32767 numbers on a line");
        ++count;
        y.emplace_back(start, static_cast<std::size_t>(p - start));
    }
    m = static_cast<i16>(count);
}

namespace {
// The buffer: large for large files, no larger than a small file needs.
constexpr std::size_t LargestFirstBuffer = std::size_t(1) << 20;
constexpr std::size_t SmallestBuffer = 4096;
}

LineReader::LineReader(const QString& path, std::size_t bufferSize)
{
    const QByteArray name = path.toLocal8Bit();
    if (name.isEmpty())
        throw FileError("no file name");
    do
        fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        throw FileError("cannot open " + name.toStdString());
    struct stat st;
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        close();
        throw FileError("not a readable file: " + name.toStdString());
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        size_ = st.st_size;
    std::size_t want = LargestFirstBuffer;
    if (bufferSize > 0)
        want = bufferSize;
    else if (S_ISREG(st.st_mode) && st.st_size >= 0 && static_cast<std::uint64_t>(st.st_size) < want)
        want = std::max(SmallestBuffer, static_cast<std::size_t>(st.st_size) + 1);
    buf_.reset(new char[want]);
    cap_ = want;
}

LineReader::LineReader(std::string_view bytes, std::size_t bufferSize)
    : memory_(bytes), memoryOpen_(true), size_(static_cast<std::int64_t>(bytes.size()))
{
    cap_ = std::max<std::size_t>(bufferSize, 1);
    buf_.reset(new char[cap_]);
}

LineReader::LineReader(Utf16Text text, std::size_t bufferSize)
    : utf16_(text.text), encoder_(std::make_unique<QStringEncoder>(QStringEncoder::Utf8)), memoryOpen_(true),
      size_(static_cast<std::int64_t>(text.text.size()))
{
    // Room for a few characters at least: one UTF-16 unit becomes up to three bytes.
    cap_ = std::max<std::size_t>(bufferSize, 8);
    buf_.reset(new char[cap_]);
}

LineReader::~LineReader() { close(); }

void LineReader::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    memoryOpen_ = false;
}

// Makes room behind the bytes not yet consumed and reads more of the file. A line that fills
// the whole buffer doubles it.
void LineReader::fill()
{
    if (fd_ < 0 && !memoryOpen_)
        throw FileError("read from a closed file");
    if (begin_ > 0) {
        const std::size_t keep = end_ - begin_;
        if (keep > 0)
            std::memmove(buf_.get(), buf_.get() + begin_, keep);
        lf_ = lf_ > begin_ ? lf_ - begin_ : 0;
        cr_ = cr_ > begin_ ? cr_ - begin_ : 0;
        begin_ = 0;
        end_ = keep;
    }
    // A UTF-16 text is converted only into room for three bytes a unit, two units at least.
    if (end_ == cap_ || (encoder_ && cap_ - end_ < 6)) {
        std::unique_ptr<char[]> bigger(new char[cap_ * 2]);
        std::memcpy(bigger.get(), buf_.get(), end_);
        buf_ = std::move(bigger);
        cap_ *= 2;
    }
    ssize_t got;
    if (encoder_) {
        qsizetype units = std::min<qsizetype>(static_cast<qsizetype>((cap_ - end_) / 3), utf16_.size());
        // A refill never ends between the two halves of a character: the half that would be
        // left over converts to nothing, and a refill of nothing is the end of the text.
        if (units < utf16_.size() && utf16_[units - 1].isHighSurrogate())
            --units;
        const char* out = encoder_->appendToBuffer(buf_.get() + end_, utf16_.first(units));
        got = out - (buf_.get() + end_);
        utf16_ = utf16_.sliced(units);
    } else if (memoryOpen_) {
        got = static_cast<ssize_t>(std::min(cap_ - end_, memory_.size()));
        if (got > 0)
            std::memcpy(buf_.get() + end_, memory_.data(), static_cast<std::size_t>(got));
        memory_.remove_prefix(static_cast<std::size_t>(got));
    } else {
        do
            got = ::read(fd_, buf_.get() + end_, cap_ - end_);
        while (got < 0 && errno == EINTR);
    }
    if (got < 0)
        throw FileError("read failed");
    if (got == 0)
        eof_ = true;
    end_ += static_cast<std::size_t>(got);
    read_ += got;
}

std::size_t LineReader::find(char c, std::size_t& cached)
{
    if (cached < begin_)
        cached = begin_;
    if (cached < end_ && buf_[cached] != c) {
        const void* hit = std::memchr(buf_.get() + cached, c, end_ - cached);
        cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - buf_.get()) : end_;
    }
    return cached;
}

bool LineReader::next(std::string_view& line)
{
    for (;;) {
        if (pendingCR_) {
            // The last line ended with a CR at the end of the bytes read: an LF right after it
            // belongs to the same line end.
            if (begin_ == end_ && !eof_) {
                fill();
                continue;
            }
            if (begin_ < end_ && buf_[begin_] == '\n')
                ++begin_;
            pendingCR_ = false;
        }
        const std::size_t lf = find('\n', lf_);
        const std::size_t cr = find('\r', cr_);
        const std::size_t stop = lf < cr ? lf : cr;
        if (stop < end_) {
            line = std::string_view(buf_.get() + begin_, stop - begin_);
            if (stop == cr) {
                if (stop + 1 < end_) {
                    begin_ = buf_[stop + 1] == '\n' ? stop + 2 : stop + 1;
                } else {
                    begin_ = stop + 1;
                    pendingCR_ = true;
                }
            } else {
                begin_ = stop + 1;
            }
            return true;
        }
        if (eof_) {
            if (begin_ < end_) {
                line = std::string_view(buf_.get() + begin_, end_ - begin_);
                begin_ = end_;
                return true;
            }
            return false;
        }
        fill();
    }
}

} // namespace quenta
