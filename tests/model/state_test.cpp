// The working arrays and the injected allocation failures.
#include <gtest/gtest.h>

#include "model/errors.h"
#include "model/state.h"

namespace quenta {
namespace {

// Allocation keeps or clears, and an injected failure leaves the array as it was.
TEST(WorkingArrays, VectorsKeepOrClearAndInjectedFailuresLeaveThemAsTheyWere)
{
    std::vector<float> v;
    allocate(v, 3);
    v[1] = 1.0f;
    allocate(v, 5, true);
    EXPECT_EQ(v, (std::vector<float>{0, 1, 0, 0, 0, 0}));
    allocate(v, 2);
    EXPECT_EQ(v, (std::vector<float>{0, 0, 0}));
    EXPECT_THROW(allocate(v, -1), SubscriptError);
    v[1] = 4.0f;
    Matrix a;
    WorkingState s;
    s.allocationsLeft = 2;
    s.allocate(a, 3);
    EXPECT_THROW(s.allocate(v, -1), SubscriptError);  // costs nothing
    s.allocate(v, 3, true);
    EXPECT_THROW(s.allocate(v, 8), MemoryError);
    EXPECT_THROW(s.allocate(a, 8), MemoryError);
    EXPECT_EQ(v, (std::vector<float>{0, 4, 0, 0}));
    EXPECT_EQ(a.order(), 3);
}

} // namespace
} // namespace quenta
