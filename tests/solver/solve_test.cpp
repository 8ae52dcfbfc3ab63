// "Find  solution" and "Next Iteration" on a form: the stop rule, the counter, the fields they
// write, and what the user sees when something is wrong, in memory and file-backed.
#include <gtest/gtest.h>

#include <QFile>

#include "reference.h"
#include "solver/solve.h"

namespace quenta {
namespace {

using reference::System;
using reference::make;
using testing::FakeForm;
using testing::TempProgramDir;

// Texts of a system: a row by row, then b, then the start values (placeholder "0" when empty).
struct Typed {
    int n;
    std::vector<std::string> a, b, x;
};

const Typed triangular{2, {"1", "1", "0", "1"}, {"3", "1"}, {}};

System as_system(const Typed& t)
{
    System s;
    s.n = t.n;
    for (const auto& v : t.a)
        s.a.push_back(ParseSingle(v));
    for (const auto& v : t.b)
        s.b.push_back(ParseSingle(v));
    for (int i = 0; i < t.n; ++i)
        s.x.push_back(t.x.empty() ? 0.0f : ParseSingle(t.x[static_cast<std::size_t>(i)]));
    return s;
}

// What Accept N and the Accept commands leave: the grid laid out and its cells typed in.
void type_in(FakeForm& f, const Typed& t)
{
    f.state.N = static_cast<i16>(t.n);
    f.grid.fill_data(f.state.N);
    for (int i = 1; i <= t.n; ++i) {
        for (int j = 1; j <= t.n; ++j)
            f.grid.setText(i, 2 * j - 1, t.a[static_cast<std::size_t>((i - 1) * t.n + j - 1)]);
        f.grid.setText(i, 2 * t.n + 1, t.b[static_cast<std::size_t>(i - 1)]);
        if (!t.x.empty())
            f.grid.setText(i, 2 * t.n + 3, t.x[static_cast<std::size_t>(i - 1)]);
    }
    f.state.StorageMode = static_cast<i16>(1);
    f.state.iter = 1;
}

// What Connect leaves: the scratch file, N, X, the file-backed layout.
void connect(FakeForm& f, const TempProgramDir& dir, const Typed& t, long long keepRecords = -1)
{
    const System sys = as_system(t);
    reference::write_scratch(dir.file("data.sle"), sys, keepRecords);
    f.state.N = static_cast<i16>(t.n);
    allocate(f.state.X, t.n);
    for (int i = 1; i <= t.n; ++i)
        f.state.X[static_cast<std::size_t>(i)] = sys.x[static_cast<std::size_t>(i - 1)];
    f.grid.fill_x(f.state.N, f.state.X);
    f.state.StorageMode = static_cast<i16>(2);
    f.state.iter = 1;
}

class SolveCommands : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { alloc_testing::resetAllocationFailures(); }

    bool fileBacked() const { return GetParam(); }
    void setUp(const Typed& t, long long keepRecords = -1)
    {
        if (fileBacked())
            connect(f, dir, t, keepRecords);
        else
            type_in(f, t);
    }
    std::string solution(int i) const { return f.grid.text(i, fileBacked() ? 1 : 2 * f.state.N + 3); }
    std::string text(Control c) const { return f.controls.text(c); }

