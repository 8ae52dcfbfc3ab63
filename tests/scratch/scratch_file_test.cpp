// The scratch file: record numbers, reads of every stride, and what fails: records past the end
// of the file, files that cannot be opened, bad record numbers. The bytes on disk are checked
// with Connect.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "common/systems.h"
#include "common/temp_dir.h"
#include "model/errors.h"
#include "scratch/scratch_file.h"
#include "scratch/scratch_writer.h"

namespace quenta {
namespace {

using testing::TempProgramDir;

TEST(ScratchFile, ReadsOfEveryStrideAgreeWithTheWrites)
{
    TempProgramDir dir;
    const QString path = dir.file("data.sle");
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    const int n = 37, total = n * (n + 1) * 30;  // more than the writer's buffers and a read's stretch hold
    std::vector<float> expected(std::size_t(total) + 1);
    {
        ScratchWriter w(path);
        // Consecutive records, then jumps back and forth.
        for (int k = 0; k < total + 300; ++k) {
            const int r = k < total ? k + 1 : int(rng() % unsigned(total)) + 1;
            w.write(r, expected[std::size_t(r)] = value(rng));
        }
    }
    ScratchReader rd(path);
    ASSERT_EQ(rd.records(), total);
    std::vector<float> run(std::size_t(total) + 1);
    rd.read(1, total, 1, run.data() + 1);
    ASSERT_EQ(run, expected);
    // The largest order whose n+1 fits 16 bits: its last record needs 32 bits.
    EXPECT_EQ(record_of(32766, 32767, 32766), 32767 * 32766);
    EXPECT_THROW(record_of(1, 1, 32767), OverflowError);
    RecordReader direct(rd, true);
    for (int trial = 0; trial < 300; ++trial) {
        const int first = int(rng() % unsigned(total)) + 1, count = int(rng() % 300);
        const int stride = trial % 3 ? 1 : int(rng() % 300) + 1;
        std::vector<float> out(std::size_t(count), 9.0f);
        const auto read = [&] { trial % 2 ? direct.read(first, count, stride, out.data()) : rd.read(first, count, stride, out.data()); };
        if (first + std::int64_t(count - 1) * stride > total) {  // the last one lies past the end: nothing is read
            EXPECT_THROW(read(), FileError);
            ASSERT_EQ(out, std::vector<float>(std::size_t(count), 9.0f));
            continue;
        }
        read();
        for (int k = 0; k < count; ++k) {
            const int r = first + k * stride;
            ASSERT_EQ(std::memcmp(&expected[std::size_t(r)], &out[std::size_t(k)], 4), 0) << "record " << r;
        }
        // A record read alone, as a(i, j) of the system of order n: rows of a(i, 1..n), b(i).
        const float one = rd.geta(i16((first - 1) / (n + 1) + 1), i16((first - 1) % (n + 1) + 1), i16(n));
        ASSERT_EQ(std::memcmp(&one, &expected[std::size_t(first)], 4), 0) << "record " << first;
    }
}

TEST(ScratchFile, FailuresAndRecordsPastTheEnd)
{
    TempProgramDir dir;
    EXPECT_THROW(ScratchWriter(dir.file("missing/folder/data.sle")), FileError);
    EXPECT_THROW(ScratchReader(dir.file("data.sle")), FileError);
    {
        ScratchWriter w(dir.file("data.sle"));
        w.write(1, 2.0f);
        EXPECT_THROW(w.write(0, 1.0f), FileError);  // the buffered record reaches the file first
    }
    EXPECT_EQ(dir.read("data.sle"), testing::records({2.0f}));

    // Two whole records and a partial third.
    dir.write("data.sle", testing::records({1, 2, 3}).substr(0, 2 * 128 + 10));
    ScratchReader rd(dir.file("data.sle"));
    EXPECT_EQ(rd.records(), 2);
    EXPECT_EQ(rd.geta(1, 2, 1), 2.0f);
    EXPECT_EQ(rd.getb(1, 1), 2.0f);             // record 2
    EXPECT_THROW(rd.geta(2, 1, 1), FileError);  // record 3 is not whole
    EXPECT_THROW(rd.getb(2, 1), FileError);     // record 4
    EXPECT_THROW(rd.geta(0, 1, 1), FileError);  // record -1
    float out[2] = {9, 9};
    EXPECT_THROW(rd.read(2, 2, 1, out), FileError);  // records 2 and 3: nothing is read
    EXPECT_EQ(out[0], 9.0f);
    rd.close();
    EXPECT_THROW(rd.geta(1, 1, 1), FileError);
}

} // namespace
} // namespace quenta
