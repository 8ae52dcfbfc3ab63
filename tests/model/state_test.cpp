// The working arrays, the injected allocation failures and the message table.
#include <gtest/gtest.h>

#include "model/errors.h"
#include "model/state.h"

namespace quenta {
namespace {

TEST(WorkingArrays, MatrixIsColumnMajorZeroedAndPadded)
{
    Matrix a;
    a.allocate(5);
    a(3, 2) = 7.5f;
    EXPECT_EQ(&a.column(2)[3], &a(3, 2));
    EXPECT_EQ(&a(1, 3) - &a(1, 2), static_cast<std::ptrdiff_t>(a.stride()));
    a.allocate(4);  // a new allocation starts from zero again
    EXPECT_EQ(a.order(), 4);
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i)
            EXPECT_EQ(a(i, j), 0.0f);
    for (int n = 0; n <= 300; ++n) {  // column stride padded, never a power of two
        a.allocate(n);
        const std::size_t s = a.stride();
        EXPECT_TRUE(s >= static_cast<std::size_t>(n) + 1 && s % 16 == 0) << s;
        EXPECT_NE(s & (s - 1), 0u) << "stride " << s << " for n = " << n;
    }
    EXPECT_THROW(a.allocate(-1), SubscriptError);
}

TEST(WorkingArrays, VectorsKeepOrClearAndInjectedFailuresLeaveThemAsTheyWere)
{
    std::vector<float> v;
    allocate(v, 3);
    v[1] = 1.0f;
    v[3] = 3.0f;
    allocate(v, 5, true);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[3], 3.0f);
    EXPECT_EQ(v[5], 0.0f);
    allocate(v, 2);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_THROW(allocate(v, -1), SubscriptError);

    v[1] = 4.0f;
    Matrix a;
    {
        AllocationFailures two(2);
        EXPECT_NO_THROW(a.allocate(3));
        EXPECT_NO_THROW(allocate(v, 3, true));
        EXPECT_THROW(allocate(v, 8), MemoryError);
        EXPECT_THROW(a.allocate(8), MemoryError);
    }
    EXPECT_EQ(v.size(), 4u);
    EXPECT_EQ(v[1], 4.0f);
    EXPECT_EQ(a.order(), 3);
    EXPECT_NO_THROW(allocate(v, 8));
    AllocationFailures none(0);
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
