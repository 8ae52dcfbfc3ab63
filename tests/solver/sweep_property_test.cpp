// On random systems, the in-memory and the file-backed routines leave bit for bit what the plain
// method leaves, call after call, and fail at the same operation: on overflowing systems, on zero
// columns, on scratch files that end early, and with column bands of every width.
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <random>

#include "reference.h"
#include "scratch/band_size.h"
#include "scratch/file_iteration.h"
#include "solver/iteration.h"

namespace quenta {
namespace {

using reference::Snapshot;
using reference::System;

constexpr int Sweeps = 6;

enum class Flavour { Plain, WideColumns, WideRows, ZeroColumn, Tiny, HugeStart, Count };

// Factors applied to the column norms once they are built, in every run alike: norms smaller than
// the columns' make steps that overshoot, so that residual updates leave the float range too.
std::vector<float> norm_skew(std::mt19937& rng, int n)
{
    std::vector<float> f(static_cast<std::size_t>(n) + 1, 1.0f);
    for (float& v : f)
        v = std::ldexp(1.0f, -static_cast<int>(rng() % 24));
    return f;
}

void apply(const std::vector<float>& skew, WorkingState& s)
{
    if (skew.empty())
        return;
    for (int i = 1; i <= s.N; ++i)
        s.ColNorm2[static_cast<std::size_t>(i)] *= skew[static_cast<std::size_t>(i)];
}

System random_system(std::mt19937& rng, int n, Flavour flavour)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(0, 21);
    System sys;
    sys.n = n;
    std::vector<float> colScale(static_cast<std::size_t>(n), 1.0f), rowScale(static_cast<std::size_t>(n), 1.0f);
    if (flavour == Flavour::WideColumns)
        for (float& c : colScale)
            c = std::pow(10.0f, static_cast<float>(exponent(rng)));
    if (flavour == Flavour::WideRows)
        for (float& r : rowScale)
            r = std::pow(10.0f, static_cast<float>(exponent(rng)));
    if (flavour == Flavour::Tiny)
        for (float& c : colScale)
            c = 1e-20f;
    const int zero = flavour == Flavour::ZeroColumn ? static_cast<int>(rng() % static_cast<unsigned>(n)) : -1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            float v = unit(rng) * colScale[static_cast<std::size_t>(j)] * rowScale[static_cast<std::size_t>(i)];
            if (i == j && flavour == Flavour::Plain)
                v += 4.0f;  // mostly well conditioned, so the sweeps run to the end
            if (j == zero)
                v = 0;
            sys.a.push_back(v);
        }
    for (int i = 0; i < n; ++i)
        sys.b.push_back(unit(rng) * (flavour == Flavour::Tiny ? 1e-30f : 10.0f));
    for (int i = 0; i < n; ++i)
        sys.x.push_back(flavour == Flavour::HugeStart ? unit(rng) * 1e37f : 0.0f);
    return sys;
}

// ERX, the norms, then sweeps, stopping at the first failure; a snapshot after every call.
std::vector<Snapshot> run_memory(const System& sys, const std::vector<float>& skew, bool plain,
                                 int* stepFailures = nullptr)
{
    WorkingState s;
    s.loadMessages();
    reference::load_state(s, sys, false);
    SystemGrid grid;
    grid.fill_data(s.N);
    testing::ScriptedDialogs user;
    const int col = 2 * sys.n + 3;
    std::vector<Snapshot> out;
    auto call = [&](auto&& fn) {
        out.push_back(reference::snapshot(s, grid, col, reference::outcome(fn), user.messages));
        return out.back().failure.empty();
    };
    if (!call([&] { plain ? reference::ERX(s) : ERX(s, nullptr); }))
        return out;
    if (!call([&] { plain ? reference::NormA(s, user) : NormA(s, user); apply(skew, s); }))
        return out;
    for (int k = 0; k < Sweeps; ++k)
        if (!call([&] { plain ? reference::Step(s, grid) : Step(s, grid); })) {
            if (stepFailures)
                ++*stepFailures;
            return out;
        }
    return out;
}

