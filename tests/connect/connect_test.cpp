// File > Connect: the loader into the scratch file and the switch to the file-backed mode.
#include <gtest/gtest.h>

#include <QProcess>

#include "common/size_limit.h"
#include "common/systems.h"
#include "files/commands.h"
#include "files/files_env.h"
#include "files/text_writer.h"
#include "model/messages.h"
#include "model/entry.h"
#include "scratch/connect.h"
#include "scratch/scratch_file.h"
#include "solver/solve.h"

namespace quenta {
namespace {

using testing::Msg;
constexpr Msg Format = &WorkingState::msgFormat, Bad = &WorkingState::msgBadFile;

struct Env : testing::FilesEnv {
    void connect(const std::string& bytes, const QString& name = "sys.txt") { load(Connect_Click, name, bytes); }
    std::string scratch() const { return dir.read("data.sle"); }
};

// Every file is connected into a fresh program directory with iter = 6. A complete system comes
// with a packed copy that matches it; a failure leaves none. A failure reports
// msgFormat after writing the records read before it; the window still switches to the
// file-backed mode on the N of the first line (unless that line holds no number) but, with no
// approximation, stops before the layout and iter.
TEST(Connect, RecordsModeAndMessagesForEachFile)
{
    struct Case { std::string text; std::vector<float> records; std::vector<Msg> msgs; std::string window; };
    const std::string two = "N=2 iter=1 mode=2 txtN=2 eps=0.2 on=SI X=[0,0,0] R=[0,0,0] C=[0,0,0] file=sys.txt | Solution X(1)=0 X(2)=0";
    const std::string one = "N=1 iter=1 mode=2 txtN=1 eps=0.1 on=SI X=[0,0] R=[0,0] C=[0,0] file=sys.txt | Solution X(1)=0";
    const std::string failed = "N=2 iter=6 mode=2 txtN=2 eps=0.2 on=SI X=[] R=[0,0,0] C=[0,0,0] file=sys.txt | 2x2: | _";
    const Case cases[] = {
        {"1 2 3\r\n4 5 6\r\n", {1, 2, 3, 4, 5, 6}, {}, two},
        {"  1.5   -2 \r 3e2 0.25 7\r", {1.5f, -2}, {}, one},
        {"  1.5   -2 \n 3e2 0.25 7\n", {1.5f, -2}, {}, one},
        {"42\r\n", {42}, {}, "N=0 iter=1 mode=2 txtN=0 eps=0 on=SI X=[0] R=[0] C=[0] file=sys.txt | Solution"},
        {"1 2 3\r\n4 5 6 98 97\r\n7 8 9\r\nnot numbers\r\n", {1, 2, 3, 4, 5, 6}, {}, two},
        {"1 2 3\r\n4 5\r\n", {1, 2, 3, 4, 5}, {Format}, failed},
        {"1 2 3\r\n\r\n4 5 6\r\n", {1, 2, 3}, {Format}, failed},
        {"1 2 3\r\n4\t5 6\r\n", {1, 2, 3}, {Format}, failed},
        {"1 x 3\r\n4 5 6\r\n", {1}, {Format}, failed},
        {"1 2 3\r\n4 1e99 6\r\n", {1, 2, 3, 4}, {Format}, failed},
        {"1 2 3 4\r\n5 6 7 8\r\n", {1, 2, 3, 4, 5, 6, 7, 8}, {Format},  // ends before line 3
         "N=3 iter=6 mode=2 txtN=3 eps=0.3 on=SI X=[] R=[0,0,0,0] C=[0,0,0,0] file=sys.txt | 2x2: | _"},
        {"", {}, {Format}, "N=0 iter=6 mode=2 txtN=0 eps=0 on=SI X=[] R=[0] C=[0] file=sys.txt | 2x2: | _"},
        {"    \r\n1 2 3\r\n", {}, {Format}, "N=-1 iter=6 mode=- txtN=-1 eps=0.5 on=- X=[] R=[] C=[] file=sys.txt | 2x2: | _"},
    };
    for (const Case& c : cases) {
        Env e;
        e.state.iter = 6;
        e.connect(c.text);
        EXPECT_EQ(e.user.messages, e.msgs(c.msgs)) << c.text;
        EXPECT_EQ(e.window(), c.window) << c.text;
        EXPECT_EQ(e.text(Control::sbrStatus).substr(0, 4), c.msgs.empty() ? "Done" : "Fail") << c.text;
        EXPECT_TRUE(e.dialogInDataFolder());
        EXPECT_TRUE(QFileInfo::exists(e.dir.file("data.sle")));
        EXPECT_EQ(e.scratch(), testing::records(c.records)) << c.text;
        ScratchReader scratch(e.dir.file("data.sle"), e.form.dir.scratchPacked());
        EXPECT_EQ(scratch.packed(e.state.N) != nullptr, c.msgs.empty()) << c.text;
        EXPECT_EQ(QFileInfo::exists(e.form.dir.scratchPacked()), c.msgs.empty()) << c.text;
    }
}

// The user hears of a failure only after the records read before it are in the file.
TEST(Connect, RecordsAreOnDiskWhenTheFailureIsShown)
{
    struct SizeAtMessage : testing::ScriptedDialogs {
        QString scratch;
        void message(const std::string&) override { messages.push_back(std::to_string(QFileInfo(scratch).size())); }
    } user;
    Env e;
    user.scratch = e.dir.file("data.sle");
    Form form{e.state, e.grid, e.ff.controls, user, ProgramDir{e.dir.path()}};
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 x\r\n");
    connect_to_file(form, e.data("s.txt"), e.state.X);
    EXPECT_EQ(user.messages, std::vector<std::string>{std::to_string(5 * 128)});
}

// A cancelled dialog and a missing data folder change nothing; a file that cannot be read, or a
// scratch file that cannot be written, writes nothing and the command goes on with the old N.
TEST(Connect, CancelledOrUnreadableWritesNothing)
{
    Env e;
    e.state.CD_FileName = e.data("before.txt");
    e.user.files = {std::nullopt};
    Connect_Click(e.form);
    EXPECT_EQ(e.summary(), "N=0 iter=1 mode=- txtN= eps=0.5 on=- X=[] R=[] C=[] file=before.txt");
    QDir().mkpath(e.data("folder"));
    e.user.files = {e.data("folder"), e.data("absent.txt")};
    Connect_Click(e.form);
    EXPECT_FALSE(QFileInfo::exists(e.dir.file("data.sle")));
    e.dir.write("data.sle", "keep me");
    Connect_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({Bad, Bad}));
    EXPECT_EQ(e.scratch(), "keep me");
    EXPECT_EQ(e.summary(), "N=0 iter=1 mode=2 txtN=0 eps=0 on=SI X=[] R=[0] C=[0] file=absent.txt");
    QDir(e.data("")).removeRecursively();
    Connect_Click(e.form);  // no dialog: an unscripted one would fail the test
    EXPECT_EQ(e.user.dialogFolders.size(), 3u);

