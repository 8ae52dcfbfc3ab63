// File > Open and File > Save with scripted dialogs.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <deque>
#include <functional>

#include "files/commands.h"
#include "files/text_writer.h"
#include "model/messages.h"
#include "common/size_limit.h"
#include "files_env.h"
#include "model/numbers.h"
#include "scratch/scratch_claim.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using testing::Msg;
constexpr Msg Bad = &WorkingState::msgBadFile, NoMemory = &WorkingState::msgNoMemory;
const std::string SaveFailed = messages::saveFailed("");

// Each case starts from N = 3, iter = 5 and a remembered file; Open stops at the failure, or
// shows its message and goes on.
TEST(Open, FailuresAndWhatTheyLeave)
{
    struct Case { std::function<void(FilesEnv&)> setup; std::vector<Msg> msgs; std::string summary; int allocations = -1; };
    const std::string before = "N=3 iter=5 mode=- txtN= eps=0.5 on=- X=[] R=[] C=[] file=";
    const auto choose = [](const char* name, const char* bytes) {
        return [=](FilesEnv& e) { e.dir.write("data/" + QString(name), bytes); e.user.files = {e.data(name)}; };
    };
    const Case cases[] = {
        {[](FilesEnv& e) { e.user.files = {std::nullopt}; }, {}, before + "before.txt"},
        {[](FilesEnv& e) { QDir(e.data("")).removeRecursively(); }, {Bad}, before + "before.txt"},  // no dialog
        {[](FilesEnv& e) { QDir().mkpath(e.data("folder")); e.user.files = {e.data("folder")}; }, {Bad}, before + "folder"},
        {[](FilesEnv& e) {  // the old system stays, the command completes
             e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
             e.user.files = {e.data("s.txt"), e.data("gone.txt")};
             Open_Click(e.form);
             e.state.iter = 4;
         }, {&WorkingState::msgNoFile}, "N=2 iter=1 mode=1 txtN=2 eps=0.2 on=ABSI X=[0,0,0] R=[0,0,0] C=[0,0,0] file=gone.txt"},
        {choose("s.txt", "\r\n1 2 3\r\n"), {Bad, NoMemory}, "N=-1 iter=5 mode=1 txtN=-1 eps=-0.1 on=ABSI X=[] R=[] C=[] file=s.txt"},
        // Allocations that fail: R and ColNorm2 are had but not B; then all but A.
        {choose("s.txt", "1 2 3\r\n4 5 6\r\n"), {NoMemory}, "N=2 iter=5 mode=1 txtN=2 eps=0.2 on=ABSI X=[] R=[0,0,0] C=[0,0,0] file=s.txt", 2},
        {choose("s.txt", "1 2 3\r\n4 5 6\r\n"), {NoMemory}, "N=2 iter=5 mode=1 txtN=2 eps=0.2 on=ABSI X=[0,0,0] R=[0,0,0] C=[0,0,0] file=s.txt", 4},
    };
    for (const Case& c : cases) {
        FilesEnv e;
        e.state.N = 3;
        e.state.iter = 5;
        e.state.CD_FileName = e.data("before.txt");
        c.setup(e);
        e.state.allocationsLeft = c.allocations;
        Open_Click(e.form);
        EXPECT_EQ(e.user.messages, e.msgs(c.msgs)) << c.summary;
        EXPECT_EQ(e.summary(), c.summary);
        EXPECT_EQ(e.text(Control::sbrStatus).substr(0, 4), c.msgs.empty() ? "" : "Fail");
        if (c.summary.find("file=gone") != std::string::npos) {
            EXPECT_EQ(e.shown(), "3x8: 1 2 3; 4 5 6 | 0 0");
            EXPECT_TRUE(e.dialogInDataFolder());
        }
    }
}

