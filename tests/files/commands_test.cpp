// File > Open and File > Save with scripted dialogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <string>
#include <vector>

#include "files/commands.h"
#include "files/samples.h"
#include "files_env.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using V = std::vector<std::string>;
constexpr testing::Msg Bad = &WorkingState::msgBadFile, NoMemory = &WorkingState::msgNoMemory;
const std::string SaveFailed = " Sorry, the file could not be saved.";

std::string canonical(const QString& p) { return QFileInfo(p).canonicalFilePath().toStdString(); }

TEST(Open, SamplesGiveTheirSystemWithZerosAndEnableTheCommands)
{
    FilesEnv e;
    create_samples(e.form);
    e.state.iter = 7;
    e.user.files = {e.data("sample1.txt"), e.data("sample2.txt")};
    Open_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(canonical(e.user.dialogFolders.at(0)), canonical(e.data("")));
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(e.data("")));
    EXPECT_EQ(e.state.CD_FileName, e.data("sample1.txt"));
    ASSERT_EQ(e.state.N, 4);
    std::string bytes = e.dir.read("data/sample1.txt"), want = "5x12:";
    for (std::size_t eol; (eol = bytes.find(" \r\n")) != std::string::npos; bytes.erase(0, eol + 3))
        want += (want.size() > 5 ? "; " : " ") + bytes.substr(0, eol);
    EXPECT_EQ(e.shown(), want + " | 0 0 0 0");
    EXPECT_EQ(e.text(Control::txtN), "4");
    EXPECT_EQ(e.text(Control::txtEps), "0.4");
    EXPECT_EQ(e.state.StorageMode, std::optional<i16>(1));
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(e.on(c));
    EXPECT_EQ(e.state.iter, 1);
    EXPECT_EQ(e.state.A.order(), 4);
    for (auto* v : {&e.state.B, &e.state.X, &e.state.R, &e.state.ColNorm2})
        EXPECT_EQ(*v, std::vector<float>(5, 0.0f));

    Open_Click(e.form);
    EXPECT_EQ(e.text(Control::txtN), "16");
    EXPECT_EQ(e.text(Control::txtEps), "1.6");
}

TEST(Open, CancelledOrWithoutADataFolderChangesNothing)
{
    FilesEnv e;
    e.state.CD_FileName = "/remembered/path.txt";
    e.state.N = 3;
    e.state.iter = 5;
    e.user.files = {std::nullopt};
    Open_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    QDir(e.data("")).removeRecursively();
    Open_Click(e.form);  // no dialog: an unscripted one would fail the test
    EXPECT_EQ(e.user.messages, e.msgs({Bad}));
    EXPECT_EQ(e.user.dialogFolders.size(), 1u);
    EXPECT_EQ(e.state.CD_FileName, "/remembered/path.txt");
    EXPECT_EQ(e.state.N, 3);
    EXPECT_EQ(e.state.iter, 5);
    EXPECT_FALSE(e.state.StorageMode);
    EXPECT_FALSE(e.on(Control::cmdA));
    EXPECT_EQ(e.text(Control::txtEps), "0.5");
}

// A missing file keeps the old system but the command completes; a folder chosen ends it with
// nothing after the failure done.
TEST(Open, MissingFileCompletesAnUnreadableChoiceDoesNot)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    e.user.files = {e.data("s.txt"), e.data("gone.txt")};
    Open_Click(e.form);
    e.state.iter = 4;
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({&WorkingState::msgNoFile}));
    EXPECT_EQ(e.shown(), "3x8: 1 2 3; 4 5 6 | 0 0");
    EXPECT_EQ(e.state.iter, 1);
    EXPECT_EQ(e.state.CD_FileName, e.data("gone.txt"));

    FilesEnv f;
    QDir().mkpath(f.data("folder"));
    f.user.files = {f.data("folder")};
    Open_Click(f.form);
    EXPECT_EQ(f.user.messages, f.msgs({Bad}));
    EXPECT_FALSE(f.state.StorageMode);
    EXPECT_FALSE(f.on(Control::cmdSolution));
}

