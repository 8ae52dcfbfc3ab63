// The working arrays and the injected allocation failures.
#include <gtest/gtest.h>

#include "model/errors.h"
#include "model/state.h"

namespace quenta {
namespace {

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
    EXPECT_THROW(Matrix().allocate(-1), SubscriptError);

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

} // namespace
} // namespace quenta