// What Save told the user, what lies below the program directory afterwards (every file as
// "name=bytes", every empty folder as "name/") and the file the dialog remembers, in one line.
// The replace question and the failure message show as "ask" and "failed" before the path.
std::string outcome(const FilesEnv& e)
{
    const QDir root(e.dir.path());
    std::string said;
    for (std::string m : e.user.messages) {
        for (const std::string& text : {e.state.msgReplace, SaveFailed})
            if (m.rfind(text + e.dir.file("").toStdString(), 0) == 0)
                m = (text == SaveFailed ? "failed " : "ask ") + m.substr(text.size() + root.path().size() + 1);
        said += (said.empty() ? "" : " ; ") + m;
    }
    QStringList tree;
    for (QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QFileInfo f(it.next());
        const QString name = root.relativeFilePath(f.filePath());
        const std::string bytes = f.isFile() ? e.dir.read(name) : "";
        if (f.isFile())  // a long file by its size only, so that a failure stays readable
            tree << name + "=" + QString::fromStdString(bytes.size() > 80 ? std::to_string(bytes.size()) + " bytes" : bytes);
        else if (QDir(f.filePath()).isEmpty())
            tree << name + "/";
    }
    tree.sort();
    return said + " | " + tree.join(" ; ").toStdString() + " | " + root.relativeFilePath(e.state.CD_FileName).toStdString() +
           " | " + QString::fromStdString(e.text(Control::sbrStatus)).remove(e.dir.file("")).toStdString();
}

// Save of the system "2 1,5 3 / a(2,1) 3 5" (texts written as shown, a placeholder among them)
// with the approximation 0.8 1.4, the dialog remembering data/before.txt; each case prepares the directory, chooses a file (or cancels) and answers
// the replace questions.
TEST(Save, WhatIsWrittenAndSaid)
{
    struct Case { std::function<void(FilesEnv&)> prep; const char* chosen; std::deque<bool> answers; std::string outcome; };
    const std::string S = "2 1,5 3 \r\na(2,1) 3 5 \r\n", X = "0.8 1.4 \r\n";
    const auto old = [](FilesEnv& e) { e.dir.write("data/sys.txt", "old system"); e.dir.write("data/solutions/sys.txt", "old solution"); };
    const Case cases[] = {
        {[](FilesEnv& e) { QDir().mkpath(e.data("sub")); }, "data/sub/sys.txt", {},
         " | data/solutions/sub/sys.txt=" + X + " ; data/sub/sys.txt=" + S + " | data/sub/sys.txt" +
             " | Done: sub/sys.txt saved, solutions/sub/sys.txt saved"},
        {[](FilesEnv&) {}, nullptr, {}, " | data/ | data/before.txt | "},
        {[](FilesEnv& e) { QDir().mkpath(e.dir.file("elsewhere")); }, "elsewhere/sys.txt", {},
         messages::OutsideData + std::string(" | data/ ; elsewhere/sys.txt=") + S + " | elsewhere/sys.txt" +
             " | Failed: elsewhere/sys.txt saved, the approximation not saved"},
        {old, "data/sys.txt", {false, true},  // No to the system still handles the solution
         "ask data/sys.txt ; ask data/solutions/sys.txt | data/solutions/sys.txt=" + X + " ; data/sys.txt=old system | data/sys.txt" +
             " | Done: sys.txt kept as it was, solutions/sys.txt saved"},
        {old, "data/sys.txt", {false, false},
         "ask data/sys.txt ; ask data/solutions/sys.txt | data/solutions/sys.txt=old solution ; data/sys.txt=old system | data/sys.txt" +
             std::string(" | Done: sys.txt kept as it was, solutions/sys.txt kept as it was")},
        // Stopped while the system file is written (after its first line), then the solution file.
        {[&old](FilesEnv& e) { old(e), e.ff.controls.stopIn = 1; }, "data/sys.txt", {true},
         "ask data/sys.txt | data/solutions/sys.txt=old solution ; data/sys.txt=old system | data/sys.txt | Stopped: sys.txt not saved"},
        {[&old](FilesEnv& e) { old(e), e.ff.controls.stopIn = 2; }, "data/sys.txt", {true, true},
         "ask data/sys.txt ; ask data/solutions/sys.txt | data/solutions/sys.txt=old solution ; data/sys.txt=" + S +
             " | data/sys.txt | Stopped: sys.txt saved, solutions/sys.txt not saved"},
        {[](FilesEnv& e) { QDir().mkpath(e.data("taken.txt")); }, "data/taken.txt", {true},
         "ask data/taken.txt ; failed data/taken.txt | data/taken.txt/ | data/taken.txt | Failed: taken.txt not saved"},
        {[](FilesEnv& e) { e.dir.write("data/solutions", "a file"); }, "data/sys.txt", {},
         "failed data/solutions/sys.txt | data/solutions=a file ; data/sys.txt=" + S + " | data/sys.txt" +
             " | Failed: sys.txt saved, solutions/sys.txt not saved"},
        {[](FilesEnv&) {}, "data/nowhere/sys.txt", {},
         "failed data/nowhere/sys.txt | data/ | data/nowhere/sys.txt | Failed: nowhere/sys.txt not saved"},
        {[](FilesEnv& e) {  // writing fails in the middle of the file: the old one stays whole
             e.grid.setRows(2);
             e.dir.write("data/sys.txt", "old system");
         }, "data/sys.txt", {true}, "ask data/sys.txt ; failed data/sys.txt | data/sys.txt=old system | data/sys.txt | Failed: sys.txt not saved"},
        {[](FilesEnv& e) { QDir(e.data("")).removeRecursively(); }, "data/sys.txt", {},  // no dialog
         "failed data |  | data/before.txt | Failed: nothing saved"},
        {[](FilesEnv& e) {  // file-backed: no dialog, the solution under the remembered name
             e.dir.write("data/big/sys.txt", "1 2 3\r\n4 5 6\r\n");
             e.state.StorageMode = i16(2);
             e.state.scratch = ScratchClaim::take(e.form.dir.scratchLock());
             QFile::remove(e.form.dir.scratchLock());  // held all the same, and out of the listing
             e.state.CD_FileName = e.data("big/sys.txt");
             e.grid.fill_x(2, std::vector<float>{0, 0.25f, -3}, ".");
         }, "data/sys.txt", {},
         " | data/big/sys.txt=1 2 3\r\n4 5 6\r\n ; data/solutions/big/sys.txt=0.25 -3 \r\n | data/big/sys.txt | Done: solutions/big/sys.txt saved"},
        {[](FilesEnv& e) { e.state.N = 0; e.grid.fill_data(0); }, "data/z.txt", {},  // an empty system, one empty line
         " | data/solutions/z.txt=\r\n ; data/z.txt= | data/z.txt | Done: z.txt saved, solutions/z.txt saved"},
    };
    for (const Case& c : cases) {
        FilesEnv e;
        e.state.N = 2;
        e.grid.fill_data(2);
        const char* texts[] = {"2", "1,5", "3", "0.8", nullptr, "3", "5", "1.4"};
        for (int k = 0; k < 8; ++k)
            if (texts[k])
                e.grid.setText(1 + k / 4, k % 4 == 3 ? 7 : 2 * (k % 4) + 1, texts[k], e.state.separator);
        e.state.StorageMode = i16(1);
        e.state.CD_FileName = e.data("before.txt");
        c.prep(e);
        e.user.files = {c.chosen ? std::optional<QString>(e.dir.file(c.chosen)) : std::nullopt};
        e.user.yesNoAnswers = c.answers;
        Save_Click(e.form);
        EXPECT_EQ(outcome(e), c.outcome);
    }
}

