// Whole uses of the program through the real window: typing a system in and solving it, the
// sample systems, Open and Save, Connect and the file-backed solve.
#include <QFileInfo>
#include <QStringList>

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

// The solution column of the in-memory layout (column 2N+3), rows 1..N, as the view shows it.
std::vector<std::string> solutionColumn(Started& app)
{
    const int n = app.state().N;
    std::vector<std::string> out;
    const bool fileBacked = app.w().grid().cols() == 2;
    for (int i = 1; i <= n; ++i)
        out.push_back(app.shown(i, fileBacked ? 1 : 2 * n + 3));
    return out;
}

using Texts = std::vector<std::string>;

void triggerMenu(Started& app, const char* name)
{
    QAction* a = app.w().findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(a, nullptr) << name;
    a->trigger();
}

// The lines of a text file, split at CR LF, each split at runs of blanks.
std::vector<QStringList> rowsOf(const std::string& bytes)
{
    std::vector<QStringList> rows;
    for (const QString& line : QString::fromStdString(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        rows.push_back(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    return rows;
}

} // namespace

TEST(EndToEnd, TriangularSystemOneSweepThenNextIteration)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);  // eps 0.5 as started

    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.text(Control::txtEr), "0.5");
    EXPECT_EQ(solutionColumn(app), (Texts{"3", "0.5"}));
    EXPECT_EQ(app.state().iter, 2);
    // The duration is a number of seconds.
    const std::string time = app.text(Control::txtTime);
    ASSERT_FALSE(time.empty());
    EXPECT_GE(ParseSingle(time), 0.0f);

    // Next Iteration goes on with the same run, one sweep per click, without a stop test.
    app.click(Control::cmdIter);
    EXPECT_EQ(app.text(Control::txtEr), "0.25");
    EXPECT_EQ(solutionColumn(app), (Texts{"2.5", "0.75"}));
    EXPECT_EQ(app.state().iter, 3);
    app.click(Control::cmdIter);
    EXPECT_EQ(app.text(Control::txtEr), "0.125");
    EXPECT_EQ(solutionColumn(app), (Texts{"2.25", "0.875"}));
    EXPECT_EQ(app.state().iter, 4);
    EXPECT_TRUE(app.user.messages.empty());
    // The busy cursor is gone after every command.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(EndToEnd, TriangularSystemWithASmallerAccuracy)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.type(Control::txtEps, "0.2");
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.text(Control::txtEr), "0.125");
    EXPECT_EQ(solutionColumn(app), (Texts{"2.25", "0.875"}));
    EXPECT_EQ(app.state().iter, 4);
    EXPECT_EQ(app.state().eps, 0.2f);
}

TEST(EndToEnd, SecondRunStartsFromTheShownApproximation)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.text(Control::txtEr), "0.25");
    EXPECT_EQ(solutionColumn(app), (Texts{"2.5", "0.75"}));
    EXPECT_EQ(app.state().iter, 2);
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
    EXPECT_EQ(solutionColumn(app), (Texts{"2.5", "0.75"}));

    // Find  solution reads the grid again: A = (2 1; 0 1) from (2.5, 0.75).
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.text(Control::txtEr), "0.125");
    EXPECT_EQ(solutionColumn(app), (Texts{"1.125", "0.875"}));
    EXPECT_EQ(app.state().iter, 2);
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(EndToEnd, PlaceholdersLeftShowMsgIncomplete)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 1, "1");
    app.acceptB(1, "3");
    app.type(Control::txtEr, "before");
    app.type(Control::txtTime, "earlier");

    app.click(Control::cmdSolution);
    app.click(Control::cmdIter);
    EXPECT_EQ(app.user.messages, (Texts{kMsgIncomplete, kMsgIncomplete}));
    EXPECT_EQ(app.text(Control::txtEr), "before");
    EXPECT_EQ(app.text(Control::txtTime), "earlier");
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_EQ(solutionColumn(app), (Texts{"0", "0"}));
}

TEST(EndToEnd, AccuracyThatIsNoNumberShowsMsgFormat)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);
    app.type(Control::txtEps, "abc");
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{kMsgFormat});
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_EQ(app.state().iter, 2);
    EXPECT_EQ(app.text(Control::txtEr), "0.5");
    EXPECT_EQ(solutionColumn(app), (Texts{"3", "0.5"}));
}

TEST(EndToEnd, ArraysThatDoNotFitShowMsgNoMemory)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    alloc_testing::failAllocationsAfter(0);
    app.click(Control::cmdSolution);
    alloc_testing::resetAllocationFailures();
    EXPECT_EQ(app.user.messages, Texts{kMsgNoMemory});
    EXPECT_EQ(app.state().iter, 1);
    EXPECT_EQ(app.text(Control::txtEr), "");
    // The next run builds again and solves.
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.text(Control::txtEr), "0.5");
}

