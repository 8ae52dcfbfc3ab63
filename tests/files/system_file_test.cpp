// Reading system and solution files into the grid, writing them back, and the name that pairs
// a system file with its solution file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <vector>

#include "files/line.h"
#include "files/system_file.h"
#include "files_env.h"
#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using V = std::vector<std::string>;

// ----------------------------------------------------------------------------------------------
// open_file over awkward inputs

TEST(OpenFile, SpacesAnywhereAndAllThreeLineEnds)
{
    for (std::string end : {"\r\n", "\r", "\n"}) {
        FilesEnv e;
        e.dir.write("data/s.txt", "   1  2    3 " + end + "4 5 6" + end);
        open_file(e.form, e.data("s.txt"));
        EXPECT_TRUE(e.user.messages.empty());
        ASSERT_EQ(e.state.N, 2);
        EXPECT_EQ(e.grid.rows(), 3);
        EXPECT_EQ(e.grid.cols(), 8);
        EXPECT_EQ(e.row(1), (V{"1", "2", "3"}));
        EXPECT_EQ(e.row(2), (V{"4", "5", "6"}));
        EXPECT_EQ(e.solution(1), "0");
        EXPECT_EQ(e.solution(2), "0");
        EXPECT_EQ(e.grid.text(1, 2), "*x(1)+");  // the layout's own texts stay
    }
}

TEST(OpenFile, TextsGoIntoTheGridUncheckedAndUnchanged)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1\t2 abc 1,5\r\n-0 +7 1e3\r\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    ASSERT_EQ(e.state.N, 2);
    EXPECT_EQ(e.row(1), (V{"1\t2", "abc", "1,5"}));
    EXPECT_EQ(e.row(2), (V{"-0", "+7", "1e3"}));
}

TEST(OpenFile, ExtraNumbersAndLinesAreIgnored)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6 7 8\r\n9 9 9\r\ngarbage\r\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    ASSERT_EQ(e.state.N, 2);
    EXPECT_EQ(e.grid.cols(), 8);
    EXPECT_EQ(e.row(2), (V{"4", "5", "6"}));
}

TEST(OpenFile, FewerLinesThanNKeepThePlaceholders)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3 4\r\n5 6 7 8\r\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    ASSERT_EQ(e.state.N, 3);
    EXPECT_EQ(e.row(2), (V{"5", "6", "7", "8"}));
    EXPECT_EQ(e.row(3), (V{"a(3,1)", "a(3,2)", "a(3,3)", "b(3)"}));
    EXPECT_EQ(e.solution(3), "0");
}

TEST(OpenFile, ShortOrBlankSecondLineStopsWithBadFile)
{
    for (std::string second : {"4 5", "", "     "}) {
        FilesEnv e;
        e.dir.write("data/s.txt", "1 2 3\r\n" + second + "\r\n7 8 9\r\n");
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile}) << "second line '" << second << "'";
        ASSERT_EQ(e.state.N, 2);
        EXPECT_EQ(e.row(1), (V{"1", "2", "3"}));
        // The short line wrote the tokens it had before the missing one; the solution column
        // is not refreshed after the failure, so it keeps the layout's "0".
        if (second == "4 5")
            EXPECT_EQ(e.row(2), (V{"4", "5", "b(2)"}));
        else
            EXPECT_EQ(e.row(2), (V{"a(2,1)", "a(2,2)", "b(2)"}));
        EXPECT_EQ(e.solution(1), "0");
    }
}

TEST(OpenFile, FirstLineWithOneNumberOrNoneIsBadData)
{
    {
        FilesEnv e;
        e.dir.write("data/s.txt", "42\r\n1 2\r\n");
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
        EXPECT_EQ(e.state.N, 0);
        EXPECT_EQ(e.grid.rows(), 1);  // laid out for N = 0: the header row alone
        EXPECT_EQ(e.grid.cols(), 4);
        EXPECT_EQ(e.grid.text(0, 3), "Solution");
    }
    for (std::string first : {"", "   "}) {
        FilesEnv e;
        e.grid.fill_data(2);
        e.grid.setText(1, 1, "kept?");
        e.dir.write("data/s.txt", first + "\r\n1 2 3\r\n");
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
        EXPECT_EQ(e.state.N, -1);
        EXPECT_EQ(e.grid.text(1, 1), "");  // the layout step cleared the grid before it failed
    }
}

