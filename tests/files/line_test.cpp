// The line splitter and the buffered line reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_dir.h"
#include "files/line.h"
#include "model/errors.h"

namespace quenta {
namespace {

using V = std::vector<std::string>;

TEST(GetRow, SplitsOnRunsOfSpacesOnlyIntoAReusedList)
{
    std::vector<std::string_view> y{"stale", "old", "older", "oldest", "x", "y", "z"};
    i16 m = -5;
    const std::pair<std::string_view, V> cases[] = {
        {"  1.5   -2  3e4 ", {"1.5", "-2", "3e4"}}, {"1\t2 3", {"1\t2", "3"}}, {"\t", {"\t"}},  // a tab is no separator
        {"a(1,2) 1,5 abc", {"a(1,2)", "1,5", "abc"}}, {std::string_view("x\0y z", 5), {std::string("x\0y", 3), "z"}},
        {"7", {"7"}}, {"", {}}, {"      ", {}},
    };
    for (const auto& [line, want] : cases) {
        get_row(line, m, y);
        ASSERT_EQ(m, static_cast<int>(want.size())) << line;
        ASSERT_EQ(y.size(), want.size() + 1) << line;
        EXPECT_EQ(V(y.begin() + 1, y.end()), want);
    }
    std::string line;
    for (int k = 0; k < 32767; ++k)
        line += "1 ";
    get_row(line, m, y);
    EXPECT_EQ(m, 32767);
    EXPECT_THROW(get_row(line + "2", m, y), OverflowError);
}

V lines_of(const std::string& bytes)
{
    testing::TempProgramDir dir;
    dir.write("f.txt", bytes);
    LineReader reader(dir.file("f.txt"));
    V out;
    std::string_view line;
    while (reader.next(line))
        out.emplace_back(line);
    EXPECT_FALSE(reader.next(line));  // stays at the end
    return out;
}

TEST(LineReader, EndsLinesAtCrLfLoneCrAndLoneLf)
{
    EXPECT_EQ(lines_of("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));  // the last line needs no end
    EXPECT_EQ(lines_of("a\n\rb"), (V{"a", "", "b"}));              // LF CR is two line ends
    EXPECT_EQ(lines_of("a\r\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(lines_of("\r\n\r\nx"), (V{"", "", "x"}));
    EXPECT_EQ(lines_of("\r"), (V{""}));
    EXPECT_EQ(lines_of("\n"), (V{""}));
    EXPECT_EQ(lines_of(""), V{});
    EXPECT_EQ(lines_of(std::string("\0\xff\r\n", 4)), (V{std::string("\0\xff", 2)}));

    testing::TempProgramDir dir;
    EXPECT_THROW(LineReader(dir.file("none.txt")), FileError);
    EXPECT_THROW(LineReader(dir.path()), FileError);
    EXPECT_THROW({ LineReader empty{QString()}; }, FileError);
}

// A line end at and around the end of the first read (1 MiB), and a line longer than the buffer.
TEST(LineReader, LineEndsAcrossTheBuffersEnd)
{
    const std::size_t mib = std::size_t(1) << 20;
    for (std::size_t at : {mib - 2, mib - 1, mib, mib + 1, 3 * mib + 17}) {
        const std::string x(at, 'x');
        const V got = lines_of(x + "\r\nnext\rlast");
        ASSERT_EQ(got.size(), 3u) << "CR LF at " << at;
        EXPECT_TRUE(got[0] == x && got[1] == "next" && got[2] == "last") << "CR LF at " << at;
        const V lone = lines_of(x + "\rz");
        EXPECT_TRUE(lone.size() == 2 && lone[0] == x && lone[1] == "z") << "CR at " << at;
    }
}

// Random texts over a small alphabet rich in line ends, with long runs without one now and then
// so that lines cross the buffer's end, against a plain one-character-at-a-time splitter.
TEST(LineReader, AgreesWithASimpleSplitterOnRandomText)
{
    std::mt19937 gen(12345);
    const char alphabet[] = "1 \r\nx\r\n";
    for (std::size_t size : {std::size_t(1) << 20, std::size_t(2) << 20, (std::size_t(3) << 20) + 517}) {
        std::string bytes(size, ' '), cur;
        V expected;
        for (std::size_t k = 0; k < size; ++k)
            bytes[k] = (k / 4096) % 7 == 3 ? '1' : alphabet[gen() % 7];
        for (std::size_t k = 0; k < size; ++k) {
            if (bytes[k] != '\r' && bytes[k] != '\n') {
                cur += bytes[k];
            } else {
                expected.push_back(std::exchange(cur, ""));
                k += bytes[k] == '\r' && k + 1 < size && bytes[k + 1] == '\n';
            }
        }
        if (bytes.back() != '\r' && bytes.back() != '\n')
            expected.push_back(cur);
        EXPECT_EQ(lines_of(bytes), expected) << "size " << size;
    }
}

} // namespace
} // namespace quenta
