// The line splitter and the buffered line reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "files/line.h"
#include "model/errors.h"

namespace quenta {
namespace {

using testing::TempProgramDir;

std::vector<std::string> tokens(std::string_view line)
{
    i16 m = -5;
    std::vector<std::string_view> y;
    get_row(line, m, y);
    EXPECT_EQ(y.size(), static_cast<std::size_t>(m) + 1);
    std::vector<std::string> out;
    for (std::size_t k = 1; k < y.size(); ++k)
        out.emplace_back(y[k]);
    return out;
}

TEST(GetRow, SplitsOnRunsOfSpacesOnly)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(tokens("  1.5   -2  3e4 "), (V{"1.5", "-2", "3e4"}));
    EXPECT_EQ(tokens("1\t2 3"), (V{"1\t2", "3"}));      // a tab is part of the token
    EXPECT_EQ(tokens("\t"), (V{"\t"}));
    EXPECT_EQ(tokens("a(1,2) 1,5 abc"), (V{"a(1,2)", "1,5", "abc"}));
    EXPECT_EQ(tokens(std::string_view("x\0y z", 5)), (V{std::string("x\0y", 3), "z"}));
    EXPECT_EQ(tokens("7"), (V{"7"}));
}

TEST(GetRow, BlankLinesGiveNoTokens)
{
    for (std::string_view line : {std::string_view(""), std::string_view(" "), std::string_view("      ")}) {
        i16 m = 9;
        std::vector<std::string_view> y{"stale", "old", "older"};
        get_row(line, m, y);
        EXPECT_EQ(m, 0);
        EXPECT_EQ(y.size(), 1u);
    }
}

TEST(GetRow, ReusedListHoldsOnlyTheNewLine)
{
    i16 m = 0;
    std::vector<std::string_view> y;
    get_row("1 2 3 4 5", m, y);
    ASSERT_EQ(m, 5);
    get_row(" 8 9", m, y);
    ASSERT_EQ(m, 2);
    ASSERT_EQ(y.size(), 3u);
    EXPECT_EQ(y[1], "8");
    EXPECT_EQ(y[2], "9");
}

TEST(GetRow, MoreThan32767TokensOverflow)
{
    std::string line;
    for (int k = 0; k < 32767; ++k)
        line += "1 ";
    i16 m = 0;
    std::vector<std::string_view> y;
    get_row(line, m, y);
    EXPECT_EQ(m, 32767);
    line += "2";
    EXPECT_THROW(get_row(line, m, y), OverflowError);
    std::string many;
    for (int k = 0; k < 40000; ++k)
        many += " 0";
    EXPECT_THROW(get_row(many, m, y), OverflowError);
}

std::vector<std::string> read_lines(const QString& path)
{
    LineReader reader(path);
    std::vector<std::string> out;
    std::string_view line;
    while (reader.next(line))
        out.emplace_back(line);
    EXPECT_FALSE(reader.next(line));  // stays at the end
    return out;
}

std::vector<std::string> lines_of(const std::string& bytes)
{
    TempProgramDir dir;
    dir.write("f.txt", bytes);
    return read_lines(dir.file("f.txt"));
}

TEST(LineReader, EndsLinesAtCrLfLoneCrAndLoneLf)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(lines_of("1 2\r\n3 4\r\n"), (V{"1 2", "3 4"}));
    EXPECT_EQ(lines_of("1 2\r3 4\r"), (V{"1 2", "3 4"}));
    EXPECT_EQ(lines_of("1 2\n3 4\n"), (V{"1 2", "3 4"}));
    EXPECT_EQ(lines_of("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));   // the last line needs no end
    EXPECT_EQ(lines_of("a\n\rb"), (V{"a", "", "b"}));               // LF CR is two line ends
    EXPECT_EQ(lines_of("a\r\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(lines_of("\r\n\r\nx"), (V{"", "", "x"}));
    EXPECT_EQ(lines_of("\r"), (V{""}));
    EXPECT_EQ(lines_of("\n"), (V{""}));
    EXPECT_EQ(lines_of(""), V{});
    EXPECT_EQ(lines_of(std::string("\0\xff\r\n", 4)), (V{std::string("\0\xff", 2)}));
}

TEST(LineReader, MissingFileOrFolderCannotBeOpened)
{
    TempProgramDir dir;
    EXPECT_THROW(LineReader(dir.file("none.txt")), FileError);
    EXPECT_THROW(LineReader(dir.path()), FileError);
    EXPECT_THROW({ LineReader empty{QString()}; }, FileError);
}

// A CR LF pair split by the end of the first read (1 MiB), at and around the split.
TEST(LineReader, CrLfAcrossTheFirstReadIsOneLineEnd)
{
    const std::size_t mib = std::size_t(1) << 20;
    for (std::size_t at : {mib - 2, mib - 1, mib, mib + 1}) {
        std::string bytes(at, 'x');
        bytes += "\r\nnext\rlast";
        const auto got = lines_of(bytes);
        ASSERT_EQ(got.size(), 3u) << "CR at " << at;
        EXPECT_EQ(got[0].size(), at);
        EXPECT_EQ(got[1], "next");
        EXPECT_EQ(got[2], "last");

        std::string lone(at, 'y');
        lone += "\rz";
        const auto got2 = lines_of(lone);
        ASSERT_EQ(got2.size(), 2u);
        EXPECT_EQ(got2[1], "z");
    }
}

TEST(LineReader, LinesLongerThanTheBufferComeWhole)
{
    std::string first(3 * (std::size_t(1) << 20) + 17, '5');
    const auto got = lines_of(first + "\r\n7 8\r\n");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], first);
    EXPECT_EQ(got[1], "7 8");
}

// Random texts over a small alphabet rich in line ends, several MiB long, against a plain
// one-character-at-a-time splitter.
TEST(LineReader, AgreesWithASimpleSplitterOnRandomText)
{
    std::mt19937 gen(12345);
    const char alphabet[] = {'1', ' ', '\r', '\n', 'x', '\r', '\n'};
    for (int round = 0; round < 3; ++round) {
        const std::size_t size = (std::size_t(1) << 20) * (round + 1) + gen() % 1000;
        std::string bytes(size, ' ');
        // Long runs without line ends now and then, so that lines cross the buffer's end.
        for (std::size_t k = 0; k < size; ++k)
            bytes[k] = (k / 4096) % 7 == 3 ? '1' : alphabet[gen() % sizeof alphabet];
        std::vector<std::string> expected;
        std::string cur;
        bool open = false;
        for (std::size_t k = 0; k < size; ++k) {
            const char c = bytes[k];
            if (c == '\r' || c == '\n') {
                expected.push_back(cur);
                cur.clear();
                open = false;
                if (c == '\r' && k + 1 < size && bytes[k + 1] == '\n')
                    ++k;
            } else {
                cur += c;
                open = true;
            }
        }
        if (open)
            expected.push_back(cur);
        EXPECT_EQ(lines_of(bytes), expected) << "round " << round;
    }
}

} // namespace
} // namespace quenta
