// The multiply-add rule in the sweep's loops, and on random systems the in-memory and the file-backed routines leaving bit for bit what the plain
// method leaves, call after call, failing at the same operation: on overflowing systems, on zero
// columns, on scratch files that lose records, and with column bands of every width.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <random>

#include "reference.h"

namespace quenta {
namespace {

using reference::Plan;
using reference::Snapshot;
using reference::System;

TEST(MultiplyAdd, DoubleProductPlusAddendNotAFusedFloatOperationAndNoFlushToZero)
{
    const float u = 0x1.00004p-24f, v = 0x1.ffff8p-1f, w = 0x1.000002p+0f;
    EXPECT_EQ(madd(u, v, w), 0x1.000004p+0f);  // where a fused operation gives 0x1.000002p+0f
    EXPECT_EQ(madd(0x1p-130f, 0x1p-10f, 0.0f), 0x1p-140f);
    EXPECT_THROW(madd(0x1p100f, 0x1p100f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(0.0f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(1.0f, 0.0f), ArithmeticError);

    // The sweep's loops in their vector part and their tail, with both kernels: (u, v, w) and a
    // subnormal result in the update; in the chains, a link that rounds otherwise under a fused
    // multiply-add, in the vector part and in the tail, which the fused kernel redoes exactly.
    for (const Kernel::Kind kind : {Kernel::Exact, Kernel::Fused}) {
        Kernel k(kind);
        for (const auto& [s, a, in, expected] : {std::array{u, v, w, 0x1.000004p+0f}, {0x1p-10f, 0x1p-130f, 0.0f, 0x1p-140f}}) {
            const std::vector<float> as(5, a), ins(5, in), zeros(5, 0.0f);
            std::vector<float> out(5);
            float er = 0, snext = 0;
            ASSERT_TRUE(kernels::update(ins.data(), out.data(), as.data(), s, 5, er));
            EXPECT_EQ(out, std::vector<float>(5, expected));
            EXPECT_EQ(er, expected);
            EXPECT_EQ(kernels::chain(&s, &a, 1, in), expected);
            ASSERT_TRUE(k.update(ins.data(), out.data(), zeros.data(), 1.0f, as.data(), 5, er, snext));
            EXPECT_EQ(snext, kernels::chain(ins.data(), as.data(), 5));
        }
        for (std::size_t at : {0, 3}) {
            std::vector<float> r(5, 0.0f), b(5, 0.0f), out(5);
            r[at] = 1, b[at] = w, r[at + 1] = u, b[at + 1] = v;
            EXPECT_EQ(k.chain(r.data(), b.data(), 5), 0x1.000004p+0f) << at;
            float er = 0, snext = 0;
            ASSERT_TRUE(k.update(r.data(), out.data(), b.data(), 0.0f, b.data(), 5, er, snext));
            EXPECT_EQ(snext, 0x1.000004p+0f) << at;
        }
    }
}

TEST(Sweep, ArraysThatDoNotCoverTheSystemAreSubscriptErrorsAtTheFirstMissingElement)
{
    WorkingState s;
    testing::load_state(s, System{2, {1, 1, 0, 1}, {3, 1}, {0, 0}}, false);
    SystemGrid grid;
    grid.fill_data(s.N);
    s.R = {0, -3, -1};
    s.ColNorm2 = {0, 1};  // covers 0..1 only
    EXPECT_THROW(Step(s, grid), SubscriptError);
    EXPECT_EQ(s.X, (std::vector<float>{0, 3, 0}));  // step 1 was done
}

enum Flavour { Plain, WideColumns, WideRows, ZeroColumn, Tiny, HugeStart, Flavours };

System random_system(std::mt19937& rng, int n, int flavour)
{
    testing::Shape shape{.diagonal = flavour == Plain ? 4.0f : 0.0f, .b = 10};
    shape.wideColumns = flavour == WideColumns, shape.wideRows = flavour == WideRows, shape.zeroColumn = flavour == ZeroColumn;
    if (flavour == Tiny)
        shape.scale = 1e-20f, shape.b = 1e-30f;
    if (flavour == HugeStart)
        shape.start = 1e37f;
    return testing::random_system(rng, n, shape);
}

// The numbers and the failure, without the texts that differ between the two layouts.
std::vector<Snapshot> numbers_only(std::vector<Snapshot> v)
{
    for (Snapshot& s : v)
        s.cells.clear(), s.messages.clear();
    return v;
}

class SweepProperty : public ::testing::Test {
protected:
    // The solver's file-backed runs with bands of one column, of three and of the default size,
    // read by one and by several threads, from the records (buffered and direct) and from the
    // packed copy, with the two kernels in turn, all against the plain run over the records;
    // returns the plain run.
    std::vector<Snapshot> check_file(const System& sys, Plan r)
    {
        r.file = true;
        r.plain = true;
        const auto plain = reference::run(path, sys, r);
        r.plain = false;
        const std::size_t stride = (std::size_t(sys.n) + 3) / 4 * 4 + 16;
        for (std::size_t band : {BandSize().bytes, std::size_t(1), 3 * stride * sizeof(float)})
            for (std::int64_t parallel : {BandSize().parallelRecords, std::int64_t(1)})
                for (const bool packed : {false, true}) {
                // Bands of three columns read by several threads come through direct I/O.
                const bool direct = parallel == 1 && band > 1 && band < BandSize().bytes;
                r.band = {band, band, parallel, BandSize().readers, BandSize().directReaders,
                          direct ? 0 : BandSize().directAbove};
                r.kernel = (band + std::size_t(parallel) + packed) % 2 ? Kernel::Fused : Kernel::Exact;
                r.packed = packed;
                EXPECT_EQ(reference::run(path, sys, r), plain)
                    << "band bytes " << band << ", parallel from " << parallel << ", direct " << direct << ", packed " << packed;
            }
        return plain;
    }

    testing::TempProgramDir dir;
    const QString path = dir.file("data.sle");
};

TEST_F(SweepProperty, FastRoutinesMatchThePlainMethodInBothModes)
{
    std::map<std::string, int> endings;  // failure kind and call, over the plain runs
    int completeRuns = 0, cellOrderShows = 0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        for (int n = 1; n <= 40; ++n) {
            const int flavour = (n + int(seed)) % Flavours;
            const System sys = random_system(rng, n, flavour);
            Plan r;
            for (int i = 0; n % 2 == 0 && i <= n; ++i)  // norms too small: steps overshoot
                r.skew.push_back(std::ldexp(1.0f, -int(rng() % 24)));
            SCOPED_TRACE(::testing::Message() << "seed " << seed << ", n " << n << ", flavour " << flavour);

            const auto memory = reference::run(path, sys, r);
            r.kernel = Kernel::Fused;
            ASSERT_EQ(memory, reference::run(path, sys, r));
            r.plain = true;
            ASSERT_EQ(memory, reference::run(path, sys, r));
            const auto file = check_file(sys, r);
            ASSERT_EQ(numbers_only(file), numbers_only(memory)) << "in memory vs file-backed";
            completeRuns += memory.size() == 2 + std::size_t(r.sweeps) && memory.back().failure.empty();
            ++endings[memory.back().failure + std::to_string(std::min<std::size_t>(memory.size() - 1, 2))];
            // A residual update fails after X(i) moved: the file-backed sweep has shown it, the
            // in-memory one has not.
            for (std::size_t i = 1; memory.size() > 2 && i <= std::size_t(n); ++i) {
                const Snapshot &m = memory.back(), &before = memory[memory.size() - 2];
                const std::string shown = FormatSingle(m.X[i], ".");
                cellOrderShows += m.failure == "arithmetic" && reference::bits({m.X[i]}) != reference::bits({before.X[i]}) &&
                                  m.cells[i - 1] != shown && file.back().cells[i - 1] == shown;
            }

            // For every third system, a file that loses records before one of the calls.
            if (rng() % 3 == 0) {
                r.keep = rng() % unsigned(n * (n + 1) + 1);
                r.cutAt = int(rng() % 4);
                SCOPED_TRACE(::testing::Message() << "records kept " << r.keep << " from call " << r.cutAt);
                const auto cut = check_file(sys, r);
                ++endings["cut " + cut.back().failure + std::to_string(std::min<std::size_t>(cut.size() - 1, 2))];
            }
            ASSERT_FALSE(HasFailure());
        }
    }
    // The systems reach every kind of ending.
    EXPECT_GT(completeRuns, 10);
    EXPECT_GT(endings["arithmetic2"], 5);  // in a sweep
    EXPECT_GT(cellOrderShows, 0);
    EXPECT_GT(endings["cut file0"], 0);  // the residual, the norms and a sweep meet the missing record
    EXPECT_GT(endings["cut file1"], 0);
    EXPECT_GT(endings["cut file2"], 0);
}

// Routines that fail part-way, in both modes: er is what the update rebuilt before the failure.
TEST_F(SweepProperty, RoutinesThatFailPartWay)
{
    // Step 1 leaves R = (1e35, -1e35); the chain of column 2 overflows at a(1,2), before the read
    // of a(2,2), which the file lost after the norms.
    System sys{2, {1, 0x1p30f, 1, 1}, {-1e35f, 1e35f}, {0, 0}};
    Plan r(false, false, 1);
    EXPECT_EQ(reference::run(path, sys, r).back().failure, "arithmetic");  // in memory
    r.keep = 4;
    r.cutAt = 2;
    const auto cut = check_file(sys, r);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut.back().failure, "arithmetic");
    EXPECT_EQ(cut.back().R[1], 1e35f);
    // Column 1's norm cut down so that step 1 overshoots: R(1) stays -1 (er 0), R(2) overflows.
    sys = System{2, {0, 1, 2, 1}, {1, 1}, {0, 0}};
    r = Plan(false, false, 1);
    r.skew = {1, 0x1p-128f};
    const auto memory = reference::run(path, sys, r);
    ASSERT_EQ(memory.back().failure, "arithmetic");
    EXPECT_EQ(memory.back().er, 0.0f);
    EXPECT_EQ(numbers_only(check_file(sys, r)), numbers_only(memory));
    // The residual overflows in its last row only, which is redone exactly.
    sys = System{3, {1, 0, 0, 0, 1, 0, 0, 0, 1e10f}, {1, 1, 1}, {0, 0, 1e37f}};
    const auto residual = check_file(sys, Plan());
    EXPECT_EQ(residual.back().failure + std::to_string(residual.size()), "arithmetic1");
    EXPECT_EQ(numbers_only(residual), numbers_only(reference::run(path, sys, Plan())));
}

} // namespace
} // namespace quenta