    TempProgramDir dir;
    FakeForm f{dir.path()};
};

INSTANTIATE_TEST_SUITE_P(Storage, SolveCommands, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FileBacked" : "InMemory"; });

TEST_P(SolveCommands, FindSolutionStopsWhenTheAccuracyIsReached)
{
    setUp(triangular);
    cmdSolution_Click(f.form);  // eps 0.5 as at start-up
    EXPECT_EQ(text(Control::txtEr), "0.5");
    EXPECT_EQ(solution(1), "3");
    EXPECT_EQ(solution(2), "0.5");
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_EQ(f.state.eps, 0.5f);
    EXPECT_TRUE(f.user.messages.empty());
    const float seconds = ParseSingle(text(Control::txtTime));
    EXPECT_GE(seconds, 0.0f);
    EXPECT_LT(seconds, 60.0f);
    EXPECT_FALSE(f.controls.busy());

    f.controls.setText(Control::txtEps, "0.2");
    cmdSolution_Click(f.form);
    // Started again from the shown 3 and 0.5: the first sweep of this run is the second of the last.
    EXPECT_EQ(text(Control::txtEr), "0.125");
    EXPECT_EQ(solution(1), "2.25");
    EXPECT_EQ(solution(2), "0.875");
    EXPECT_EQ(f.state.iter, 3);
}

TEST_P(SolveCommands, ThreeSweepsForASmallerAccuracy)
{
    setUp(triangular);
    f.controls.setText(Control::txtEps, "0.2");
    cmdSolution_Click(f.form);
    EXPECT_EQ(text(Control::txtEr), "0.125");
    EXPECT_EQ(solution(1), "2.25");
    EXPECT_EQ(solution(2), "0.875");
    EXPECT_EQ(f.state.iter, 4);
}

TEST_P(SolveCommands, NextIterationContinuesTheRun)
{
    setUp(triangular);
    cmdSolution_Click(f.form);
    f.controls.setText(Control::txtTime, "");
    cmdIter_Click(f.form);
    EXPECT_EQ(text(Control::txtEr), "0.25");
    EXPECT_EQ(solution(1), "2.5");
    EXPECT_EQ(solution(2), "0.75");
    EXPECT_EQ(f.state.iter, 3);
    EXPECT_FALSE(text(Control::txtTime).empty());
    cmdIter_Click(f.form);
    EXPECT_EQ(text(Control::txtEr), "0.125");
    EXPECT_EQ(f.state.iter, 4);

    // Find solution again with eps 0.5 starts over from the shown values: one sweep.
    f.controls.setText(Control::txtEps, "0.5");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_EQ(text(Control::txtEr), "0.0625");
    EXPECT_EQ(solution(1), "2.125");
}

TEST_P(SolveCommands, NextIterationOnFreshDataBuildsThenSweepsOnce)
{
    setUp(triangular);
    f.controls.setText(Control::txtEps, "abc");  // not read by Next Iteration
    cmdIter_Click(f.form);
    EXPECT_EQ(text(Control::txtEr), "0.5");
    EXPECT_EQ(solution(1), "3");
    EXPECT_EQ(solution(2), "0.5");
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_TRUE(f.user.messages.empty());
    // No stop test: a sweep per click however small er is.
    for (int k = 0; k < 5; ++k)
        cmdIter_Click(f.form);
    EXPECT_EQ(f.state.iter, 7);
    EXPECT_EQ(text(Control::txtEr), FormatSingle(0x1p-6f));
}

TEST_P(SolveCommands, EpsThatIsNotANumber)
{
    setUp(triangular);
    f.state.iter = 5;
    f.state.eps = 0.25f;
    f.controls.setText(Control::txtTime, "1.5");
    for (const char* bad : {"abc", "", "1E+39"}) {
        f.user.messages.clear();
        f.controls.setText(Control::txtEps, bad);
        cmdSolution_Click(f.form);
        EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgFormat}) << bad;
    }
    EXPECT_EQ(f.state.iter, 5);
    EXPECT_EQ(f.state.eps, 0.25f);
    EXPECT_EQ(text(Control::txtTime), "1.5");
    EXPECT_EQ(text(Control::txtEr), "");
    EXPECT_EQ(solution(1), "0");
}

TEST_P(SolveCommands, ZeroColumnShowsItsMessageThenEndsSilently)
{
    setUp(Typed{2, {"1", "0", "2", "0"}, {"1", "1"}, {}});
    f.controls.setText(Control::txtTime, "old");
    cmdSolution_Click(f.form);
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], fileBacked() ? f.state.msgBadFile : std::string("NoSolution"));
    EXPECT_EQ(solution(1), "0.6");
    EXPECT_EQ(solution(2), "0");
    EXPECT_EQ(text(Control::txtTime), "old");
    EXPECT_EQ(text(Control::txtEr), "");
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_FALSE(f.controls.busy());
}

TEST_P(SolveCommands, AccuracyThatRepeatsEndsTheRun)
{
    // The diagonal system is solved by the first sweep: er = 0, which equals the previous
    // accuracy (0 at the start), so even a negative eps stops there.
    setUp(Typed{2, {"2", "0", "0", "4"}, {"2", "8"}, {}});
    f.controls.setText(Control::txtEps, "-1");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_EQ(text(Control::txtEr), "0");
    EXPECT_EQ(solution(1), "1");
    EXPECT_EQ(solution(2), "2");
}

