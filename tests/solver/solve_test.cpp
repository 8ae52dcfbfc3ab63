// "Find  solution" and "Next Iteration" on a form: the stop rule, the counter, the fields they
// write, and what the user sees when something is wrong, in memory and file-backed.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "reference.h"
#include "scratch/packed_copy.h"
#include "solver/direct_check.h"
#include "solver/solve.h"

namespace quenta {
namespace {

using reference::System;
using testing::FakeForm;
using testing::TempProgramDir;

const System triangular{2, {1, 1, 0, 1}, {3, 1}, {0, 0}};

// What Accept N and the Accept commands leave (the grid laid out, the cells typed in, start values
// only when not 0), or what Connect leaves (the scratch file, X, the file-backed layout).
void enter(FakeForm& f, const TempProgramDir& dir, const System& sys, bool file, long long keep = -1)
{
    testing::load_state(f.state, sys, file);
    f.state.iter = 1;
    if (file) {
        testing::write_scratch(dir.file("data.sle"), sys, keep);
        reference::claim_scratch(f.state, dir.path());
        return f.grid.fill_x(f.state.N, f.state.X, ".");
    }
    f.grid.fill_data(f.state.N);
    for (int i = 1; i <= sys.n; ++i)
        for (int j = 1; j <= sys.n + 2; ++j) {
            const float x = sys.x[std::size_t(i - 1)];
            if (j <= sys.n + 1 || x != 0)
                f.grid.setText(i, 2 * j - 1, FormatSingle(j > sys.n + 1 ? x : sys.at(i, j), "."), f.state.separator);
        }
}

class SolveCommands : public ::testing::TestWithParam<bool> {
protected:
    bool fileBacked() const { return GetParam(); }
    void setUp(const System& sys) { enter(f, dir, sys, GetParam()); }
    std::string solution(int i) const { return f.grid.text(i, fileBacked() ? 1 : 2 * f.state.N + 3); }
    std::string text(Control c) const { return controls.text(c); }
    // The status line up to the residual's size: why the run ended, its sweeps and iter.
    std::string ended() const { return text(Control::sbrStatus).substr(0, text(Control::sbrStatus).find(';')); }