TEST(Open, NoNumberOnTheFirstLineOrNoArraysEndInNoMemory)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "\r\n1 2 3\r\n");
    e.state.iter = 3;
    e.user.files = {e.data("s.txt")};
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({Bad, NoMemory}));
    EXPECT_EQ(e.state.N, -1);
    EXPECT_EQ(e.text(Control::txtN), "-1");
    EXPECT_EQ(e.text(Control::txtEps), FormatTenth(-1));
    EXPECT_EQ(e.state.iter, 3);
    EXPECT_EQ(e.state.StorageMode, std::optional<i16>(1));

    FilesEnv f;
    f.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    f.state.iter = 3;
    f.user.files = {f.data("s.txt")};
    alloc_testing::failAllocationsAfter(2);
    Open_Click(f.form);
    alloc_testing::resetAllocationFailures();
    EXPECT_EQ(f.user.messages, f.msgs({NoMemory}));
    EXPECT_EQ(f.state.R.size(), 3u);  // the arrays allocated before the failure stay
    EXPECT_EQ(f.state.ColNorm2.size(), 3u);
    EXPECT_EQ(f.state.iter, 3);
    EXPECT_EQ(f.text(Control::txtEps), "0.2");
}

// An entered system of texts without blanks (placeholders left standing among them) goes
// through Save and Open unchanged, its approximation through the solution file.
TEST(Save, InMemoryRoundTripWritesTheExactBytes)
{
    FilesEnv e;
    const int n = 37;
    e.state.N = n;
    e.grid.fill_data(n);
    e.state.StorageMode = i16(1);
    unsigned seed = 7;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 8) % 1000; };
    const char* odd[] = {"abc", "1,5", "-0", "1e-3", "+4", "a(9,9)", "\t", "1.2.3"};
    std::string system, solution, shown = "38x78:", shownX;
    for (int i = 1; i <= n; ++i) {
        shown += i > 1 ? ";" : "";
        for (int k = 1; k <= n + 1; ++k) {
            std::string t = next() % 10 == 0 ? odd[next() % 8] : std::to_string(next()) + "." + std::to_string(next());
            if (next() % 17 == 0)
                t = e.grid.text(i, 2 * k - 1);  // a placeholder
            e.grid.setText(i, 2 * k - 1, t);
            system += t + " ";
            shown += " " + t;
        }
        system += "\r\n";
        const std::string x = FormatSingle(static_cast<float>(next()) / 7.0f);
        e.grid.setText(i, 2 * n + 3, x);
        solution += x + " ";
        shownX += " " + x;
    }
    e.user.files = {e.data("r.txt")};
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(canonical(e.user.dialogFolders.at(0)), canonical(e.data("")));
    EXPECT_EQ(e.state.CD_FileName, e.data("r.txt"));
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(e.data("solutions")));
    EXPECT_EQ(e.dir.read("data/r.txt"), system);
    EXPECT_EQ(e.dir.read("data/solutions/r.txt"), solution + "\r\n");

    testing::FakeForm other(e.dir.path());  // a form that knows nothing of the system
    other.user.files = {e.data("r.txt")};
    Open_Click(other.form);
    EXPECT_TRUE(other.user.messages.empty());
    EXPECT_EQ(testing::shown_grid(other.grid), shown + " |" + shownX);
}

void enter_system(FilesEnv& e)
{
    e.state.N = 2;
    e.grid.fill_data(2);
    const char* texts[] = {"2", "1", "3", "0.8", "1", "3", "5", "1.4"};
    for (int k = 0; k < 8; ++k)
        e.grid.setText(1 + k / 4, k % 4 == 3 ? 7 : 2 * (k % 4) + 1, texts[k]);
    e.state.StorageMode = i16(1);
}

TEST(Save, NoToTheSystemStillHandlesTheSolution)
{
    FilesEnv e;
    enter_system(e);
    e.dir.write("data/sys.txt", "old system");
    e.dir.write("data/solutions/sys.txt", "old solution");
    const std::string ask = e.state.msgReplace;
    const V asked{ask + e.data("sys.txt").toStdString(), ask + e.dir.file("data/solutions/sys.txt").toStdString()};
    e.user.files = {e.data("sys.txt"), e.data("sys.txt")};
    e.user.yesNoAnswers = {false, true, false, false};
    Save_Click(e.form);
    EXPECT_EQ(e.user.messages, asked);
    EXPECT_EQ(e.dir.read("data/sys.txt"), "old system");
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.8 1.4 \r\n");
    e.grid.setText(1, 7, "9");
    Save_Click(e.form);
    EXPECT_EQ(e.user.messages.size(), 4u);
    EXPECT_EQ(e.dir.read("data/sys.txt"), "old system");
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.8 1.4 \r\n");
}

