// The residual, the column norms and the sweep: the arithmetic rule, the worked systems in both
// storage modes, and the failures.
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <memory>

#include "reference.h"
#include "scratch/column_kernels.h"
#include "scratch/file_iteration.h"
#include "solver/iteration.h"

namespace quenta {
namespace {

using reference::System;
using reference::make;

// ---- the multiply-add rule ----

TEST(MultiplyAdd, DoubleProductPlusAddendNotAFusedFloatOperation)
{
    const float u = 0x1.00004p-24f, v = 0x1.ffff8p-1f, w = 0x1.000002p+0f;
    EXPECT_EQ(madd(u, v, w), 0x1.000004p+0f);
    EXPECT_EQ(std::fmaf(u, v, w), 0x1.000002p+0f);

    // The sweep's own loops follow the same rule, in their vector part and in their tail.
    const float us[5] = {u, u, u, u, u}, vs[5] = {v, v, v, v, v}, ws[5] = {w, w, w, w, w};
    float out[5];
    float er = 0;
    ASSERT_TRUE(kernels::update(ws, out, vs, u, 5, er));
    for (float o : out)
        EXPECT_EQ(o, 0x1.000004p+0f);
    EXPECT_EQ(er, 0x1.000004p+0f);
    EXPECT_EQ(kernels::dot_chain(us, vs, 1, w), 0x1.000004p+0f);
    float snext = 0;
    const float zeros[5] = {0, 0, 0, 0, 0};
    ASSERT_TRUE(kernels::update_dot(ws, out, zeros, 1.0f, vs, 5, er, snext));
    EXPECT_EQ(snext, kernels::dot_chain(ws, vs, 5));
}

TEST(MultiplyAdd, SubnormalsSurviveAndOverflowFails)
{
    EXPECT_EQ(madd(0x1p-130f, 0x1p-10f, 0.0f), 0x1p-140f);
    const float tiny[5] = {0x1p-130f, 0x1p-130f, 0x1p-130f, 0x1p-130f, 0x1p-130f};
    const float zero[5] = {0, 0, 0, 0, 0};
    float out[5];
    float er = 0;
    ASSERT_TRUE(kernels::update(zero, out, tiny, 0x1p-10f, 5, er));
    for (float o : out)
        EXPECT_EQ(o, 0x1p-140f);
    EXPECT_EQ(er, 0x1p-140f);
    EXPECT_EQ(kernels::square_chain(tiny, 5), 0.0f);  // the squares underflow to zero

    EXPECT_THROW(madd(0x1p100f, 0x1p100f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(0.0f, 0.0f), ArithmeticError);
    EXPECT_THROW(fdiv(1.0f, 0.0f), ArithmeticError);
    const float big[5] = {0x1p100f, 1, 1, 1, 1};
    EXPECT_FALSE(kernels::update(zero, out, big, 0x1p100f, 5, er));
    EXPECT_FALSE(std::isfinite(kernels::dot_chain(big, big, 5)));
}

// ---- the worked systems, in memory and file-backed ----

class Rig {
public:
    Rig(bool fileBacked, const System& sys, long long keepRecords = -1) : file(fileBacked)
    {
        s.loadMessages();
        reference::load_state(s, sys, fileBacked);
        if (file) {
            reference::write_scratch(dir.file("data.sle"), sys, keepRecords);
            reader = std::make_unique<ScratchReader>(dir.file("data.sle"));
            grid.fill_x(s.N, s.X);
        } else {
            grid.fill_data(s.N);
        }
    }
    void erx() { ERX(s, reader.get()); }
    void norms() { file ? NormA1(s, *reader, user) : NormA(s, user); }
    void step() { file ? Step1(s, *reader, grid) : Step(s, grid); }
    std::string cell(int i) const { return grid.text(i, file ? 1 : 2 * s.N + 3); }
    const std::string& zeroColumnMessage() const { return file ? s.msgBadFile : noSolution; }

    bool file;
    testing::TempProgramDir dir;
    WorkingState s;
    SystemGrid grid;
    testing::ScriptedDialogs user;
    std::unique_ptr<ScratchReader> reader;
    std::string noSolution = "NoSolution";
};

class BothModes : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Storage, BothModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FileBacked" : "InMemory"; });

TEST_P(BothModes, DiagonalSystemSolvedInOneSweep)
{
    Rig rig(GetParam(), make(2, {2, 0, 0, 4}, {2, 8}, {0, 0}));
    rig.erx();
    EXPECT_EQ(rig.s.R[1], -2.0f);
    EXPECT_EQ(rig.s.R[2], -8.0f);
    rig.norms();
    EXPECT_EQ(rig.s.ColNorm2[1], 4.0f);
    EXPECT_EQ(rig.s.ColNorm2[2], 16.0f);
    rig.s.er = 99;
    rig.step();
    EXPECT_EQ(rig.s.X[1], 1.0f);
    EXPECT_EQ(rig.s.X[2], 2.0f);
    EXPECT_EQ(rig.s.R[1], 0.0f);
    EXPECT_EQ(rig.s.R[2], 0.0f);
    EXPECT_EQ(rig.s.er, 0.0f);
    EXPECT_FALSE(std::signbit(rig.s.er));
    EXPECT_EQ(rig.cell(1), "1");
    EXPECT_EQ(rig.cell(2), "2");
    EXPECT_TRUE(rig.user.messages.empty());
}

TEST_P(BothModes, TriangularSystemOverThreeSweeps)
{
    Rig rig(GetParam(), make(2, {1, 1, 0, 1}, {3, 1}, {0, 0}));
    rig.erx();
    EXPECT_EQ(rig.s.R[1], -3.0f);
    EXPECT_EQ(rig.s.R[2], -1.0f);
    rig.norms();
    EXPECT_EQ(rig.s.ColNorm2[1], 1.0f);
    EXPECT_EQ(rig.s.ColNorm2[2], 2.0f);
    const float x1[] = {3, 2.5f, 2.25f}, x2[] = {0.5f, 0.75f, 0.875f}, er[] = {0.5f, 0.25f, 0.125f};
    for (int k = 0; k < 3; ++k) {
        rig.step();
        EXPECT_EQ(rig.s.X[1], x1[k]) << "sweep " << k + 1;
        EXPECT_EQ(rig.s.X[2], x2[k]) << "sweep " << k + 1;
        EXPECT_EQ(rig.s.R[1], er[k]) << "sweep " << k + 1;
        EXPECT_EQ(rig.s.R[2], -er[k]) << "sweep " << k + 1;
        EXPECT_EQ(rig.s.er, er[k]) << "sweep " << k + 1;
        EXPECT_EQ(rig.cell(1), FormatSingle(x1[k]));
        EXPECT_EQ(rig.cell(2), FormatSingle(x2[k]));
    }
    EXPECT_EQ(rig.cell(2), "0.875");
}

TEST_P(BothModes, AccuracyIgnoresNegativeComponents)
{
    Rig rig(GetParam(), make(2, {1, 2, 3, 4}, {1, 0}, {0, 0}));
    rig.erx();
    rig.norms();
    rig.step();
    EXPECT_EQ(rig.s.X[1], 0.1f);
    EXPECT_EQ(FormatSingle(rig.s.X[2]), "0.03");
    EXPECT_EQ(FormatSingle(rig.s.R[1]), "-0.84");
    EXPECT_EQ(FormatSingle(rig.s.er), "0.42");
    EXPECT_EQ(rig.s.er, rig.s.R[2]);
    EXPECT_GT(-rig.s.R[1], rig.s.er);
}

TEST_P(BothModes, TriangularSystemStartedAwayFromZero)
{
    Rig rig(GetParam(), make(2, {1, 1, 0, 1}, {3, 1}, {10, 10}));
    rig.erx();
    EXPECT_EQ(rig.s.R[1], 17.0f);
    EXPECT_EQ(rig.s.R[2], 9.0f);
    rig.norms();
    rig.step();
    EXPECT_EQ(rig.s.X[1], -7.0f);
    EXPECT_EQ(rig.s.X[2], 5.5f);
    EXPECT_EQ(rig.s.R[1], -4.5f);
    EXPECT_EQ(rig.s.R[2], 4.5f);
    EXPECT_EQ(rig.s.er, 4.5f);
}

TEST_P(BothModes, OrderOne)
{
    Rig rig(GetParam(), make(1, {2}, {4}, {0}));
    rig.erx();
    EXPECT_EQ(rig.s.R[1], -4.0f);
    rig.norms();
    EXPECT_EQ(rig.s.ColNorm2[1], 4.0f);
    rig.step();
    EXPECT_EQ(rig.s.X[1], 2.0f);
    EXPECT_EQ(rig.s.R[1], 0.0f);
    EXPECT_EQ(rig.s.er, 0.0f);
    EXPECT_EQ(rig.cell(1), "2");

    // A residual that stays positive: X(1) - R(1) a / a^2 rounded in Single, er = the new R(1).
    Rig odd(GetParam(), make(1, {3}, {1}, {0}));
    odd.erx();
    odd.norms();
    odd.step();
    const float step = fdiv(-madd(-1.0f, 3.0f, 0.0f), 9.0f);
    EXPECT_EQ(odd.s.X[1], step);
    const float r = madd(step, 3.0f, -1.0f);
    EXPECT_EQ(odd.s.R[1], r);
    EXPECT_EQ(odd.s.er, r > 0 ? r : 0.0f);
}

TEST_P(BothModes, OrderZeroDoesNothing)
{
    Rig rig(GetParam(), make(0, {}, {}, {}));
    rig.s.er = 7;
    rig.erx();
    rig.norms();
    rig.step();
    EXPECT_EQ(rig.s.er, 7.0f);
    EXPECT_TRUE(rig.user.messages.empty());
}

TEST_P(BothModes, ZeroColumnMessageThenFailureAfterFirstUnknownMoved)
{
    Rig rig(GetParam(), make(2, {1, 0, 2, 0}, {1, 1}, {0, 0}));
    rig.erx();
    rig.s.ColNorm2[2] = 0;
    rig.norms();
    ASSERT_EQ(rig.user.messages.size(), 1u);
    EXPECT_EQ(rig.user.messages[0], rig.zeroColumnMessage());
    EXPECT_EQ(rig.s.ColNorm2[1], 5.0f);
    EXPECT_EQ(rig.s.ColNorm2[2], 0.0f);
    rig.s.er = 123;
    const std::string before = rig.cell(2);
    EXPECT_THROW(rig.step(), ArithmeticError);
    EXPECT_EQ(rig.s.X[1], 0.6f);  // -(1*-1 + 2*-1) / 5
    EXPECT_EQ(rig.cell(1), "0.6");
    EXPECT_EQ(rig.s.X[2], 0.0f);
    EXPECT_EQ(rig.cell(2), before);
    // The residual of the first step stays; er is the one of that step.
    EXPECT_EQ(rig.s.R[1], madd(0.6f, 1.0f, -1.0f));
    EXPECT_EQ(rig.s.R[2], madd(0.6f, 2.0f, -1.0f));
    EXPECT_EQ(rig.s.er, rig.s.R[2]);
    EXPECT_EQ(rig.user.messages.size(), 1u);
}

TEST_P(BothModes, NormsStopAtTheFirstZeroColumn)
{
    // Column 2 of 3 is zero: column 3 keeps what it held.
    Rig rig(GetParam(), make(3, {1, 0, 5, 1, 0, 5, 1, 0, 5}, {1, 1, 1}, {0, 0, 0}));
    rig.s.ColNorm2[3] = 42;
    rig.norms();
    EXPECT_EQ(rig.s.ColNorm2[1], 3.0f);
    EXPECT_EQ(rig.s.ColNorm2[2], 0.0f);
    EXPECT_EQ(rig.s.ColNorm2[3], 42.0f);
    EXPECT_EQ(rig.user.messages.size(), 1u);
}

TEST_P(BothModes, OverflowInTheSweepKeepsWhatWasStored)
{
    // Step 2's chain (R(1) a(1,2) + ...) leaves the float range; step 1 stays as done.
    const float big = 0x1p60f;
    System sys = make(3, {1, big, 0, 0, big, 1, 1, 0, 1}, {1, 1, 1}, {0, 0, 0});
    Rig rig(GetParam(), sys);
    Rig ref(GetParam(), sys);
    rig.erx();
    ref.erx();
    rig.norms();
    ref.norms();
    rig.s.R[1] = ref.s.R[1] = 0x1p100f;
    EXPECT_THROW(rig.step(), ArithmeticError);
    if (GetParam())
        EXPECT_THROW(reference::Step1(ref.s, *ref.reader, ref.grid), ArithmeticError);
    else
        EXPECT_THROW(reference::Step(ref.s, ref.grid), ArithmeticError);
    EXPECT_EQ(reference::bits(rig.s.X), reference::bits(ref.s.X));
    EXPECT_EQ(reference::bits(rig.s.R), reference::bits(ref.s.R));
    EXPECT_EQ(rig.s.er, ref.s.er);
    EXPECT_NE(rig.s.X[1], 0.0f);
    EXPECT_EQ(rig.s.X[2], 0.0f);
    EXPECT_EQ(rig.cell(1), ref.cell(1));
}

TEST_P(BothModes, ArraysTooShortAreSubscriptErrors)
{
    Rig rig(GetParam(), make(2, {1, 1, 0, 1}, {3, 1}, {0, 0}));
    rig.erx();
    rig.norms();
    rig.s.ColNorm2.resize(2);  // covers 0..1 only
    EXPECT_THROW(rig.step(), SubscriptError);
    EXPECT_EQ(rig.s.X[1], 3.0f);  // step 1 was done
    EXPECT_EQ(rig.s.X[2], 0.0f);
}

TEST(FileBackedSweep, GridCellWrittenBeforeTheResidualUpdate)
{
    // The update of step 1 overflows: the file-backed sweep has already shown X(1), the in-memory
    // one has not.
    System sys = make(2, {0x1p100f, 1, 1, 1}, {0, 0}, {0, 0});
    for (bool file : {false, true}) {
        Rig rig(file, sys);
        rig.s.R[1] = 0x1p-60f;
        rig.s.R[2] = 0x1p-60f;
        rig.s.ColNorm2[1] = 1;
        rig.s.ColNorm2[2] = 1;
        const std::string before = rig.cell(1);
        EXPECT_THROW(rig.step(), ArithmeticError);
        EXPECT_NE(rig.s.X[1], 0.0f);
        if (file)
            EXPECT_EQ(rig.cell(1), FormatSingle(rig.s.X[1]));
        else
            EXPECT_EQ(rig.cell(1), before);
    }
}

// ---- a scratch file that ends too early ----

TEST(FileBackedReads, ResidualStopsAtTheFirstRowWithoutItsRightHandSide)
{
    // Order 3: rows are records 1-4, 5-8, 9-12. With 10 records b(3) is missing.
    System sys = make(3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3}, {1, 1, 1});
    Rig rig(true, sys, 10);
    rig.s.R[3] = 55;
    EXPECT_THROW(rig.erx(), FileError);
    EXPECT_EQ(rig.s.R[1], 5.0f);
    EXPECT_EQ(rig.s.R[2], 13.0f);
    EXPECT_EQ(rig.s.R[3], 55.0f);
}

TEST(FileBackedReads, NormsKeepThePartialSumOfTheColumnWithAMissingRecord)
{
    // With 10 records, column 3 (records 3, 7, 11) lacks a(3,3).
    System sys = make(3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3}, {1, 1, 1});
    Rig rig(true, sys, 10);
    EXPECT_THROW(rig.norms(), FileError);
    EXPECT_EQ(rig.s.ColNorm2[1], 66.0f);
    EXPECT_EQ(rig.s.ColNorm2[2], 93.0f);
    EXPECT_EQ(rig.s.ColNorm2[3], 45.0f);  // 3^2 + 6^2
}

TEST(FileBackedReads, SweepStopsAtTheColumnWithAMissingRecord)
{
    System sys = make(3, {2, 1, 1, 1, 3, 1, 1, 1, 4}, {1, 2, 3}, {0, 0, 0});
    Rig rig(true, sys);
    Rig ref(true, sys);
    rig.erx();
    rig.norms();
    ref.erx();
    ref.norms();
    // The file loses its last two records (b(3) and a(3,3)) between the set-up and the sweep.
    for (Rig* r : {&rig, &ref}) {
        r->reader.reset();
        QFile::resize(r->dir.file("data.sle"), 10 * 128);
        r->reader = std::make_unique<ScratchReader>(r->dir.file("data.sle"));
    }
    EXPECT_THROW(rig.step(), FileError);
    EXPECT_THROW(reference::Step1(ref.s, *ref.reader, ref.grid), FileError);
    EXPECT_NE(rig.s.X[2], 0.0f);
    EXPECT_EQ(rig.s.X[3], 0.0f);
    EXPECT_EQ(reference::bits(rig.s.X), reference::bits(ref.s.X));
    EXPECT_EQ(reference::bits(rig.s.R), reference::bits(ref.s.R));
    EXPECT_EQ(rig.s.er, ref.s.er);
    EXPECT_EQ(rig.cell(2), ref.cell(2));
    EXPECT_EQ(rig.cell(3), ref.cell(3));
}

TEST(FileBackedReads, OverflowAmongTheRecordsThatExistComesBeforeTheMissingOne)
{
    // Order 2 with 4 records: column 2 has a(1,2) but not a(2,2). Its chain overflows at row 1,
    // before the read of the missing record.
    System sys = make(2, {1, 0x1p30f, 0, 1}, {0, 0}, {0, 0});
    Rig rig(true, sys, 4);
    Rig ref(true, sys, 4);
    for (Rig* r : {&rig, &ref}) {
        r->s.R[1] = 0x1p100f;
        r->s.R[2] = 1;
        r->s.ColNorm2[1] = 2;
        r->s.ColNorm2[2] = 1;
    }
    EXPECT_THROW(rig.step(), ArithmeticError);
    EXPECT_THROW(reference::Step1(ref.s, *ref.reader, ref.grid), ArithmeticError);
    EXPECT_EQ(rig.s.X[1], -0x1p99f);
    EXPECT_EQ(rig.s.R[1], 0x1p99f);
    EXPECT_EQ(reference::bits(rig.s.R), reference::bits(ref.s.R));
    EXPECT_EQ(rig.s.er, ref.s.er);
}

TEST(FileBackedReads, NoOpenFileIsAFileError)
{
    WorkingState s;
    s.N = 1;
    s.StorageMode = static_cast<i16>(2);
    allocate(s.R, 1);
    allocate(s.X, 1);
    EXPECT_THROW(ERX(s, nullptr), FileError);
}

} // namespace
} // namespace quenta