TEST(EndToEnd, ZeroColumnSaysNoSolutionAndEndsSilently)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 1, "1");
    app.acceptA(1, 2, "0");
    app.acceptA(2, 2, "0");
    app.acceptA(2, 1, "1");
    app.acceptB(1, "1");
    app.acceptB(2, "1");
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{"NoSolution"});
    EXPECT_EQ(app.text(Control::txtTime), "");
    EXPECT_EQ(solutionColumn(app)[1], "0");
    EXPECT_NE(solutionColumn(app)[0], "0");
}

TEST(EndToEnd, FirstStartWritesTheSamplesAndTheSecondNone)
{
    TempProgramDir dir;
    {
        RecordingDialogs user;
        frmMain w(dir.path(), &user);
        EXPECT_TRUE(user.messages.empty());
    }
    const int orders[] = {4, 16, 64, 256};
    std::string sample1;
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const std::string bytes = dir.read(QStringLiteral("data/sample%1.txt").arg(k));
        if (k == 1)
            sample1 = bytes;
        const auto rows = rowsOf(bytes);
        const int n = orders[k - 1];
        ASSERT_EQ(static_cast<int>(rows.size()), n);
        for (const QStringList& row : rows) {
            ASSERT_EQ(row.size(), n + 1);
            for (const QString& number : row) {
                const float v = ParseSingle(number.toStdString());
                EXPECT_GE(v, 0.0f);
                EXPECT_LT(v, 1000.0f);
            }
        }
    }
    // Second start: nothing is written, not even what is missing.
    ASSERT_TRUE(QFile::remove(dir.file("data/sample4.txt")));
    {
        RecordingDialogs user;
        frmMain w(dir.path(), &user);
        EXPECT_EQ(w.state().N, 0);
    }
    EXPECT_FALSE(QFileInfo(dir.file("data/sample4.txt")).exists());
    EXPECT_EQ(dir.read("data/sample1.txt"), sample1);
}

TEST(EndToEnd, OpenSample1)
{
    Started app;
    const auto rows = rowsOf(app.dir.read("data/sample1.txt"));
    ASSERT_EQ(rows.size(), 4u);
    app.user.files.push_back(app.dir.file("data/sample1.txt"));
    triggerMenu(app, "Open");

    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.state().N, 4);
    for (int i = 1; i <= 4; ++i)
        for (int k = 1; k <= 5; ++k)
            EXPECT_EQ(app.shown(i, 2 * k - 1), rows[i - 1][k - 1].toStdString()) << i << "," << k;
    EXPECT_EQ(solutionColumn(app), (Texts{"0", "0", "0", "0"}));
    EXPECT_EQ(app.text(Control::txtN), "4");
    EXPECT_EQ(app.text(Control::txtEps), "0.4");
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(1));
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(app.w().control(c)->isEnabled());
    EXPECT_EQ(app.state().iter, 1);
    // The opened system solves.
    app.click(Control::cmdIter);
    EXPECT_FALSE(app.text(Control::txtEr).empty());
    EXPECT_EQ(app.state().iter, 2);
}

TEST(EndToEnd, OpenReportsMissingAndBadFiles)
{
    Started app(emptyDataFolder);
    app.user.files.push_back(app.dir.file("data/none.txt"));
    triggerMenu(app, "Open");
    EXPECT_EQ(app.user.messages, Texts{kMsgNoFile});

    app.dir.write("data/bad.txt", "1 2 3\r\n4 5\r\n");  // a short second line
    app.user.files.push_back(app.dir.file("data/bad.txt"));
    triggerMenu(app, "Open");
    EXPECT_EQ(app.user.messages, (Texts{kMsgNoFile, kMsgBadFile}));
}

