// The multiply-add rule in the sweep's loops, and the worked systems in both storage modes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "reference.h"
#include "scratch/column_kernels.h"

namespace quenta {
namespace {

using reference::System;

TEST(MultiplyAdd, DoubleProductPlusAddendNotAFusedFloatOperationAndNoFlushToZero)
{
    const float u = 0x1.00004p-24f, v = 0x1.ffff8p-1f, w = 0x1.000002p+0f;
    EXPECT_EQ(madd(u, v, w), 0x1.000004p+0f);
    EXPECT_EQ(std::fmaf(u, v, w), 0x1.000002p+0f);
    EXPECT_EQ(madd(0x1p-130f, 0x1p-10f, 0.0f), 0x1p-140f);
    EXPECT_THROW(madd(0x1p100f, 0x1p100f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(0.0f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(1.0f, 0.0f), ArithmeticError);

    // The sweep's loops, in their vector part and their tail: (u, v, w) and a subnormal result.
    for (const auto& [s, a, in, expected] : {std::array{u, v, w, 0x1.000004p+0f}, {0x1p-10f, 0x1p-130f, 0.0f, 0x1p-140f}}) {
        const std::vector<float> as(5, a), ins(5, in), zeros(5, 0.0f);
        std::vector<float> out(5);
        float er = 0, snext = 0;
        ASSERT_TRUE(kernels::update(ins.data(), out.data(), as.data(), s, 5, er));
        EXPECT_EQ(out, std::vector<float>(5, expected));
        EXPECT_EQ(er, expected);
        EXPECT_EQ(kernels::dot_chain(&s, &a, 1, in), expected);
        ASSERT_TRUE(kernels::update_dot(ins.data(), out.data(), zeros.data(), 1.0f, as.data(), 5, er, snext));
        EXPECT_EQ(snext, kernels::dot_chain(ins.data(), as.data(), 5));
    }
    const std::vector<float> big{0x1p100f, 1, 1, 1, 1}, zero(5, 0.0f);
    std::vector<float> out(5);
    float er = 0;
    EXPECT_FALSE(kernels::update(zero.data(), out.data(), big.data(), 0x1p100f, 5, er));
    EXPECT_FALSE(std::isfinite(kernels::dot_chain(big.data(), big.data(), 5)));
}

// A value as shown, and exactly the float of that text unless it starts with '~'.
void expect_value(float v, std::string text, const char* what)
{
    const bool shownOnly = text[0] == '~';
    if (shownOnly)
        text.erase(0, 1);
    EXPECT_EQ(FormatSingle(v), text) << what;
    if (!shownOnly) {
        EXPECT_EQ(v, ParseSingle(text)) << what;
    }
}

struct Worked {
    const char* name;
    reference::System sys;
    std::vector<std::string> R, C;               // after the residual; after the norms ("42": left alone)
    std::vector<std::vector<std::string>> sweeps;  // X(1..N), R(1..N), er after each sweep
    bool zeroColumn = false;                      // the norms show the message, the last sweep fails
};

TEST(WorkedSystems, InBothModesAsTheFastAndThePlainMethod)
{
    const Worked table[] = {
        {"diagonal", System{2, {2, 0, 0, 4}, {2, 8}, {0, 0}}, {"-2", "-8"}, {"4", "16"}, {{"1", "2", "0", "0", "0"}}},
        {"triangular", System{2, {1, 1, 0, 1}, {3, 1}, {0, 0}}, {"-3", "-1"}, {"1", "2"},
         {{"3", "0.5", "0.5", "-0.5", "0.5"}, {"2.5", "0.75", "0.25", "-0.25", "0.25"},
          {"2.25", "0.875", "0.125", "-0.125", "0.125"}}},
        // er is R(2), although R(1) is larger in magnitude.
        {"(1 2; 3 4)", System{2, {1, 2, 3, 4}, {1, 0}, {0, 0}}, {"-1", "0"}, {"10", "20"},
         {{"0.1", "~0.03", "~-0.84", "~0.42", "~0.42"}}},
        {"start (10, 10)", System{2, {1, 1, 0, 1}, {3, 1}, {10, 10}}, {"17", "9"}, {"1", "2"},
         {{"-7", "5.5", "-4.5", "4.5", "4.5"}}},
        {"order 1", System{1, {2}, {4}, {0}}, {"-4"}, {"4"}, {{"2", "0", "0"}}},
        {"order 0", System{0, {}, {}, {}}, {}, {}, {{"42"}}},
        // X(1) moves to -(1*-1 + 2*-1) / 5, then step 2 divides by the zero norm.
        {"zero column", System{2, {1, 0, 2, 0}, {1, 1}, {0, 0}}, {"-1", "-1"}, {"5", "0"},
         {{"0.6", "0", "~-0.4", "~0.2", "~0.2"}}, true},
        {"zero middle column", System{3, {1, 0, 5, 1, 0, 5, 1, 0, 5}, {1, 1, 1}, {0, 0, 0}}, {"-1", "-1", "-1"},
         {"3", "0", "42"}, {{"1", "0", "0", "0", "0", "0", "0"}}, true},
    };
    testing::TempProgramDir dir;
    WorkingState names;
    names.loadMessages();
    for (const Worked& w : table)
        for (bool file : {false, true}) {
            SCOPED_TRACE(::testing::Message() << w.name << (file ? ", file-backed" : ", in memory"));
            const int n = w.sys.n, sweeps = int(w.sweeps.size());
            const auto got = reference::run(dir.file("data.sle"), w.sys, {file, false, sweeps});
            EXPECT_EQ(got, reference::run(dir.file("data.sle"), w.sys, {file, true, sweeps}));
            ASSERT_EQ(got.size(), std::size_t(2 + sweeps));
            for (int i = 1; i <= n; ++i) {
                expect_value(got[0].R[i], w.R[i - 1], "R after the residual");
                expect_value(got[1].C[i], w.C[i - 1], "ColNorm2");
            }
            for (int k = 0; k < sweeps; ++k) {
                const auto& snap = got[std::size_t(2 + k)];
                const auto& want = w.sweeps[std::size_t(k)];
                SCOPED_TRACE(::testing::Message() << "sweep " << k + 1);
                for (int i = 1; i <= n; ++i) {
                    expect_value(snap.X[i], want[std::size_t(i - 1)], "X");
                    expect_value(snap.R[i], want[std::size_t(n + i - 1)], "R");
                    // A failed sweep leaves the cells of the unknowns it did not move alone.
                    const bool moved = !w.zeroColumn || snap.X[i] != got[0].X[i];
                    EXPECT_EQ(snap.cells[std::size_t(i - 1)], moved ? FormatSingle(snap.X[i]) : got[0].cells[std::size_t(i - 1)]);
                }
                expect_value(snap.er, want.back(), "er");
                EXPECT_FALSE(std::signbit(snap.er));
            }
            EXPECT_EQ(got.back().failure, w.zeroColumn ? "arithmetic" : "");
            const std::string message = file ? names.msgBadFile : "NoSolution";
            EXPECT_EQ(got.back().messages, std::vector<std::string>(w.zeroColumn, message));
        }
}

TEST(Sweep, ArraysThatDoNotCoverTheSystemAreSubscriptErrorsAtTheFirstMissingElement)
{
    WorkingState s;
    reference::load_state(s, System{2, {1, 1, 0, 1}, {3, 1}, {0, 0}}, false);
    SystemGrid grid;
    grid.fill_data(s.N);
    s.R = {0, -3, -1};
    s.ColNorm2 = {0, 1};  // covers 0..1 only
    EXPECT_THROW(Step(s, grid), SubscriptError);
    EXPECT_EQ(s.X, (std::vector<float>{0, 3, 0}));  // step 1 was done
}

} // namespace
} // namespace quenta
