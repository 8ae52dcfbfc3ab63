// The line splitter and the buffered line reader.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
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

// The lines of a UTF-16 text read through a buffer of `buffer` bytes.
V lines_of(LineReader&& reader)
{
    V out;
    std::string_view line;
    while (reader.next(line))
        out.emplace_back(line);
    EXPECT_FALSE(reader.next(line));  // stays at the end
    return out;
}

V lines_of(const QString& text, std::size_t buffer) { return lines_of(LineReader(LineReader::Utf16Text{text}, buffer)); }

V lines_of(const std::string& bytes)
{
    testing::TempProgramDir dir;
    dir.write("f.txt", bytes);
    return lines_of(LineReader(dir.file("f.txt")));
}

// One character at a time: a line ends at CR LF, a lone CR or a lone LF; the last needs no end.
V simple_lines(const std::string& bytes)
{
    V out;
    std::string cur;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] != '\r' && bytes[k] != '\n') {
            cur += bytes[k];
        } else {
            out.push_back(std::exchange(cur, ""));
            k += bytes[k] == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n';
        }
    }
    if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n')
        out.push_back(cur);
    return out;
}

// The reader against the simple splitter: awkward short texts, a line end at and around the end
// of the first read (1 MiB) and lines longer than the buffer, then random texts over a small
// alphabet rich in line ends, with long runs without one now and then.
TEST(LineReader, AgreesWithASimpleSplitter)
{
    const std::size_t mib = std::size_t(1) << 20;
    std::vector<std::string> texts = {"a\r\nb\rc\nd", "a\n\rb", "a\r\r\nb", "\r\n\r\nx", "\r", "\n", "",
                                      std::string("\0\xff\r\n", 4)};
    for (std::size_t at : {mib - 2, mib - 1, mib, mib + 1, 3 * mib + 17})
        texts.push_back(std::string(at, 'x') + "\r\nnext\rlast"), texts.push_back(std::string(at, 'x') + "\rz");
    std::mt19937 gen(12345);
    const char alphabet[] = "1 \r\nx\r\n";
    for (std::size_t size : {mib, 2 * mib, 3 * mib + 517}) {
        std::string& bytes = texts.emplace_back(size, ' ');
        for (std::size_t k = 0; k < size; ++k)
            bytes[k] = (k / 4096) % 7 == 3 ? '1' : alphabet[gen() % 7];
    }
    for (const std::string& bytes : texts)
        EXPECT_EQ(lines_of(bytes), simple_lines(bytes)) << "size " << bytes.size() << ": " << bytes.substr(0, 12);
    EXPECT_EQ(simple_lines("a\n\rb"), (V{"a", "", "b"}));  // LF CR is two line ends
    // A UTF-16 text through buffers that hold a few characters: lines, and characters of up to
    // four bytes, across refills.
    texts.resize(texts.size() - 3);
    texts.push_back("\xc3\xa4\xe2\x82\xac\xf0\x9d\x84\x9e\r\n\xf0\x9d\x84\x9ex\r1,5\n");
    for (const std::string& bytes : texts) {
        const QString text = QString::fromStdString(bytes);  // bytes that are not UTF-8 come back mended
        for (std::size_t buffer : {1, 8, 9, 10, 11, 64})
            EXPECT_EQ(lines_of(text, buffer), simple_lines(text.toStdString())) << buffer << ": " << bytes.substr(0, 12);
    }

    testing::TempProgramDir dir;
    EXPECT_THROW(LineReader(dir.file("none.txt")), FileError);
    EXPECT_THROW(LineReader(dir.path()), FileError);
    EXPECT_THROW({ LineReader empty{QString()}; }, FileError);
}

// A FIFO fed slowly by a child while a timer signal keeps interrupting the reader: every
// interrupted open and read is retried, and a CR that ends what has arrived so far ends its line
// at once, without waiting for the byte after it (the child sends more only once told that the
// line came, and fails when it had to give up waiting).
TEST(LineReader, SlowPipeInterruptedBySignals)
{
    testing::TempProgramDir dir;
    const std::string fifo = dir.file("fifo").toStdString();
    int ack[2];
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::pipe(ack), 0);
    struct sigaction quiet {}, old {};
    quiet.sa_handler = [](int) {};  // no SA_RESTART: a blocked call returns EINTR
    ::sigaction(SIGALRM, &quiet, &old);
    const itimerval every{{0, 500}, {0, 500}}, off{};
    ::setitimer(ITIMER_REAL, &every, nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setitimer(ITIMER_REAL, &off, nullptr);
        const timespec pause{0, 20'000'000};
        ::nanosleep(&pause, nullptr);  // the reader waits in open meanwhile
        const int out = ::open(fifo.c_str(), O_WRONLY);
        pollfd told{ack[0], POLLIN, 0};
        bool ok = ::write(out, "1 2\r", 4) == 4 && ::poll(&told, 1, 5000) == 1;
        for (const char* piece : {"\n3", " 4\r\n", "5"})
            ok = ::nanosleep(&pause, nullptr) == 0 && ::write(out, piece, std::strlen(piece)) > 0 && ok;
        ::_exit(ok ? 0 : 1);
    }
    V got;
    {
        LineReader reader(QString::fromStdString(fifo));
        std::string_view line;
        while (reader.next(line)) {
            got.emplace_back(line);
            if (got.size() == 1) {
                EXPECT_EQ(::write(ack[1], "!", 1), 1);
            }
        }
    }
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &old, nullptr);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(got, (V{"1 2", "3 4", "5"}));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the line ended by a CR waited for more";
}

} // namespace
} // namespace quenta
