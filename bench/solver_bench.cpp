// Figures of the solver: the in-memory sweep against the plain form of the same sweep (with the
// kernel it ran and how many columns its verification redid), the file-backed sweep against the
// in-memory one and against the plain form, loading a system from the grid, and the anonymous
// memory of a file-backed solve.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/plain_method.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "model/form.h"
#include "model/numbers.h"
#include "scratch/scratch_claim.h"
#include "scratch/scratch_file.h"
#include "solver/iteration.h"
#include "solver/solve.h"

namespace {

using namespace quenta;

// A random system of order n that the sweeps do not overflow: a dominant diagonal, X = 0.
testing::System random_system(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    return testing::random_system(rng, n, {.diagonal = static_cast<float>(n) / 8, .b = 100});
}

// The plain form of one sweep over the in-memory arrays: every operation checked as it happens.
void plain_sweep(WorkingState& s, SystemGrid& grid)
{
    const Matrix& A = s.A;
    plain::Step(s, [&A](int i, int j) { return A(i, j); }, grid, false);
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A thread of the process that wakes every 16 ms, as the program's own threads do.
class Ticker {
public:
    Ticker()
        : thread_([this] {
              while (!stop_.load())
                  std::this_thread::sleep_for(std::chrono::milliseconds(16));
          })
    {
    }
    ~Ticker()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_Sweep(benchmark::State& state)
{
    const int n = 2048;
    WorkingState fast, plain;
    const testing::System sys = random_system(n, 1);
    testing::load_state(fast, sys, false);
    testing::load_state(plain, sys, false);
    SystemGrid gridFast, gridPlain;
    gridFast.fill_data(fast.N);
    gridPlain.fill_data(plain.N);
    testing::ScriptedDialogs user(false);
    ERX(fast, nullptr);
    NormA(fast, user);
    ERX(plain, nullptr);
    NormA(plain, user);
    Kernel kernel;
    SweepOptions options;
    options.kernel = &kernel;
    double fastMs = 0, plainMs = 0;
    bool identical = true;
    for (auto _ : state) {
        fastMs = 1e300;
        plainMs = 1e300;
        for (int round = 0; round < 5; ++round) {
            fastMs = std::min(fastMs, bench::best_of_ms(1, [&] { Step(fast, gridFast, options); }));
            plainMs = std::min(plainMs, bench::best_of_ms(1, [&] { plain_sweep(plain, gridPlain); }));
            identical = identical && same_bits(fast.X, plain.X) && same_bits(fast.R, plain.R) && fast.er == plain.er;
        }
    }
    if (!identical) {
        state.SkipWithError("the sweep and its plain form disagree");
        return;
    }
    state.counters["sweep_ns_per_element N=2048"] = fastMs * 1e6 / (static_cast<double>(n) * n);
    state.counters["sweep_vs_plain_ratio N=2048"] = fastMs / plainMs;
    state.counters["sweep_kernel_fused N=2048"] = kernel.kind() == Kernel::Fused;
    state.counters["sweep_columns_redone N=2048"] = static_cast<double>(kernel.redone());
}
BENCHMARK(BM_Sweep)->Iterations(1);

void BM_FileSweep(benchmark::State& state)
{
    const int n = 2048;
    testing::TempProgramDir dir;
    const ProgramDir where(dir.path());
    const QString path = where.scratch();
    WorkingState mem, file, records, plain;
    {
        const testing::System sys = random_system(n, 2);
        for (WorkingState* s : {&mem, &file, &records, &plain})
            testing::load_state(*s, sys, s == &file || s == &records);
        testing::write_scratch(path, sys);
    }
    SystemGrid gridMem, gridFile, gridRecords, gridPlain;
    gridMem.fill_data(mem.N);
    gridPlain.fill_data(plain.N);
    gridFile.fill_x(file.N, file.X, ".");
    gridRecords.fill_x(records.N, records.X, ".");
    testing::ScriptedDialogs user(false);
    Kernel kernel;
    SweepOptions options;
    options.kernel = &kernel;
    double memMs = 0, fileMs = 0, recordsMs = 0, plainMs = 0;
    bool identical = true, readsCopy = false;
    {
        // The program's reader, which finds the packed copy, and one over the records alone.
        ScratchReader reader(path, where.scratchPacked()), recordReader(path);
        readsCopy = reader.packed(n) != nullptr;
        ERX(mem, nullptr);
        NormA(mem, user);
        ERX(plain, nullptr);
        NormA(plain, user);
        ERX(file, &reader);
        NormA1(file, reader, user);  // also brings the files into the page cache
        ERX(records, &recordReader);
        NormA1(records, recordReader, user);
        Ticker ticker;
        for (auto _ : state) {
            memMs = 1e300;
            fileMs = 1e300;
            plainMs = 1e300;
            recordsMs = 1e300;
            for (int round = 0; round < 3; ++round) {
                memMs = std::min(memMs, bench::best_of_ms(1, [&] { Step(mem, gridMem, options); }));
                fileMs = std::min(fileMs, bench::best_of_ms(1, [&] { Step1(file, reader, gridFile, options); }));
                recordsMs = std::min(recordsMs, bench::best_of_ms(1, [&] { Step1(records, recordReader, gridRecords, options); }));
                plainMs = std::min(plainMs, bench::best_of_ms(1, [&] { plain_sweep(plain, gridPlain); }));
                identical = identical && same_bits(mem.X, file.X) && same_bits(mem.R, file.R) && mem.er == file.er &&
                            same_bits(mem.X, records.X) && same_bits(mem.R, records.R) && mem.er == records.er;
            }
        }
    }
    QFile::remove(path);
    QFile::remove(where.scratchPacked());
    if (!identical || !readsCopy) {
        state.SkipWithError(identical ? "the packed copy was not read" : "the file-backed sweep disagrees with the in-memory one");
        return;
    }
    state.counters["file_sweep_vs_memory_ratio N=2048"] = fileMs / memMs;
    state.counters["file_sweep_vs_plain_ratio N=2048"] = fileMs / plainMs;
    state.counters["file_sweep_records_vs_plain_ratio N=2048"] = recordsMs / plainMs;
    state.counters["file_sweep_ms N=2048"] = fileMs;
}
BENCHMARK(BM_FileSweep)->Iterations(1);

void BM_LoadGrid(benchmark::State& state)
{
    const int n = 2048;
    SystemGrid grid;
    grid.fill_data(static_cast<i16>(n));
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(-1000.0f, 1000.0f);
    for (int i = 1; i <= n; ++i)
        for (int c = 1; c <= 2 * n + 3; c += 2)
            grid.setText(i, c, FormatSingle(unit(rng), "."), ".");
    WorkingState s;
    s.N = static_cast<i16>(n);
    s.A.allocate(n);
    allocate(s.B, n);
    allocate(s.X, n);
    double ms = 0;
    for (auto _ : state)
        ms = bench::best_of_ms(3, [&] { load_grid(s, grid); });
    bench::keep(s.X);
    state.counters["load_grid_ms N=2048"] = ms;
}
BENCHMARK(BM_LoadGrid)->Iterations(1);

void BM_FileSolveMemory(benchmark::State& state)
{
    const int n = 4096;
    testing::TempProgramDir dir;
    testing::write_scratch(ProgramDir(dir.path()).scratch(), random_system(n, 4));  // the matrix is gone before the measurement starts
    WorkingState s;
    s.loadMessages();
    s.N = static_cast<i16>(n);
    s.StorageMode = static_cast<i16>(2);
    s.scratch = ScratchClaim::take(ProgramDir(dir.path()).scratchLock());  // as a Connect leaves it
    s.scratch->record(ProgramDir(dir.path()).scratch());
    s.iter = 1;
    allocate(s.X, n);
    SystemGrid grid;
    grid.fill_x(s.N, s.X, ".");
    testing::FakeControls controls;
    controls.setText(Control::txtEps, "1E+30");  // one sweep
    testing::ScriptedDialogs user(false);
    Form form{s, grid, controls, user, ProgramDir{dir.path()}};

    double added = 0;
    for (auto _ : state) {
        added = bench::added_anon_mb([&] { cmdSolution_Click(form); });
    }
    QFile::remove(dir.file(QStringLiteral("data.sle")));
    if (s.iter != 2 || controls.text(Control::txtTime).empty()) {
        state.SkipWithError("the file-backed solve did not finish its sweep");
        return;
    }
    state.counters["solver_anon_mb N=4096 mode=file"] = added;
}
BENCHMARK(BM_FileSolveMemory)->Iterations(1);

} // namespace