TEST(OpenFile, EmptyFileChangesNothingButTheSolutionColumn)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    open_file(e.form, e.data("s.txt"));
    e.grid.setText(1, 7, "0.25");
    e.grid.setText(1, 1, "edited");
    e.dir.write("data/empty.txt", "");
    open_file(e.form, e.data("empty.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.state.N, 2);
    EXPECT_EQ(e.row(1), (V{"edited", "2", "3"}));
    EXPECT_EQ(e.solution(1), "0");  // filled again for the new path, which has no solution
}

TEST(OpenFile, FortyThousandTokensOnALine)
{
    std::string wide;
    for (int k = 0; k < 40000; ++k)
        wide += "1 ";
    {   // first line: N and the grid stay as they were
        FilesEnv e;
        e.state.N = 5;
        e.dir.write("data/s.txt", wide + "\r\n");
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
        EXPECT_EQ(e.state.N, 5);
        EXPECT_EQ(e.grid.rows(), 2);
        EXPECT_EQ(e.grid.cols(), 2);
    }
    {   // a later line: the rows before it are written
        FilesEnv e;
        e.dir.write("data/s.txt", "1 2 3\r\n" + wide + "\r\n");
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
        EXPECT_EQ(e.state.N, 2);
        EXPECT_EQ(e.row(1), (V{"1", "2", "3"}));
        EXPECT_EQ(e.row(2), (V{"a(2,1)", "a(2,2)", "b(2)"}));
    }
}

TEST(OpenFile, OrderTooLargeForTheGridIsBadData)
{
    std::string wide;
    for (int k = 0; k < 16383; ++k)  // N = 16382: 2N+4 leaves 16 bits
        wide += "1 ";
    FilesEnv e;
    e.dir.write("data/s.txt", wide + "\r\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
    EXPECT_EQ(e.state.N, 16382);
}

TEST(OpenFile, BinaryJunkIsTakenAsTextWithoutHarm)
{
    FilesEnv e;
    const std::string junk("\x00\x01\xff \x80" "abc\t\x7f\n\x02 \x03 \x04\r\xfe\xfe\xfe", 20);
    e.dir.write("data/s.txt", junk);
    open_file(e.form, e.data("s.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    ASSERT_EQ(e.state.N, 1);
    EXPECT_EQ(e.grid.text(1, 1), std::string("\x00\x01\xff", 3));
    EXPECT_EQ(e.grid.text(1, 3), "\x80" "abc\t\x7f");

    FilesEnv f;
    f.dir.write("data/s.txt", std::string("\x00\x00\x00\r\n\x00", 6));
    open_file(f.form, f.data("s.txt"));
    EXPECT_EQ(f.user.messages, V{f.state.msgBadFile});  // one token on the first line
    EXPECT_EQ(f.state.N, 0);
}

TEST(OpenFile, MissingFileSaysSoAndChangesNothing)
{
    FilesEnv e;
    e.state.N = 3;
    open_file(e.form, e.data("none.txt"));
    EXPECT_EQ(e.user.messages, V{e.state.msgNoFile});
    EXPECT_EQ(e.state.N, 3);
    EXPECT_EQ(e.grid.rows(), 2);
    // A folder exists but is no readable file: the caller hears of it.
    EXPECT_THROW(open_file(e.form, e.dir.file("data")), FileError);
    EXPECT_EQ(e.state.N, 3);
}

// ----------------------------------------------------------------------------------------------
// Saved solutions

TEST(GetSolution, FillsTheSolutionColumnOnOpen)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\r\n4 5 6\r\n");
    e.dir.write("data/solutions/s.txt", "  0.5   -1.25 9 9\r\nmore lines\r\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(e.solution(1), "0.5");
    EXPECT_EQ(e.solution(2), "-1.25");
}

TEST(GetSolution, TextsAreShownReformatted)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "1 2 3\n4 5 6\n");
    e.dir.write("data/solutions/s.txt", "2.50000 1e-5\n");
    open_file(e.form, e.data("s.txt"));
    EXPECT_EQ(e.solution(1), "2.5");
    EXPECT_EQ(e.solution(2), "1E-05");
}

TEST(GetSolution, ShortOrBadSolutionKeepsWhatWasRead)
{
    struct Case { std::string file; V shown; };
    for (const Case& c : {Case{"7 8\r\n", {"7", "8", "0"}},
                          Case{"7 x 9\r\n", {"7", "0", "0"}},
                          Case{"\r\n7 8 9\r\n", {"0", "0", "0"}},
                          Case{"", {"0", "0", "0"}},
                          Case{"1e999 1 1", {"0", "0", "0"}}}) {
        FilesEnv e;
        e.dir.write("data/s.txt", "1 2 3 4\n5 6 7 8\n9 1 2 3\n");
        e.dir.write("data/solutions/s.txt", c.file);
        open_file(e.form, e.data("s.txt"));
        EXPECT_EQ(e.user.messages, V{e.state.msgBadFile}) << c.file;
        EXPECT_EQ((V{e.solution(1), e.solution(2), e.solution(3)}), c.shown) << c.file;
    }
}

TEST(GetSolution, ZerosWithoutASolutionAndBadFileForAFolder)
{
    FilesEnv e;
    e.state.N = 3;
    std::vector<float> x{9, 9, 9, 9};
    get_solution(e.form, e.data("s.txt"), x);
    EXPECT_EQ(x, (std::vector<float>{9, 0, 0, 0}));
    EXPECT_TRUE(e.user.messages.empty());

    QDir().mkpath(e.data("solutions/s.txt"));
    x = {9, 9, 9, 9};
    get_solution(e.form, e.data("s.txt"), x);
    EXPECT_EQ(x, (std::vector<float>{9, 0, 0, 0}));
    EXPECT_EQ(e.user.messages, V{e.state.msgBadFile});
}

TEST(GetSolution, UsesTheUsersDecimalSeparator)
{
    FilesEnv e;
    e.state.N = 2;
    e.dir.write("data/solutions/s.txt", "0,5 2\r\n");
    setDecimalSeparator(",");
    std::vector<float> x;
    get_solution(e.form, e.data("s.txt"), x);
    setDecimalSeparator("");
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[1], 0.5f);
    EXPECT_EQ(x[2], 2.0f);
    EXPECT_TRUE(e.user.messages.empty());
}

TEST(GetSolution, SystemsOutsideTheDataFolderHaveNone)
{
    FilesEnv e;
    e.state.N = 2;
    e.dir.write("elsewhere/s.txt", "1 2 3\n4 5 6\n");
    e.dir.write("data/solutions/s.txt", "7 8\n");  // same file name, but it pairs with data/s.txt
    std::vector<float> x{1, 1, 1};
    get_solution(e.form, e.dir.file("elsewhere/s.txt"), x);
    EXPECT_EQ(x, (std::vector<float>{1, 0, 0}));
    EXPECT_TRUE(e.user.messages.empty());
}

// ----------------------------------------------------------------------------------------------
// Relative names

TEST(RelativeName, PairsFilesBelowTheDataFolder)
{
    FilesEnv e;
    const ProgramDir& d = e.form.dir;
    e.dir.write("data/sub/sys.txt", "");
    EXPECT_EQ(relative_name(d, e.data("sample1.txt")), QString("sample1.txt"));
    EXPECT_EQ(relative_name(d, e.data("sub/sys.txt")), QString("sub/sys.txt"));
    EXPECT_EQ(relative_name(d, e.data("sub/../sub/./sys.txt")), QString("sub/sys.txt"));
    EXPECT_EQ(solution_path(d, e.data("sub/sys.txt")), e.dir.file("data/solutions/sub/sys.txt"));
    // Not below the data folder: the folder itself, a sibling that shares its name's start,
    // a file elsewhere, nothing at all.
    EXPECT_FALSE(relative_name(d, e.dir.file("data")));
    EXPECT_FALSE(relative_name(d, e.dir.file("database/x.txt")));
    EXPECT_FALSE(relative_name(d, e.dir.file("x.txt")));
    EXPECT_FALSE(relative_name(d, QString()));
    EXPECT_FALSE(solution_path(d, e.dir.file("x.txt")));
}

TEST(RelativeName, BackslashIsAnOrdinaryCharacterInAName)
{
    FilesEnv e;
    e.dir.write("data/a\\b.txt", "1 2\n");
    EXPECT_EQ(relative_name(e.form.dir, e.data("a\\b.txt")), QString("a\\b.txt"));
}

TEST(RelativeName, LinksAreResolved)
{
    FilesEnv e;
    // The data folder reached through a link, and a link from elsewhere into the data folder.
    ASSERT_TRUE(QFile::link(e.dir.file("data"), e.dir.file("shortcut")));
    EXPECT_EQ(relative_name(e.form.dir, e.dir.file("shortcut/sys.txt")), QString("sys.txt"));

    testing::TempProgramDir real;
    QDir().mkpath(real.file("data"));
    testing::TempProgramDir linked;
    ASSERT_TRUE(QFile::link(real.file("data"), linked.file("data")));
    const ProgramDir viaLink{linked.path()};
    EXPECT_EQ(relative_name(viaLink, real.file("data/s.txt")), QString("s.txt"));
}

// ----------------------------------------------------------------------------------------------
// Writing

TEST(SaveFile, WritesEveryCellTextAsItStands)
{
    FilesEnv e;
    e.state.N = 2;
    e.grid.fill_data(2);
    for (auto [col, text] : {std::pair{1, "2"}, {3, "1"}, {5, "3"}})
        e.grid.setText(1, col, text);
    e.grid.setText(2, 1, "1,5");  // never re-formatted; row 2 keeps two placeholders
    EXPECT_TRUE(save_file(e.form, e.data("s.txt")));
    EXPECT_EQ(e.dir.read("data/s.txt"), "2 1 3 \r\n1,5 a(2,2) b(2) \r\n");
    EXPECT_TRUE(e.user.messages.empty());
}

TEST(SaveFile, OrderZeroWritesAnEmptySystemAndOneEmptySolutionLine)
{
    FilesEnv e;
    e.state.N = 0;
    e.grid.fill_data(0);
    EXPECT_TRUE(save_file(e.form, e.data("s.txt")));
    EXPECT_TRUE(save_solution(e.form, e.data("x.txt")));
    EXPECT_TRUE(QFileInfo::exists(e.data("s.txt")));
    EXPECT_EQ(e.dir.read("data/s.txt"), "");
    EXPECT_EQ(e.dir.read("data/x.txt"), "\r\n");
}

TEST(SaveFile, ReplaceQuestionRunsThePathOnBehindTheText)
{
    FilesEnv e;
    e.state.N = 1;
    e.grid.fill_data(1);
    e.dir.write("data/s.txt", "old contents");
    e.user.yesNoAnswers = {false};
    EXPECT_FALSE(save_file(e.form, e.data("s.txt")));
    EXPECT_EQ(e.user.messages,
              V{"Such file exists. Do you want to replace the old file?" + e.data("s.txt").toStdString()});
    EXPECT_EQ(e.dir.read("data/s.txt"), "old contents");

    e.user.yesNoAnswers = {true};
    EXPECT_TRUE(save_file(e.form, e.data("s.txt")));
    EXPECT_EQ(e.dir.read("data/s.txt"), "a(1,1) b(1) \r\n");
}

TEST(SaveFile, AFailedWriteLeavesTheOldFileWhole)
{
    FilesEnv e;
    e.dir.write("data/s.txt", "old contents");
    e.state.N = 3;
    e.grid.fill_data(3);
    e.grid.setRows(3);  // row 3 is gone: reading it fails in the middle of the file
    e.user.yesNoAnswers = {true};
    EXPECT_THROW(save_file(e.form, e.data("s.txt")), SubscriptError);
    EXPECT_EQ(e.dir.read("data/s.txt"), "old contents");
    EXPECT_EQ(QDir(e.data("")).entryList(QDir::Files), QStringList{"s.txt"});  // no leftovers

    EXPECT_THROW(save_file(e.form, e.data("nofolder/s.txt")), FileError);
    QDir().mkpath(e.data("dir.txt"));
    e.user.yesNoAnswers = {true};
    EXPECT_THROW(save_file(e.form, e.data("dir.txt")), FileError);
}

TEST(SaveSolution, TakesTheColumnOfTheMode)
{
    FilesEnv e;
    e.state.N = 2;
    e.grid.fill_data(2);
    e.grid.setText(1, 7, "0.5");
    e.state.StorageMode = i16(1);
    EXPECT_TRUE(save_solution(e.form, e.data("x1.txt")));
    EXPECT_EQ(e.dir.read("data/x1.txt"), "0.5 0 \r\n");

    e.grid.fill_x(2, std::vector<float>{0, 1.5f, -2});
    e.state.StorageMode = i16(2);
    EXPECT_TRUE(save_solution(e.form, e.data("x2.txt")));
    EXPECT_EQ(e.dir.read("data/x2.txt"), "1.5 -2 \r\n");
}

// A system of texts without blanks goes through save_file and open_file unchanged, with its
// approximation through save_solution and get_solution.
TEST(RoundTrip, SaveThenOpenGivesTheSameTexts)
{
    FilesEnv e;
    const int n = 37;
    e.state.N = n;
    e.grid.fill_data(n);
    std::vector<std::vector<std::string>> texts(n + 1);
    unsigned seed = 7;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 8) % 1000; };
    const char* odd[] = {"abc", "1,5", "-0", "1e-3", "+4", "a(9,9)", "\t", "1.2.3"};
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k <= n + 1; ++k) {
            std::string t = next() % 10 == 0 ? odd[next() % 8] : std::to_string(next()) + "." + std::to_string(next());
            if (next() % 17 == 0)
                t = e.grid.text(i, 2 * k - 1);  // a placeholder left standing
            e.grid.setText(i, 2 * k - 1, t);
            texts[i].push_back(t);
        }
        e.grid.setText(i, 2 * n + 3, FormatSingle(static_cast<float>(next()) / 7.0f));
    }
    std::vector<std::string> solution;
    for (int i = 1; i <= n; ++i)
        solution.push_back(e.solution(i));
    e.state.StorageMode = i16(1);
    QDir().mkpath(e.data("solutions"));
    ASSERT_TRUE(save_file(e.form, e.data("r.txt")));
    ASSERT_TRUE(save_solution(e.form, e.data("solutions/r.txt")));

    // The bytes: N lines of N+1 texts, each followed by one space, each line by CR LF.
    std::string expected;
    for (int i = 1; i <= n; ++i) {
        for (const auto& t : texts[i])
            expected += t + " ";
        expected += "\r\n";
    }
    EXPECT_EQ(e.dir.read("data/r.txt"), expected);
    std::string expectedSolution;
    for (const auto& t : solution)
        expectedSolution += t + " ";
    EXPECT_EQ(e.dir.read("data/solutions/r.txt"), expectedSolution + "\r\n");

    FilesEnv back;
    QFile::copy(e.data("r.txt"), back.data("r.txt"));
    back.dir.write("data/solutions/r.txt", e.dir.read("data/solutions/r.txt"));
    open_file(back.form, back.data("r.txt"));
    EXPECT_TRUE(back.user.messages.empty());
    ASSERT_EQ(back.state.N, n);
    for (int i = 1; i <= n; ++i) {
        EXPECT_EQ(back.row(i), texts[i]) << "row " << i;
        EXPECT_EQ(back.solution(i), solution[static_cast<std::size_t>(i - 1)]);
    }
}

} // namespace
} // namespace quenta
