// Whole uses of the program through the real window: typing a system in and solving it, Open
// and Save, Connect and the file-backed solve.
#include "model/numbers.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// x1 + x2 = 3, x2 = 1, typed in with the spinners.
void typeTriangular(Started& app)
{
    app.acceptN("2");
    app.acceptA(1, 1, "1");
    app.acceptA(1, 2, "1");
    app.acceptA(2, 2, "1");
    app.acceptA(2, 1, "0");
    app.acceptB(1, "3");
    app.acceptB(2, "1");
    ASSERT_TRUE(app.user.messages.empty());
}

} // namespace

TEST(EndToEnd, TriangularSystemSolvedThenContinuedByNextIteration)
{
    struct Sweep {
        const char* er;
        Texts x;
    };
    const Sweep sweeps[] = {{"0.5", {"3", "0.5"}}, {"0.25", {"2.5", "0.75"}}, {"0.125", {"2.25", "0.875"}},
                            {"0.0625", {"2.125", "0.9375"}}};
    // With eps 0.5 the run stops after one sweep, with 0.2 after three.
    for (const auto& [eps, last] : {std::pair{"0.5", 0}, std::pair{"0.2", 2}}) {
        SCOPED_TRACE(eps);
        Started app(emptyDataFolder);
        typeTriangular(app);
        app.type(Control::txtEps, eps);
        app.click(Control::cmdSolution);
        EXPECT_EQ(app.state().eps, ParseSingle(eps));
        EXPECT_GE(ParseSingle(app.text(Control::txtTime)), 0.0f);  // the duration in seconds
        // Next Iteration goes on with the same run, one sweep per click, without a stop test.
        for (int k = last; k < 4; ++k) {
            if (k > last)
                app.click(Control::cmdIter);
            EXPECT_EQ(app.text(Control::txtEr), sweeps[k].er) << k;
            EXPECT_EQ(app.solution(), sweeps[k].x) << k;
            EXPECT_EQ(app.state().iter, k + 2);
        }
        EXPECT_TRUE(app.user.messages.empty());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST(EndToEnd, CoefficientChangedBetweenNextIterationClicks)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);  // X = (3, 0.5)
    app.acceptA(1, 1, "2");
    EXPECT_EQ(app.shown(1, 1), "2");

    // Next Iteration keeps the coefficients its run loaded.
    app.click(Control::cmdIter);
    EXPECT_EQ(app.text(Control::txtEr), "0.25");
    EXPECT_EQ(app.solution(), (Texts{"2.5", "0.75"}));

    // Find  solution reads the grid again: A = (2 1; 0 1) from (2.5, 0.75).
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.text(Control::txtEr), "0.125");
    EXPECT_EQ(app.solution(), (Texts{"1.125", "0.875"}));
    EXPECT_EQ(app.state().iter, 2);
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(EndToEnd, FailedRunsLeaveEverythingAsItWas)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 1, "1");
    app.acceptB(1, "3");
    app.type(Control::txtEr, "before");
    app.type(Control::txtTime, "earlier");
    app.click(Control::cmdSolution);  // placeholders left: msgIncomplete
    app.click(Control::cmdIter);
    EXPECT_EQ(app.user.messages, (Texts{kMsgIncomplete, kMsgIncomplete}));
    EXPECT_EQ(app.text(Control::txtEr), "before");
    EXPECT_EQ(app.text(Control::txtTime), "earlier");
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_EQ(app.solution(), (Texts{"0", "0"}));

    app.user.messages.clear();
    typeTriangular(app);
    app.click(Control::cmdSolution);
    app.type(Control::txtEps, "abc");  // an accuracy that is no number: msgFormat
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{kMsgFormat});
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_EQ(app.state().iter, 2);
    EXPECT_EQ(app.text(Control::txtEr), "0.5");
    EXPECT_EQ(app.solution(), (Texts{"3", "0.5"}));

    app.user.messages.clear();
    app.type(Control::txtEps, "0.5");
    app.acceptA(1, 1, "0");  // column 1 is zero
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{"NoSolution"});
}

TEST(EndToEnd, OpenSample1)
{
    Started app;
    const auto rows = rowsOf(app.dir.read("data/sample1.txt"));
    ASSERT_EQ(rows.size(), 4u);
    app.user.files.push_back(app.dir.file("data/sample1.txt"));
    app.menu("Open");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.state().N, 4);
    for (int i = 1; i <= 4; ++i)
        for (int k = 1; k <= 5; ++k)
            EXPECT_EQ(app.shown(i, 2 * k - 1), rows[i - 1][k - 1].toStdString()) << i << "," << k;
    EXPECT_EQ(app.solution(), Texts(4, "0"));
    EXPECT_EQ(app.text(Control::txtN), "4");
    EXPECT_EQ(app.text(Control::txtEps), "0.4");
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(1));
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(app.w().control(c)->isEnabled());
    EXPECT_EQ(app.state().iter, 1);
    app.click(Control::cmdIter);  // the opened system solves
    EXPECT_FALSE(app.text(Control::txtEr).empty());
    EXPECT_EQ(app.state().iter, 2);
}