    Env f;
    QDir().mkpath(f.dir.file("data.sle"));
    f.connect("1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(f.user.messages, f.msgs({Bad}));
    EXPECT_EQ(f.state.N, 0);
}

// A larger system, a failed Connect over it, then a smaller one. After the failure the scratch
// file holds a mix of the two systems: solving and saving refuse until the next Connect
// succeeds, and the good solution file of the failed one stays. The last Connect succeeds, and
// the file keeps its length with the larger system's records beyond the smaller one's.
TEST(Connect, AfterAFailureAndALargerSystem)
{
    Env e;
    testing::write_system(e.data("big.txt"), 10, [](int i, int j) { return 100 * i + j; });
    e.user.files.push_back(e.data("big.txt"));
    Connect_Click(e.form);
    ASSERT_EQ(e.scratch().size(), 110u * 128);
    e.dir.write("data/solutions/bad.txt", "0.5 0.25 \r\n");
    e.connect("1 2 3\r\nbad 5 6\r\n", "bad.txt");
    const std::string failed = e.window();
    cmdSolution_Click(e.form);
    cmdIter_Click(e.form);
    Save_Click(e.form);
    EXPECT_EQ(e.user.messages, e.msgs({Format, Bad, Bad, Bad}));
    EXPECT_EQ(e.window(), failed);
    EXPECT_EQ(e.dir.read("data/solutions/bad.txt"), "0.5 0.25 \r\n");
    e.connect("7 8 9\r\n10 11 12\r\n", "good.txt");
    EXPECT_EQ(e.user.messages.size(), 4u);
    EXPECT_EQ(e.scratch().size(), 110u * 128);
    EXPECT_EQ(e.scratch().substr(0, 12 * 128), testing::records({7, 8, 9, 10, 11, 12, 107, 108, 109, 110, 111, 201}));
    EXPECT_EQ(e.window(),
              "N=2 iter=1 mode=2 txtN=2 eps=0.2 on=SI X=[0,0,0] R=[0,0,0] C=[0,0,0] file=good.txt | Solution X(1)=0 X(2)=0");
    cmdIter_Click(e.form);
    EXPECT_EQ(e.user.messages.size(), 4u);
    EXPECT_EQ(e.state.iter, 2);
}

// One window at a time owns the scratch file. While another process holds it, a Connect
// changes nothing and says why; once that process has ended, the Connect succeeds. Within one
// process, a window that accepts a new N or opens a system lets go of it.
TEST(ScratchOwner, AConnectWaitsForTheOwnerToLetGo)
{
    Env e, second;
    e.dir.write("data/big.txt", "1 2 3 4\r\n5 6 7 8\r\n9 10 11 12\r\n");
    QProcess other;
    other.start(QStringLiteral(QUENTA_CHILD), {"connect", e.dir.path(), e.data("big.txt")});
    while (!other.canReadLine())
        ASSERT_TRUE(other.waitForReadyRead(30000)) << other.readAllStandardError().toStdString();
    ASSERT_EQ(other.readLine().toStdString(), "connected N=3\n");
    const std::string before = e.window(), held = e.scratch();
    e.connect("1 2 3\r\n4 5 6\r\n", "a.txt");
    EXPECT_EQ(e.user.messages, std::vector<std::string>{messages::scratchInUse(e.form.dir.scratch())});
    EXPECT_EQ(e.window() + e.scratch(), before + held);
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished(30000));
    EXPECT_EQ(other.readAll().toStdString(), "") << "the other window was told something";
    auto connected = [&e](Env& w, void (*command)(Form&)) {
        const std::size_t said = w.user.messages.size();
        w.user.files = {e.data("a.txt")};
        command(w.form);
        return w.user.messages.size() == said;
    };
    EXPECT_TRUE(connected(e, Connect_Click));
    second.form.dir = e.form.dir;
    EXPECT_FALSE(connected(second, Connect_Click));
    e.ff.controls.setText(Control::txtN, "2");
    cmdN_Click(e.form);
    EXPECT_TRUE(connected(second, Connect_Click));
    EXPECT_FALSE(connected(e, Connect_Click));
    connected(second, Open_Click);
    EXPECT_TRUE(connected(e, Connect_Click));
}

// A disk too full for the scratch file: the user hears that data.sle could not be written (not
// that a number is wrong), the file is emptied to give its space back, no packed copy is left,
// and nothing can be solved from it. A new file fails when its space is reserved; over a larger
// file that needs no more space, the packed copy's reservation fails, or (with room for the
// copy) the write itself, on the calling thread (one buffer holds order 40) or on the writer's
// thread (order 46 needs more).
TEST(Connect, ADiskThatFillsEmptiesTheScratchFile)
{
    // 210 KB, 768 bytes and 277 KB of records; packed copies of 10.6 KB and 12.7 KB.
    struct Case { int n; bool existing; rlim_t limit; };
    for (const auto& [n, existing, limit] : {Case{40, false, 512}, Case{2, false, 512}, Case{40, true, 512},
                                             Case{40, true, 16384}, Case{46, true, 16384}}) {
        Env e;
        if (existing)
            e.dir.write("data.sle", std::string(1 << 20, 'x'));
        testing::write_system(e.data("sys.txt"), n, [n](int i, int j) { return ((i - 1) * (n + 1) + j - 1) % 7; });
        e.user.files = {e.data("sys.txt")};
        e.state.iter = 6;
        const std::string got = testing::with_file_size_limit(limit, [&e] {
            Connect_Click(e.form);
            cmdSolution_Click(e.form);  // refused: iter stays
            std::string said;
            for (const std::string& m : e.user.messages)
                said += m + " ; ";
            return said + std::to_string(QFileInfo(e.dir.file("data.sle")).size()) + " bytes, packed " +
                   std::to_string(QFileInfo::exists(e.form.dir.scratchPacked())) + ", mode=" +
                   std::to_string(e.state.StorageMode.value_or(0)) + " iter=" + std::to_string(e.state.iter);
        });
        EXPECT_EQ(got, messages::saveFailed(e.dir.file("data.sle")) + " ; " + e.state.msgBadFile + " ; 0 bytes, packed 0, mode=2 iter=6")
            << n << existing << limit;
    }
}

// A Connect starts from the approximation saved under the file's name (which Save writes in the
// file-backed mode, see Save's tests).
TEST(Connect, StartsFromTheSavedApproximation)
{
    Env e;
    e.dir.write("data/solutions/sub/sys.txt", "0.75 -1.5 \r\n");
    e.connect("1 2 3\r\n4 5 6\r\n", "sub/sys.txt");
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.window(),
              "N=2 iter=1 mode=2 txtN=2 eps=0.2 on=SI X=[0,0.75,-1.5] R=[0,0,0] C=[0,0,0] file=sub/sys.txt | Solution X(1)=0.75 X(2)=-1.5");
}

} // namespace
} // namespace quenta
