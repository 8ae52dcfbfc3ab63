// Figures of the grid store: laying out the largest in-memory system, the memory that costs,
// writing its solution column, reading a placeholder cell, and holding a whole typed-in system
// as cell texts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/bench_util.h"
#include "model/grid.h"
#include "model/numbers.h"

namespace {

using quenta::SystemGrid;
namespace qb = quenta::bench;

constexpr double MB = 1024.0 * 1024.0;

void fill_data_time(benchmark::State& state)
{
    SystemGrid g;
    double ms = 0;
    for (auto _ : state) {
        ms = qb::best_of_ms(20, [&] {
            g.fill_data(16381);
            qb::keep(g);
        });
    }
    state.counters["fill_data_ms N=16381"] = ms;
}
BENCHMARK(fill_data_time)->Iterations(1);

void fill_data_memory(benchmark::State& state)
{
    double mb = 0;
    for (auto _ : state) {
        auto g = std::make_unique<SystemGrid>();
        const double before = qb::rss_anon_mb();
        g->fill_data(16381);
        const double rssDelta = qb::rss_anon_mb() - before;
        mb = std::max(static_cast<double>(g->storeBytes()) / MB, rssDelta);
        qb::keep(g);
    }
    state.counters["fill_data_mb N=16381"] = mb;
}
BENCHMARK(fill_data_memory)->Iterations(1);

// The solution column of the largest in-memory layout written, one short text per row, as Open
// writes it: the memory that takes beyond the layout's.
void column_write_memory(benchmark::State& state)
{
    constexpr int N = 16381;
    double mb = 0;
    for (auto _ : state) {
        auto g = std::make_unique<SystemGrid>();
        g->fill_data(N);
        const double before = qb::rss_anon_mb();
        for (int i = 1; i <= N; ++i)
            g->setText(i, 2 * N + 3, quenta::FormatSingle(static_cast<float>(i) / 7.0f, "."), ".");
        mb = std::max(static_cast<double>(g->storeBytes()) / MB, qb::rss_anon_mb() - before);
        qb::keep(g);
    }
    state.counters["grid_column_write_mb N=16381"] = mb;
}
BENCHMARK(column_write_memory)->Iterations(1);

void cell_text(benchmark::State& state)
{
    SystemGrid g;
    g.fill_data(16381);
    // Cells spread over the whole layout, fixed in advance so the reads are all that is timed.
    constexpr int Reads = 1 << 20;
    std::vector<std::pair<int, int>> cells(4096);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> row(1, 16381), col(1, 32765);
    for (auto& c : cells)
        c = {row(rng), col(rng)};
    double ns = 0;
    for (auto _ : state) {
        const double ms = qb::best_of_ms(5, [&] {
            std::size_t total = 0;
            for (int k = 0; k < Reads; ++k) {
                const auto& [r, c] = cells[static_cast<std::size_t>(k) & 4095];
                total += g.text(r, c).size();
            }
            qb::keep(total);
        });
        ns = ms * 1e6 / Reads;
    }
    state.counters["grid_cell_text_ns"] = ns;
}
BENCHMARK(cell_text)->Iterations(1);

// A system of order 2048 typed in full: every coefficient and right-hand side a 7-digit text,
// as a system file holds them. Then the solution column is rewritten sweep after sweep.
void whole_system(benchmark::State& state)
{
    constexpr int N = 2048;
    double storeMb = 0, rewriteMb = 0, writeNs = 0;
    for (auto _ : state) {
        std::mt19937 rng(9);
        std::uniform_real_distribution<float> value(-100.0f, 100.0f);
        std::vector<std::string> texts(4096);
        std::size_t textBytes = 0;
        for (auto& t : texts) {
            t = quenta::FormatSingle(value(rng), ".");
            textBytes += t.size();
        }
        auto g = std::make_unique<SystemGrid>();
        g->fill_data(N);
        const double before = qb::rss_anon_mb();
        const auto t0 = std::chrono::steady_clock::now();
        std::size_t k = 0;
        for (int i = 1; i <= N; ++i)
            for (int j = 1; j <= N + 1; ++j)
                g->setText(i, 2 * j - 1, texts[k++ & 4095], ".");
        const auto t1 = std::chrono::steady_clock::now();
        writeNs = std::chrono::duration<double, std::nano>(t1 - t0).count() / (double(N) * (N + 1));
        storeMb = std::max(static_cast<double>(g->storeBytes()) / MB, qb::rss_anon_mb() - before);

        const std::size_t settled = g->storeBytes();
        for (int sweep = 0; sweep < 2000; ++sweep)
            for (int i = 1; i <= N; ++i)
                g->setText(i, 2 * N + 3, texts[(static_cast<std::size_t>(sweep) * 7 + static_cast<std::size_t>(i)) & 4095], ".");
        rewriteMb = (static_cast<double>(g->storeBytes()) - static_cast<double>(settled)) / MB;
        qb::keep(g);
    }
    state.counters["grid_store_mb N=2048 all values"] = storeMb;
    state.counters["grid_set_text_ns"] = writeNs;
    state.counters["grid_rewrite_growth_mb N=2048 2000 sweeps"] = rewriteMb;
}
BENCHMARK(whole_system)->Iterations(1);

} // namespace