TEST(EndToEnd, SaveWritesTheSystemAndItsSolution)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);
    app.user.files.push_back(app.dir.file("data/sys.txt"));
    app.menu("Save");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.dir.read("data/sys.txt"), "1 1 3 \r\n0 1 1 \r\n");
    EXPECT_EQ(app.dir.read("data/solutions/sys.txt"), "3 0.5 \r\n");

    // Saving again: No keeps the system file, the solution file is asked about on its own.
    app.click(Control::cmdIter);
    app.user.files.push_back(app.dir.file("data/sys.txt"));
    app.user.yesNoAnswers = {false, true};
    app.menu("Save");
    ASSERT_EQ(app.user.messages.size(), 2u);
    for (const std::string& m : app.user.messages)
        EXPECT_EQ(m.rfind(kMsgReplace, 0), 0u) << m;
    EXPECT_EQ(app.dir.read("data/sys.txt"), "1 1 3 \r\n0 1 1 \r\n");
    EXPECT_EQ(app.dir.read("data/solutions/sys.txt"), "2.5 0.75 \r\n");
}

// Connect sample2.txt against Open of the same file: the same sweeps, then Save and a second
// Connect that starts from the saved approximation.
TEST(EndToEnd, ConnectSolveSaveAndConnectAgain)
{
    Started memory;
    Started file(emptyDataFolder);
    file.dir.write("data/sample2.txt", memory.dir.read("data/sample2.txt"));
    memory.user.files.push_back(memory.dir.file("data/sample2.txt"));
    memory.menu("Open");
    file.user.files.push_back(file.dir.file("data/sample2.txt"));
    file.menu("Connect");
    EXPECT_EQ(file.state().StorageMode, std::optional<i16>(2));
    EXPECT_EQ(file.state().N, 16);
    EXPECT_EQ(file.text(Control::txtN), "16");
    EXPECT_EQ(file.text(Control::txtEps), "1.6");
    EXPECT_EQ(file.w().grid().rows(), 17);
    EXPECT_EQ(file.w().grid().cols(), 2);
    EXPECT_EQ(file.shown(0, 0), "Solution");
    EXPECT_EQ(file.shown(7, 0), "X(7)=");
    EXPECT_EQ(file.solution(), Texts(16, "0"));
    EXPECT_TRUE(file.w().control(Control::cmdSolution)->isEnabled());
    EXPECT_TRUE(file.w().control(Control::cmdIter)->isEnabled());

    // A whole run from the zero start, then single sweeps that continue it.
    memory.click(Control::cmdSolution);
    file.click(Control::cmdSolution);
    const int sweeps = memory.state().iter;
    for (int k = 0; k <= 4; ++k) {
        SCOPED_TRACE(k);
        if (k > 0) {
            memory.click(Control::cmdIter);
            file.click(Control::cmdIter);
        }
        EXPECT_EQ(memory.text(Control::txtEr), file.text(Control::txtEr));
        EXPECT_EQ(memory.solution(), file.solution());
        EXPECT_EQ(memory.state().iter, sweeps + k);
        EXPECT_EQ(file.state().iter, sweeps + k);
    }
    const Texts solved = file.solution();
    EXPECT_NE(solved, Texts(16, "0"));
    EXPECT_FALSE(file.text(Control::txtEr).empty());

    file.menu("Save");
    EXPECT_EQ(file.user.opens + file.user.saves, 1) << "Save shows no dialog in the file-backed mode";
    const auto saved = rowsOf(file.dir.read("data/solutions/sample2.txt"));
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(saved[0][i].toStdString(), solved[i]);
    EXPECT_TRUE(memory.user.messages.empty());
    EXPECT_TRUE(file.user.messages.empty());

    // A fresh window connects the same file and starts from the saved approximation.
    file.window.reset();
    Started again([&](TempProgramDir& d) {
        d.write("data/sample2.txt", file.dir.read("data/sample2.txt"));
        d.write("data/solutions/sample2.txt", file.dir.read("data/solutions/sample2.txt"));
    });
    again.user.files.push_back(again.dir.file("data/sample2.txt"));
    again.menu("Connect");
    EXPECT_EQ(again.solution(), solved);
    EXPECT_TRUE(again.user.messages.empty());
}
