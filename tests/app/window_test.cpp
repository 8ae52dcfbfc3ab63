// The main window as created and loaded: captions that fit, growing, the state that loading
// leaves, and the samples of the first start.
#include <QProcess>
#include <QStatusBar>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "app/startup.h"
#include "common/captions.h"
#include "model/messages.h"
#include "model/numbers.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

TEST(MainWindow, CaptionsFitAndGrowingGivesTheRoomToTheGrid)
{
    Started app;
    frmMain& w = app.w();
    expectCaptionsFit(w);
    EXPECT_EQ(w.size(), w.minimumSizeHint());  // opens at its smallest size
    // The client area at its least size, the status bar below it: the window is that much taller.
    EXPECT_EQ(w.centralWidget()->size(), w.centralWidget()->minimumSize());
    EXPECT_EQ(w.statusBar()->geometry().top(), w.centralWidget()->geometry().bottom() + 1);
    EXPECT_LT(w.layoutScale(), 2.0);  // enlarged only as far as the captions need, here a little

    // Grown, the window gives the extra room to the grid and moves the controls down with it.
    const QRect grid = w.gridView()->geometry(), n = w.control(Control::cmdN)->geometry();
    const QRect eps = w.control(Control::txtEps)->geometry(), index = w.findChild<QFrame*>("frmIndex(2)")->geometry();
    w.resize(w.size() + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.gridView()->geometry(), grid.adjusted(0, 0, 300, 200));
    EXPECT_EQ(w.control(Control::cmdN)->geometry(), n.translated(0, 200));
    EXPECT_EQ(w.control(Control::txtEps)->geometry(), eps.translated(0, 200));
    EXPECT_EQ(w.findChild<QFrame*>("frmIndex(2)")->geometry(), index.translated(0, 200));
}

// The first start writes the samples (their content is checked with the files) and leaves the
// entry buttons closed until a system exists; the next start writes nothing, not even what is
// missing; an empty data folder of its own gets nothing either.
TEST(MainWindow, StartUpStateAndSamplesOnTheFirstStartOnly)
{
    {
        Started app;
        frmMain& w = app.w();
        EXPECT_EQ(app.state().N, 256);
        EXPECT_FALSE(app.state().StorageMode.has_value());
        EXPECT_EQ(app.text(Control::txtEps), "0.5");
        EXPECT_TRUE(w.control(Control::cmdN)->isEnabled());
        EXPECT_EQ(w.grid().rows() * w.grid().cols(), 4);
        app.type(Control::txtA, "1");
        for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter}) {
            EXPECT_FALSE(w.control(c)->isEnabled());
            app.click(c);  // ignored
        }
        EXPECT_EQ(app.shown(1, 1), "");
        EXPECT_EQ(app.state().iter, 1);
        ASSERT_TRUE(QFile::remove(app.dir.file("data/sample3.txt")));
        const std::string sample1 = app.dir.read("data/sample1.txt");
        frmMain again(ProgramDir(app.dir.path()), &app.user);
        EXPECT_EQ(again.state().N, 0);
        EXPECT_FALSE(QFileInfo(app.dir.file("data/sample3.txt")).exists());
        EXPECT_EQ(app.dir.read("data/sample1.txt"), sample1);
        EXPECT_TRUE(app.user.messages.empty());
    }
    QLocale::setDefault(QLocale(QLocale::German));  // a comma locale starts with its own separator
    Started app(emptyDataFolder);
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(QDir(app.dir.file("data")).isEmpty());
    EXPECT_EQ(app.state().N, 0);
    EXPECT_EQ(app.text(Control::txtEps), "0,5");
    EXPECT_EQ(app.state().eps, 0.5f);
    EXPECT_TRUE(app.user.messages.empty()) << "no msgFormat at start-up";
    // A data folder that cannot be made: start-up names the folder, the window still opens, and
    // Open says the folder is bad.
    Started blocked([](TempProgramDir& dir) { dir.write("data", "not a folder"); });
    EXPECT_TRUE(blocked.w().isVisible());
    blocked.menu("Open");
    EXPECT_EQ(blocked.user.opens, 0);
    ASSERT_EQ(blocked.user.messages.size(), 2u);
    EXPECT_NE(blocked.user.messages[0].find(blocked.dir.path().toStdString() + ". "), std::string::npos);
    EXPECT_EQ(blocked.user.messages[1], blocked.state().msgBadFile);
    EXPECT_EQ(blocked.dir.read("data"), "not a folder");
}

