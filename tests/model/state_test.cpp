// The working arrays, the injected allocation failures and the message table.
#include <gtest/gtest.h>

#include "model/errors.h"
#include "model/state.h"

namespace quenta {
namespace {

class WorkingArrays : public ::testing::Test {
protected:
    void TearDown() override { alloc_testing::resetAllocationFailures(); }
};

TEST_F(WorkingArrays, MatrixColumnsAreContiguousAndZero)
{
    Matrix a;
    a.allocate(5);
    EXPECT_EQ(a.order(), 5);
    EXPECT_GE(a.stride(), 6u);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(a(i, j), 0.0f);
    a(3, 2) = 7.5f;
    a(4, 2) = -1.0f;
    EXPECT_EQ(a.column(2)[3], 7.5f);
    EXPECT_EQ(&a.column(2)[4], &a.column(2)[3] + 1);
    EXPECT_EQ(&a(1, 3) - &a(1, 2), static_cast<std::ptrdiff_t>(a.stride()));

    // A new allocation starts from zero again.
    a.allocate(4);
    EXPECT_EQ(a.order(), 4);
    EXPECT_EQ(a(3, 2), 0.0f);
    a.release();
    EXPECT_EQ(a.order(), 0);
}

TEST_F(WorkingArrays, MatrixStrideIsPaddedAndNeverAPowerOfTwo)
{
    Matrix a;
    for (int n = 0; n <= 300; ++n) {
        a.allocate(n);
        const std::size_t s = a.stride();
        EXPECT_GE(s, static_cast<std::size_t>(n) + 1) << n;
        EXPECT_EQ(s % 16, 0u) << n;
        EXPECT_NE(s & (s - 1), 0u) << "stride " << s << " for n = " << n;
    }
}

TEST_F(WorkingArrays, VectorAllocationKeepsOrClears)
{
    std::vector<float> v;
    allocate(v, 3);
    ASSERT_EQ(v.size(), 4u);
    v[1] = 1.0f;
    v[3] = 3.0f;
    allocate(v, 5, true);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[1], 1.0f);
    EXPECT_EQ(v[3], 3.0f);
    EXPECT_EQ(v[5], 0.0f);
    allocate(v, 2, true);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[1], 1.0f);
    allocate(v, 2);
    EXPECT_EQ(v[1], 0.0f);
    allocate(v, 0);
    EXPECT_EQ(v.size(), 1u);
    EXPECT_THROW(allocate(v, -1), SubscriptError);
    Matrix a;
    EXPECT_THROW(a.allocate(-1), SubscriptError);
}

TEST_F(WorkingArrays, InjectedFailuresCountEveryAllocation)
{
    std::vector<float> v;
    allocate(v, 2);
    v[1] = 4.0f;
    Matrix a;

    alloc_testing::failAllocationsAfter(2);
    EXPECT_NO_THROW(a.allocate(3));
    EXPECT_NO_THROW(allocate(v, 3, true));
    EXPECT_THROW(allocate(v, 8), MemoryError);
    EXPECT_THROW(a.allocate(8), MemoryError);
    // A refused allocation leaves the array as it was.
    EXPECT_EQ(v.size(), 4u);
    EXPECT_EQ(v[1], 4.0f);
    EXPECT_EQ(a.order(), 3);

    alloc_testing::resetAllocationFailures();
    EXPECT_NO_THROW(allocate(v, 8));
    EXPECT_NO_THROW(a.allocate(8));

    alloc_testing::failAllocationsAfter(0);
    EXPECT_THROW(allocate(v, 1), MemoryError);
}

TEST(MessageTable, TextsAreExact)
{
    WorkingState s;
    s.loadMessages();
    EXPECT_EQ(s.msgFormat, " Sorry, not correct format of the entered number.");
    EXPECT_EQ(s.msgIncomplete, " Sorry, incorrect data or not all  data are available.");
    EXPECT_EQ(s.msgBadFile, " Sorry, not correct data in the file.");
    EXPECT_EQ(s.msgNoMemory, " Sorry, not enough memory. Please try the option-'Connect to' from the File Menu");
    EXPECT_EQ(s.msgNoFile, " Sorry, there is no the file.");
    EXPECT_EQ(s.msgReplace, "Such file exists. Do you want to replace the old file?");
}

} // namespace
} // namespace quenta