TEST_P(SolveCommands, CounterOverflowEndsARunThatNeverSettles)
{
    // Nearly parallel columns: er shrinks by a tiny step each sweep for far more than 32767
    // sweeps, and a negative eps is never reached.
    setUp(Typed{2, {"1", "1", "1", "1.001"}, {"2", "2.001"}, {}});
    f.controls.setText(Control::txtEps, "-1");
    f.controls.setText(Control::txtTime, "old");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.state.iter, 32767);
    EXPECT_EQ(text(Control::txtTime), "old");
    EXPECT_EQ(text(Control::txtEr), FormatSingle(f.state.er));
    EXPECT_GT(f.state.er, 0.0f);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_FALSE(f.controls.busy());

    // Next Iteration still sweeps, then fails to count: er moves on, iter and txtTime stay.
    const float before = f.state.er;
    cmdIter_Click(f.form);
    EXPECT_EQ(f.state.iter, 32767);
    EXPECT_NE(f.state.er, before);
    EXPECT_EQ(text(Control::txtEr), FormatSingle(f.state.er));
    EXPECT_EQ(text(Control::txtTime), "old");
}

TEST_P(SolveCommands, OrderZero)
{
    setUp(Typed{0, {}, {}, {}});
    f.state.er = 3;
    cmdSolution_Click(f.form);  // er 3 > eps 0.5, then er repeats
    EXPECT_EQ(f.state.iter, 3);
    EXPECT_EQ(text(Control::txtEr), "3");
    f.controls.setText(Control::txtEps, "5");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_P(SolveCommands, AllocationFailure)
{
    setUp(triangular);
    f.controls.setText(Control::txtTime, "old");
    for (int k : {0, 2}) {
        f.user.messages.clear();
        f.state.iter = 4;
        alloc_testing::failAllocationsAfter(k);
        cmdSolution_Click(f.form);
        alloc_testing::resetAllocationFailures();
        if (fileBacked())
            EXPECT_TRUE(f.user.messages.empty());
        else
            EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgNoMemory});
        EXPECT_EQ(f.state.iter, 1);
        EXPECT_EQ(text(Control::txtTime), "old");
    }
    alloc_testing::failAllocationsAfter(1);
    cmdIter_Click(f.form);
    alloc_testing::resetAllocationFailures();
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.user.messages.size(), fileBacked() ? 0u : 2u);
    // Nothing is left half-done that the next click could trip over.
    cmdIter_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_EQ(text(Control::txtEr), "0.5");
}

TEST(SolveInMemory, PlaceholdersLeftAreAnIncompleteSystem)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    f.state.N = 2;
    f.grid.fill_data(2);
    f.state.StorageMode = static_cast<i16>(1);
    f.state.iter = 1;
    f.grid.setText(1, 1, "5");
    f.controls.setText(Control::txtEr, "er");
    f.controls.setText(Control::txtTime, "time");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgIncomplete});
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.state.A(1, 1), 5.0f);  // loaded before the first placeholder
    EXPECT_EQ(f.controls.text(Control::txtEr), "er");
    EXPECT_EQ(f.controls.text(Control::txtTime), "time");
    EXPECT_FALSE(f.controls.busy());

    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages.size(), 2u);
    EXPECT_EQ(f.user.messages[1], f.state.msgIncomplete);
    EXPECT_EQ(f.state.iter, 1);

    // A start value that is not a number, after every coefficient is in.
    f.user.messages.clear();
    type_in(f, Typed{2, {"1", "1", "0", "1"}, {"3", "1"}, {"0", "x"}});
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgIncomplete});
    EXPECT_EQ(f.state.B[2], 1.0f);
}

