// File > Connect: the loader into the scratch file and the switch to the file-backed mode.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <string>
#include <vector>

#include "files/commands.h"
#include "files/files_env.h"
#include "scratch/connect.h"

namespace quenta {
namespace {

using testing::Msg;
using V = std::vector<std::string>;
constexpr Msg Format = &WorkingState::msgFormat, Bad = &WorkingState::msgBadFile;

struct Env : testing::FilesEnv {
    void connect(const std::string& bytes, const QString& name = "sys.txt")
    {
        dir.write("data/" + name, bytes);
        user.files.push_back(data(name));
        Connect_Click(form);
    }
    std::string scratch() const { return dir.read("data.sle"); }
    // Column 0 and 1 of the file-backed layout: "Solution X(1)=0 X(2)=0".
    std::string column() const
    {
        std::string s = grid.text(0, 0);
        for (int i = 1; i < grid.rows(); ++i)
            s += " " + grid.text(i, 0) + grid.text(i, 1);
        return s;
    }
};

// The scratch file holds exactly `values` in records 1, 2, ...: the float's four little-endian
// bytes, then 124 zero bytes.
void expect_records(const std::string& file, const std::vector<float>& values, const std::string& what)
{
    ASSERT_GE(file.size(), values.size() * 128) << what;
    for (std::size_t r = 0; r < values.size(); ++r) {
        unsigned char want[128] = {};
        std::memcpy(want, &values[r], 4);  // the build machine is little-endian
        EXPECT_EQ(std::memcmp(file.data() + 128 * r, want, 128), 0) << what << ": record " << r + 1;
    }
}

// Every file is connected into a fresh program directory. A failure reports msgFormat after
// writing the records read before it; the window still switches to the file-backed mode on the
// N of the first line (unless that line holds no number) but, with no approximation, stops
// before the layout.
TEST(Connect, RecordsModeAndMessagesForEachFile)
{
    struct Case { std::string text; int N; std::vector<float> records; std::vector<Msg> msgs; const char* eps; };
    const Case cases[] = {
        {"1 2 3\r\n4 5 6\r\n", 2, {1, 2, 3, 4, 5, 6}, {}, "0.2"},
        {"  1.5   -2 \r 3e2 0.25 7\r", 1, {1.5f, -2}, {}, "0.1"},
        {"  1.5   -2 \n 3e2 0.25 7\n", 1, {1.5f, -2}, {}, "0.1"},
        {"42\r\n", 0, {42}, {}, "0"},
        {"1 2 3\r\n4 5 6 98 97\r\n7 8 9\r\nnot numbers\r\n", 2, {1, 2, 3, 4, 5, 6}, {}, "0.2"},
        {"1 2 3\r\n4 5\r\n", 2, {1, 2, 3, 4, 5}, {Format}, "0.2"},
        {"1 2 3\r\n\r\n4 5 6\r\n", 2, {1, 2, 3}, {Format}, "0.2"},
        {"1 2 3\r\n4\t5 6\r\n", 2, {1, 2, 3}, {Format}, "0.2"},
        {"1 x 3\r\n4 5 6\r\n", 2, {1}, {Format}, "0.2"},
        {"1 2 3\r\n4 1e99 6\r\n", 2, {1, 2, 3, 4}, {Format}, "0.2"},
        {"1 2 3 4\r\n5 6 7 8\r\n", 3, {1, 2, 3, 4, 5, 6, 7, 8}, {Format}, "0.3"},  // ends before line 3
        {"", 0, {}, {Format}, "0"},
        {"    \r\n1 2 3\r\n", -1, {}, {Format}, nullptr},
    };
    for (const Case& c : cases) {
        Env e;
        e.state.iter = 6;
        e.connect(c.text);
        const std::string& what = c.text;
        EXPECT_EQ(e.user.messages, e.msgs(c.msgs)) << what;
        EXPECT_EQ(QFileInfo(e.user.dialogFolders.at(0)).canonicalFilePath(), QFileInfo(e.data("")).canonicalFilePath());
        EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(e.data("")).canonicalFilePath());
        EXPECT_EQ(e.state.CD_FileName, e.data("sys.txt"));
        ASSERT_EQ(e.state.N, c.N) << what;
        EXPECT_EQ(e.text(Control::txtN), std::to_string(c.N)) << what;
        const std::string file = e.scratch();
        EXPECT_TRUE(QFileInfo::exists(e.dir.file("data.sle")));
        EXPECT_EQ(file.size(), c.records.size() * 128) << what;  // flushed before the message
        expect_records(file, c.records, what);
        EXPECT_FALSE(e.on(Control::cmdA) || e.on(Control::cmdB));
        if (c.N < 0) {  // mode, buttons and iter stay as they were
            EXPECT_FALSE(e.state.StorageMode);
            EXPECT_FALSE(e.on(Control::cmdSolution) || e.on(Control::cmdIter));
            EXPECT_EQ(e.state.iter, 6);
            continue;
        }
        EXPECT_EQ(e.state.StorageMode, std::optional<i16>(2)) << what;
        EXPECT_TRUE(e.on(Control::cmdSolution) && e.on(Control::cmdIter)) << what;
        EXPECT_EQ(e.text(Control::txtEps), c.eps) << what;
        for (auto* v : {&e.state.R, &e.state.ColNorm2})
            EXPECT_EQ(*v, std::vector<float>(c.N + 1, 0.0f)) << what;
        if (!c.msgs.empty()) {  // X was not resized: the command ends before the layout and iter
            EXPECT_FALSE(e.grid.fileBackedLayout()) << what;
            EXPECT_EQ(e.state.iter, 6) << what;
            continue;
        }
        std::string column = "Solution";
        for (int i = 1; i <= c.N; ++i)
            column += " X(" + std::to_string(i) + ")=0";
        EXPECT_EQ(e.grid.cols(), 2);
        EXPECT_EQ(e.column(), column) << what;
        EXPECT_EQ(e.state.X, std::vector<float>(c.N + 1, 0.0f)) << what;
        EXPECT_EQ(e.state.iter, 1) << what;
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
    testing::TempProgramDir dir;
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

TEST(Connect, UnreadableFileOrUnwritableScratchWritesNothing)
{
    Env e;
    e.dir.write("data.sle", "keep me");
    QDir().mkpath(e.data("folder"));
    e.user.files = {e.data("folder"), e.data("absent.txt")};
    Connect_Click(e.form);
    Connect_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({Bad, Bad}));
    EXPECT_EQ(e.scratch(), "keep me");
    EXPECT_EQ(e.state.N, 0);  // the command goes on with the previous N

    Env f;
    QDir().mkpath(f.dir.file("data.sle"));
    f.connect("1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(f.user.messages, f.msgs({Bad}));
    EXPECT_EQ(f.state.N, 0);
}

// A larger system, a failed Connect over it, then a smaller one: the last succeeds, and the
// file keeps its length with the larger system's records beyond the smaller one's.
TEST(Connect, AfterAFailureAndALargerSystem)
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
    e.connect("1 2 3\r\nbad 5 6\r\n", "bad.txt");
    ASSERT_EQ(e.user.messages, e.msgs({Format}));
    e.connect("7 8 9\r\n10 11 12\r\n", "good.txt");
    EXPECT_EQ(e.user.messages.size(), 1u);
    const std::string file = e.scratch();
    EXPECT_EQ(file.size(), 110u * 128);
    expect_records(file, {7, 8, 9, 10, 11, 12, 107, 108, 109, 110, 111, 201}, "after");
    EXPECT_EQ(e.state.CD_FileName, e.data("good.txt"));
    EXPECT_EQ(e.column(), "Solution X(1)=0 X(2)=0");
}

// Save after Connect writes the approximation shown in column 1 under the connected file's
// name; the next Connect of that file starts from it, and from what there is of a short one.
TEST(Connect, StartsFromTheSavedApproximation)
{
    Env e;
    QDir().mkpath(e.data("sub"));
    e.connect("1 2 3\r\n4 5 6\r\n", "sub/sys.txt");
    e.grid.setText(1, 1, "0.75");
    e.grid.setText(2, 1, "-1.5");
    Save_Click(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.dir.read("data/solutions/sub/sys.txt"), "0.75 -1.5 \r\n");
    EXPECT_EQ(e.dir.read("data/sub/sys.txt"), "1 2 3\r\n4 5 6\r\n");
    e.user.files = {e.data("sub/sys.txt")};
    Connect_Click(e.form);
    EXPECT_EQ(e.state.X, (std::vector<float>{0, 0.75f, -1.5f}));
    EXPECT_EQ(e.column(), "Solution X(1)=0.75 X(2)=-1.5");

    e.dir.write("data/solutions/sub/sys.txt", "0.5\r\n");  // one number short
    e.user.files = {e.data("sub/sys.txt")};
    Connect_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({Bad}));
    EXPECT_EQ(e.state.X, (std::vector<float>{0, 0.5f, 0}));
    EXPECT_EQ(e.state.StorageMode, std::optional<i16>(2));
}

TEST(Connect, CancelledOrWithoutADataFolderChangesNothing)
{
    Env e;
    e.state.CD_FileName = e.data("before.txt");
    e.user.files = {std::nullopt};
    Connect_Click(e.form);
    QDir(e.data("")).removeRecursively();
    Connect_Click(e.form);  // no dialog: an unscripted one would fail the test
    EXPECT_EQ(e.user.dialogFolders.size(), 1u);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.CD_FileName, e.data("before.txt"));
    EXPECT_FALSE(e.state.StorageMode);
    EXPECT_FALSE(QFileInfo::exists(e.dir.file("data.sle")));
}

} // namespace
} // namespace quenta
