// What a desktop program is asked for besides its menus: the command line, a file dropped on the
// window, File > Recent, and the window's place remembered between runs.
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSettings>

#include "app/command_line.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

TEST(CommandLine, FilesAndOptions)
{
    using L = CommandLine::Load;
    const QString here = QDir::currentPath();
    struct Case { QStringList args; L load; QString path; bool quit; int exitCode; };
    const Case cases[] = {
        {{}, L::None, "", false, 0},
        {{"sys.txt"}, L::Open, here + "/sys.txt", false, 0},
        {{"/x/sys.txt"}, L::Open, "/x/sys.txt", false, 0},
        {{"--connect", "big.txt"}, L::Connect, here + "/big.txt", false, 0},
        {{"--help"}, L::None, "", true, 0},
        {{"--version"}, L::None, "", true, 0},
        {{"a.txt", "b.txt"}, L::None, "", true, 2},
        {{"--bogus"}, L::None, "", true, 2},
    };
    for (const Case& c : cases) {
        const CommandLine got = parse_command_line(QStringList{"quenta"} + c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(std::tuple(got.load, got.path, got.quit, got.exitCode), std::tuple(c.load, c.path, c.quit, c.exitCode));
        EXPECT_EQ(got.output.isEmpty(), !c.quit);
    }
    EXPECT_TRUE(parse_command_line({"quenta", "--version"}).output.contains(QCoreApplication::applicationVersion()));
}

namespace {

// The entries of File > Recent as their captions show them.
QStringList recentCaptions(frmMain& w)
{
    QStringList out;
    for (QAction* a : w.findChild<QMenu*>("Recent")->actions())
        out.append(a->text());
    return out;
}

// Drags path onto the window and drops it there; whether the window took it.
bool drop(frmMain& w, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &dropped);
    return dropped.isAccepted();
}

} // namespace

// A dropped file is opened, a file named as the command line names it is connected; File >
// Recent offers both with the command each was loaded with, and one whose file has gone says so
// and leaves the list. A new window with the same settings has the list and the old window's
// size; a settings file that is not one is ignored. During a run nothing new can be loaded.
TEST(Launch, DropRecentAndSettings)
{
    TempProgramDir settingsDir;
    const QString ini = settingsDir.file("quenta.conf");
    const auto settings = [&ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    Started app(emptyDataFolder);
    app.dir.write("data/a.txt", "4 1 5\r\n1 3 4\r\n");
    app.dir.write("data/b.txt", "2 0 0 2\r\n0 2 0 2\r\n0 0 2 2\r\n");
    app.w().useSettings(settings());
    EXPECT_TRUE(drop(app.w(), app.dir.file("data/a.txt")));
    app.waitRun();
    EXPECT_EQ(std::pair(int(app.state().N), app.state().StorageMode), std::pair(2, std::optional<i16>(InMemory)));
    app.w().load(CommandLine::Load::Connect, app.dir.file("data/b.txt"));
    app.waitRun();
    EXPECT_EQ(std::pair(int(app.state().N), app.state().StorageMode), std::pair(3, std::optional<i16>(FileBacked)));
    EXPECT_EQ(recentCaptions(app.w()), (QStringList{"&1 b.txt (Connect)", "&2 a.txt"}));
    app.w().findChild<QMenu*>("Recent")->actions()[1]->trigger();  // a.txt, opened again
    app.waitRun();
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(InMemory));
    EXPECT_EQ(recentCaptions(app.w()), (QStringList{"&1 a.txt", "&2 b.txt (Connect)"}));
    ASSERT_TRUE(QFile::remove(app.dir.file("data/b.txt")));
    app.w().findChild<QMenu*>("Recent")->actions()[1]->trigger();
    EXPECT_EQ(app.user.messages, Texts{app.state().msgNoFile});
    EXPECT_EQ(recentCaptions(app.w()), QStringList{"&1 a.txt"});

    // During a run neither a drop nor File > Recent loads anything.
    bool dropped = true, recentOn = true;
    QObject::connect(&app.w(), &frmMain::runStarting, &app.w(), [&] {
        dropped = drop(app.w(), app.dir.file("data/a.txt"));
        recentOn = app.w().findChild<QMenu*>("Recent")->isEnabled();
    }, Qt::SingleShotConnection);
    app.click(Control::cmdSolution);
    EXPECT_FALSE(dropped || recentOn);

    app.w().resize(app.w().size() + QSize(120, 80));
    const QSize grown = app.w().size();
    app.w().close();
    {
        Started again(emptyDataFolder);
        again.w().useSettings(settings());
        EXPECT_EQ(recentCaptions(again.w()), QStringList{"&1 a.txt"});
        EXPECT_EQ(again.w().size(), grown);
    }
    app.window.reset();  // no settings object of this file is left to write it back

    settingsDir.write("quenta.conf", std::string("\x01\xff[recent]\nfiles=\"open:relative.txt\", 7\n[window]\ngeometry=@ByteArray(junk)\n"));
    Started fresh(emptyDataFolder);
    fresh.w().useSettings(settings());
    EXPECT_EQ(recentCaptions(fresh.w()), QStringList{});
    EXPECT_EQ(fresh.w().size(), fresh.w().minimumSizeHint());
}