// Loading a cell gives exactly what ParseSingle gives for its text, or fails as it does.
TEST(SolveInMemory, LoadingACellIsParseSingle)
{
    const char* texts[] = {"1", "-2.5", "0.1", ".5", "5.", "-0", "0.000", "1e-40", "1e-46", "1E-50", "3.4028235E+38",
                           "3.4028236e38", "1e39", "+1", " 1", "1 ", "1,5", "1.5", "inf", "nan", "-Infinity",
                           "0x10", "1e", "-", "", "a(1,1)", "123456789012", "1.17549435E-38", "0e999999"};
    for (const char* sep : {".", ","}) {
        setDecimalSeparator(sep);
        for (const char* t : texts) {
            SCOPED_TRACE(::testing::Message() << "separator " << sep << ", text '" << t << "'");
            WorkingState s;
            s.N = 1;
            s.A.allocate(1);
            allocate(s.B, 1);
            allocate(s.X, 1);
            SystemGrid grid;
            grid.fill_data(1);
            grid.setText(1, 1, t);
            grid.setText(1, 3, "0");
            const std::string loaded = reference::outcome([&] { load_grid(s, grid); });
            float expected = 0;
            std::string parsed;
            try {
                expected = ParseSingle(t);
            } catch (const ConversionError&) {
                parsed = "conversion";
            } catch (const OverflowError&) {
                parsed = "overflow";
            }
            if (parsed.empty()) {
                EXPECT_EQ(loaded, "");
                EXPECT_EQ(reference::bits(s.A(1, 1)), reference::bits(expected));
            } else {
                EXPECT_EQ(loaded, parsed == "overflow" ? "overflow" : "conversion");
            }
        }
    }
    setDecimalSeparator(".");
}

TEST(SolveInMemory, ChangedCoefficientIsReadOnlyWhenTheArraysAreRebuilt)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    type_in(f, triangular);
    cmdSolution_Click(f.form);
    f.grid.setText(1, 1, "2");  // Accept A(1,1) = 2
    cmdIter_Click(f.form);
    EXPECT_EQ(f.controls.text(Control::txtEr), "0.25");  // the old coefficient
    EXPECT_EQ(f.grid.text(1, 7), "2.5");
    EXPECT_EQ(f.grid.text(2, 7), "0.75");

    cmdSolution_Click(f.form);  // the new one, from the shown start values
    FakeForm g(dir.path());
    type_in(g, Typed{2, {"2", "1", "0", "1"}, {"3", "1"}, {"2.5", "0.75"}});
    cmdSolution_Click(g.form);
    EXPECT_EQ(f.state.iter, g.state.iter);
    EXPECT_EQ(f.controls.text(Control::txtEr), g.controls.text(Control::txtEr));
    EXPECT_EQ(f.grid.text(1, 7), g.grid.text(1, 7));
    EXPECT_EQ(f.grid.text(2, 7), g.grid.text(2, 7));
    EXPECT_NE(f.grid.text(1, 7), "2.5");
}

TEST(SolveInMemory, ArithmeticFailureInNextIterationEndsSilently)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    type_in(f, Typed{1, {"1E+20"}, {"1"}, {}});  // its square leaves the float range
    f.controls.setText(Control::txtTime, "old");
    cmdIter_Click(f.form);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.controls.text(Control::txtTime), "old");
    EXPECT_EQ(f.controls.text(Control::txtEr), "");
    cmdSolution_Click(f.form);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(f.controls.text(Control::txtTime), "old");
}

// Records the busy flag whenever txtEr is written.
class WatchingControls : public testing::FakeControls {
public:
    void setText(Control c, const std::string& text) override
    {
        if (c == Control::txtEr)
            busyWhileWriting.push_back(busy());
        FakeControls::setText(c, text);
    }
    std::vector<bool> busyWhileWriting;
};

TEST(SolveInMemory, BusyWhileSweeping)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    type_in(f, triangular);
    WatchingControls controls;
    controls.setText(Control::txtEps, "0.2");
    Form form{f.state, f.grid, controls, f.user, ProgramDir{dir.path()}};
    cmdSolution_Click(form);
    EXPECT_EQ(controls.busyWhileWriting, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(controls.busy());
}

TEST(SolveFileBacked, UnreadableScratchFile)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    connect(f, dir, triangular);
    QFile::remove(dir.file("data.sle"));
    f.controls.setText(Control::txtTime, "old");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgBadFile});
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.controls.text(Control::txtTime), "old");
    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages.size(), 2u);
    EXPECT_EQ(f.state.iter, 1);

    // A file that ends inside the system: records 1..5 of 6 (b(2) is missing).
    f.user.messages.clear();
    connect(f, dir, triangular, 5);
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgBadFile});
    EXPECT_EQ(f.state.R[1], -3.0f);  // the first row was read
    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages.size(), 2u);
    EXPECT_EQ(f.controls.text(Control::txtTime), "old");

    // The file loses records between two clicks of Next Iteration.
    f.user.messages.clear();
    connect(f, dir, triangular);
    cmdIter_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    QFile::resize(dir.file("data.sle"), 4 * 128);
    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgBadFile});
    EXPECT_EQ(f.state.iter, 2);
}

} // namespace
} // namespace quenta
