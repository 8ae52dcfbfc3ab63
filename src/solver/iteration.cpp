#include "solver/iteration.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "model/arith.h"
#include "model/messages.h"
#include "model/numbers.h"

namespace quenta {

namespace {

float& element(std::vector<float>& v, int k)
{
    if (k < 0 || static_cast<std::size_t>(k) >= v.size())
        throw SubscriptError("subscript out of range");
    return v[static_cast<std::size_t>(k)];
}

bool covers(const std::vector<float>& v, int n) { return v.size() > static_cast<std::size_t>(n); }

// A column source gives the routines the columns of [A | b] (column N+1 is b). The fast forms
// read whole columns: need(i) makes column i available, has(i) tells whether it is at hand
// without a load, column(i) points at its rows 1..rows(i). The exact forms read one coefficient
// at a time with at(i, j), which fails where the plain method fails.

// The coefficients in memory: A and B, every row there.
class MemoryColumns {
public:
    explicit MemoryColumns(WorkingState& s) : s_(s) {}
    bool fast() const
    {
        const int N = s_.N;
        return covers(s_.R, N) && covers(s_.X, N) && covers(s_.ColNorm2, N) && covers(s_.B, N) && s_.A.order() >= N;
    }
    void need(int) {}
    bool has(int) const { return true; }
    const float* column(int i) const { return i > s_.N ? s_.B.data() + 1 : s_.A.column(i) + 1; }
    int rows(int) const { return s_.N; }
    float at(int i, int j)
    {
        if (j == s_.N + 1)
            return element(s_.B, i);
        if (i < 0 || j < 0 || i > s_.A.order() || j > s_.A.order())
            throw SubscriptError("subscript out of range");
        return s_.A(i, j);
    }

private:
    WorkingState& s_;
};

// The coefficients in the scratch file: bands of columns; one record read per exact access.
class FileColumns {
public:
    FileColumns(WorkingState& s, ScratchReader& file, BandSize size) : s_(s), file_(file), band_(s.N, file, size) {}
    bool fast() const { return covers(s_.R, s_.N) && covers(s_.X, s_.N) && covers(s_.ColNorm2, s_.N); }
    void need(int i)
    {
        if (!band_.holds(i))
            band_.load(i);
    }
    bool has(int i) const { return band_.holds(i); }
    const float* column(int i) const { return band_.column(i); }
    int rows(int i) const { return band_.rows(i); }
    float at(int i, int j) { return file_.geta(static_cast<i16>(i), static_cast<i16>(j), s_.N); }

private:
    WorkingState& s_;
    ScratchReader& file_;
    Band band_;
};

// ---- the exact forms: every operation in the order of the method, every value stored as it is
// produced, every index checked. They serve arrays that do not cover 1..N, and they redo the piece
// of work in which a fast form saw a failure, so that it lands at the exact operation. ----

// Row i of the residual; returns b(i) as it was read.
template <class Source> float residual_row(WorkingState& s, Source& src, int i)
{
    const float b = -src.at(i, s.N + 1);
    element(s.R, i) = b;
    for (int j = 1; j <= s.N; ++j) {
        const float a = src.at(i, j);
        float& r = element(s.R, i);
        r = madd(a, element(s.X, j), r);
    }
    return -b;
}

// Column i of the norms.
template <class Source> float norm_column(WorkingState& s, Source& src, int i)
{
    element(s.ColNorm2, i) = 0;
    for (int j = 1; j <= s.N; ++j) {
        const float a = src.at(j, i);
        float& c = element(s.ColNorm2, i);
        c = madd(a, a, c);
    }
    return element(s.ColNorm2, i);
}

// The chain of step i.
template <class Source> float step_chain(WorkingState& s, Source& src, int i)
{
    float sum = 0;
    for (int j = 1; j <= s.N; ++j) {
        const float a = src.at(j, i);
        sum = madd(element(s.R, j), a, sum);
    }
    return sum;
}

// The residual update of step i with step size sv, er rebuilt as it goes.
template <class Source> void step_update(WorkingState& s, Source& src, int i, float sv)
{
    s.er = 0;
    for (int j = 1; j <= s.N; ++j) {
        const float a = src.at(j, i);
        float& r = element(s.R, j);
        r = madd(sv, a, r);
        if (r > s.er)
            s.er = r;
    }
}

// ---- the routines over a column source ----

template <class Source> void residual(WorkingState& s, Source& src)
{
    const int N = s.N;
    int done = 0;
    // The rows whose b is there, for the fast form.
    const std::size_t rows = src.fast() ? static_cast<std::size_t>(src.rows(N + 1)) : 0;
    double bb = 0;  // |b|^2 of the b values read, each row's once
    if (rows > 0) {
        // Every row's chain runs over j in order, but the rows advance together, column by column,
        // so that the matrix is read along its columns. The sums go to a work vector first; from
        // the first row whose chain failed on, the rows are done exactly.
        std::vector<float> sums = kernels::work_vector(rows);
        float* t = sums.data();
        src.need(N + 1);
        const float* b = src.column(N + 1);
        for (std::size_t k = 0; k < rows; ++k) {
            t[k] = -b[k];
            bb += static_cast<double>(b[k]) * b[k];
        }
        float unused;
        for (int j = 1; j <= N; ++j) {
            src.need(j);
            kernels::update(t, t, src.column(j), s.X[static_cast<std::size_t>(j)], rows, unused);
        }
        done = static_cast<int>(kernels::first_nonfinite(t, rows));
        std::memcpy(s.R.data() + 1, t, static_cast<std::size_t>(done) * sizeof(float));
    }
    for (int i = done + 1; i <= N; ++i) {
        const double b = residual_row(s, src, i);
        if (static_cast<std::size_t>(i) > rows)  // the rows up to `rows` read the same b above
            bb += b * b;
    }
    s.BNorm2 = bb;
}

template <class Source> bool norms(WorkingState& s, Source& src, UserDialogs& user, const std::string& zero)
{
    const int N = s.N;
    const bool fast = src.fast();
    if (fast)
        s.ColNorm2[1] = 0;  // as the exact form leaves it when the first read fails
    // Four columns' chains run side by side; their results are stored column by column, so a column
    // after a zero or failing one is never touched.
    for (int i = 1; i <= N;) {
        float c[4];
        int group = 1;
        if (fast) {
            src.need(i);
            if (i + 3 <= N && src.has(i + 3) && src.rows(i + 3) == N) {
                kernels::square_chain4(src.column(i), src.column(i + 1), src.column(i + 2), src.column(i + 3),
                                       static_cast<std::size_t>(N), c);
                group = 4;
            } else {
                c[0] = kernels::chain(src.column(i), src.column(i), static_cast<std::size_t>(src.rows(i)));
            }
        }
        for (int k = 0; k < group; ++k, ++i) {
            if (fast && std::isfinite(c[k]) && src.rows(i) == N)
                s.ColNorm2[static_cast<std::size_t>(i)] = c[k];
            else
                c[k] = norm_column(s, src, i);
            if (c[k] == 0.0f) {
                user.message(zero);
                return false;
            }
        }
    }
    return true;
}

// One sweep; X(i) is shown in column `cell` before the residual update of step i when showFirst,
// after it otherwise.
template <class Source>
void sweep(WorkingState& s, Source& src, SystemGrid& grid, int cell, bool showFirst, const SweepOptions& o)
{
    const int N = s.N;
    Kernel best;
    Kernel& kernel = o.kernel ? *o.kernel : best;
    const bool fast = src.fast();
    // The residual update of step i runs in the same pass as the chain of step i+1, which reads the
    // updated components as they are produced. The new residual goes to the other of two buffers,
    // so that when the pass sees a failure the residual before it is still at hand for the exact
    // form. Nothing the pass computes is visible before it is known to be good.
    std::optional<SweepResidual> res;
    if (fast)
        res.emplace(s.R.data() + 1, static_cast<std::size_t>(N));
    const auto chain = [&](int i) {
        if (fast) {
            src.need(i);
            const float c = kernel.chain(res->current(), src.column(i), static_cast<std::size_t>(src.rows(i)));
            if (std::isfinite(c) && src.rows(i) == N)
                return c;
            res->settle();
        }
        return step_chain(s, src, i);
    };
    const int first = std::max(o.first, 1);
    if (first > N)
        return;
    float si = chain(first);
    for (int i = first; i <= N; ++i) {
        const float sv = fdiv(-si, element(s.ColNorm2, i));
        float& x = element(s.X, i);
        x = fadd(sv, x);
        if (showFirst)
            grid.setText(i, cell, FormatSingle(x, s.separator), s.separator);
        float er = 0, snext = 0;
        bool chained = false;
        if (!fast) {
            step_update(s, src, i, sv);
        } else {
            const float* next = i < N && src.has(i + 1) ? src.column(i + 1) : nullptr;
            if (res->update(kernel, src.column(i), sv, next, er, snext)) {
                s.er = er;
                chained = next && std::isfinite(snext) && src.rows(i + 1) == N;
            } else {
                step_update(s, src, i, sv);
            }
        }
        if (!showFirst)
            grid.setText(i, cell, FormatSingle(x, s.separator), s.separator);
        if (o.progress && i % 64 == 0)
            o.progress();
        if (i < N)
            si = chained ? snext : chain(i + 1);
    }
}

} // namespace

void ERX(WorkingState& s, ScratchReader* file, const SweepOptions& o)
{
    s.BNorm2 = 0;
    if (s.N <= 0)
        return;
    if (s.StorageMode == InMemory) {
        MemoryColumns m(s);
        return residual(s, m);
    }
    if (file == nullptr)
        throw FileError("the scratch file is not open");
    FileColumns f(s, *file, o.band);
    residual(s, f);
}

bool NormA(WorkingState& s, UserDialogs& user)
{
    MemoryColumns m(s);
    return s.N <= 0 || norms(s, m, user, messages::NoSolution);
}

bool NormA1(WorkingState& s, ScratchReader& file, UserDialogs& user, const SweepOptions& o)
{
    if (s.N <= 0)
        return true;
    FileColumns f(s, file, o.band);
    return norms(s, f, user, s.msgBadFile);
}

void Step(WorkingState& s, SystemGrid& grid, const SweepOptions& o)
{
    MemoryColumns m(s);
    if (s.N > 0)
        sweep(s, m, grid, xColumn(s.N), false, o);
}

void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid, const SweepOptions& o)
{
    if (s.N <= 0)
        return;
    FileColumns f(s, file, o.band);
    sweep(s, f, grid, xColumn(s.N, true), true, o);
}

} // namespace quenta
