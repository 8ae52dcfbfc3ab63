// Reading system and solution files into the grid, writing them back, and the name that pairs
// a system file with its solution file.
#include <gtest/gtest.h>

#include <QFile>

#include "files/system_file.h"
#include "files_env.h"
#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using testing::Msg;
constexpr Msg Bad = &WorkingState::msgBadFile;

std::string repeat(const std::string& s, int times) { std::string out; while (times-- > 0) out += s; return out; }

// Each case opens data/s.txt (with data/solutions/s.txt, if given; "/" makes it a folder) over
// a grid that already shows the system "9 9 9 / 9 9 9" with the approximation 0.25 0.5.
TEST(OpenFile, AwkwardInputsLeaveTheGridAndNAsShown)
{
    struct Case { std::optional<std::string> file, solution; int N; std::string shown; std::vector<Msg> msgs; QString path = "data/s.txt"; };
    const std::string two = "1 2 3\r\n4 5 6\r\n", before = "3x8: 9 9 9; 9 9 9 | 0.25 0.5";
    const std::string cleared = "3x8: _ _ _; _ _ _ | _ _", wide = repeat("1 ", 40000);
    const Case cases[] = {
        {"   1  2    3 \r\n4 5 6\r\n", {}, 2, "3x8: 1 2 3; 4 5 6 | 0 0", {}},
        {"1\t2 abc 1,5\r\n-0 +7 1e3\r\n", {}, 2, "3x8: 1\t2 abc 1,5; -0 +7 1e3 | 0 0", {}},
        {"1 2 3\r\n4 5 6 7 8\r\n9 9 9\r\ngarbage\r\n", {}, 2, "3x8: 1 2 3; 4 5 6 | 0 0", {}},
        {"1 2 3 4\r\n5 6 7 8\r\n", {}, 3, "4x10: 1 2 3 4; 5 6 7 8; a(3,1) a(3,2) a(3,3) b(3) | 0 0 0", {}},
        // A short line writes the tokens it has; the solution column is not refreshed after it.
        {"1 2 3\r\n4 5\r\n7 8 9\r\n", {}, 2, "3x8: 1 2 3; 4 5 b(2) | 0 0", {Bad}},
        {"1 2 3\r\n\r\n7 8 9\r\n", {}, 2, "3x8: 1 2 3; a(2,1) a(2,2) b(2) | 0 0", {Bad}},
        {"1 2 3\r\n" + wide + "\r\n", {}, 2, "3x8: 1 2 3; a(2,1) a(2,2) b(2) | 0 0", {Bad}},
        {"42\r\n1 2\r\n", {}, 0, "1x4: |", {Bad}},
        // No number on the first line: the layout clears the grid before it fails.
        {"\r\n1 2 3\r\n", {}, -1, cleared, {Bad}},
        {wide + "\r\n", {}, 2, before, {Bad}},
        {repeat("1 ", 16383) + "\r\n", {}, 16382, "", {Bad}},  // 2N+4 leaves 16 bits
        {"", {}, 2, "3x8: 9 9 9; 9 9 9 | 0 0", {}},  // only the solution column is filled again
        {std::string("\x00\x01\xff \x80" "abc\t\x7f\n\x02 \x03 \x04\r\xfe\xfe\xfe", 20), {}, 1,
         std::string("2x6: \x00\x01\xff \x80" "abc\t\x7f | 0", 19), {}},
        // Solution files
        {two, "  0.5   -1.25 9 9\r\nmore lines\r\n", 2, "3x8: 1 2 3; 4 5 6 | 0.5 -1.25", {}},
        {two, "2.50000 1e-5\n", 2, "3x8: 1 2 3; 4 5 6 | 2.5 1E-05", {}},
        {two, "7\r\n", 2, "3x8: 1 2 3; 4 5 6 | 7 0", {Bad}},
        {two, "\r\n7 8\r\n", 2, "3x8: 1 2 3; 4 5 6 | 0 0", {Bad}},
        {two, "", 2, "3x8: 1 2 3; 4 5 6 | 0 0", {Bad}},
        {two, "1e999 1", 2, "3x8: 1 2 3; 4 5 6 | 0 0", {Bad}},
        {two, "/", 2, "3x8: 1 2 3; 4 5 6 | 0 0", {Bad}},
        {two, "7 8\r\n", 2, "3x8: 1 2 3; 4 5 6 | 0 0", {}, "elsewhere/s.txt"},  // outside: no solution
    };
    for (const Case& c : cases) {
        FilesEnv e;
        e.dir.write("data/p.txt", "9 9 9\r\n9 9 9\r\n");
        e.dir.write("data/solutions/p.txt", "0.25 0.5\r\n");
        open_file(e.form, e.data("p.txt"));
        ASSERT_EQ(e.shown(), before);
        if (c.file)
            e.dir.write(c.path, *c.file);
        if (c.solution)
            e.dir.write(*c.solution == "/" ? "data/solutions/s.txt/" : "data/solutions/s.txt", *c.solution);
        open_file(e.form, e.dir.file(c.path));
        const std::string what = c.file ? c.file->substr(0, 40) + " / " + c.solution.value_or("-") : "missing";
        EXPECT_EQ(e.user.messages, e.msgs(c.msgs)) << what;
        EXPECT_EQ(e.state.N, c.N) << what;
        EXPECT_TRUE(c.shown.empty() || e.shown() == c.shown) << what << ": " << e.shown().substr(0, 200);
    }
    FilesEnv e;  // a folder is no readable file: the caller hears of it
    EXPECT_THROW(open_file(e.form, e.dir.file("data")), FileError);
}

