// The scratch file: record numbers, the writer's layout on disk, one-record and blocked reads,
// and reads past the end of the file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "common/temp_dir.h"
#include "model/errors.h"
#include "scratch/scratch_file.h"

namespace quenta {
namespace {

using testing::TempProgramDir;

std::string record_bytes(float v)
{
    std::string r(128, '\0');
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int k = 0; k < 4; ++k)
        r[static_cast<std::size_t>(k)] = static_cast<char>((bits >> (8 * k)) & 0xFF);
    return r;
}

TEST(RecordNumbers, AugmentedMatrixRowByRow)
{
    // Order 2: a(1,1) a(1,2) b(1) a(2,1) a(2,2) b(2) are records 1..6.
    EXPECT_EQ(record_of(1, 1, 2), 1);
    EXPECT_EQ(record_of(1, 2, 2), 2);
    EXPECT_EQ(record_of(1, 3, 2), 3);
    EXPECT_EQ(record_of(2, 1, 2), 4);
    EXPECT_EQ(record_of(2, 3, 2), 6);
    // The largest order whose n+1 fits 16 bits: the last record needs 32 bits.
    EXPECT_EQ(record_of(32766, 32767, 32766), 32767 * 32766);
    EXPECT_THROW(record_of(1, 1, 32767), OverflowError);
}

TEST(ScratchWriter, LittleEndianValueThenZeroFiller)
{
    TempProgramDir dir;
    {
        ScratchWriter w(dir.file("data.sle"));
        w.write(1, 1.5f);
        w.write(2, -0x1.fffffep+127f);
        w.close();
    }
    const std::string bytes = dir.read("data.sle");
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes.substr(0, 128), record_bytes(1.5f));
    EXPECT_EQ(bytes.substr(128, 128), record_bytes(-0x1.fffffep+127f));
    // 1.5f is 0x3FC00000: least significant byte first.
    EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 0x3F);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 0xC0);
}

TEST(ScratchWriter, OrderTwoAfterOrderTenKeepsLengthAndRewritesFirstRecords)
{
    TempProgramDir dir;
    const QString path = dir.file("data.sle");
    {
        ScratchWriter w(path);
        for (int r = 1; r <= 110; ++r)
            w.write(r, 100.0f + static_cast<float>(r));
    }
    {
        ScratchWriter w(path);
        for (int r = 1; r <= 6; ++r)
            w.write(r, static_cast<float>(r));
    }
    ScratchReader rd(path);
    EXPECT_EQ(rd.records(), 110);
    EXPECT_EQ(rd.geta(1, 1, 2), 1.0f);
    EXPECT_EQ(rd.getb(1, 2), 3.0f);
    EXPECT_EQ(rd.getb(2, 2), 6.0f);
    EXPECT_EQ(rd.geta(2, 1, 2), 4.0f);
    // Records past the new system keep the old values.
    EXPECT_EQ(rd.geta(1, 7, 10), 107.0f);
    EXPECT_EQ(rd.getb(10, 10), 210.0f);
}

TEST(ScratchWriter, ScatteredWritesLandWhereSingleRecordWritesWould)
{
    TempProgramDir dir;
    const QString path = dir.file("data.sle");
    std::mt19937 rng(7);
    std::vector<float> expected(40000, 0.0f);
    {
        ScratchWriter w(path);
        // Long consecutive runs that overflow the buffer, then jumps back and forth.
        for (int r = 1; r <= 40000; ++r) {
            expected[static_cast<std::size_t>(r - 1)] = static_cast<float>(r);
            w.write(r, static_cast<float>(r));
        }
        for (int k = 0; k < 300; ++k) {
            const int r = static_cast<int>(rng() % 40000) + 1;
            const float v = -static_cast<float>(k);
            expected[static_cast<std::size_t>(r - 1)] = v;
            w.write(r, v);
        }
    }
    ScratchReader rd(path);
    ASSERT_EQ(rd.records(), 40000);
    std::vector<float> got(40000);
    ASSERT_EQ(rd.readRun(1, 40000, got.data()), 40000);
    EXPECT_EQ(got, expected);
}

TEST(ScratchWriter, FailedOpenAndBadRecordAreFileErrors)
{
    TempProgramDir dir;
    EXPECT_THROW(ScratchWriter(dir.file("missing/folder/data.sle")), FileError);
    ScratchWriter w(dir.file("data.sle"));
    w.write(1, 2.0f);
    // The buffered record reaches the file before the failure is reported.
    EXPECT_THROW(w.write(0, 1.0f), FileError);
    ScratchReader rd(dir.file("data.sle"));
    EXPECT_EQ(rd.records(), 1);
    EXPECT_EQ(rd.geta(1, 1, 0), 2.0f);
}

TEST(ScratchReader, MissingFileAndRecordsPastTheEnd)
{
    TempProgramDir dir;
    EXPECT_THROW(ScratchReader(dir.file("data.sle")), FileError);

    // Two whole records and a partial third.
    dir.write("data.sle", record_bytes(1.0f) + record_bytes(2.0f) + record_bytes(3.0f).substr(0, 10));
    ScratchReader rd(dir.file("data.sle"));
    EXPECT_EQ(rd.records(), 2);
    EXPECT_EQ(rd.geta(1, 2, 1), 2.0f);
    EXPECT_EQ(rd.getb(1, 1), 2.0f);              // record 2
    EXPECT_THROW(rd.geta(2, 1, 1), FileError);   // record 3 is not whole
    EXPECT_THROW(rd.getb(2, 1), FileError);      // record 4
    EXPECT_THROW(rd.geta(0, 1, 1), FileError);   // record -1
    float out[4] = {9, 9, 9, 9};
    EXPECT_EQ(rd.readRun(2, 4, out), 1);
    EXPECT_EQ(out[0], 2.0f);
    EXPECT_EQ(out[1], 9.0f);
    EXPECT_EQ(rd.readRun(3, 2, out), 0);
    rd.close();
    EXPECT_THROW(rd.geta(1, 1, 1), FileError);
}

TEST(ScratchReader, BlockedReadsAgreeWithOneRecordReads)
{
    TempProgramDir dir;
    const QString path = dir.file("data.sle");
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    const int n = 37;  // 37 * 38 records, with a tail of extra records from an older system
    const int total = n * (n + 1) + 50;
    {
        ScratchWriter w(path);
        for (int r = 1; r <= total; ++r)
            w.write(r, value(rng));
    }
    ScratchReader rd(path);
    std::vector<float> run(static_cast<std::size_t>(total) + 10);
    for (int trial = 0; trial < 200; ++trial) {
        const int first = static_cast<int>(rng() % static_cast<unsigned>(total)) + 1;
        const int count = static_cast<int>(rng() % 300);
        const std::int64_t got = rd.readRun(first, count, run.data());
        ASSERT_EQ(got, std::min(count, total - first + 1));
        for (int k = 0; k < got; ++k) {
            const int r = first + k;
            const i16 i = static_cast<i16>((r - 1) / (n + 1) + 1);
            const i16 j = static_cast<i16>((r - 1) % (n + 1) + 1);
            ASSERT_EQ(record_of(i, j, static_cast<i16>(n)), r);
            const float one = rd.geta(i, j, static_cast<i16>(n));
            ASSERT_EQ(std::memcmp(&one, &run[static_cast<std::size_t>(k)], 4), 0) << "record " << r;
        }
    }
}

} // namespace
} // namespace quenta
