// A solve on the worker, watched, stopped and continued through the real window.
#include <QFileInfo>
#include <QSignalSpy>
#include <cstring>

#include "app/frmChart.h"
#include "app_fixture.h"
#include "common/systems.h"
#include "model/numbers.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// Nearly equal rows: the method needs many sweeps, and a sweep has several progress points.
void writeSlowSystem(TempProgramDir& dir)
{
    emptyDataFolder(dir);
    write_system(dir.data("slow.txt"), 640, [](int i, int j) { return j <= 640 ? 100 + i * j % 7 : i % 10; });
}

void load(Started& app, bool fileBacked)
{
    app.menu(fileBacked ? "Connect" : "Open", "slow.txt");
    app.type(Control::txtEps, "0");
    app.type(Control::txtEr, "");
}

// Starts "Find  solution" and returns once it has shown an accuracy, i.e. after a whole sweep.
void startAndWatch(Started& app)
{
    QSignalSpy shown(app.edit(Control::txtEr), &QLineEdit::textChanged);
    QTest::mouseClick(qobject_cast<QPushButton*>(app.w().control(Control::cmdSolution)), Qt::LeftButton);
    ASSERT_TRUE(app.w().running());
    EXPECT_EQ(app.w().control(Control::cmdSolution)->property("text").toString(), "Stop");
    for (Control c : {Control::txtN, Control::cmdN, Control::txtA, Control::cmdB, Control::txtIndex1, Control::cmdIter})
        EXPECT_FALSE(app.w().control(c)->isEnabled());
    for (const char* a : {"Open", "Save", "Connect", "PasteSystem"})
        EXPECT_FALSE(app.w().findChild<QAction*>(a)->isEnabled()) << a;
    for (const char* a : {"Exit", "About", "UserGuide"})
        EXPECT_TRUE(app.w().findChild<QAction*>(a)->isEnabled()) << a;
    ASSERT_TRUE(shown.wait(60000));
}

} // namespace

// Stopped by Esc, then continued with Next Iteration: the same X, bit for bit, as the same number
// of whole sweeps without a stop, and the grid shows it.
TEST(SolveRun, StopThenContinueMatchesAnUninterruptedRun)
{
    for (bool fileBacked : {false, true}) {
        SCOPED_TRACE(fileBacked);
        Started stopped(writeSlowSystem);
        load(stopped, fileBacked);
        QTest::keyClick(stopped.edit(Control::txtEps), Qt::Key_T, Qt::ControlModifier);  // the chart
        auto* chart = stopped.w().findChild<frmChart*>();
        ASSERT_TRUE(chart && chart->isVisible());
        startAndWatch(stopped);
        QTest::keyClick(&stopped.w(), Qt::Key_Escape);
        stopped.waitRun();
        EXPECT_EQ(stopped.w().control(Control::cmdSolution)->property("text").toString(), "Find  solution");
        EXPECT_TRUE(stopped.w().control(Control::cmdN)->isEnabled());
        EXPECT_FALSE(stopped.text(Control::txtTime).empty());
        EXPECT_EQ(stopped.text(Control::txtEr), FormatSingle(stopped.state().er, "."));
        ASSERT_GE(stopped.state().iter, 2);
        stopped.click(Control::cmdIter, 2);
        const int sweeps = stopped.state().iter - 1;
        EXPECT_EQ(chart->points(), sweeps);  // one point a whole sweep, the stopped one once

        Started whole(writeSlowSystem);
        load(whole, fileBacked);
        whole.click(Control::cmdIter, sweeps);
        const std::vector<float>& x = stopped.state().X;
        ASSERT_EQ(whole.state().X.size(), x.size());
        EXPECT_EQ(std::memcmp(whole.state().X.data(), x.data(), x.size() * sizeof(float)), 0);
        EXPECT_EQ(whole.solution(), stopped.solution());
        EXPECT_EQ(whole.text(Control::txtEr), stopped.text(Control::txtEr));
        EXPECT_TRUE(stopped.user.messages.empty());
        load(stopped, fileBacked);
        EXPECT_EQ(chart->points(), 0);  // a new system, a new history
    }
}

// Exit during a file-backed run stops it first; the files stay as they were.
TEST(SolveRun, ExitDuringARunEndsCleanly)
{
    Started app(writeSlowSystem);
    load(app, true);
    const std::string scratch = app.dir.read("data.sle"), system = app.dir.read("data/slow.txt");
    startAndWatch(app);
    app.menu("Exit");
    EXPECT_FALSE(app.w().running());
    EXPECT_FALSE(app.w().isVisible());
    EXPECT_EQ(app.dir.read("data.sle"), scratch);
    EXPECT_EQ(app.dir.read("data/slow.txt"), system);
    EXPECT_TRUE(app.user.messages.empty());

    // Exit while Save asks whether to replace the system file: the stop answers No for the user,
    // and the solution file, which needs no question, is not written either.
    Started saving([](TempProgramDir& dir) { emptyDataFolder(dir), dir.write("data/sys.txt", "old"); });
    saving.acceptN("1");
    saving.user.files.push_back(saving.dir.file("data/sys.txt"));
    saving.user.yesNoAnswers = {true};
    saving.user.onAsk = [&saving] { saving.w().close(); };
    saving.menu("Save");
    EXPECT_FALSE(saving.w().running() || saving.w().isVisible());
    EXPECT_EQ(saving.dir.read("data/sys.txt"), "old");
    EXPECT_FALSE(QFileInfo::exists(saving.dir.file("data/solutions/sys.txt")));
}

// Esc as Open starts reading: the window keeps the system, the approximation and the grid it had.
// Esc as Connect starts reading: the scratch file no longer holds a system and its packed copy is
// gone, so "Find  solution" is refused as after a failed Connect, and the stops themselves say
// nothing.
TEST(SolveRun, StoppedOpenChangesNothingStoppedConnectRefusesTheSolve)
{
    Started app([](TempProgramDir& dir) {
        emptyDataFolder(dir);
        dir.write(QStringLiteral("data/two.txt"), "4 1 5\r\n1 3 4\r\n");
        dir.write(QStringLiteral("data/three.txt"), "2 0 0 2\r\n0 2 0 2\r\n0 0 2 2\r\n");
    });
    const auto seen = [&app] { return summary(app.w().form()) + " | " + shown(app.w().grid()); };
    app.menu("Open", "two.txt");
    app.click(Control::cmdIter);
    const std::string before = seen();
    app.stopNextRun();
    app.menu("Open", "three.txt");
    EXPECT_EQ(seen(), before);
    app.menu("Connect", "two.txt");
    app.stopNextRun();
    app.menu("Connect", "three.txt");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_FALSE(QFileInfo::exists(app.dir.file(QStringLiteral("data.sle.packed"))));  // two.txt's copy went too
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{app.state().msgBadFile});
}