TEST(EndToEnd, SaveWritesTheSystemAndItsSolution)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.click(Control::cmdSolution);
    app.user.files.push_back(app.dir.file("data/sys.txt"));
    triggerMenu(app, "Save");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.dir.read("data/sys.txt"), "1 1 3 \r\n0 1 1 \r\n");
    EXPECT_EQ(app.dir.read("data/solutions/sys.txt"), "3 0.5 \r\n");

    // Saving again: No keeps the system file, the solution file is asked about on its own.
    app.click(Control::cmdIter);
    app.user.files.push_back(app.dir.file("data/sys.txt"));
    app.user.yesNoAnswers = {false, true};
    triggerMenu(app, "Save");
    ASSERT_EQ(app.user.messages.size(), 2u);
    for (const std::string& m : app.user.messages)
        EXPECT_EQ(m.rfind(kMsgReplace, 0), 0u) << m;
    EXPECT_EQ(app.dir.read("data/solutions/sys.txt"), "2.5 0.75 \r\n");

    // Open brings the saved system back with its approximation, after a new N wiped the grid.
    app.acceptN("3");
    app.user.files.push_back(app.dir.file("data/sys.txt"));
    triggerMenu(app, "Open");
    EXPECT_EQ(app.state().N, 2);
    EXPECT_EQ(solutionColumn(app), (Texts{"2.5", "0.75"}));
    EXPECT_EQ(app.shown(1, 3), "1");
    EXPECT_EQ(app.shown(2, 1), "0");
    EXPECT_EQ(app.shown(2, 5), "1");
    EXPECT_EQ(app.user.messages.size(), 2u);
}

TEST(EndToEnd, ConnectSolveSaveAndConnectAgain)
{
    Started app;
    app.user.files.push_back(app.dir.file("data/sample2.txt"));
    triggerMenu(app, "Connect");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(2));
    EXPECT_EQ(app.state().N, 16);
    EXPECT_EQ(app.text(Control::txtN), "16");
    EXPECT_EQ(app.text(Control::txtEps), "1.6");
    EXPECT_EQ(app.w().grid().rows(), 17);
    EXPECT_EQ(app.w().grid().cols(), 2);
    EXPECT_EQ(app.shown(0, 0), "Solution");
    EXPECT_EQ(app.shown(7, 0), "X(7)=");
    EXPECT_EQ(solutionColumn(app), Texts(16, "0"));
    EXPECT_TRUE(app.w().control(Control::cmdSolution)->isEnabled());
    EXPECT_TRUE(app.w().control(Control::cmdIter)->isEnabled());

    app.click(Control::cmdSolution);
    const Texts solved = solutionColumn(app);
    EXPECT_NE(solved, Texts(16, "0"));
    EXPECT_FALSE(app.text(Control::txtEr).empty());

    const int dialogs = app.user.opens + app.user.saves;
    triggerMenu(app, "Save");
    EXPECT_EQ(app.user.opens + app.user.saves, dialogs) << "Save shows no dialog in the file-backed mode";
    EXPECT_TRUE(app.user.messages.empty());
    const auto saved = rowsOf(app.dir.read("data/solutions/sample2.txt"));
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(saved[0][i].toStdString(), solved[i]);

    // A fresh window connects the same file and starts from the saved approximation.
    app.window.reset();
    Started again([&](TempProgramDir& d) {
        QDir().mkpath(d.file("data/solutions"));
        d.write("data/sample2.txt", app.dir.read("data/sample2.txt"));
        d.write("data/solutions/sample2.txt", app.dir.read("data/solutions/sample2.txt"));
    });
    again.user.files.push_back(again.dir.file("data/sample2.txt"));
    triggerMenu(again, "Connect");
    EXPECT_EQ(solutionColumn(again), solved);
    EXPECT_TRUE(again.user.messages.empty());
}

TEST(EndToEnd, FileBackedSweepsMatchTheInMemoryOnes)
{
    Started memory;
    Started file([](TempProgramDir& d) { emptyDataFolder(d); });
    file.dir.write("data/sample2.txt", memory.dir.read("data/sample2.txt"));

    memory.user.files.push_back(memory.dir.file("data/sample2.txt"));
    triggerMenu(memory, "Open");
    file.user.files.push_back(file.dir.file("data/sample2.txt"));
    triggerMenu(file, "Connect");
    ASSERT_TRUE(memory.user.messages.empty());
    ASSERT_TRUE(file.user.messages.empty());

    // A whole run from the zero start, then single sweeps that continue it.
    memory.click(Control::cmdSolution);
    file.click(Control::cmdSolution);
    const int sweeps = memory.state().iter;
    EXPECT_EQ(file.state().iter, sweeps);
    EXPECT_EQ(memory.text(Control::txtEr), file.text(Control::txtEr));
    EXPECT_EQ(solutionColumn(memory), solutionColumn(file));
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        memory.click(Control::cmdIter);
        file.click(Control::cmdIter);
        EXPECT_EQ(memory.text(Control::txtEr), file.text(Control::txtEr));
        EXPECT_EQ(solutionColumn(memory), solutionColumn(file));
        EXPECT_EQ(memory.state().iter, sweeps + k);
        EXPECT_EQ(file.state().iter, sweeps + k);
    }
    EXPECT_TRUE(memory.user.messages.empty());
    EXPECT_TRUE(file.user.messages.empty());
}
