// Paste System against Open of the same numbers, pastes that are not a system, and the copies.
#include <gtest/gtest.h>

#include "files/commands.h"
#include "files/system_text.h"
#include "files_env.h"
#include "model/entry.h"
#include "scratch/scratch_claim.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using Rows = std::vector<std::vector<std::string>>;

// The window as summary() tells it, without the file the dialog remembers (a paste has none).
std::string withoutFile(const FilesEnv& e)
{
    const std::string s = e.summary();
    return s.substr(0, s.find(" file="));
}

// The same numbers pasted as a spreadsheet, NumPy or a hand writes them, and opened from a file
// written with blanks: the same grid and the same window. The paste comes in the file-backed
// mode and leaves it, letting go of the scratch file as Open does.
TEST(PasteSystem, EachSeparatorStyleGivesWhatOpenGives)
{
    const Rows plain = {{"1.5", "-2", "3e2"}, {"4", "+0.25", "6E-3"}};
    const Rows numpy = {{"1.500000000000000000e+00", "-2.000000000000000000e+00"}};
    const Rows comma = {{"1,5", "-2", "3e2"}, {"4", "0,25", "6"}};
    struct Case { const char* separator; const Rows& rows; const char* between; const char* lineEnd; const char* after; };
    const Case cases[] = {
        {".", plain, "\t", "\n", ""},  // a spreadsheet's block
        {".", plain, "  ", "\r\n", "\r\n \r\n"},  // runs of blanks, blank lines after
        {".", plain, ";", "\n", ""},
        {".", plain, ", ", "\r", ""},  // a lone CR ends a line too
        {".", numpy, " ", "\n", ""},  // savetxt's default
        {",", comma, "\t", "\n", "\n"},
        {",", comma, ";", "\r\n", ""},
    };
    for (const Case& c : cases) {
        std::string file, text;
        for (const auto& row : c.rows) {
            for (std::size_t k = 0; k < row.size(); ++k) {
                file += row[k] + " ";
                text += (k ? c.between : "") + row[k];
            }
            file += "\r\n";
            text += c.lineEnd;
        }
        text += c.after;
        FilesEnv opened, pasted;
        opened.state.separator = pasted.state.separator = c.separator;
        opened.load(Open_Click, "s.txt", file);
        pasted.state.StorageMode = FileBacked;
        pasted.state.scratch = ScratchClaim::take(pasted.form.dir.scratchLock());
        pasted.grid.fill_x(1, {0, 7}, ".");
        PasteSystem_Load(pasted.form, QString::fromStdString(text));
        EXPECT_EQ(pasted.shown(), opened.shown()) << text;
        EXPECT_EQ(withoutFile(pasted), withoutFile(opened)) << text;
        EXPECT_FALSE(pasted.state.connected());
        EXPECT_TRUE(opened.user.messages.empty() && pasted.user.messages.empty()) << text;
    }
}

// Text that is not a system: one message naming the first bad line, and every cell, the state
// and the controls as they were.
TEST(PasteSystem, ABadPasteChangesNothing)
{
    std::string tooWide;
    for (int k = 0; k < 16383; ++k)
        tooWide += "1 ";
    struct Case { const char* separator; std::string text; int line; };
    const Case cases[] = {
        {".", "", 1}, {".", " \t;\r\n1 2\r\n", 1}, {".", "5\n1 2\n", 1}, {".", "1 2 1e39\n", 1}, {".", tooWide, 1},
        {",", "1.5;2\n", 1}, {".", "1,5 2\n", 2},  // the comma separates unless it is the decimal separator
        {".", "1 2 3\n4 5\n", 2}, {".", "1 2 3\n4 x 6\n", 2}, {".", "1 2 3\n\n4 5 6\n", 2}, {".", "1 2 3\n", 2},
        {".", "1 2 3\r\n4 5 6\r\n7 8 9", 3}, {".", "1 2 3\n4 5 6\n\n7 8 9\n", 4},
    };
    for (const Case& c : cases) {
        FilesEnv e;
        e.state.separator = c.separator;
        e.load(Open_Click, "s.txt", "1 2\r\n");
        e.state.iter = 3;
        const std::string before = e.window();
        PasteSystem_Load(e.form, QString::fromStdString(c.text));
        EXPECT_EQ(e.window(), before) << c.text;
        ASSERT_EQ(e.user.messages.size(), 1u) << c.text;
        EXPECT_NE(e.user.messages[0].find(" line " + std::to_string(c.line) + " "), std::string::npos) << e.user.messages[0];
    }
}

// Copy System then Paste System gives the system back, blanks around a typed number dropped;
// Copy Solution and Copy give the texts as spreadsheets take them; more than 2e7 cells are not
// copied, and the user is told.
TEST(PasteSystem, CopySystemThenPasteGivesTheSameSystem)
{
    FilesEnv from, to;
    from.load(Open_Click, "s.txt", "2 1 3 -4 \r\n1 3 5 6 \r\n0.5 7 8 9 \r\n");
    from.ff.controls.setText(Control::txtA, " 2.5E3 ");
    cmdA_Click(from.form);
    const std::optional<std::string> system = CopySystem_Click(from.form);
    ASSERT_TRUE(system);
    PasteSystem_Load(to.form, QString::fromStdString(*system));
    std::string expected = from.shown();
    expected.replace(expected.find(" 2.5E3 "), 7, "2.5E3");
    EXPECT_EQ(to.shown(), expected);
    EXPECT_EQ(CopySolution_Click(to.form), "0\n0\n0\n");
    EXPECT_EQ(Copy_Click(to.form, {{1, 1, 1, 2}, {2, 3, 2, 3}}), "2.5E3\t*x(1)+\t\n\t\t3\n");
    EXPECT_TRUE(from.user.messages.empty() && to.user.messages.empty());

    FilesEnv big;
    big.state.N = 16381;
    big.grid.fill_data(16381);
    EXPECT_EQ(CopySystem_Click(big.form), std::nullopt);
    EXPECT_EQ(Copy_Click(big.form, {{1, 1, 4001, 5000}}), std::nullopt);
    EXPECT_EQ(big.user.messages.size(), 2u);
}

} // namespace
} // namespace quenta