// A cancelled dialog writes nothing; a subfolder gets its solution folder made; outside the
// data folder only the system is kept.
TEST(Save, WhereTheSolutionGoes)
{
    FilesEnv e;
    enter_system(e);
    e.state.CD_FileName = e.data("before.txt");
    QDir().mkpath(e.data("sub"));
    QDir().mkpath(e.dir.file("elsewhere"));
    e.user.files = {std::nullopt, e.data("sub/sys.txt"), e.dir.file("elsewhere/sys.txt")};
    Save_Click(e.form);
    EXPECT_EQ(e.state.CD_FileName, e.data("before.txt"));
    EXPECT_EQ(QDir(e.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sub"});

    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.dir.read("data/sub/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");
    EXPECT_EQ(e.dir.read("data/solutions/sub/sys.txt"), "0.8 1.4 \r\n");

    Save_Click(e.form);
    EXPECT_EQ(e.dir.read("elsewhere/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");
    ASSERT_EQ(e.user.messages.size(), 1u);
    EXPECT_NE(e.user.messages[0].find("data folder"), std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(e.data("solutions/sys.txt")));
}

TEST(Save, FailuresAreToldWithThePathAndKeepWhatWasWritten)
{
    // The message, after the replace question (answered Yes) when the file exists.
    auto failed = [](const FilesEnv& e, const char* name, bool asked = false) {
        const std::string path = e.dir.file(name).toStdString();
        return asked ? V{e.state.msgReplace + path, SaveFailed + path} : V{SaveFailed + path};
    };
    auto save = [](FilesEnv& e, const char* chosen) {
        e.user.files = {e.data(chosen)};
        e.user.yesNoAnswers = {true};
        Save_Click(e.form);
    };
    FilesEnv a;  // the system's name is taken by a folder
    enter_system(a);
    QDir().mkpath(a.data("taken.txt"));
    save(a, "taken.txt");
    EXPECT_EQ(a.user.messages, failed(a, "data/taken.txt", true));
    EXPECT_FALSE(QFileInfo::exists(a.data("solutions")));  // the command ended there

    FilesEnv b;  // the solutions folder cannot be made: a file has its name
    enter_system(b);
    b.dir.write("data/solutions", "a file");
    save(b, "sys.txt");
    EXPECT_EQ(b.user.messages, failed(b, "data/solutions/sys.txt"));
    EXPECT_EQ(b.dir.read("data/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");  // written before stays
    EXPECT_EQ(b.dir.read("data/solutions"), "a file");

    FilesEnv c;  // a folder in the chosen path that does not exist
    enter_system(c);
    save(c, "nowhere/sys.txt");
    EXPECT_EQ(c.user.messages, failed(c, "data/nowhere/sys.txt"));
    EXPECT_FALSE(QFileInfo::exists(c.data("solutions")));

    FilesEnv d;  // writing fails in the middle of the file: the old one stays whole, nothing beside it
    enter_system(d);
    d.grid.setRows(2);
    d.dir.write("data/sys.txt", "old contents");
    save(d, "sys.txt");
    EXPECT_EQ(d.user.messages, failed(d, "data/sys.txt", true));
    EXPECT_EQ(d.dir.read("data/sys.txt"), "old contents");
    EXPECT_EQ(QDir(d.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sys.txt"});

    FilesEnv f;  // no data folder: no dialog
    enter_system(f);
    QDir(f.data("")).removeRecursively();
    Save_Click(f.form);
    EXPECT_EQ(f.user.messages, failed(f, "data"));
}

TEST(Save, FileBackedWritesOnlyTheSolutionUnderTheRememberedName)
{
    FilesEnv e;
    e.dir.write("data/big/sys.txt", "1 2 3\r\n4 5 6\r\n");
    e.state.N = 2;
    e.state.StorageMode = i16(2);
    e.state.CD_FileName = e.data("big/sys.txt");
    e.grid.fill_x(2, std::vector<float>{0, 0.25f, -3});
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_TRUE(e.user.dialogFolders.empty());
    EXPECT_EQ(e.dir.read("data/big/sys.txt"), "1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(e.dir.read("data/solutions/big/sys.txt"), "0.25 -3 \r\n");
}

} // namespace
} // namespace quenta