// A disk that fills while Save replaces a file: the old file stays byte for byte, nothing
// half-written is left beside it, and the user hears which file was not saved. Files below a
// write buffer's 16 KB, just above it, and of a megabyte with a short tail; the system file in
// the in-memory mode, the solution file in the file-backed mode.
TEST(Save, ADiskThatFillsLeavesTheOldFileWhole)
{
    for (const std::size_t size : {8000, 17000, (1 << 20) + 3000}) {
        for (const bool fileBacked : {false, true}) {
            FilesEnv e;
            e.dir.write("data/sys.txt", "old system");
            e.dir.write("data/solutions/sys.txt", "old solution");
            e.state.N = 2;
            e.state.CD_FileName = e.data("sys.txt");
            e.state.StorageMode = i16(fileBacked ? 2 : 1);
            if (fileBacked)
                e.state.scratch = ScratchClaim::take(e.form.dir.scratchLock());
             QFile::remove(e.form.dir.scratchLock());  // held all the same, and out of the listing
            fileBacked ? e.grid.fill_x(2, {0, 1, 2}, ".") : e.grid.fill_data(2);
            e.grid.setText(1, 1, std::string(size, '7'), e.state.separator);
            if (!fileBacked)
                e.user.files = {e.data("sys.txt")};
            e.user.yesNoAnswers = {true, true};
            const std::string got = testing::with_file_size_limit(size - 200, [&e] {
                Save_Click(e.form);
                return outcome(e);
            });
            const std::string failed = fileBacked ? "data/solutions/sys.txt" : "data/sys.txt";
            EXPECT_EQ(got, "ask " + failed + " ; failed " + failed +
                               " | data/solutions/sys.txt=old solution ; data/sys.txt=old system | data/sys.txt | Failed: " +
                               failed.substr(5) + " not saved")
                << size << (fileBacked ? " file-backed" : " in memory");
        }
    }
}

} // namespace
} // namespace quenta