std::vector<Snapshot> run_file(const QString& path, const System& sys, const std::vector<float>& skew, bool plain,
                               int* stepFailures = nullptr)
{
    WorkingState s;
    s.loadMessages();
    reference::load_state(s, sys, true);
    SystemGrid grid;
    grid.fill_x(s.N, s.X);
    testing::ScriptedDialogs user;
    ScratchReader file(path);
    std::vector<Snapshot> out;
    auto call = [&](auto&& fn) {
        out.push_back(reference::snapshot(s, grid, 1, reference::outcome(fn), user.messages));
        return out.back().failure.empty();
    };
    if (!call([&] { plain ? reference::ERX(s, file) : ERX(s, &file); }))
        return out;
    if (!call([&] { plain ? reference::NormA1(s, file, user) : NormA1(s, file, user); apply(skew, s); }))
        return out;
    for (int k = 0; k < Sweeps; ++k)
        if (!call([&] { plain ? reference::Step1(s, file, grid) : Step1(s, file, grid); })) {
            if (stepFailures)
                ++*stepFailures;
            return out;
        }
    return out;
}

// The numbers and the failure, without the texts that differ between the two layouts.
std::vector<Snapshot> numbers_only(std::vector<Snapshot> v)
{
    for (Snapshot& s : v) {
        s.cells.clear();
        s.messages.clear();
    }
    return v;
}

class SweepProperty : public ::testing::Test {
protected:
    void TearDown() override
    {
        band_size::setBytes(0);
        band_size::setTwoReaderRecords(0);
    }
};

TEST_F(SweepProperty, FastRoutinesMatchThePlainMethodInBothModes)
{
    testing::TempProgramDir dir;
    const QString path = dir.file("data.sle");
    int memoryStepFailures = 0, fileStepFailures = 0, truncatedCases = 0, completeRuns = 0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        for (int n = 1; n <= 40; ++n) {
            const auto flavour = static_cast<Flavour>((n + static_cast<int>(seed)) % static_cast<int>(Flavour::Count));
            const System sys = random_system(rng, n, flavour);
            const std::vector<float> skew = n % 2 == 0 ? norm_skew(rng, n) : std::vector<float>();
            SCOPED_TRACE(::testing::Message() << "seed " << seed << ", n " << n << ", flavour "
                                              << static_cast<int>(flavour));

            const auto memPlain = run_memory(sys, skew, true, &memoryStepFailures);
            const auto memFast = run_memory(sys, skew, false);
            ASSERT_EQ(memFast, memPlain);
            if (memPlain.size() == 2 + Sweeps && memPlain.back().failure.empty())
                ++completeRuns;

            // The whole file, then (for every third system) one that ends early.
            const long long total = static_cast<long long>(n) * (n + 1);
            const long long keep = rng() % 3 == 0 ? static_cast<long long>(rng() % static_cast<unsigned>(total + 1)) : -1;
            for (long long k : {-1LL, keep}) {
                QFile::remove(path);
                reference::write_scratch(path, sys, k);
                const auto filePlain = run_file(path, sys, skew, true, k < 0 ? nullptr : &fileStepFailures);
                const std::size_t stride = (static_cast<std::size_t>(n) + 3) / 4 * 4 + 16;
                for (std::size_t band : {std::size_t(0), std::size_t(1), 3 * stride * sizeof(float)})
                    for (std::int64_t twoReaders : {0, 1}) {
                        band_size::setBytes(band);
                        band_size::setTwoReaderRecords(twoReaders);
                        SCOPED_TRACE(::testing::Message() << "records kept " << k << ", band bytes " << band
                                                          << ", two readers " << twoReaders);
                        ASSERT_EQ(run_file(path, sys, skew, false), filePlain);
                    }
                band_size::setBytes(0);
                band_size::setTwoReaderRecords(0);
                if (k < 0)
                    ASSERT_EQ(numbers_only(filePlain), numbers_only(memPlain)) << "in memory vs file-backed";
                else
                    ++truncatedCases;
                if (keep < 0)
                    break;
            }
        }
    }
    // The systems reach every kind of ending.
    EXPECT_GT(memoryStepFailures, 5);
    EXPECT_GT(fileStepFailures, 0);
    EXPECT_GT(truncatedCases, 10);
    EXPECT_GT(completeRuns, 10);
}

} // namespace
} // namespace quenta
