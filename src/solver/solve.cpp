#include "solver/solve.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "model/errors.h"
#include "model/numbers.h"
#include "scratch/scratch_claim.h"
#include "scratch/scratch_file.h"
#include "solver/iteration.h"

namespace quenta {

namespace {

using Clock = std::chrono::steady_clock;

// The busy cursor for as long as a command runs.
class BusyScope {
public:
    explicit BusyScope(Controls& c) : c_(c) { c_.setBusy(true); }
    ~BusyScope() { c_.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Controls& c_;
};

// Repaints txtEr and the solution column at most ten times a second while a command works.
class Progress {
public:
    explicit Progress(Controls& c) : c_(c), last_(Clock::now()) {}
    void tick()
    {
        const auto now = Clock::now();
        if (now - last_ >= std::chrono::milliseconds(100)) {
            c_.repaintProgress();
            last_ = now;
        }
    }

private:
    Controls& c_;
    Clock::time_point last_;
};

// txtTime: the seconds since `start`. The clock readings stay integers; only their difference is
// converted.
void show_duration(Controls& c, Clock::time_point start, std::string_view separator)
{
    const Clock::duration elapsed = Clock::now() - start;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    c.setText(Control::txtTime, FormatSingle(static_cast<float>(seconds), separator));
}

bool in_memory(const WorkingState& s) { return s.StorageMode == InMemory; }
bool file_backed(const WorkingState& s) { return s.StorageMode == FileBacked; }

// The file-backed mode after a Connect that did not read the whole system, or with a scratch
// file that is no longer the one Connect wrote (replaced or changed by another program): the
// file holds old, partial or foreign records, so nothing is solved and the claim on it ends.
// True when the command must end.
bool refuse_unconnected(Form& f)
{
    WorkingState& s = f.state;
    if (!file_backed(s) || (s.scratch && s.scratch->unchanged(f.dir.scratch())))
        return false;
    s.scratch.reset();
    f.user.message(s.msgBadFile);
    return true;
}

// In-memory mode: fresh R, ColNorm2, A, B, X kept; then the system from the grid. False when a
// message ended the command.
bool build_from_grid(Form& f)
{
    WorkingState& s = f.state;
    try {
        s.allocate(s.R, s.N);
        s.allocate(s.ColNorm2, s.N);
        s.allocate(s.A, s.N);
        s.allocate(s.B, s.N);
        s.allocate(s.X, s.N, true);
    } catch (const QuentaError&) {  // allocate() reports a refused allocation as MemoryError
        f.user.message(s.msgNoMemory);
        return false;
    }
    try {
        load_grid(s, f.grid);
    } catch (const QuentaError&) {  // a cell that is not a number, beyond the float range, or missing
        f.user.message(s.msgIncomplete);
        return false;
    }
    return true;
}

// File-backed mode: fresh R and ColNorm2, X kept.
void allocate_file_arrays(WorkingState& s)
{
    s.allocate(s.R, s.N);
    s.allocate(s.ColNorm2, s.N);
    s.allocate(s.X, s.N, true);
}

using Sweep = std::function<void(const SweepOptions&)>;

// Raised at a progress point of a sweep when the user asked to stop.
struct Stopped {};

// One sweep from unknown s.sweepFrom on, which a stop may end between two coordinate steps (the
// engine offers a progress point after every step i with i % 64 == 0): X, R and the grid are then
// in step, s.sweepFrom is the unknown the sweep goes on with, and the result is true. A sweep that
// ends, whole or by a failure, leaves s.sweepFrom at 1.
bool sweep_part(Form& f, const Sweep& sweep, Progress& progress)
{
    WorkingState& s = f.state;
    SweepOptions o;
    o.first = s.sweepFrom;
    int done = s.sweepFrom - 1;  // a multiple of 64: stops happen only at progress points
    o.progress = [&] {
        done += 64;
        progress.tick();
        if (done < s.N && f.controls.stopRequested())
            throw Stopped{};
    };
    s.sweepFrom = 1;
    try {
        sweep(o);
    } catch (const Stopped&) {  // the user's stop: no message, the next click finishes the sweep
        s.sweepFrom = done + 1;
        return true;
    }
    return false;
}

// The sweeps of "Find  solution": until er <= eps or er repeats the previous sweep's (which
// starts at 0), or the user stops the run. iter counts the whole sweeps; its overflow after sweep
// 32767 ends the run.
void sweep_until_done(Form& f, const Sweep& sweep, Progress& progress)
{
    WorkingState& s = f.state;
    float previous = 0;
    while (!f.controls.stopRequested()) {
        const bool stopped = sweep_part(f, sweep, progress);
        f.controls.setText(Control::txtEr, FormatSingle(s.er, s.separator));
        if (stopped)
            return;
        s.iter = add16(s.iter, 1);
        s.accuracy.push_back(s.er);
        progress.tick();
        if (s.er <= s.eps)
            break;
        if (s.er == previous)
            break;
        previous = s.er;
    }
}

// Row i's cells a(i,1..N), b(i), x(i) (columns 1, 3, ..., 2N+3) into out[0..width-1]: the numbers
// the grid keeps, and where it has none the cell's text parsed here, which raises at a cell that
// is not a number. `done` counts the cells given so far.
void read_row(const SystemGrid& grid, std::string_view separator, int i, int width, float* out, int& done)
{
    done = 0;
    while (done < width) {
        done += static_cast<int>(
            grid.numbers(i, aColumn(done + 1), static_cast<std::size_t>(width - done), separator, out + done));
        if (done < width) {
            out[done] = ParseSingle(grid.text(i, aColumn(done + 1)), separator);
            ++done;
        }
    }
}

// Rows first.. as read_row gave them (row first + r at rows[r * width]) into A, B and X: `whole`
// rows in full, then the first `partial` cells of one more.
void store_rows(WorkingState& s, const float* rows, int width, int first, int whole, int partial)
{
    const int N = s.N;
    for (int j = 1; j <= N; ++j) {
        float* a = &s.A(first, j);
        const float* from = rows + (j - 1);
        for (int r = 0; r < whole; ++r)
            a[r] = from[static_cast<std::ptrdiff_t>(r) * width];
        if (j <= partial)
            a[whole] = from[static_cast<std::ptrdiff_t>(whole) * width];
    }
    for (int r = 0; r <= whole; ++r) {
        const int cells = r < whole ? width : partial;
        const float* row = rows + static_cast<std::ptrdiff_t>(r) * width;
        if (cells > N)
            s.B[static_cast<std::size_t>(first + r)] = row[N];
        if (cells > N + 1)
            s.X[static_cast<std::size_t>(first + r)] = row[N + 1];
    }
}

} // namespace

void load_grid(WorkingState& s, const SystemGrid& grid)
{
    const int N = s.N;
    if (N <= 0)
        return;
    // Rows are read a few at a time and then stored column by column, so that A, stored by
    // columns, is written a cache line at a time rather than a float per column and row.
    const int width = N + 2;
    const int block = std::clamp(65536 / width, 1, 16);
    std::vector<float> rows(static_cast<std::size_t>(block) * static_cast<std::size_t>(width));
    for (int first = 1; first <= N; first += block) {
        const int count = std::min(block, N - first + 1);
        int whole = 0, done = 0;
        try {
            for (; whole < count; ++whole)
                read_row(grid, s.separator, first + whole, width, &rows[static_cast<std::size_t>(whole * width)], done);
        } catch (...) {
            store_rows(s, rows.data(), width, first, whole, done);  // what was read before the failure
            throw;
        }
        store_rows(s, rows.data(), width, first, count, 0);
    }
}

void cmdSolution_Click(Form& f)
{
    WorkingState& s = f.state;
    Controls& c = f.controls;
    if (refuse_unconnected(f))
        return;
    float eps;
    try {
        eps = ParseSingle(c.text(Control::txtEps), s.separator);
    } catch (const QuentaError&) {  // not a number, or beyond the float range
        f.user.message(s.msgFormat);
        return;
    }
    s.eps = eps;
    s.iter = 1;
    s.sweepFrom = 1;
    const Clock::time_point start = Clock::now();
    BusyScope busy(c);
    Progress progress(c);
    SweepOptions options;

    if (in_memory(s)) {
        if (!build_from_grid(f))
            return;
        try {
            ERX(s, nullptr);
            NormA(s, f.user);
            sweep_until_done(f, [&](const SweepOptions& o) { Step(s, f.grid, o); }, progress);
        } catch (const QuentaError&) {
            return;  // an arithmetic failure in the sweep ends the run silently; what it stored stays
        } catch (const std::bad_alloc&) {
            return;  // the same silent end for memory the sweep could not get
        }
    } else if (file_backed(s)) {
        try {
            allocate_file_arrays(s);
            ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
            ERX(s, &file, options);
            NormA1(s, file, f.user, options);
            sweep_until_done(f, [&](const SweepOptions& o) { Step1(s, file, f.grid, o); }, progress);
        } catch (const FileError&) {
            f.user.message(s.msgBadFile);  // the scratch file could not be read
            return;
        } catch (const QuentaError&) {
            return;  // an arithmetic failure ends the run silently, as in memory
        } catch (const std::bad_alloc&) {
            return;  // so does memory the run could not get
        }
    }
    show_duration(c, start, s.separator);
}

void cmdIter_Click(Form& f)
{
    WorkingState& s = f.state;
    Controls& c = f.controls;
    if (refuse_unconnected(f))
        return;
    const Clock::time_point start = Clock::now();
    BusyScope busy(c);
    Progress progress(c);
    SweepOptions options;
    if (s.iter == 1)
        s.sweepFrom = 1;  // the system is built afresh
    bool stopped = false;

    try {
        if (in_memory(s)) {
            if (s.iter == 1) {
                if (!build_from_grid(f))
                    return;
                ERX(s, nullptr);
                NormA(s, f.user);
            }
            stopped = sweep_part(f, [&](const SweepOptions& o) { Step(s, f.grid, o); }, progress);
            c.setText(Control::txtEr, FormatSingle(s.er, s.separator));
        } else if (file_backed(s)) {
            try {
                if (s.iter == 1) {
                    allocate_file_arrays(s);
                    ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
                    ERX(s, &file, options);
                    NormA1(s, file, f.user, options);
                }
                ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
                stopped = sweep_part(f, [&](const SweepOptions& o) { Step1(s, file, f.grid, o); }, progress);
                c.setText(Control::txtEr, FormatSingle(s.er, s.separator));
            } catch (const FileError&) {
                f.user.message(s.msgBadFile);
                return;
            }
        }
        if (!stopped) {
            s.iter = add16(s.iter, 1);
            s.accuracy.push_back(s.er);
        }
    } catch (const QuentaError&) {
        return;  // an arithmetic or counter failure ends the click silently; what was stored stays
    } catch (const std::bad_alloc&) {
        return;  // the same silent end for memory the sweep could not get
    }
    show_duration(c, start, s.separator);
}

} // namespace quenta