// A copy that may write its folder keeps its data there. An installed copy (help pages in
// ../share/quenta) keeps it in the user's folder even where it may write, as root may
// everywhere. A copy in a folder its user cannot write keeps it in the user's folder, writes the
// samples there and starts its dialogs there; when that folder cannot be written either,
// start-up names both and Open finds no data folder. That copy runs as an unprivileged user.
TEST(StartUp, WhereTheDataLives)
{
    TempProgramDir t;
    t.write("usr/share/quenta/about.htm", "");
    EXPECT_EQ(ProgramDir::locate(t.path(), t.file("user")).scratch(), t.file("data.sle"));
    const ProgramDir installed = ProgramDir::locate(t.file("usr/bin"), t.file("user"));
    EXPECT_EQ(installed.scratchLock(), t.file("user/data.sle.lock"));
    EXPECT_EQ(installed.help(), t.file("usr/share/quenta"));

    const QString program = t.file("program"), open = t.file("open"), shut = t.file("shut");
    for (const QString& folder : {program, open, shut})
        ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUENTA_CHILD), program + "/quenta_child"));
    for (const auto& [folder, mode] : {std::pair{t.path(), 0755}, {program, 0555}, {shut, 0555}, {open, 0777}})
        ASSERT_EQ(::chmod(qPrintable(folder), mode), 0);
    // The start-up message names both folders.
    const QString shutOut = "home=" + shut + "/Quenta\nsamples=0\nmessage= .*" + program + " .*" + shut +
                            "/Quenta[.].*\nmessage=" + messages::BadFile + "\n";
    for (const auto& [xdg, pattern] : {std::pair{open, "home=" + open + "/Quenta\nsamples=4\ndialog=" + open + "/Quenta/data\n"},
                                       {shut, shutOut}}) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", open);
        env.insert("XDG_DATA_HOME", xdg);
        child.setProcessEnvironment(env);
        child.start(program + "/quenta_child", ::geteuid() == 0 ? QStringList{"start", "--as-nobody"} : QStringList{"start"});
        ASSERT_TRUE(child.waitForFinished(30000));
        const std::string out = child.readAllStandardOutput().toStdString();
        EXPECT_TRUE(std::regex_match(out, std::regex(pattern.toStdString()))) << out;
    }
    ::chmod(qPrintable(program), 0755);
    ::chmod(qPrintable(shut), 0755);
}

// Loading over a form without a window: the message table comes before the accuracy, so that
// a bad txtEps shows msgFormat with its text.
TEST(FormLoad, BadAccuracyShowsTheLoadedMessageAndLeavesEpsZero)
{
    TempProgramDir dir;
    emptyDataFolder(dir);
    FakeForm f(dir.path());
    f.state.msgFormat.clear();
    f.state.iter = 9;
    f.controls.setText(Control::txtEps, "abc");
    const Control closed[] = {Control::cmdA,      Control::cmdB,      Control::cmdSolution,
                              Control::txtIndex0, Control::txtIndex1, Control::txtIndex2};
    for (Control c : closed)
        f.controls.setEnabled(c, true);
    Form_Load(f.form);
    WorkingState loaded;
    loaded.loadMessages();
    EXPECT_EQ(f.user.messages, Texts{loaded.msgFormat});
    EXPECT_EQ(f.state.eps, 0.0f);
    EXPECT_EQ(f.state.iter, 1);
    for (Control c : closed)
        EXPECT_FALSE(f.controls.isEnabled(c));
    EXPECT_TRUE(f.controls.isEnabled(Control::cmdN));
}
