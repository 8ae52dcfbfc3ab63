#include "solver/direct_check.h"

#include <Eigen/LU>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <vector>

#include "model/errors.h"
#include "model/numbers.h"
#include "scratch/scratch_claim.h"
#include "scratch/band.h"
#include "scratch/scratch_file.h"
#include "solver/solve.h"

namespace quenta {

namespace {

std::string figure(double v, std::string_view separator) { return FormatSingle(static_cast<float>(v), separator); }

// The system in the scratch file, read as the iteration reads it: bands of columns, from the
// packed copy when it matches data.sle and from the records otherwise. A band of a few
// megabytes, since the double matrix already holds the system. False when a record is missing or
// a read fails.
bool read_scratch(Form& f, Eigen::MatrixXd& a, Eigen::VectorXd& b)
{
    const int n = f.state.N;
    try {
        ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
        BandSize size;
        size.directBytes = size.bytes;
        Band band(n, file, size);
        for (int j = 1; j <= n + 1; ++j) {
            if (!band.holds(j))
                band.load(j);
            if (band.rows(j) < n)
                return false;  // records beyond the end of the file
            const float* column = band.column(j);
            std::copy(column, column + n, j <= n ? a.col(j - 1).data() : b.data());
        }
    } catch (const QuentaError&) {
        return false;
    }
    return true;
}

} // namespace

DirectCheck compare_with_direct(Eigen::Ref<Eigen::MatrixXd> a, Eigen::VectorXd& b, const Eigen::VectorXd& x)
{
    DirectCheck c;
    c.n = static_cast<int>(a.rows());
    if (c.n == 0)
        return c.rcond = 1, c;
    const Eigen::PartialPivLU<Eigen::Ref<Eigen::MatrixXd>> lu(a);  // factors a in place
    c.rcond = lu.rcond();
    if (c.singular())
        return c;
    b = lu.solve(b);
    const Eigen::VectorXd diff = x - b;
    const double exact = b.norm(), off = diff.norm();
    c.relativeError = exact > 0 ? off / exact : (off > 0 ? INFINITY : 0.0);
    c.maxError = diff.cwiseAbs().maxCoeff();
    return c;
}

std::optional<DirectCheck> check_against_direct(Form& f)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    WorkingState& s = f.state;
    if (!s.StorageMode) {
        f.user.message(" There is no system to check yet: enter, open or connect one first.");
        return std::nullopt;
    }
    const int n = s.N;
    if (n > MaxDirectOrder) {
        f.user.message(" The check against a direct solve takes systems of up to " + std::to_string(MaxDirectOrder) +
                       " equations; this one has " + std::to_string(n) + ".");
        return std::nullopt;
    }
    const bool fileBacked = s.StorageMode == FileBacked;
    if (fileBacked && !(s.scratch && s.scratch->unchanged(f.dir.scratch()))) {
        f.user.message(s.msgBadFile);  // not the system Connect wrote, as a run says
        return std::nullopt;
    }
    Eigen::MatrixXd a(n, n);
    Eigen::VectorXd b(n), x(n);
    try {
        // Row by row as a run loads the grid: a(i,1..N), b(i), x(i) in memory; file-backed the
        // grid's first column is x(i). X is thus the solution column as the window shows it.
        const int width = fileBacked ? 1 : n + 2;
        std::vector<float> row(static_cast<std::size_t>(width));
        for (int i = 1; i <= n; ++i) {
            int done = 0;
            read_grid_row(f.grid, s.separator, i, width, row.data(), done);
            x(i - 1) = row.back();
            for (int j = 1; j <= n && !fileBacked; ++j)
                a(i - 1, j - 1) = row[static_cast<std::size_t>(j - 1)];
            if (!fileBacked)
                b(i - 1) = row[static_cast<std::size_t>(n)];
        }
    } catch (const QuentaError&) {  // a placeholder or a text that is not a number, as a run says
        f.user.message(s.msgIncomplete);
        return std::nullopt;
    }
    if (fileBacked && !read_scratch(f, a, b)) {
        f.user.message(s.msgBadFile);
        return std::nullopt;
    }
    DirectCheck c = compare_with_direct(a, b, x);
    c.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return c;
}

void CheckDirect_Click(Form& f)
{
    const std::optional<DirectCheck> c = check_against_direct(f);
    f.controls.setText(Control::sbrStatus, c ? describe(*c, f.state.separator) : std::string("Failed: no check against a direct solve"));
}

std::string describe(const DirectCheck& c, std::string_view separator)
{
    const std::string condition = "condition \u2248 " + (c.rcond > 0 ? figure(1.0 / c.rcond, separator) : std::string("\u221e"));
    const std::string time = figure(c.seconds, separator) + " s";
    if (c.singular())
        return "Direct solve: the matrix is singular to working precision (" + condition + "), " + time;
    return "Error against a direct solve: relative " + figure(c.relativeError, separator) + ", largest " +
           figure(c.maxError, separator) + ", " + condition + ", " + time;
}

} // namespace quenta
