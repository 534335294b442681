#pragma once

#include "runtimeerror.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

// The ball's arithmetic is exact to the tick: 16-bit integers whose overflow is
// an error, ties-to-even rounding from doubles, and 32-bit float storage with
// double intermediates. Everything here is a plain function so that a step
// reads like the algorithm it implements.
namespace zorbel {

using Int16 = std::int16_t;

namespace detail {

[[noreturn]] inline void overflow(const char *what)
{
    throw RuntimeError(std::string("overflow: ") + what);
}

inline Int16 checkedNarrow(std::int32_t value, const char *what)
{
    if (value < std::numeric_limits<Int16>::min() || value > std::numeric_limits<Int16>::max())
        overflow(what);
    return static_cast<Int16>(value);
}

} // namespace detail

inline Int16 checkedIncrement(Int16 value)
{
    return detail::checkedNarrow(std::int32_t { value } + 1, "16-bit increment");
}

inline Int16 checkedDecrement(Int16 value)
{
    return detail::checkedNarrow(std::int32_t { value } - 1, "16-bit decrement");
}

inline Int16 checkedSubtract(Int16 a, Int16 b)
{
    return detail::checkedNarrow(std::int32_t { a } - b, "16-bit subtraction");
}

// Sign changes wrap on purpose: -(-32768) stays -32768 instead of failing.
inline Int16 wrappingNegate(Int16 value)
{
    return static_cast<Int16>(-static_cast<std::uint16_t>(value));
}

// Nearest integer, ties to even (2.5 -> 2, -99.5 -> -100).
inline Int16 roundToInt16(double value)
{
    if (std::isnan(value))
        throw RuntimeError("invalid operation: rounding NaN to a 16-bit integer");
    const double rounded = std::nearbyint(value); // the default rounding mode is ties to even
    if (rounded < std::numeric_limits<Int16>::min() || rounded > std::numeric_limits<Int16>::max())
        detail::overflow("rounding to a 16-bit integer");
    return static_cast<Int16>(rounded);
}

// Stores a double intermediate as a 32-bit float; a result that does not fit,
// or is not a number, is an error rather than a silent infinity.
inline float toSingle(double value)
{
    if (std::isnan(value))
        throw RuntimeError("invalid floating-point operation");
    const auto single = static_cast<float>(value);
    if (std::isinf(single))
        detail::overflow("32-bit float");
    return single;
}

} // namespace zorbel
