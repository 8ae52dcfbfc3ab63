// File > Open and File > Save with scripted dialogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

const std::string SaveFailed = " Sorry, the file could not be saved.";

bool enabled(const FilesEnv& e, Control c) { return e.ff.controls.isEnabled(c); }

std::string canonical(const QString& p) { return QFileInfo(p).canonicalFilePath().toStdString(); }

TEST(Open, Sample1WithoutASolution)
{
    FilesEnv e;
    create_samples(e.form);
    e.state.iter = 7;
    e.user.files = {e.data("sample1.txt")};
    Open_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    ASSERT_EQ(e.user.dialogFolders.size(), 1u);
    EXPECT_EQ(canonical(e.user.dialogFolders[0]), canonical(e.data("")));
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(e.data("")));
    EXPECT_EQ(e.state.CD_FileName, e.data("sample1.txt"));

    ASSERT_EQ(e.state.N, 4);
    const std::string bytes = e.dir.read("data/sample1.txt");
    std::size_t pos = 0;
    for (int i = 1; i <= 4; ++i) {
        const std::size_t eol = bytes.find("\r\n", pos);
        std::string line = bytes.substr(pos, eol - pos);
        pos = eol + 2;
        V want;
        for (std::size_t s = 0, sp; (sp = line.find(' ', s)) != std::string::npos; s = sp + 1)
            want.push_back(line.substr(s, sp - s));
        EXPECT_EQ(e.row(i), want);
        EXPECT_EQ(e.solution(i), "0");
    }
    EXPECT_EQ(e.ff.controls.text(Control::txtN), "4");
    EXPECT_EQ(e.ff.controls.text(Control::txtEps), "0.4");
    ASSERT_TRUE(e.state.StorageMode);
    EXPECT_EQ(*e.state.StorageMode, 1);
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(enabled(e, c));
    EXPECT_EQ(e.state.iter, 1);
    EXPECT_EQ(e.state.A.order(), 4);
    for (auto* v : {&e.state.B, &e.state.X, &e.state.R, &e.state.ColNorm2})
        EXPECT_EQ(*v, std::vector<float>(5, 0.0f));
}

TEST(Open, ProposesATenthOfNAsTheAccuracy)
{
    for (auto [n, eps] : {std::pair{16, "1.6"}, {25, "2.5"}, {1, "0.1"}}) {
        FilesEnv e;
        std::string line;
        for (int k = 0; k <= n; ++k)
            line += "1 ";
        e.dir.write("data/s.txt", line + "\r\n");
        e.user.files = {e.data("s.txt")};
        Open_Click(e.form);
        EXPECT_EQ(e.ff.controls.text(Control::txtEps), eps);
        EXPECT_EQ(e.ff.controls.text(Control::txtN), std::to_string(n));
    }
}

TEST(Open, CancelledDialogChangesNothing)
{
    FilesEnv e;
    e.state.CD_FileName = "/remembered/path.txt";
    e.state.N = 3;
    e.state.iter = 5;
    e.user.files = {std::nullopt};
    Open_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.CD_FileName, "/remembered/path.txt");
    EXPECT_EQ(e.state.N, 3);
    EXPECT_EQ(e.state.iter, 5);
    EXPECT_FALSE(e.state.StorageMode);
    EXPECT_FALSE(enabled(e, Control::cmdA));
    EXPECT_EQ(e.ff.controls.text(Control::txtEps), "0.5");
}

TEST(Open, MissingDataFolderShowsNoDialog)
{
    FilesEnv e;
    QDir(e.data("")).removeRecursively();
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
    EXPECT_TRUE(e.user.dialogFolders.empty());
    EXPECT_FALSE(e.state.StorageMode);
}

TEST(Open, MissingFileKeepsTheOldSystemButCompletes)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    e.user.files = {e.data("s.txt"), e.data("gone.txt")};
    Open_Click(e.form);
    e.state.iter = 4;
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, V{e.state.msgNoFile});
    EXPECT_EQ(e.state.N, 2);
    EXPECT_EQ(e.row(2), (V{"4", "5", "6"}));
    EXPECT_EQ(e.state.iter, 1);
    EXPECT_EQ(e.state.CD_FileName, e.data("gone.txt"));
}

