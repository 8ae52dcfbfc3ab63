#pragma once
// 16-bit signed whole numbers with overflow checks: N, indexes, counters and grid positions.
// Every helper raises OverflowError when the result leaves -32768..32767.
#include <cstdint>

#include "model/errors.h"

namespace quenta {

using i16 = std::int16_t;

inline i16 to_i16(long long v)
{
    if (v < INT16_MIN || v > INT16_MAX)
        throw OverflowError("16-bit overflow");
    return static_cast<i16>(v);
}
inline i16 add16(long long a, long long b) { return to_i16(a + b); }
inline i16 sub16(long long a, long long b) { return to_i16(a - b); }
inline i16 mul16(long long a, long long b) { return to_i16(a * b); }

} // namespace quenta
