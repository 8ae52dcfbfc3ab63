#pragma once
// Float arithmetic of the solver. Every stored quantity is a 32-bit float. A multiply-add
// u*v + w is one double-precision product (exact) plus the float addend, rounded to double and
// then to float when stored -- not a fused float multiply-add. A result beyond the float range,
// a division by zero and 0/0 raise ArithmeticError at that operation; underflow is not an error.
// The build never contracts these into FMA instructions (-ffp-contract=off) and never flushes
// subnormals to zero.
#include <cmath>

#include "model/errors.h"

namespace quenta {

// Rounds a double to float; raises when the float is not finite.
inline float to_single(double v)
{
    const float f = static_cast<float>(v);
    if (!std::isfinite(f)) [[unlikely]]
        throw ArithmeticError(std::isnan(f) ? "invalid operation" : "float overflow");
    return f;
}

inline float madd(float u, float v, float w)
{
    return to_single(static_cast<double>(u) * static_cast<double>(v) + static_cast<double>(w));
}

inline float fadd(float a, float b) { return to_single(static_cast<double>(a) + static_cast<double>(b)); }

inline float fdiv(float a, float b)
{
    if (b == 0.0f) [[unlikely]]
        throw ArithmeticError(a == 0.0f ? "0/0" : "division by zero");
    return to_single(static_cast<double>(a) / static_cast<double>(b));
}

} // namespace quenta
