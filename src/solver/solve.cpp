#include "solver/solve.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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

// How a run of "Find  solution" or a click of "Next Iteration" ended, in the words the status
// line starts with.
enum class End { Reached, Settled, SweepLimit, Stopped, Overflow, NoSolution, Failed, Done };

const char* words(End end)
{
    switch (end) {
    case End::Reached: return "Desired accuracy reached";
    case End::Settled: return "Accuracy stopped changing";
    case End::SweepLimit: return "Sweep limit reached";
    case End::Stopped: return "Stopped";
    case End::Overflow: return "Overflow";
    case End::NoSolution: return "No solution";
    case End::Failed: return "Failed";
    case End::Done: return "Done";
    }
    return "";
}

std::string sweep_count(int sweeps) { return FormatInteger(sweeps) + (sweeps == 1 ? " sweep" : " sweeps"); }

// The largest |R(i)|, i = 1..N; exact in float.
float largest_residual(const WorkingState& s)
{
    float largest = 0;
    const std::size_t n = std::min(s.R.size(), static_cast<std::size_t>(std::max(0, int(s.N))) + 1);
    for (std::size_t i = 1; i < n; ++i)
        largest = std::max(largest, std::fabs(s.R[i]));
    return largest;
}

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

// Repaints txtEr and the solution column at most ten times a second while a command works, with
// the whole sweeps so far and their rate on the status line; counts and records every whole sweep.
class Progress {
public:
    explicit Progress(Form& f) : f_(f), start_(Clock::now()), last_(start_) {}
    int sweeps() const { return sweeps_; }
    void tick()
    {
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(100))
            return;
        const double perSecond = sweeps_ / std::chrono::duration<double>(now - start_).count();
        const float rate = static_cast<float>(std::round(perSecond * 10) / 10);
        f_.controls.setText(Control::sbrStatus, "Running: " + sweep_count(sweeps_) + ", " +
                                                    FormatSingle(rate, f_.state.separator) + " sweeps/s");
        f_.controls.repaintProgress();
        last_ = now;
    }
    // A whole sweep has ended: iter counts it (OverflowError after sweep 32767, which is counted
    // here all the same) and the history keeps its record.
    void swept()
    {
        WorkingState& s = f_.state;
        ++sweeps_;
        s.iter = add16(s.iter, 1);
        s.history.push_back({s.er, largest_residual(s)});
        tick();
    }

private:
    Form& f_;
    Clock::time_point start_, last_;
    int sweeps_ = 0;
};

// The status line after a solve command: why it ended, its sweeps and iter, and when R holds the
// residual of X (`measured`), how large R is in double: max |R(i)|, |R|_2 and |R|_2 / |B|_2. The
// accuracy er counts positive components only; the line says so when that hides a larger one.
void show_end(Form& f, End end, int sweeps, bool measured)
{
    const WorkingState& s = f.state;
    const std::string& sep = s.separator;
    std::string t = std::string(words(end)) + ": " + sweep_count(sweeps) + ", iter " + FormatInteger(s.iter);
    if (measured) {
        double sum = 0;
        const std::size_t n = std::min(s.R.size(), static_cast<std::size_t>(std::max(0, int(s.N))) + 1);
        for (std::size_t i = 1; i < n; ++i)
            sum += static_cast<double>(s.R[i]) * s.R[i];
        const double largest = largest_residual(s), norm = std::sqrt(sum);
        t += "; max |r| = " + FormatSingle(static_cast<float>(largest), sep) +
             ", \u2016r\u2016 = " + FormatSingle(static_cast<float>(norm), sep);
        if (s.BNorm2 > 0)
            t += ", \u2016r\u2016/\u2016b\u2016 = " + FormatSingle(static_cast<float>(norm / std::sqrt(s.BNorm2)), sep);
        if (s.er <= s.eps && largest > s.eps)
            t += " (negative residuals are not counted by the accuracy)";
    }
    f.controls.setText(Control::sbrStatus, t);
}

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
End sweep_until_done(Form& f, const Sweep& sweep, Progress& progress)
{
    WorkingState& s = f.state;
    float previous = 0;
    while (!f.controls.stopRequested()) {
        const bool stopped = sweep_part(f, sweep, progress);
        f.controls.setText(Control::txtEr, FormatSingle(s.er, s.separator));
        if (stopped)
            return End::Stopped;
        progress.swept();
        if (s.er <= s.eps)
            return End::Reached;
        if (s.er == previous)
            return End::Settled;
        previous = s.er;
    }
    return End::Stopped;
}

// Called in a handler: the silent end of the failure being handled. The counter's overflow is
// the sweep limit; an arithmetic failure is an overflow, or the sweep's division by the zero norm
// of a column the norms have reported; anything else (memory the run could not get) a failure.
End silent_end(const WorkingState& s, bool zeroColumn)
{
    try {
        throw;
    } catch (const OverflowError&) {
        return End::SweepLimit;
    } catch (const ArithmeticError&) {
        return !zeroColumn ? End::Overflow : in_memory(s) ? End::NoSolution : End::Failed;
    } catch (...) {
        return End::Failed;
    }
}

