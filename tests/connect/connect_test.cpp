// File > Connect: the loader into the scratch file and the switch to the file-backed mode.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "files/commands.h"
#include "scratch/connect.h"

namespace quenta {
namespace {

using testing::FakeForm;
using testing::ScriptedDialogs;
using testing::TempProgramDir;
using V = std::vector<std::string>;

struct Env {
    TempProgramDir dir;
    FakeForm ff{dir.path()};
    WorkingState& state = ff.state;
    ScriptedDialogs& user = ff.user;

    Env() { QDir().mkpath(dir.file("data")); }
    QString data(const QString& name) const { return dir.file("data/" + name); }
    void connect(const std::string& bytes, const QString& name = "sys.txt")
    {
        dir.write("data/" + name, bytes);
        user.files.push_back(data(name));
        Connect_Click(ff.form);
    }
    std::string scratch() const { return dir.read("data.sle"); }
    bool on(Control c) const { return ff.controls.isEnabled(c); }
    std::string text(Control c) const { return ff.controls.text(c); }
};

// Checks that the scratch file holds `values` in records 1, 2, ... byte for byte: the float's
// four little-endian bytes, then 124 zero bytes.
void expect_records(const std::string& file, const std::vector<float>& values)
{
    ASSERT_GE(file.size(), values.size() * 128);
    for (std::size_t r = 0; r < values.size(); ++r) {
        unsigned char want[128] = {};
        std::memcpy(want, &values[r], 4);  // the build machine is little-endian
        EXPECT_EQ(std::memcmp(file.data() + 128 * r, want, 128), 0) << "record " << r + 1;
    }
}

TEST(Connect, TwoLinesMakeSixRecordsAndTheFileBackedLayout)
{
    Env e;
    e.connect("1 2 3\r\n4 5 6\r\n");
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(QFileInfo(e.user.dialogFolders.at(0)).canonicalFilePath(), QFileInfo(e.data("")).canonicalFilePath());
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(e.data("")).canonicalFilePath());
    ASSERT_EQ(e.state.N, 2);
    const std::string file = e.scratch();
    EXPECT_EQ(file.size(), 6u * 128);
    expect_records(file, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(e.text(Control::txtN), "2");
    EXPECT_EQ(e.text(Control::txtEps), "0.2");
    ASSERT_TRUE(e.state.StorageMode);
    EXPECT_EQ(*e.state.StorageMode, 2);
    EXPECT_TRUE(e.on(Control::cmdSolution));
    EXPECT_TRUE(e.on(Control::cmdIter));
    EXPECT_FALSE(e.on(Control::cmdA));
    EXPECT_FALSE(e.on(Control::cmdB));
    EXPECT_EQ(e.state.iter, 1);
    EXPECT_EQ(e.state.X, (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(e.state.R, (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(e.state.ColNorm2, (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(e.state.CD_FileName, e.data("sys.txt"));
    SystemGrid& g = e.ff.grid;
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(g.cols(), 2);
    EXPECT_EQ(g.text(0, 0), "Solution");
    EXPECT_EQ(g.text(1, 0), "X(1)=");
    EXPECT_EQ(g.text(2, 0), "X(2)=");
    EXPECT_EQ(g.text(1, 1), "0");
    EXPECT_EQ(g.text(2, 1), "0");
}

TEST(Connect, EveryLineEndAndOddSpacing)
{
    for (std::string end : {"\r", "\n", "\r\n"}) {
        Env e;
        e.connect("  1.5   -2 " + end + " 3e2 0.25 7" + end);
        EXPECT_TRUE(e.user.messages.empty());
        ASSERT_EQ(e.state.N, 1);
        expect_records(e.scratch(), {1.5f, -2});
        EXPECT_EQ(e.scratch().size(), 2u * 128);
    }
}

TEST(Connect, OneNumberMakesOrderZero)
{
    Env e;
    e.connect("42\r\n");
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.N, 0);
    expect_records(e.scratch(), {42});
    EXPECT_EQ(e.text(Control::txtEps), "0");
    EXPECT_EQ(e.text(Control::txtN), "0");
    EXPECT_EQ(e.ff.grid.rows(), 1);
    EXPECT_EQ(e.ff.grid.text(0, 0), "Solution");
    EXPECT_EQ(*e.state.StorageMode, 2);
}

TEST(Connect, ExtraNumbersAndLinesAreIgnored)
{
    Env e;
    e.connect("1 2 3\r\n4 5 6 98 97\r\n7 8 9\r\nnot numbers\r\n");
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.scratch().size(), 6u * 128);
    expect_records(e.scratch(), {1, 2, 3, 4, 5, 6});
}

TEST(Connect, ShortBlankOrMissingLinesAreAFormatError)
{
    struct Case { std::string text; std::vector<float> written; };
    for (const Case& c : {Case{"1 2 3\r\n4 5\r\n", {1, 2, 3, 4, 5}},
                          Case{"1 2 3\r\n\r\n4 5 6\r\n", {1, 2, 3}},
                          Case{"1 2 3 4\r\n5 6 7 8\r\n", {1, 2, 3, 4, 5, 6, 7, 8}},
                          Case{"1 x 3\r\n4 5 6\r\n", {1}},
                          Case{"1 2 3\r\n4 1e99 6\r\n", {1, 2, 3, 4}},
                          Case{"1 2 3\r\n4\t5 6\r\n", {1, 2, 3}}}) {
        Env e;
        e.connect(c.text);
        EXPECT_EQ(e.user.messages, V{e.state.msgFormat}) << c.text;
        const std::string file = e.scratch();
        EXPECT_EQ(file.size(), c.written.size() * 128) << c.text;  // flushed before the message
        expect_records(file, c.written);
        // The window still switches to the file-backed mode on the N of the first line.
        EXPECT_EQ(*e.state.StorageMode, 2);
        EXPECT_EQ(e.ff.grid.cols(), 2);
        EXPECT_EQ(e.state.iter, 1);
    }
}

// The user hears of a failure only after the records read before it are in the file.
TEST(Connect, RecordsAreOnDiskWhenTheFailureIsShown)
{
    struct SizeAtMessage : testing::ScriptedDialogs {
        QString scratch;
        std::vector<qint64> sizes;
        void message(const std::string& text) override
        {
            sizes.push_back(QFileInfo(scratch).size());
            ScriptedDialogs::message(text);
        }
    };
    TempProgramDir dir;
    QDir().mkpath(dir.file("data"));
    WorkingState state;
    state.loadMessages();
    SystemGrid grid;
    testing::FakeControls controls;
    SizeAtMessage user;
    user.scratch = dir.file("data.sle");
    Form form{state, grid, controls, user, ProgramDir{dir.path()}};
    dir.write("data/s.txt", "1 2 3\r\n4 5 x\r\n");
    std::vector<float> x;
    connect_to_file(form, dir.file("data/s.txt"), x);
    EXPECT_EQ(user.messages, V{state.msgFormat});
    EXPECT_EQ(user.sizes, std::vector<qint64>{5 * 128});
}

TEST(Connect, FirstLineWithoutNumbersLeavesModeAndButtonsAlone)
{
    Env e;
    e.state.iter = 6;
    e.connect("    \r\n1 2 3\r\n");
    EXPECT_EQ(e.user.messages, V{e.state.msgFormat});
    EXPECT_EQ(e.state.N, -1);
    EXPECT_EQ(e.text(Control::txtN), "-1");
    EXPECT_FALSE(e.state.StorageMode);
    EXPECT_FALSE(e.on(Control::cmdSolution));
    EXPECT_FALSE(e.on(Control::cmdIter));
    EXPECT_EQ(e.state.iter, 6);
    EXPECT_EQ(e.scratch(), "");  // created, nothing written
}

TEST(Connect, UnreadableFileWritesNothing)
{
    Env e;
    e.dir.write("data.sle", "keep me");
    QDir().mkpath(e.data("folder"));
    e.user.files = {e.data("folder"), e.data("absent.txt")};
    Connect_Click(e.ff.form);
    Connect_Click(e.ff.form);
    EXPECT_EQ(e.user.messages, (V{e.state.msgBadFile, e.state.msgBadFile}));
    EXPECT_EQ(e.scratch(), "keep me");
    // The command goes on with the previous N (0) and X.
    EXPECT_EQ(e.state.N, 0);
}

TEST(Connect, UnwritableScratchFileIsBadData)
{
    Env e;
    QDir().mkpath(e.dir.file("data.sle"));
    e.connect("1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
    EXPECT_EQ(e.state.N, 0);
}

TEST(Connect, EmptyFileIsAFormatError)
{
    Env e;
    e.connect("");
    EXPECT_EQ(e.user.messages, V{e.state.msgFormat});
    EXPECT_EQ(e.scratch(), "");
}

TEST(Connect, ASecondConnectAfterAFailedOneSucceeds)
{
    Env e;
    e.connect("1 2 3\r\nbad 5 6\r\n", "bad.txt");
    ASSERT_EQ(e.user.messages, V{e.state.msgFormat});
    e.user.messages.clear();
    e.connect("7 8 9\r\n10 11 12\r\n", "good.txt");
    EXPECT_TRUE(e.user.messages.empty());
    expect_records(e.scratch(), {7, 8, 9, 10, 11, 12});
    EXPECT_EQ(e.state.CD_FileName, e.data("good.txt"));
}

TEST(Connect, ASmallerSystemAfterALargerOneKeepsTheFilesLength)
{
    Env e;
    std::string big;
    for (int i = 1; i <= 10; ++i) {
        for (int j = 1; j <= 11; ++j)
            big += std::to_string(100 * i + j) + " ";
        big += "\r\n";
    }
    e.connect(big, "big.txt");
    ASSERT_EQ(e.scratch().size(), 110u * 128);
    e.connect("1 2 3\r\n4 5 6\r\n", "small.txt");
    EXPECT_TRUE(e.user.messages.empty());
    const std::string file = e.scratch();
    EXPECT_EQ(file.size(), 110u * 128);
    expect_records(file, {1, 2, 3, 4, 5, 6, 107, 108, 109, 110, 111, 201});
    EXPECT_EQ(e.ff.grid.rows(), 3);
}

TEST(Connect, StartsFromTheSavedSolution)
{
    Env e;
    e.dir.write("data/solutions/sub/sys.txt", "0.5 0.25 \r\n");
    QDir().mkpath(e.data("sub"));
    e.connect("1 2 3\r\n4 5 6\r\n", "sub/sys.txt");
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.X, (std::vector<float>{0, 0.5f, 0.25f}));
    EXPECT_EQ(e.ff.grid.text(1, 1), "0.5");
    EXPECT_EQ(e.ff.grid.text(2, 1), "0.25");

    Env f;
    f.dir.write("data/solutions/sys.txt", "0.5\r\n");  // one number short
    f.connect("1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(f.user.messages, V{f.state.msgBadFile});
    EXPECT_EQ(f.state.X, (std::vector<float>{0, 0.5f, 0}));
    EXPECT_EQ(*f.state.StorageMode, 2);
}

TEST(Connect, CancelledOrNoDataFolderChangesNothing)
{
    Env e;
    e.state.CD_FileName = e.data("before.txt");
    e.user.files = {std::nullopt};
    Connect_Click(e.ff.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.CD_FileName, e.data("before.txt"));
    EXPECT_FALSE(e.state.StorageMode);
    EXPECT_FALSE(QFileInfo::exists(e.dir.file("data.sle")));

    QDir(e.data("")).removeRecursively();
    Connect_Click(e.ff.form);  // no dialog: an unscripted one would fail the test
    EXPECT_EQ(e.user.dialogFolders.size(), 1u);
    EXPECT_FALSE(e.state.StorageMode);
}

TEST(Connect, ProposesATenthOfN)
{
    Env e;
    std::string text;
    for (int i = 0; i < 25; ++i) {
        for (int j = 0; j < 26; ++j)
            text += i == j ? "2 " : "0 ";
        text += "\n";
    }
    e.connect(text);
    EXPECT_EQ(e.text(Control::txtEps), "2.5");
    EXPECT_EQ(e.state.N, 25);
    EXPECT_EQ(e.scratch().size(), 25u * 26 * 128);
}

// Save after Connect writes the approximation shown in column 1 under the connected file's
// name, and the next Connect of that file starts from it.
TEST(Connect, SaveThenConnectAgainStartsFromTheSavedApproximation)
{
    Env e;
    e.connect("1 2 3\r\n4 5 6\r\n");
    e.ff.grid.setText(1, 1, "0.75");
    e.ff.grid.setText(2, 1, "-1.5");
    Save_Click(e.ff.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.dir.read("data/solutions/sys.txt"), "0.75 -1.5 \r\n");
    EXPECT_EQ(e.dir.read("data/sys.txt"), "1 2 3\r\n4 5 6\r\n");
    e.user.files = {e.data("sys.txt")};
    Connect_Click(e.ff.form);
    EXPECT_EQ(e.state.X, (std::vector<float>{0, 0.75f, -1.5f}));
}

} // namespace
} // namespace quenta
