// Figures of the check against a direct solve: its time at N = 2048 alone and against one
// in-memory sweep of the same system, and the memory it adds at N = 4096, its largest order.
#include <benchmark/benchmark.h>

#include <random>

#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/form.h"
#include "model/numbers.h"
#include "solver/direct_check.h"
#include "solver/iteration.h"
#include "solver/solve.h"

namespace {

using namespace quenta;

// A form holding a random system of order n, typed into the grid: a dominant diagonal, X = 0.
struct Window {
    explicit Window(int n) : f(dir.path())
    {
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        WorkingState& s = f.state;
        s.N = static_cast<i16>(n);
        s.StorageMode = InMemory;
        f.grid.fill_data(s.N);
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j)
                f.grid.setText(i, aColumn(j), FormatSingle(unit(rng) + (i == j ? float(n) / 8 : 0.0f), "."), ".");
            f.grid.setText(i, bColumn(s.N), FormatSingle(unit(rng) * 100, "."), ".");
            f.grid.setText(i, xColumn(s.N), "0", ".");
        }
    }
    testing::TempProgramDir dir;
    testing::FakeForm f;
};

void BM_DirectCheckTime(benchmark::State& state)
{
    const int n = 2048;
    Window w(n);
    double checkMs = 0, sweepMs = 0;
    bool checked = false;
    for (auto _ : state) {
        checkMs = bench::best_of_ms(2, [&] { checked = check_against_direct(w.f.form).has_value(); });
        // One sweep of the same system, set up as a run sets it up.
        WorkingState& s = w.f.state;
        s.A.allocate(n);
        allocate(s.B, n);
        allocate(s.X, n);
        allocate(s.R, n);
        allocate(s.ColNorm2, n);
        load_grid(s, w.f.grid);
        ERX(s, nullptr);
        NormA(s, w.f.user);
        sweepMs = bench::best_of_ms(3, [&] { Step(s, w.f.grid); });
    }
    if (!checked || !w.f.user.messages.empty()) {
        state.SkipWithError("the check was refused");
        return;
    }
    state.counters["direct_check_ms N=2048"] = checkMs;
    state.counters["direct_check_vs_sweep_ratio N=2048"] = checkMs / sweepMs;
}
BENCHMARK(BM_DirectCheckTime)->Iterations(1)->Unit(benchmark::kMillisecond);

// The anonymous memory the check adds while it runs, sampled every 2 ms, against one double
// matrix of the order.
void BM_DirectCheckMemory(benchmark::State& state)
{
    const int n = MaxDirectOrder;
    Window w(n);
    double added = 0;
    bool checked = false;
    for (auto _ : state) {
        added = bench::added_anon_mb([&] { checked = check_against_direct(w.f.form).has_value(); });
    }
    if (!checked) {
        state.SkipWithError("the check was refused");
        return;
    }
    state.counters["direct_check_peak_mb N=4096"] = added;
    state.counters["direct_check_peak_vs_matrix_ratio N=4096"] = added / (8.0 * n * n / (1 << 20));
}
BENCHMARK(BM_DirectCheckMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