TEST(GetSolution, ReadsWithTheUsersDecimalSeparator)
{
    FilesEnv e;
    e.state.N = 2;
    e.dir.write("data/solutions/s.txt", "0,5 2\r\n");
    std::vector<float> x;
    e.state.separator = ",";
    get_solution(e.form, e.data("s.txt"), x);
    EXPECT_EQ(x, (std::vector<float>{0, 0.5f, 2}));
    EXPECT_TRUE(e.user.messages.empty());
}

TEST(RelativeName, PairsFilesBelowTheDataFolderOnly)
{
    FilesEnv e;
    const ProgramDir& d = e.form.dir;
    e.dir.write("data/a\\b.txt", "1 2\n");  // a backslash is an ordinary character in a name
    EXPECT_EQ(relative_name(d, e.data("sub/../sub/./sys.txt")), QString("sub/sys.txt"));
    EXPECT_EQ(relative_name(d, e.data("a\\b.txt")), QString("a\\b.txt"));
    EXPECT_EQ(solution_path(d, e.data("sub/sys.txt")), e.dir.file("data/solutions/sub/sys.txt"));
    // The folder itself, a sibling sharing its name's start, a file elsewhere, nothing at all.
    for (const QString& p : {e.dir.file("data"), e.dir.file("database/x.txt"), e.dir.file("x.txt"), QString()})
        EXPECT_FALSE(relative_name(d, p)) << p.toStdString();
    EXPECT_FALSE(solution_path(d, e.dir.file("x.txt")));

    // Links are resolved: into the data folder, and a data folder that is itself a link.
    ASSERT_TRUE(QFile::link(e.dir.file("data"), e.dir.file("shortcut")));
    EXPECT_EQ(relative_name(d, e.dir.file("shortcut/sys.txt")), QString("sys.txt"));
    testing::TempProgramDir linked;
    ASSERT_TRUE(QFile::link(e.dir.file("data"), linked.file("data")));
    EXPECT_EQ(relative_name(ProgramDir{linked.path()}, e.data("s.txt")), QString("s.txt"));
    // Links inside the data folder: out of it, and to a folder in it.
    e.dir.write("data/sub/x.txt", "1\n");
    e.dir.write("elsewhere/x.txt", "1\n");
    ASSERT_TRUE(QFile::link(e.dir.file("elsewhere"), e.dir.file("data/out")));
    ASSERT_TRUE(QFile::link(e.dir.file("data/sub"), e.dir.file("data/alias")));
    ASSERT_TRUE(QFile::link(e.dir.file("elsewhere/x.txt"), e.dir.file("data/y.txt")));
    EXPECT_FALSE(relative_name(d, e.data("out/x.txt")));
    EXPECT_FALSE(relative_name(d, e.data("y.txt")));
    EXPECT_EQ(relative_name(d, e.data("alias/x.txt")), QString("sub/x.txt"));
    EXPECT_EQ(relative_name(d, e.data("sub/x.txt")), QString("sub/x.txt"));
}

} // namespace
} // namespace quenta
