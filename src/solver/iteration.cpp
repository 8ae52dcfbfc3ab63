#include "solver/iteration.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "model/arith.h"
#include "model/numbers.h"
#include "scratch/column_kernels.h"

namespace quenta {

namespace {

// ---- checked element access, for the plain forms ----

float& at(std::vector<float>& v, int k)
{
    if (k < 0 || static_cast<std::size_t>(k) >= v.size())
        throw SubscriptError("subscript out of range");
    return v[static_cast<std::size_t>(k)];
}

float at(const Matrix& a, int i, int j)
{
    if (i < 0 || j < 0 || i > a.order() || j > a.order())
        throw SubscriptError("subscript out of range");
    return a(i, j);
}

bool covers(const std::vector<float>& v, int n) { return v.size() > static_cast<std::size_t>(n); }

[[noreturn]] void fail_nonfinite(float v)
{
    throw ArithmeticError(std::isnan(v) ? "invalid operation" : "float overflow");
}

int solution_column(i16 N) { return add16(mul16(2, N), 3); }

void show_x(WorkingState& s, SystemGrid& grid, int i)
{
    grid.setText(i, solution_column(s.N), FormatSingle(s.X[static_cast<std::size_t>(i)]));
}

// ---- the plain forms: every operation in the order of the method, every value stored as it is
// produced, every index checked. They serve arrays that do not cover 1..N and the exact replay of
// a piece of work in which the fast forms saw a failure. ----

// Row i of the in-memory residual.
void erx_row_plain(WorkingState& s, int i)
{
    const int N = s.N;
    at(s.R, i) = -at(s.B, i);
    for (int j = 1; j <= N; ++j) {
        float& r = at(s.R, i);
        r = madd(at(s.A, i, j), at(s.X, j), r);
    }
}

void erx_file_row_plain(WorkingState& s, ScratchReader& file, int i)
{
    const i16 N = s.N;
    at(s.R, i) = -file.getb(static_cast<i16>(i), N);
    for (int j = 1; j <= N; ++j) {
        const float a = file.geta(static_cast<i16>(i), static_cast<i16>(j), N);
        float& r = at(s.R, i);
        r = madd(a, at(s.X, j), r);
    }
}

// Column i of the norms; false after "NoSolution".
bool norm_column_plain(WorkingState& s, UserDialogs& user, int i)
{
    const int N = s.N;
    at(s.ColNorm2, i) = 0;
    for (int j = 1; j <= N; ++j) {
        const float a = at(s.A, j, i);
        float& c = at(s.ColNorm2, i);
        c = madd(a, a, c);
    }
    if (at(s.ColNorm2, i) == 0.0f) {
        user.message("NoSolution");
        return false;
    }
    return true;
}

// The residual update of step i with step size sv, er rebuilt as it goes.
void update_plain(WorkingState& s, int i, float sv)
{
    const int N = s.N;
    s.er = 0;
    for (int j = 1; j <= N; ++j) {
        float& r = at(s.R, j);
        r = madd(sv, at(s.A, j, i), r);
        if (r > s.er)
            s.er = r;
    }
}

void step_plain(WorkingState& s, SystemGrid& grid, const std::function<void()>& progress)
{
    const int N = s.N;
    for (int i = 1; i <= N; ++i) {
        float sum = 0;
        for (int j = 1; j <= N; ++j)
            sum = madd(at(s.R, j), at(s.A, j, i), sum);
        sum = fdiv(-sum, at(s.ColNorm2, i));
        float& x = at(s.X, i);
        x = fadd(sum, x);
        update_plain(s, i, sum);
        show_x(s, grid, i);
        if (progress && i % 64 == 0)
            progress();
    }
}

// ---- the fast forms ----

void erx_memory(WorkingState& s)
{
    const int N = s.N;
    if (!covers(s.R, N) || !covers(s.B, N) || !covers(s.X, N) || s.A.order() < N) {
        for (int i = 1; i <= N; ++i)
            erx_row_plain(s, i);
        return;
    }
    // Every row's chain runs over j in order, but the rows advance together, column by column,
    // so that A is read along its contiguous columns. The sums go to a work vector first: a row
    // whose chain failed is replayed in the plain order, after the rows before it are stored.
    const std::size_t n = static_cast<std::size_t>(N);
    float* t = kernels::work_buffer(n);
    for (int i = 1; i <= N; ++i)
        t[i - 1] = -s.B[static_cast<std::size_t>(i)];
    float unused = 0;
    for (int j = 1; j <= N; ++j)
        kernels::update(t, t, s.A.column(j) + 1, s.X[static_cast<std::size_t>(j)], n, unused);
    const std::size_t bad = kernels::first_nonfinite(t, n);
    std::memcpy(s.R.data() + 1, t, bad * sizeof(float));
    if (bad < n) {
        erx_row_plain(s, static_cast<int>(bad) + 1);
        fail_nonfinite(t[bad]);  // not reached: the replay fails first
    }
}

void erx_file(WorkingState& s, ScratchReader* file)
{
    if (file == nullptr)
        throw FileError("the scratch file is not open");
    const int N = s.N;
    if (!covers(s.R, N) || !covers(s.X, N)) {
        for (int i = 1; i <= N; ++i)
            erx_file_row_plain(s, *file, i);
        return;
    }
    // Row i is records a(i,1)..a(i,N), b(i), one run of the file. b(i) is read first and lies
    // last, so the row is usable exactly when its whole run exists.
    const std::size_t n = static_cast<std::size_t>(N);
    std::vector<float> row(n + 1);
    const float* x = s.X.data() + 1;
    for (int i = 1; i <= N; ++i) {
        const std::int32_t first = record_of(static_cast<i16>(i), 1, s.N);
        if (file->readRun(first, N + 1, row.data()) < N + 1)
            throw FileError("record past the end of the scratch file");
        const float r = kernels::dot_chain(row.data(), x, n, -row[n]);
        if (!std::isfinite(r)) {
            erx_file_row_plain(s, *file, i);
            fail_nonfinite(r);
        }
        s.R[static_cast<std::size_t>(i)] = r;
    }
}

} // namespace

void ERX(WorkingState& s, ScratchReader* file)
{
    if (s.N <= 0)
        return;
    if (s.StorageMode && *s.StorageMode == 1)
        erx_memory(s);
    else
        erx_file(s, file);
}

void NormA(WorkingState& s, UserDialogs& user)
{
    const int N = s.N;
    if (N <= 0)
        return;
    if (!covers(s.ColNorm2, N) || s.A.order() < N) {
        for (int i = 1; i <= N; ++i)
            if (!norm_column_plain(s, user, i))
                return;
        return;
    }
    const std::size_t n = static_cast<std::size_t>(N);
    // Four columns' chains run side by side; their results are stored column by column, so a
    // column after a zero or failing one is never touched.
    int i = 1;
    while (i <= N) {
        float c[4];
        int group = 1;
        if (i + 3 <= N) {
            kernels::square_chain4(s.A.column(i) + 1, s.A.column(i + 1) + 1, s.A.column(i + 2) + 1,
                                   s.A.column(i + 3) + 1, n, c);
            group = 4;
        } else {
            c[0] = kernels::square_chain(s.A.column(i) + 1, n);
        }
        for (int k = 0; k < group; ++k, ++i) {
            if (!std::isfinite(c[k])) {
                norm_column_plain(s, user, i);
                fail_nonfinite(c[k]);  // not reached: the replay fails first
            }
            s.ColNorm2[static_cast<std::size_t>(i)] = c[k];
            if (c[k] == 0.0f) {
                user.message("NoSolution");
                return;
            }
        }
    }
}

void Step(WorkingState& s, SystemGrid& grid) { Step(s, grid, {}); }

void Step(WorkingState& s, SystemGrid& grid, const std::function<void()>& progress)
{
    const int N = s.N;
    if (N <= 0)
        return;
    if (!covers(s.X, N) || !covers(s.R, N) || !covers(s.ColNorm2, N) || s.A.order() < N) {
        step_plain(s, grid, progress);
        return;
    }
    // The residual update of step i runs in the same pass as the chain of step i+1, which reads
    // the updated components as they are produced. The new residual goes to the other of two
    // buffers, so that when the pass sees a failure the residual before it is still at hand and
    // the step is replayed in the plain order. Nothing the pass computes is visible before it is
    // known to be good.
    const std::size_t n = static_cast<std::size_t>(N);
    kernels::SweepResidual res(s.R.data() + 1, n);
    float si = kernels::dot_chain(res.current(), s.A.column(1) + 1, n);
    if (!std::isfinite(si))
        fail_nonfinite(si);
    for (int i = 1; i <= N; ++i) {
        const std::size_t ui = static_cast<std::size_t>(i);
        const float sv = fdiv(-si, s.ColNorm2[ui]);
        s.X[ui] = fadd(sv, s.X[ui]);
        const float* next = i < N ? s.A.column(i + 1) + 1 : nullptr;
        float er = 0, snext = 0;
        if (!res.update(s.A.column(i) + 1, sv, next, er, snext)) {
            update_plain(s, i, sv);
            throw ArithmeticError("float overflow");  // not reached: the replay fails first
        }
        s.er = er;
        show_x(s, grid, i);
        if (progress && i % 64 == 0)
            progress();
        if (next) {
            if (!std::isfinite(snext))
                fail_nonfinite(snext);
            si = snext;
        }
    }
}

} // namespace quenta
