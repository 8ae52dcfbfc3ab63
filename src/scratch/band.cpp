#include "scratch/band.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "model/errors.h"
#include "scratch/record_io.h"

namespace quenta {

Band::Band(int n, ScratchReader& file, BandSize size)
    : n_(n), n1_(add16(static_cast<i16>(n), 1)), file_(file), size_(size), records_(file.records()),
      stride_((static_cast<std::size_t>(n) + 3) / 4 * 4 + 16)  // padded off powers of two
{
    width_ = static_cast<int>(std::clamp<std::size_t>(size.bytes / sizeof(float) / stride_, 1,
                                                      static_cast<std::size_t>(n) + 1));
}

int Band::rows(int i) const
{
    if (records_ < i)
        return 0;
    return static_cast<int>(std::min<std::int64_t>(n_, (records_ - i) / n1_ + 1));
}

// A large band is read by two threads, each taking half of the rows into its own part of the
// buffer; the arithmetic stays on the calling thread.
void Band::load(int first)
{
    if (file_.fd() < 0)
        throw FileError("the scratch file is not open");
    if (!data_) {
        try {
            data_.reset(new float[stride_ * static_cast<std::size_t>(width_)]);
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the read buffer");
        }
    }
    first_ = first;
    count_ = std::min(width_, n_ + 2 - first);
    const std::int64_t records = static_cast<std::int64_t>(count_) * n_;
    if (records < size_.twoReaderRecords || n_ < 2) {
        load_rows(1, n_, bytes_);
        return;
    }
    const int half = n_ / 2;
    std::exception_ptr failure;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                load_rows(1, half, helperBytes_);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        load_rows(1, n_, bytes_);  // no second thread to be had: read alone
        return;
    }
    try {
        load_rows(half + 1, n_, bytes_);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

void Band::load_rows(int from, int to, std::vector<unsigned char>& bytes)
{
    for (int j = from; j <= to; ++j) {
        const std::int64_t r = static_cast<std::int64_t>(n1_) * (j - 1) + first_;
        const std::int64_t k = std::min<std::int64_t>(count_, records_ - r + 1);
        if (k <= 0)
            break;  // later rows start further on
        record_io::read_strided(file_.fd(), r, k, data_.get() + (j - 1), stride_, bytes,
                                static_cast<std::size_t>(count_) * ScratchRecordLength);
    }
}

} // namespace quenta