TEST(Open, UnreadableChoiceIsFailureA)
{
    FilesEnv e;
    QDir().mkpath(e.data("folder"));
    e.user.files = {e.data("folder")};
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
    EXPECT_FALSE(e.state.StorageMode);  // the steps after the failure are not done
    EXPECT_FALSE(enabled(e, Control::cmdSolution));
}

TEST(Open, FirstLineWithoutNumbersEndsInNoMemory)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "\r\n1 2 3\r\n");
    e.state.iter = 3;
    e.user.files = {e.data("s.txt")};
    Open_Click(e.form);
    EXPECT_EQ(e.user.messages, (V{e.state.msgBadFile, e.state.msgNoMemory}));
    EXPECT_EQ(e.state.N, -1);
    EXPECT_EQ(e.ff.controls.text(Control::txtN), "-1");
    EXPECT_EQ(e.ff.controls.text(Control::txtEps), FormatTenth(-1));
    EXPECT_EQ(e.state.iter, 3);
    ASSERT_TRUE(e.state.StorageMode);
    EXPECT_EQ(*e.state.StorageMode, 1);
}

TEST(Open, ArraysThatCannotBeHadEndInNoMemory)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    e.state.iter = 3;
    e.user.files = {e.data("s.txt")};
    alloc_testing::failAllocationsAfter(2);
    Open_Click(e.form);
    alloc_testing::resetAllocationFailures();
    EXPECT_EQ(e.user.messages, V{e.state.msgNoMemory});
    EXPECT_EQ(e.state.R.size(), 3u);
    EXPECT_EQ(e.state.ColNorm2.size(), 3u);
    EXPECT_EQ(e.state.iter, 3);
    EXPECT_EQ(e.ff.controls.text(Control::txtEps), "0.2");
}

// ----------------------------------------------------------------------------------------------

void enter_system(FilesEnv& e)
{
    e.state.N = 2;
    e.grid.fill_data(2);
    const char* texts[2][3] = {{"2", "1", "3"}, {"1", "3", "5"}};
    for (int i = 1; i <= 2; ++i)
        for (int k = 1; k <= 3; ++k)
            e.grid.setText(i, 2 * k - 1, texts[i - 1][k - 1]);
    e.grid.setText(1, 7, "0.8");
    e.grid.setText(2, 7, "1.4");
    e.state.StorageMode = i16(1);
}

TEST(Save, InMemoryWritesSystemAndSolutionThenOpenReadsThemBack)
{
    FilesEnv e;
    enter_system(e);
    e.user.files = {e.data("sys.txt")};
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(canonical(e.user.dialogFolders.at(0)), canonical(e.data("")));
    EXPECT_EQ(e.dir.read("data/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.8 1.4 \r\n");
    EXPECT_EQ(e.state.CD_FileName, e.data("sys.txt"));
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(e.data("solutions")));


    // Open the saved pair in a form that knows nothing of it.
    testing::FakeForm other(e.dir.path());
    other.user.files = {e.data("sys.txt")};
    Open_Click(other.form);
    EXPECT_TRUE(other.user.messages.empty());
    ASSERT_EQ(other.state.N, 2);
    EXPECT_EQ(other.grid.text(2, 1), "1");
    EXPECT_EQ(other.grid.text(2, 5), "5");
    EXPECT_EQ(other.grid.text(1, 7), "0.8");
    EXPECT_EQ(other.grid.text(2, 7), "1.4");
}

TEST(Save, NoToTheSystemStillHandlesTheSolution)
{
    FilesEnv e;
    enter_system(e);
    e.dir.write("data/sys.txt", "old system");
    e.dir.write("data/solutions/sys.txt", "old solution");
    e.user.files = {e.data("sys.txt")};
    e.user.yesNoAnswers = {false, true};
    Save_Click(e.form);
    const std::string ask = e.state.msgReplace;
    EXPECT_EQ(e.user.messages, (V{ask + e.data("sys.txt").toStdString(),
                                  ask + e.dir.file("data/solutions/sys.txt").toStdString()}));
    EXPECT_EQ(e.dir.read("data/sys.txt"), "old system");
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.8 1.4 \r\n");

    e.user.messages.clear();
    e.user.files = {e.data("sys.txt")};
    e.user.yesNoAnswers = {false, false};
    Save_Click(e.form);
    EXPECT_EQ(e.user.messages.size(), 2u);
    EXPECT_EQ(e.dir.read("data/sys.txt"), "old system");
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.8 1.4 \r\n");
}

