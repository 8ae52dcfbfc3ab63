// On random systems, the in-memory and the file-backed routines leave bit for bit what the plain
// method leaves, call after call, and fail at the same operation: on overflowing systems, on zero
// columns, on scratch files that lose records, and with column bands of every width.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "reference.h"
#include "scratch/band_size.h"

namespace quenta {
namespace {

using reference::Plan;
using reference::Snapshot;
using reference::System;

enum Flavour { Plain, WideColumns, WideRows, ZeroColumn, Tiny, HugeStart, Flavours };

System random_system(std::mt19937& rng, int n, int flavour)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const auto scales = [&](bool wide) {
        std::vector<float> v(std::size_t(n), 1.0f);
        for (float& c : v)
            c = wide ? std::pow(10.0f, float(rng() % 22)) : 1.0f;
        return v;
    };
    const std::vector<float> col = scales(flavour == WideColumns), row = scales(flavour == WideRows);
    const int zero = flavour == ZeroColumn ? int(rng() % unsigned(n)) : -1;
    System sys;
    sys.n = n;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float v = unit(rng) * col[std::size_t(j)] * row[std::size_t(i)] * (flavour == Tiny ? 1e-20f : 1.0f);
            sys.a.push_back(j == zero ? 0.0f : i == j && flavour == Plain ? v + 4.0f : v);
        }
    for (int i = 0; i < n; ++i) {
        sys.b.push_back(unit(rng) * (flavour == Tiny ? 1e-30f : 10.0f));
        sys.x.push_back(flavour == HugeStart ? unit(rng) * 1e37f : 0.0f);
    }
    return sys;
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
    void TearDown() override { band_size::setBytes(0), band_size::setTwoReaderRecords(0); }

    // The solver's file-backed runs with bands of one column, of three and of the default size,
    // read by one and by two threads, all against the plain run; returns the plain run.
    std::vector<Snapshot> check_file(const System& sys, Plan r)
    {
        r.file = true;
        r.plain = true;
        const auto plain = reference::run(path, sys, r);
        r.plain = false;
        const std::size_t stride = (std::size_t(sys.n) + 3) / 4 * 4 + 16;
        for (std::size_t band : {std::size_t(0), std::size_t(1), 3 * stride * sizeof(float)})
            for (std::int64_t twoReaders : {0, 1}) {
                band_size::setBytes(band);
                band_size::setTwoReaderRecords(twoReaders);
                EXPECT_EQ(reference::run(path, sys, r), plain) << "band bytes " << band << ", two readers " << twoReaders;
            }
        band_size::setBytes(0), band_size::setTwoReaderRecords(0);
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
                const std::string shown = FormatSingle(m.X[i]);
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

TEST_F(SweepProperty, OverflowAmongTheRecordsThatExistComesBeforeTheMissingOne)
{
    // Step 1 leaves R = (1e35, -1e35); the chain of column 2 overflows at a(1,2), before the read
    // of a(2,2), which the file lost after the norms.
    const System sys = System{2, {1, 0x1p30f, 1, 1}, {-1e35f, 1e35f}, {0, 0}};
    Plan r(false, false, 1);
    EXPECT_EQ(reference::run(path, sys, r).back().failure, "arithmetic");  // in memory
    r.keep = 4;
    r.cutAt = 2;
    const auto cut = check_file(sys, r);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut.back().failure, "arithmetic");
    EXPECT_EQ(cut.back().R[1], 1e35f);
}

} // namespace
} // namespace quenta