// "Find  solution"; `measured` tells whether R has become the residual of X.
End find_solution(Form& f, Progress& progress, bool& measured)
{
    WorkingState& s = f.state;
    Controls& c = f.controls;
    if (refuse_unconnected(f))
        return End::Failed;
    float eps;
    try {
        eps = ParseSingle(c.text(Control::txtEps), s.separator);
    } catch (const QuentaError&) {  // not a number, or beyond the float range
        f.user.message(s.msgFormat);
        return End::Failed;
    }
    s.eps = eps;
    s.iter = 1;
    s.sweepFrom = 1;
    const Clock::time_point start = Clock::now();
    BusyScope busy(c);
    SweepOptions options;
    bool zeroColumn = false;
    End end = End::Done;  // no system: nothing to sweep

    // An arithmetic failure in the sweeps (or in the norms or the residual, which the parts of
    // the method do not tell apart), the counter's overflow and memory the run could not get end
    // it silently; what it stored stays.
    try {
        if (in_memory(s)) {
            if (!build_from_grid(f))
                return End::Failed;
            ERX(s, nullptr);
            measured = true;
            zeroColumn = !NormA(s, f.user);
            end = sweep_until_done(f, [&](const SweepOptions& o) { Step(s, f.grid, o); }, progress);
        } else if (file_backed(s)) {
            try {
                allocate_file_arrays(s);
                ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
                ERX(s, &file, options);
                measured = true;
                zeroColumn = !NormA1(s, file, f.user, options);
                end = sweep_until_done(f, [&](const SweepOptions& o) { Step1(s, file, f.grid, o); }, progress);
            } catch (const FileError&) {
                f.user.message(s.msgBadFile);  // the scratch file could not be read
                return End::Failed;
            }
        }
    } catch (const QuentaError&) {
        return silent_end(s, zeroColumn);
    } catch (const std::bad_alloc&) {
        return End::Failed;
    }
    show_duration(c, start, s.separator);
    return end;
}

// "Next Iteration"; `measured` as for find_solution.
End next_iteration(Form& f, Progress& progress, bool& measured)
{
    WorkingState& s = f.state;
    Controls& c = f.controls;
    if (refuse_unconnected(f))
        return End::Failed;
    const Clock::time_point start = Clock::now();
    BusyScope busy(c);
    SweepOptions options;
    if (s.iter == 1)
        s.sweepFrom = 1;  // the system is built afresh
    else
        measured = true;  // R goes on from the sweeps before
    bool stopped = false, zeroColumn = false;

    // As in "Find  solution", and in "Next Iteration" also for every failure after the grid has
    // been loaded.
    try {
        if (in_memory(s)) {
            if (s.iter == 1) {
                if (!build_from_grid(f))
                    return End::Failed;
                ERX(s, nullptr);
                measured = true;
                zeroColumn = !NormA(s, f.user);
            }
            stopped = sweep_part(f, [&](const SweepOptions& o) { Step(s, f.grid, o); }, progress);
            c.setText(Control::txtEr, FormatSingle(s.er, s.separator));
        } else if (file_backed(s)) {
            try {
                if (s.iter == 1) {
                    allocate_file_arrays(s);
                    ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
                    ERX(s, &file, options);
                    measured = true;
                    zeroColumn = !NormA1(s, file, f.user, options);
                }
                ScratchReader file(f.dir.scratch(), f.dir.scratchPacked());
                stopped = sweep_part(f, [&](const SweepOptions& o) { Step1(s, file, f.grid, o); }, progress);
                c.setText(Control::txtEr, FormatSingle(s.er, s.separator));
            } catch (const FileError&) {
                f.user.message(s.msgBadFile);
                return End::Failed;
            }
        }
        if (!stopped)
            progress.swept();
    } catch (const QuentaError&) {
        return silent_end(s, zeroColumn);
    } catch (const std::bad_alloc&) {
        return End::Failed;
    }
    show_duration(c, start, s.separator);
    return stopped ? End::Stopped : End::Done;
}

// Rows first.. as read_grid_row gave them (row first + r at rows[r * width]) into A, B and X: `whole`
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

void read_grid_row(const SystemGrid& grid, std::string_view separator, int i, int width, float* out, int& done)
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
                read_grid_row(grid, s.separator, first + whole, width, &rows[static_cast<std::size_t>(whole * width)], done);
        } catch (...) {
            store_rows(s, rows.data(), width, first, whole, done);  // what was read before the failure
            throw;
        }
        store_rows(s, rows.data(), width, first, count, 0);
    }
}

void cmdSolution_Click(Form& f)
{
    Progress progress(f);
    bool measured = false;
    const End end = find_solution(f, progress, measured);
    show_end(f, end, progress.sweeps(), measured);
}

void cmdIter_Click(Form& f)
{
    Progress progress(f);
    bool measured = false;
    const End end = next_iteration(f, progress, measured);
    show_end(f, end, progress.sweeps(), measured);
}

} // namespace quenta