    TempProgramDir dir;
    FakeForm f{dir.path()};
    testing::FakeControls& controls = f.controls;
    Form& form = f.form;
};

INSTANTIATE_TEST_SUITE_P(Storage, SolveCommands, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FileBacked" : "InMemory"; });

TEST_P(SolveCommands, RunsOfClicks)
{
    const System order0{0, {}, {}, {}}, diagonal{2, {2, 0, 0, 4}, {2, 8}, {0, 0}};
    struct Click {
        const System* system;  // entered before the click, with er = 3
        bool find;
        const char *eps, *er, *x1, *x2;
        int iter;
        const char* ended;
    };
    const Click script[] = {
        // The previous accuracy starts at 0 and a repeated one ends the run: with N = 0 er keeps
        // what it held, and the diagonal system stops after its first sweep whatever eps is.
        {&order0, true, "0.5", "3", "", "", 3, "Accuracy stopped changing: 2 sweeps, iter 3"},
        {nullptr, true, "5", "3", "", "", 2, "Desired accuracy reached: 1 sweep, iter 2"},
        {&diagonal, true, "-1", "0", "1", "2", 2, "Accuracy stopped changing: 1 sweep, iter 2"},
        // Next Iteration builds the arrays, then one sweep; eps not read
        {&triangular, false, "abc", "0.5", "3", "0.5", 2, "Done: 1 sweep, iter 2"},
        {nullptr, false, "abc", "0.25", "2.5", "0.75", 3, "Done: 1 sweep, iter 3"},  // no stop test: a sweep per click
        // Find  solution starts over from the shown values; er = eps stops
        {nullptr, true, "0.125", "0.125", "2.25", "0.875", 2, "Desired accuracy reached: 1 sweep, iter 2"},
        {nullptr, false, "0.125", "0.0625", "2.125", "0.9375", 3, "Done: 1 sweep, iter 3"},
        {nullptr, true, "0.01", "0.0078125", "2.015625", "0.9921875", 4, "Desired accuracy reached: 3 sweeps, iter 4"},
    };
    for (const Click& c : script) {
        SCOPED_TRACE(::testing::Message() << (c.find ? "Find solution, eps " : "Next Iteration, er ") << c.eps);
        if (c.system) {
            setUp(*c.system);
            f.state.er = 3;
        }
        controls.setText(Control::txtEps, c.eps);
        controls.setText(Control::txtTime, "");
        c.find ? cmdSolution_Click(form) : cmdIter_Click(form);
        EXPECT_EQ(std::tuple(text(Control::txtEr), int(f.state.iter)), std::tuple(c.er, c.iter));
        EXPECT_EQ(f.state.N ? solution(1) + " " + solution(2) : " ", std::string(c.x1) + " " + c.x2);
        if (c.find) {
            EXPECT_EQ(f.state.eps, ParseSingle(c.eps, "."));
        }
        EXPECT_EQ(ended(), c.ended);
        const float seconds = ParseSingle(text(Control::txtTime), ".");
        EXPECT_TRUE(seconds >= 0.0f && seconds < 60.0f) << seconds;
        EXPECT_TRUE(f.user.messages.empty());
        EXPECT_FALSE(controls.busy());
    }
    // An eps that is not a number: the message, and nothing else changes.
    controls.setText(Control::txtTime, "1.5");
    for (const char* bad : {"abc", "", "1E+39"}) {
        f.user.messages.clear();
        controls.setText(Control::txtEps, bad);
        cmdSolution_Click(form);
        EXPECT_EQ(f.user.messages, std::vector<std::string>{f.state.msgFormat}) << bad;
        EXPECT_EQ(text(Control::sbrStatus), "Failed: 0 sweeps, iter 4");
    }
    EXPECT_EQ(std::tuple(int(f.state.iter), f.state.eps, text(Control::txtTime), text(Control::txtEr), solution(1)),
              std::tuple(4, 0.01f, "1.5", "0.0078125", "2.015625"));
}

// A stop asked for after the last unknown's step: the sweep was whole and is counted.
TEST_P(SolveCommands, AStopAfterTheLastStepKeepsTheSweep)
{
    System sys{64, std::vector<float>(64 * 64), std::vector<float>(64, 1.0f), std::vector<float>(64)};
    for (std::size_t i = 0; i < 64; ++i)
        sys.a[i * 65] = 2;
    setUp(sys);
    controls.stopIn = 1;  // the run's first poll goes on, any later one stops
    cmdSolution_Click(form);
    EXPECT_EQ(f.state.iter, 2);
}

// Runs that end early: the message shown (or none), iter, txtEr and txtTime as they were, busy no more.
TEST_P(SolveCommands, RunsThatEndEarly)
{
    struct Case {
        const char* name;
        char modes;                    // 'm' in memory, 'f' file-backed, 'b' both
        std::function<void()> before;  // the system, and what goes wrong
        std::vector<bool> clicks;      // Find  solution (true) or Next Iteration
        std::string message;           // shown after every click, or nothing when empty
        std::function<void()> after;   // what else is left
        int iter = 1;
        const char* ended = "Failed";  // the status line's first word after the last click
    };
    const std::string zeroColumn = fileBacked() ? f.state.msgBadFile : "NoSolution";
    const std::string noMemory = fileBacked() ? "" : f.state.msgNoMemory;
    const auto noChecks = [] {};
    const auto failAllocations = [&](int k) {
        setUp(triangular);
        f.state.iter = 4;
        f.state.allocationsLeft = k;
    };
    const Case cases[] = {
        // The message, then the sweep fails after X(1) moved.
        {"zero column", 'b', [&] { setUp(System{2, {1, 0, 2, 0}, {1, 1}, {0, 0}}); }, {true}, zeroColumn,
         [&] { EXPECT_EQ(solution(1) + " " + solution(2), "0.6 0"); }, 1, fileBacked() ? "Failed" : "No solution"},
        {"a square out of range", 'b', [&] { setUp(System{1, {1E+20f}, {1}, {0}}); }, {false, true}, "",
         [&] { EXPECT_EQ(solution(1), "0"); }, 1, "Overflow"},
        {"no memory at once", 'b', [&] { failAllocations(0); }, {true}, noMemory, noChecks},
        {"no memory later", 'b', [&] { failAllocations(2); }, {true}, noMemory, noChecks},
        {"no memory in Next Iteration", 'b', [&] { failAllocations(1), f.state.iter = 1; }, {false}, noMemory,
         [&] {
             cmdIter_Click(form);  // nothing is left half-done
             EXPECT_EQ(f.state.iter, 2);
             EXPECT_EQ(text(Control::txtEr), "0.5");
         }},
        // A(1,1) is loaded before the first placeholder stops the loading.
        {"placeholders left", 'm',
         [&] {
             f.state.N = 2, f.state.StorageMode = i16(1), f.state.iter = 1;
             f.grid.fill_data(2);
             f.grid.setText(1, 1, "5", f.state.separator);
         },
         {true, false}, f.state.msgIncomplete, [&] { EXPECT_EQ(f.state.A(1, 1), 5.0f); }},
        {"a start value that is no number", 'm', [&] { setUp(triangular), f.grid.setText(2, 7, "x", "."); }, {true},
         f.state.msgIncomplete, [&] { EXPECT_EQ(f.state.B[2], 1.0f); }},
        {"no scratch file", 'f', [&] { setUp(triangular), QFile::remove(dir.file("data.sle")); }, {true, false},
         f.state.msgBadFile, noChecks},
        {"a scratch file without b(2)", 'f', [&] { enter(f, dir, triangular, true, 5); }, {true, false},
         f.state.msgBadFile, [&] { EXPECT_EQ(f.state.R[1], -3.0f); }},  // the first row was read
        {"records lost between clicks", 'f',
         [&] { setUp(triangular), cmdIter_Click(form), QFile::resize(dir.file("data.sle"), 4 * 128); }, {false},
         f.state.msgBadFile, noChecks, 2},
        // Another program put a copy in its place: the window lets go of it.
        {"replaced between clicks", 'f',
         [&] {
             setUp(triangular), cmdIter_Click(form), QFile::copy(dir.file("data.sle"), dir.file("copy.sle"));
             QFile::remove(dir.file("data.sle")), QFile::rename(dir.file("copy.sle"), dir.file("data.sle"));
         },
         {false, true}, f.state.msgBadFile, [&] { EXPECT_FALSE(f.state.connected()); }, 2},
    };
    for (const Case& c : cases) {
        if (c.modes != 'b' && c.modes != (fileBacked() ? 'f' : 'm'))
            continue;
        SCOPED_TRACE(c.name);
        c.before();
        f.user.messages.clear();
        controls.setText(Control::txtTime, "old");
        const std::string er = text(Control::txtEr);
        for (bool find : c.clicks)
            find ? cmdSolution_Click(form) : cmdIter_Click(form);
        f.state.allocationsLeft = -1;
        EXPECT_EQ(f.user.messages, std::vector<std::string>(c.message.empty() ? 0 : c.clicks.size(), c.message));
        EXPECT_EQ(std::tuple(int(f.state.iter), text(Control::txtEr), text(Control::txtTime)), std::tuple(c.iter, er, "old"));
        EXPECT_EQ(ended(), c.ended + std::string(": 0 sweeps, iter ") + std::to_string(c.iter));
        EXPECT_FALSE(controls.busy());
        c.after();
    }
}

// load_grid against reading every cell in order, each text parsed under the separator in force
// at the load: on systems written under mixed separators (a number the grid kept under one must
// not stand for a text read under another), with now and then one cell that is no number, a
// placeholder, beyond the float range, or outside a grid laid out too small.
TEST(LoadGrid, GivesWhatParsingEachTextInOrderGives)
{
    const std::string separators[] = {".", ",", "\xd9\xab"};
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + int(rng() % 24), laidOut = rng() % 8 ? n : n - 1;
        const std::string& typed = separators[rng() % 3];
        const int bad = int(rng() % (2 * n * (n + 2)));  // past the last cell half of the time
        SystemGrid g;
        g.fill_data(i16(laidOut));
        for (int i = 1, k = 0; i <= laidOut; ++i)
            for (int c = 1; c <= 2 * laidOut + 3; c += 2, ++k)
                if (k != bad || rng() % 4) {
                    const float v = float(rng() % 2001) / 8 - 125;
                    const std::string text = k == bad ? (rng() % 2 ? "x" : "-4E+38") : FormatSingle(v, typed);
                    g.setText(i, c, text, separators[rng() % 5 % 3]);
                }
        WorkingState got, want;
        got.separator = want.separator = rng() % 4 ? typed : separators[rng() % 3];
        for (WorkingState* s : {&got, &want})
            s->N = i16(n), s->A.allocate(n), allocate(s->B, n), allocate(s->X, n);
        std::string raised[2];
        try {
            load_grid(got, g);
        } catch (const QuentaError& e) {
            raised[0] = typeid(e).name();
        }
        try {
            for (int i = 1; i <= n; ++i) {
                for (int j = 1; j <= n; ++j)
                    want.A(i, j) = ParseSingle(g.text(i, aColumn(j)), want.separator);
                want.B[i] = ParseSingle(g.text(i, bColumn(i16(n))), want.separator);
                want.X[i] = ParseSingle(g.text(i, xColumn(i16(n))), want.separator);
            }
        } catch (const QuentaError& e) {
            raised[1] = typeid(e).name();
        }
        ASSERT_EQ(raised[0], raised[1]) << round;
        for (int j = 1; j <= n; ++j)
            ASSERT_EQ(std::memcmp(got.A.column(j), want.A.column(j), sizeof(float) * (n + 1)), 0) << round;
        ASSERT_EQ(std::memcmp(got.B.data(), want.B.data(), sizeof(float) * (n + 1)), 0) << round;
        ASSERT_EQ(std::memcmp(got.X.data(), want.X.data(), sizeof(float) * (n + 1)), 0) << round;
    }
}

TEST_P(SolveCommands, CounterOverflowEndsARunThatNeverSettles)
{
    // Nearly parallel columns: er shrinks by a tiny step each sweep for far more than 32767
    // sweeps, and a negative eps is never reached.
    setUp(System{2, {1, 1, 1, 1.001f}, {2, 2.001f}, {0, 0}});
    controls.setText(Control::txtEps, "-1");
    controls.setText(Control::txtTime, "old");
    cmdSolution_Click(form);
    EXPECT_EQ(std::tuple(int(f.state.iter), text(Control::txtTime), text(Control::txtEr)),
              std::tuple(32767, "old", FormatSingle(f.state.er, ".")));
    EXPECT_GT(f.state.er, 0.0f);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(ended(), "Sweep limit reached: 32767 sweeps, iter 32767");

    // Next Iteration still sweeps, then fails to count: er moves on, iter and txtTime stay.
    const float before = f.state.er;
    cmdIter_Click(form);
    EXPECT_NE(f.state.er, before);
    EXPECT_EQ(std::tuple(int(f.state.iter), text(Control::txtTime), text(Control::txtEr)),
              std::tuple(32767, "old", FormatSingle(f.state.er, ".")));
    EXPECT_EQ(ended(), "Sweep limit reached: 1 sweep, iter 32767");
}

// The status line's size of the residual against A X - B in double, on a system whose residual
// has a negative component twice the positive one: er = 0.42 <= eps hides max |r| = 0.84, and
// the line says so.
TEST_P(SolveCommands, TheResidualsSizeInDoubleAndTheNegativeComponents)
{
    const System sys{2, {1, 2, 3, 4}, {1, 0}, {0, 0}};
    setUp(sys);
    cmdSolution_Click(form);
    std::smatch m;
    const std::string status = text(Control::sbrStatus);
    ASSERT_TRUE(std::regex_match(status, m, std::regex("Desired accuracy reached: 1 sweep, iter 2; max \\|r\\| = (.+), "
                                                     "‖r‖ = (.+), ‖r‖/‖b‖ = (.+) "
                                                     "\\(negative residuals are not counted by the accuracy\\)")))
        << status;
    double largest = 0, sum = 0;
    for (int i = 1; i <= 2; ++i) {
        const double r = double(sys.at(i, 1)) * f.state.X[1] + double(sys.at(i, 2)) * f.state.X[2] - sys.b[std::size_t(i - 1)];
        largest = std::max(largest, std::abs(r));
        sum += r * r;
    }
    EXPECT_EQ(text(Control::txtEr), "0.42");
    EXPECT_NEAR(ParseSingle(m[1].str(), "."), largest, 1e-6);
    EXPECT_NEAR(ParseSingle(m[2].str(), "."), std::sqrt(sum), 1e-6);
    EXPECT_NEAR(ParseSingle(m[3].str(), "."), std::sqrt(sum) / std::hypot(sys.b[0], sys.b[1]), 1e-6);
    EXPECT_NEAR(largest, 0.84, 0.01);
}

// The check against a direct solve, in both modes: refusals; no error for the exact solution and the
// right one for another X; a singular matrix is named as such. It changes nothing the next click
// uses: the grid, the arrays, er and iter are as they were.
TEST_P(SolveCommands, CheckAgainstADirectSolve)
{
    // Refused, with a message and nothing done, without a system, above N = 4096, with a cell that
    // is not a number, and with a scratch file that is not the connected one.
    const std::function<void()> refusals[] = {
        [] {},
        [&] { f.state.StorageMode = InMemory, f.state.N = MaxDirectOrder + 1; },
        [&] { f.state.N = 1, f.grid.fill_data(1); },
        [&] { f.state.StorageMode = FileBacked; },
    };
    for (const auto& prepare : refusals) {
        prepare();
        f.user.messages.clear();
        EXPECT_FALSE(check_against_direct(form));
        EXPECT_EQ(f.user.messages.size(), 1u);
    }
    EXPECT_EQ(f.user.messages.back(), f.state.msgBadFile);
    f.user.messages.clear();
    setUp(System{3, {2, 1, 0, 1, 3, 1, 0, 1, 4}, {0, -2, 10}, {1, -2, 3}});  // x* = (1, -2, 3)
    std::optional<DirectCheck> c = check_against_direct(form);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->relativeError + c->maxError, 0.0) << c->relativeError;
    EXPECT_TRUE(c->rcond > 0.05 && c->rcond <= 1) << c->rcond;
    setUp(System{2, {2, 0, 0, 4}, {2, 8}, {0.5f, 2}});  // x* = (1, 2)
    cmdIter_Click(form);
    const auto state = [&] {
        const WorkingState& s = f.state;
        return std::tuple(reference::bits(s.X), reference::bits(s.R), reference::bits(s.ColNorm2), s.er, s.iter,
                          solution(1) + " " + solution(2), f.grid.text(1, 1));
    };
    const auto before = state();
    c = check_against_direct(form);
    ASSERT_TRUE(c);
    EXPECT_DOUBLE_EQ(c->maxError, std::abs(ParseSingle(solution(1), ".") - 1.0));
    EXPECT_EQ(state(), before);
    setUp(System{2, {1, 2, 2, 4}, {1, 2}, {0, 0}});
    c = check_against_direct(form);
    ASSERT_TRUE(c && c->singular());
    EXPECT_NE(describe(*c, ".").find("singular"), std::string::npos);
    EXPECT_TRUE(f.user.messages.empty());
}

// The file-backed runs read the packed copy only while its header names the connected data.sle
// and N. The copy here holds another system: a run that reads it ends at that system's X, one
// that falls back to data.sle at the X the in-memory run gives, bit for bit.
TEST(PackedCopy, ACopyThatDoesNotMatchFallsBackToTheRecords)
{
    const System a{3, {4, 1, 0, 1, 5, 1, 0, 1, 6}, {1, 2, 3}, {0, 0, 0}}, b{3, {4, 1, 0, 1, 5, 1, 0, 1, 7}, {1, 2, 4}, {0, 0, 0}};
    const auto solved = [&b](const System& sys, bool file, const std::function<void(const QString&)>& change) {
        TempProgramDir dir;
        FakeForm f(dir.path());
        enter(f, dir, sys, file);
        if (file) {
            testing::write_packed(dir.file("data.sle"), b);  // vouches for data.sle, holds b
            change(dir.file("data.sle.packed"));
        }
        cmdSolution_Click(f.form);
        EXPECT_TRUE(f.user.messages.empty());
        return reference::bits(f.state.X);
    };
    const auto records = solved(a, false, {}), copy = solved(b, false, {});
    ASSERT_NE(records, copy);
    const auto setHeader = [](const QString& path, int at, std::int32_t value) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(at));
        file.write(reinterpret_cast<const char*>(&value), sizeof value);
    };
    const struct {
        const char* name;
        std::function<void(const QString&)> change;
        bool fromCopy;
    } cases[] = {
        {"matching", [](const QString&) {}, true},
        {"missing", [](const QString& p) { QFile::remove(p); }, false},
        {"short", [](const QString& p) { QFile::resize(p, QFileInfo(p).size() - 4); }, false},
        {"headerless", [](const QString& p) { QFile::resize(p, 0), QFile::resize(p, PackedLayout::of(3).bytes()); }, false},
        {"another order", [&](const QString& p) { setHeader(p, 8, 2); }, false},
        {"another data.sle", [&](const QString& p) { setHeader(p, 40, 12345); }, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(solved(a, true, c.change), c.fromCopy ? copy : records) << c.name;
}

} // namespace
} // namespace quenta
