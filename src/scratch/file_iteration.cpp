#include "scratch/file_iteration.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "model/arith.h"
#include "model/numbers.h"
#include "scratch/band_size.h"
#include "scratch/column_kernels.h"
#include "scratch/record_io.h"

namespace quenta {

namespace {

// Memory of the band of columns held at a time: 8 MB, whatever the order of the system.
constexpr std::size_t DefaultBandBytes = std::size_t(8) << 20;
std::size_t bandBytes = DefaultBandBytes;
// Bands of fewer records are read by one thread.
constexpr std::int64_t DefaultTwoReaderRecords = 1 << 16;
std::int64_t twoReaderRecords = DefaultTwoReaderRecords;

float& at(std::vector<float>& v, int k)
{
    if (k < 0 || static_cast<std::size_t>(k) >= v.size())
        throw SubscriptError("subscript out of range");
    return v[static_cast<std::size_t>(k)];
}

bool covers(const std::vector<float>& v, int n) { return v.size() > static_cast<std::size_t>(n); }

[[noreturn]] void fail_nonfinite(float v)
{
    throw ArithmeticError(std::isnan(v) ? "invalid operation" : "float overflow");
}

[[noreturn]] void fail_missing() { throw FileError("record past the end of the scratch file"); }

// A band of consecutive columns of the matrix, every row, read from the scratch file with one
// positioned read per row and held column by column (column stride padded off powers of two).
// Records past the end of the file are not read; rows(i) tells how many leading rows of column i
// exist, so the reader can fail exactly where reading that column record by record would.
class Band {
public:
    Band(int n, ScratchReader& file)
        : n_(n), n1_(add16(static_cast<i16>(n), 1)), file_(file), records_(file.records())
    {
        stride_ = (static_cast<std::size_t>(n) + 3) / 4 * 4 + 16;
        width_ = static_cast<int>(std::clamp<std::size_t>(bandBytes / sizeof(float) / stride_, 1,
                                                          static_cast<std::size_t>(n)));
        try {
            data_.reset(new float[stride_ * static_cast<std::size_t>(width_)]);
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the read buffer");
        }
    }

