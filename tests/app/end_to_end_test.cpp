// Whole uses of the program through the real window: typing a system in, solving and saving it,
// and Open against Connect on the same file.
#include <QLabel>
#include <QThread>

#include "scratch/connect.h"
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

// Typed in, solved with eps 0.2 (three sweeps), continued by Next Iteration without a stop test,
// a coefficient changed between clicks (Next Iteration keeps the arrays of its run, Find
// solution reads the grid again), saved; then a zero column fails the run on the worker.
TEST(EndToEnd, TypeSolveContinueChangeAndSave)
{
    Started app(emptyDataFolder);
    typeTriangular(app);
    app.type(Control::txtEps, "0.2");
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.state().eps, 0.2f);
    EXPECT_EQ(app.text(Control::txtEr), "0.125");
    EXPECT_EQ(app.solution(), (Texts{"2.25", "0.875"}));
    EXPECT_EQ(app.state().iter, 4);
    // File > Check Against Direct Solve (x* = (2, 1)): the error of X as shown, nothing changed.
    app.menu("CheckDirect");
    EXPECT_EQ(app.text(Control::sbrStatus).rfind("Error against a direct solve: relative 0.125, largest 0.25, condition", 0), 0u)
        << app.text(Control::sbrStatus);
    EXPECT_EQ(std::pair(app.solution(), int(app.state().iter)), std::pair(Texts{"2.25", "0.875"}, 4));
    app.acceptA(1, 1, "2");
    app.click(Control::cmdIter);
    EXPECT_EQ(app.text(Control::txtEr), "0.0625");
    EXPECT_EQ(app.solution(), (Texts{"2.125", "0.9375"}));
    EXPECT_EQ(app.state().iter, 5);
    app.click(Control::cmdSolution);  // A = (2 1; 0 1) from (2.125, 0.9375)
    EXPECT_EQ(app.text(Control::txtEr), "0.03125");
    EXPECT_EQ(app.solution(), (Texts{"1.03125", "0.96875"}));
    EXPECT_EQ(app.state().iter, 2);
    app.menu("Save", "sys.txt");
    EXPECT_EQ(app.dir.read("data/sys.txt"), "2 1 3 \r\n0 1 1 \r\n");
    EXPECT_EQ(app.dir.read("data/solutions/sys.txt"), "1.03125 0.96875 \r\n");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Saved over both files while the worker writes: each replace question on the window's thread,
    // the solution's once the system file is written; Yes replaces a file, No keeps it.
    app.acceptA(1, 2, "4");
    Texts seen;
    app.user.onAsk = [&] { seen.push_back((QThread::currentThread() == app.w().thread() ? "" : "worker ") + app.dir.read("data/sys.txt")); };
    for (bool yesToSystem : {true, false}) {
        app.user.yesNoAnswers = {yesToSystem, !yesToSystem};
        app.menu("Save", "sys.txt");
        EXPECT_EQ(app.text(Control::sbrStatus), yesToSystem ? "Done: sys.txt saved, solutions/sys.txt kept as it was"
                                                            : "Done: sys.txt kept as it was, solutions/sys.txt saved");
    }
    const std::string older = "2 1 3 \r\n0 1 1 \r\n", newer = "2 4 3 \r\n0 1 1 \r\n";
    EXPECT_EQ(seen, (Texts{older, newer, newer, newer}));
    // Esc as it starts: the file being written is not written, nor is its temporary file left.
    app.stopNextRun();
    app.menu("Save", "other.txt");
    EXPECT_EQ(QDir(app.dir.file("data")).entryList({"other*"}), QStringList());
    EXPECT_EQ(app.text(Control::sbrStatus), "Stopped: other.txt not saved");
    app.user.messages.clear();

    app.acceptA(1, 1, "0");  // column 1 is zero
    app.click(Control::cmdSolution);
    EXPECT_EQ(app.user.messages, Texts{"NoSolution"});
    EXPECT_EQ(app.text(Control::txtEr), "0.03125");
    // The status line's text can be selected with the mouse, a word at a time.
    auto* status = app.w().findChild<QLabel*>("sbrStatus");
    QTest::mouseDClick(status, Qt::LeftButton, {}, QPoint(4, status->height() / 2));
    EXPECT_EQ(status->selectedText(), "No");
}

// Connect sample2.txt against Open of the same file: the same sweeps, then Save, which asks
// nothing in the file-backed mode.
TEST(EndToEnd, OpenAndConnectSolveAlikeAndSaveWithoutADialog)
{
    Started memory;
    Started file(emptyDataFolder);
    file.dir.write("data/sample2.txt", memory.dir.read("data/sample2.txt"));
    memory.menu("Open", "sample2.txt");
    file.menu("Connect", "sample2.txt");
    EXPECT_EQ(memory.text(Control::sbrStatus) + " " + file.text(Control::sbrStatus),
              "Done: opened sample2.txt, N = 16 Done: connected sample2.txt, N = 16");
    EXPECT_EQ(file.state().StorageMode, std::optional<i16>(2));
    EXPECT_EQ(file.solution(), Texts(16, "0"));

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

    file.menu("Save");
    EXPECT_EQ(file.user.opens + file.user.saves, 1) << "Save shows no dialog in the file-backed mode";
    EXPECT_EQ(file.text(Control::sbrStatus), "Done: solutions/sample2.txt saved");
    std::string row;
    for (const std::string& x : solved)
        row += x + " ";
    EXPECT_EQ(file.dir.read("data/solutions/sample2.txt"), row + "\r\n");
    EXPECT_TRUE(memory.user.messages.empty());
    EXPECT_TRUE(file.user.messages.empty());

    // Closed, the window lets go of the scratch file, though the program may go on.
    file.w().close();
    FakeForm next(file.dir.path());
    next.user.files = {file.dir.file("data/sample2.txt")};
    Connect_Click(next.form);
    EXPECT_TRUE(next.user.messages.empty());
}