TEST(Save, SubfolderGetsItsSolutionFolderMade)
{
    FilesEnv e;
    enter_system(e);
    QDir().mkpath(e.data("sub/deeper"));
    e.user.files = {e.data("sub/deeper/sys.txt")};
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.dir.read("data/sub/deeper/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");
    EXPECT_EQ(e.dir.read("data/solutions/sub/deeper/sys.txt"), "0.8 1.4 \r\n");
}

TEST(Save, CancelledDialogWritesNothing)
{
    FilesEnv e;
    enter_system(e);
    e.state.CD_FileName = e.data("before.txt");
    e.user.files = {std::nullopt};
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.CD_FileName, e.data("before.txt"));
    EXPECT_TRUE(QDir(e.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(Save, OutsideTheDataFolderKeepsOnlyTheSystem)
{
    FilesEnv e;
    enter_system(e);
    QDir().mkpath(e.dir.file("elsewhere"));
    e.user.files = {e.dir.file("elsewhere/sys.txt")};
    Save_Click(e.form);
    EXPECT_EQ(e.dir.read("elsewhere/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");
    ASSERT_EQ(e.user.messages.size(), 1u);
    EXPECT_NE(e.user.messages[0].find("data folder"), std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(e.data("solutions/sys.txt")));
}

TEST(Save, FailuresAreToldWithThePath)
{
    {   // the system file's name is taken by a folder
        FilesEnv e;
        enter_system(e);
        QDir().mkpath(e.data("taken.txt"));
        e.user.files = {e.data("taken.txt")};
        e.user.yesNoAnswers = {true};
        Save_Click(e.form);
        ASSERT_EQ(e.user.messages.size(), 2u);
        EXPECT_EQ(e.user.messages[1], SaveFailed + e.data("taken.txt").toStdString());
        EXPECT_FALSE(QFileInfo::exists(e.data("solutions")));  // the command ended there
    }
    {   // the solutions folder cannot be made: a file has its name
        FilesEnv e;
        enter_system(e);
        e.dir.write("data/solutions", "a file");
        e.user.files = {e.data("sys.txt")};
        Save_Click(e.form);
        EXPECT_EQ(e.dir.read("data/sys.txt"), "2 1 3 \r\n1 3 5 \r\n");  // written before stays
        EXPECT_EQ(e.user.messages, V{SaveFailed + e.dir.file("data/solutions/sys.txt").toStdString()});
        EXPECT_EQ(e.dir.read("data/solutions"), "a file");
    }
    {   // a folder in the dialog's path that does not exist
        FilesEnv e;
        enter_system(e);
        e.user.files = {e.data("nowhere/sys.txt")};
        Save_Click(e.form);
        EXPECT_EQ(e.user.messages, V{SaveFailed + e.data("nowhere/sys.txt").toStdString()});
        EXPECT_FALSE(QFileInfo::exists(e.data("solutions/nowhere/sys.txt")));
    }
    {   // no data folder: no dialog
        FilesEnv e;
        enter_system(e);
        QDir(e.data("")).removeRecursively();
        Save_Click(e.form);
        ASSERT_EQ(e.user.messages.size(), 1u);
        EXPECT_EQ(e.user.messages[0].rfind(SaveFailed, 0), 0u);
        EXPECT_TRUE(e.user.dialogFolders.empty());
    }
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
    EXPECT_TRUE(e.user.dialogFolders.empty());  // no dialog
    EXPECT_EQ(e.dir.read("data/big/sys.txt"), "1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(e.dir.read("data/solutions/big/sys.txt"), "0.25 -3 \r\n");
}

} // namespace
} // namespace quenta