    // Loads columns first..min(first+width-1, N). A large band is read by two threads, each
    // taking half of the rows into its own part of the buffer; the arithmetic stays on the
    // calling thread.
    void load(int first)
    {
        if (file_.fd() < 0)
            throw FileError("the scratch file is not open");
        first_ = first;
        count_ = std::min(width_, n_ - first + 1);
        const std::int64_t records = static_cast<std::int64_t>(count_) * n_;
        if (records < twoReaderRecords || n_ < 2) {
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

    bool holds(int i) const { return i >= first_ && i < first_ + count_; }
    // Element k of the result is a(k+1, i).
    const float* column(int i) const { return data_.get() + static_cast<std::size_t>(i - first_) * stride_; }
    // How many of the rows 1..N of column i exist in the file.
    int rows(int i) const
    {
        if (records_ < i)
            return 0;
        return static_cast<int>(std::min<std::int64_t>(n_, (records_ - i) / n1_ + 1));
    }

private:
    void load_rows(int from, int to, std::vector<unsigned char>& bytes)
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

    int n_;
    i16 n1_;
    ScratchReader& file_;
    std::int64_t records_;
    std::size_t stride_ = 0;
    int width_ = 0;
    int first_ = 1;
    int count_ = 0;
    std::unique_ptr<float[]> data_;
    std::vector<unsigned char> bytes_, helperBytes_;
};

// ---- the plain forms, one record read per use of a coefficient ----

bool norm_column_plain(WorkingState& s, ScratchReader& file, UserDialogs& user, int i)
{
    const i16 N = s.N;
    at(s.ColNorm2, i) = 0;
    for (int j = 1; j <= N; ++j) {
        const float u = file.geta(static_cast<i16>(j), static_cast<i16>(i), N);
        const float v = file.geta(static_cast<i16>(j), static_cast<i16>(i), N);
        float& c = at(s.ColNorm2, i);
        c = madd(u, v, c);
    }
    if (at(s.ColNorm2, i) == 0.0f) {
        user.message(s.msgBadFile);
        return false;
    }
    return true;
}

void step_plain(WorkingState& s, ScratchReader& file, SystemGrid& grid, const std::function<void()>& progress)
{
    const i16 N = s.N;
    for (int i = 1; i <= N; ++i) {
        float sum = 0;
        for (int j = 1; j <= N; ++j) {
            const float a = file.geta(static_cast<i16>(j), static_cast<i16>(i), N);
            sum = madd(a, at(s.R, j), sum);
        }
        sum = fdiv(-sum, at(s.ColNorm2, i));
        float& x = at(s.X, i);
        x = fadd(sum, x);
        grid.setText(i, 1, FormatSingle(x));
        s.er = 0;
        for (int j = 1; j <= N; ++j) {
            const float a = file.geta(static_cast<i16>(j), static_cast<i16>(i), N);
            float& r = at(s.R, j);
            r = madd(a, sum, r);
            if (r > s.er)
                s.er = r;
        }
        if (progress && i % 64 == 0)
            progress();
    }
}

// ---- replays over a loaded band, for the column in which the fast form saw a failure ----

// Column i of the norms over the rows that exist; fails where the record-by-record form fails.
[[noreturn]] void norm_column_replay(WorkingState& s, const Band& band, int i)
{
    const float* a = band.column(i);
    const int rows = band.rows(i);
    float& c = s.ColNorm2[static_cast<std::size_t>(i)];
    c = 0;
    for (int j = 0; j < rows; ++j)
        c = madd(a[j], a[j], c);
    fail_missing();
}

void update_replay(WorkingState& s, const float* a, float sv)
{
    const int N = s.N;
    s.er = 0;
    for (int j = 1; j <= N; ++j) {
        float& r = s.R[static_cast<std::size_t>(j)];
        r = madd(a[j - 1], sv, r);
        if (r > s.er)
            s.er = r;
    }
}

} // namespace

std::size_t band_size::bytes() { return bandBytes; }
void band_size::setBytes(std::size_t bytes) { bandBytes = bytes == 0 ? DefaultBandBytes : bytes; }
std::int64_t band_size::twoReaderRecords() { return quenta::twoReaderRecords; }
void band_size::setTwoReaderRecords(std::int64_t records)
{
    quenta::twoReaderRecords = records <= 0 ? DefaultTwoReaderRecords : records;
}

void NormA1(WorkingState& s, ScratchReader& file, UserDialogs& user)
{
    const int N = s.N;
    if (N <= 0)
        return;
    if (!covers(s.ColNorm2, N)) {
        for (int i = 1; i <= N; ++i)
            if (!norm_column_plain(s, file, user, i))
                return;
        return;
    }
    s.ColNorm2[1] = 0;
    Band band(N, file);
    const std::size_t n = static_cast<std::size_t>(N);
    int i = 1;
    while (i <= N) {
        band.load(i);
        // Four columns' chains side by side, stored column by column, so that nothing after a
        // zero or failing column is touched.
        while (i <= N && band.holds(i)) {
            float c[4];
            int group = 1;
            if (band.holds(i + 3) && band.rows(i + 3) == N) {
                kernels::square_chain4(band.column(i), band.column(i + 1), band.column(i + 2),
                                       band.column(i + 3), n, c);
                group = 4;
            } else {
                c[0] = kernels::square_chain(band.column(i), static_cast<std::size_t>(band.rows(i)));
            }
            for (int k = 0; k < group; ++k, ++i) {
                if (!std::isfinite(c[k]) || band.rows(i) < N)
                    norm_column_replay(s, band, i);
                s.ColNorm2[static_cast<std::size_t>(i)] = c[k];
                if (c[k] == 0.0f) {
                    user.message(s.msgBadFile);
                    return;
                }
            }
        }
    }
}

void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid) { Step1(s, file, grid, {}); }

void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid, const std::function<void()>& progress)
{
    const int N = s.N;
    if (N <= 0)
        return;
    if (!covers(s.X, N) || !covers(s.R, N) || !covers(s.ColNorm2, N)) {
        step_plain(s, file, grid, progress);
        return;
    }
    // As in the in-memory sweep: the residual update of step i and the chain of step i+1 share one
    // pass when both columns are in the band; the residual goes to the other of two buffers so a
    // failing step can be replayed in the plain order from the residual before it.
    const std::size_t n = static_cast<std::size_t>(N);
    Band band(N, file);
    kernels::SweepResidual res(s.R.data() + 1, n);
    // The chain of step i over the rows that exist, failing as the record-by-record reads would:
    // an arithmetic failure among the existing rows comes first, then the missing record.
    auto chain = [&](int i) {
        const int rows = band.rows(i);
        const float c = kernels::dot_chain(res.current(), band.column(i), static_cast<std::size_t>(rows));
        if (!std::isfinite(c))
            fail_nonfinite(c);
        if (rows < N)
            fail_missing();
        return c;
    };
    band.load(1);
    float si = chain(1);
    for (int i = 1; i <= N; ++i) {
        const std::size_t ui = static_cast<std::size_t>(i);
        const float sv = fdiv(-si, s.ColNorm2[ui]);
        s.X[ui] = fadd(sv, s.X[ui]);
        grid.setText(i, 1, FormatSingle(s.X[ui]));
        const float* a = band.column(i);
        const float* next = i < N && band.holds(i + 1) ? band.column(i + 1) : nullptr;
        float er = 0, snext = 0;
        if (!res.update(a, sv, next, er, snext)) {
            update_replay(s, a, sv);
            throw ArithmeticError("float overflow");  // not reached: the replay fails first
        }
        s.er = er;
        if (progress && i % 64 == 0)
            progress();
        if (i < N) {
            if (next && std::isfinite(snext) && band.rows(i + 1) == N) {
                si = snext;
            } else {
                if (!band.holds(i + 1))
                    band.load(i + 1);
                si = chain(i + 1);
            }
        }
    }
}

} // namespace quenta
