// "Find  solution" and "Next Iteration" on a form: the stop rule, the counter, the fields they
// write, and what the user sees when something is wrong, in memory and file-backed.
#include <gtest/gtest.h>

#include "reference.h"
#include "solver/solve.h"

namespace quenta {
namespace {

using testing::FakeForm;
using testing::TempProgramDir;

// Texts of a system: a row by row, then b, then the start values (none: the placeholders, 0).
struct Typed {
    int n;
    std::vector<std::string> a, b, x;
};

const Typed triangular{2, {"1", "1", "0", "1"}, {"3", "1"}, {}};

// What Accept N and the Accept commands leave: the grid laid out and its cells typed in.
void type_in(FakeForm& f, const Typed& t)
{
    f.state.N = i16(t.n);
    f.grid.fill_data(f.state.N);
    for (int i = 1; i <= t.n; ++i) {
        for (int j = 1; j <= t.n; ++j)
            f.grid.setText(i, 2 * j - 1, t.a[std::size_t((i - 1) * t.n + j - 1)]);
        f.grid.setText(i, 2 * t.n + 1, t.b[std::size_t(i - 1)]);
        if (!t.x.empty())
            f.grid.setText(i, 2 * t.n + 3, t.x[std::size_t(i - 1)]);
    }
    f.state.StorageMode = i16(1);
    f.state.iter = 1;
}

// What Connect leaves: the scratch file, N, X, the file-backed layout.
void connect(FakeForm& f, const TempProgramDir& dir, const Typed& t, long long keepRecords = -1)
{
    reference::System sys{t.n, {}, {}, std::vector<float>(std::size_t(t.n), 0.0f)};
    for (const auto& v : t.a)
        sys.a.push_back(ParseSingle(v));
    for (const auto& v : t.b)
        sys.b.push_back(ParseSingle(v));
    reference::write_scratch(dir.file("data.sle"), sys, keepRecords);
    reference::load_state(f.state, sys, true);
    f.grid.fill_x(f.state.N, f.state.X);
    f.state.iter = 1;
}

class SolveCommands : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { alloc_testing::resetAllocationFailures(); }

    bool fileBacked() const { return GetParam(); }
    void setUp(const Typed& t) { fileBacked() ? connect(f, dir, t) : type_in(f, t); }
    std::string solution(int i) const { return f.grid.text(i, fileBacked() ? 1 : 2 * f.state.N + 3); }
    std::string text(Control c) const { return f.controls.text(c); }
    std::vector<std::string> only(const std::string& message) const { return {message}; }

