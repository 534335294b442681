#include "numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace zorbel {
namespace {

constexpr double fails = std::numeric_limits<double>::infinity(); // a RuntimeError is expected
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct Arithmetic {
    const char *expression;
    double (*evaluate)();
    double expected;
};

#define ROW(expression, expected) { #expression, [] { return double(expression); }, expected }

// Ties round to even, 16 bits hold or fail, sign changes wrap, and storage
// rounds to a float or fails; a double step is not widened.
const Arithmetic arithmetic[] = {
    ROW(roundToInt16(25.5), 26), ROW(roundToInt16(1.5), 2), ROW(roundToInt16(2.5), 2),
    ROW(roundToInt16(-0.75), -1), ROW(roundToInt16(-99.5), -100), ROW(roundToInt16(-100 * 0.995), -100),
    ROW(roundToInt16(-101 * 0.995), -100), ROW(roundToInt16(0.5), 0), ROW(roundToInt16(-0.5), 0),
    ROW(roundToInt16(32767.4), 32767), ROW(roundToInt16(-32768.5), -32768), ROW(roundToInt16(32767.5), fails),
    ROW(roundToInt16(-32768.51), fails), ROW(roundToInt16(1e300), fails), ROW(roundToInt16(nan), fails),
    ROW(-100 * 0.995, -99.5), // in wider arithmetic short of the tie, and rounded to -99
    ROW(checkedIncrement(32766), 32767), ROW(checkedIncrement(32767), fails),
    ROW(checkedDecrement(-32767), -32768), ROW(checkedDecrement(-32768), fails),
    ROW(checkedSubtract(-16384, 16384), -32768), ROW(checkedSubtract(-16384, 16385), fails),
    ROW(checkedSubtract(32767, -1), fails),
    ROW(wrappingNegate(5), -5), ROW(wrappingNegate(-32768), -32768), ROW(wrappingNegate(32767), -32767),
    ROW(toSingle(0.1), 0.1f), ROW(toSingle(16777217.0), 16777216.0f), ROW(toSingle(1e39), fails),
    ROW(toSingle(nan), fails),
};

TEST(Numbers, ExactToTheBitOrARuntimeError)
{
    for (const Arithmetic &row : arithmetic) {
        if (row.expected == fails)
            EXPECT_THROW(row.evaluate(), RuntimeError) << row.expression;
        else
            EXPECT_EQ(row.evaluate(), row.expected) << row.expression;
    }
}

} // namespace
} // namespace zorbel