    TempProgramDir dir;
    FakeForm f{dir.path()};
};

INSTANTIATE_TEST_SUITE_P(Storage, SolveCommands, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FileBacked" : "InMemory"; });

TEST_P(SolveCommands, ARunOfClicksOnTheTriangularSystem)
{
    struct Click {
        bool find;
        const char* eps;
        const char *er, *x1, *x2;
        int iter;
    };
    const Click script[] = {
        {false, "abc", "0.5", "3", "0.5", 2},           // builds the arrays, then one sweep; eps not read
        {false, "abc", "0.25", "2.5", "0.75", 3},       // no stop test: a sweep per click
        {true, "0.125", "0.125", "2.25", "0.875", 2},   // starts over from the shown values; stops at er = eps
        {false, "0.125", "0.0625", "2.125", "0.9375", 3},
        {true, "0.01", "0.0078125", "2.015625", "0.9921875", 4},
    };
    setUp(triangular);
    for (const Click& c : script) {
        SCOPED_TRACE(::testing::Message() << (c.find ? "Find solution, eps " : "Next Iteration, er ") << c.er);
        f.controls.setText(Control::txtEps, c.eps);
        f.controls.setText(Control::txtTime, "");
        c.find ? cmdSolution_Click(f.form) : cmdIter_Click(f.form);
        EXPECT_EQ(text(Control::txtEr), c.er);
        EXPECT_EQ(solution(1), c.x1);
        EXPECT_EQ(solution(2), c.x2);
        EXPECT_EQ(f.state.iter, c.iter);
        if (c.find) {
            EXPECT_EQ(f.state.eps, ParseSingle(c.eps));
        }
        const float seconds = ParseSingle(text(Control::txtTime));
        EXPECT_TRUE(seconds >= 0.0f && seconds < 60.0f) << seconds;
        EXPECT_TRUE(f.user.messages.empty());
        EXPECT_FALSE(f.controls.busy());
    }
    // An eps that is not a number: the message, and nothing else changes.
    f.controls.setText(Control::txtTime, "1.5");
    for (const char* bad : {"abc", "", "1E+39"}) {
        f.user.messages.clear();
        f.controls.setText(Control::txtEps, bad);
        cmdSolution_Click(f.form);
        EXPECT_EQ(f.user.messages, only(f.state.msgFormat)) << bad;
    }
    EXPECT_EQ(f.state.iter, 4);
    EXPECT_EQ(f.state.eps, 0.01f);
    EXPECT_EQ(text(Control::txtTime), "1.5");
    EXPECT_EQ(text(Control::txtEr), "0.0078125");
    EXPECT_EQ(solution(1), "2.015625");
}

TEST_P(SolveCommands, AnAccuracyThatRepeatsThePreviousOneEndsTheRun)
{
    // The previous accuracy starts at 0: the diagonal system, solved by the first sweep, stops
    // there even with a negative eps; with N = 0 er keeps what it held.
    struct Case {
        Typed system;
        float er;
        const char *eps, *shown;
        int iter;
    } cases[] = {{{0, {}, {}, {}}, 3, "0.5", "3", 3},
                 {{0, {}, {}, {}}, 3, "5", "3", 2},
                 {{2, {"2", "0", "0", "4"}, {"2", "8"}, {}}, 0, "-1", "0", 2}};
    for (const Case& c : cases) {
        setUp(c.system);
        f.state.er = c.er;
        f.controls.setText(Control::txtEps, c.eps);
        cmdSolution_Click(f.form);
        EXPECT_EQ(f.state.iter, c.iter) << c.eps;
        EXPECT_EQ(text(Control::txtEr), c.shown) << c.eps;
        EXPECT_TRUE(f.user.messages.empty());
    }
    EXPECT_EQ(solution(1), "1");
    EXPECT_EQ(solution(2), "2");
}

TEST_P(SolveCommands, ZeroColumnShowsItsMessageThenEndsSilently)
{
    setUp(Typed{2, {"1", "0", "2", "0"}, {"1", "1"}, {}});
    f.controls.setText(Control::txtTime, "old");
    cmdSolution_Click(f.form);
    EXPECT_EQ(f.user.messages, only(fileBacked() ? f.state.msgBadFile : "NoSolution"));
    EXPECT_EQ(solution(1), "0.6");
    EXPECT_EQ(solution(2), "0");
    EXPECT_EQ(text(Control::txtTime), "old");
    EXPECT_EQ(text(Control::txtEr), "");
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_FALSE(f.controls.busy());
}

TEST_P(SolveCommands, ArithmeticFailuresEndSilently)
{
    setUp(Typed{1, {"1E+20"}, {"1"}, {}});  // its square leaves the float range
    f.controls.setText(Control::txtTime, "old");
    cmdIter_Click(f.form);
    cmdSolution_Click(f.form);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(text(Control::txtTime), "old");
    EXPECT_EQ(text(Control::txtEr), "");
    EXPECT_FALSE(f.controls.busy());
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

TEST_P(SolveCommands, AllocationFailure)
{
    setUp(triangular);
    f.controls.setText(Control::txtTime, "old");
    const auto expected = fileBacked() ? std::vector<std::string>{} : only(f.state.msgNoMemory);
    for (int k : {0, 2}) {
        f.user.messages.clear();
        f.state.iter = 4;
        alloc_testing::failAllocationsAfter(k);
        cmdSolution_Click(f.form);
        alloc_testing::resetAllocationFailures();
        EXPECT_EQ(f.user.messages, expected);
        EXPECT_EQ(f.state.iter, 1);
        EXPECT_EQ(text(Control::txtTime), "old");
    }
    f.user.messages.clear();
    alloc_testing::failAllocationsAfter(1);
    cmdIter_Click(f.form);
    alloc_testing::resetAllocationFailures();
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.user.messages, expected);
    // Nothing is left half-done that the next click could trip over.
    cmdIter_Click(f.form);
    EXPECT_EQ(f.state.iter, 2);
    EXPECT_EQ(text(Control::txtEr), "0.5");
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

TEST_P(SolveCommands, BusyWhileSweeping)
{
    setUp(triangular);
    WatchingControls controls;
    controls.setText(Control::txtEps, "0.2");
    Form form{f.state, f.grid, controls, f.user, ProgramDir{dir.path()}};
    cmdSolution_Click(form);
    EXPECT_EQ(controls.busyWhileWriting, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(controls.busy());
}

TEST(SolveInMemory, PlaceholdersLeftAreAnIncompleteSystem)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    f.state.N = 2;
    f.grid.fill_data(2);
    f.state.StorageMode = i16(1);
    f.state.iter = 1;
    f.grid.setText(1, 1, "5");
    f.controls.setText(Control::txtEr, "er");
    f.controls.setText(Control::txtTime, "time");
    cmdSolution_Click(f.form);
    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>(2, f.state.msgIncomplete));
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.state.A(1, 1), 5.0f);  // loaded before the first placeholder
    EXPECT_EQ(f.controls.text(Control::txtEr), "er");
    EXPECT_EQ(f.controls.text(Control::txtTime), "time");
    EXPECT_FALSE(f.controls.busy());

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
    for (const char* sep : {".", ","}) {
        setDecimalSeparator(sep);
        for (const char* t : {"1", "-2.5", "0.1", ".5", "5.", "-0", "0.000", "1e-40", "1e-46", "1E-50", "3.4028235E+38",
                              "3.4028236e38", "1e39", "+1", " 1", "1 ", "1,5", "1.5", "inf", "nan", "-Infinity", "0x10",
                              "1e", "-", "", "a(1,1)", "123456789012", "1.17549435E-38", "0e999999"}) {
            SCOPED_TRACE(::testing::Message() << "separator " << sep << ", text '" << t << "'");
            WorkingState s;
            reference::load_state(s, reference::make(1, {0}, {0}, {0}), false);
            SystemGrid grid;
            grid.fill_data(1);
            grid.setText(1, 1, t);
            grid.setText(1, 3, "0");
            float parsed = 0;
            const std::string failure = reference::outcome([&] { parsed = ParseSingle(t); });
            EXPECT_EQ(reference::outcome([&] { load_grid(s, grid); }), failure);
            if (failure.empty()) {
                EXPECT_EQ(reference::bits({s.A(1, 1)}), reference::bits({parsed}));
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

TEST(SolveFileBacked, MissingOrTruncatedScratchFileIsABadFile)
{
    TempProgramDir dir;
    FakeForm f(dir.path());
    connect(f, dir, triangular);
    QFile::remove(dir.file("data.sle"));
    f.controls.setText(Control::txtTime, "old");
    cmdSolution_Click(f.form);
    cmdIter_Click(f.form);
    EXPECT_EQ(f.user.messages, std::vector<std::string>(2, f.state.msgBadFile));
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
