#include "numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace zorbel {
namespace {

struct Rounding {
    double value;
    Int16 expected;
};

class RoundingTiesToEven : public testing::TestWithParam<Rounding> { };

TEST_P(RoundingTiesToEven, RoundsToNearestWithTiesToEven)
{
    EXPECT_EQ(roundToInt16(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, RoundingTiesToEven,
    testing::Values(Rounding { 25.5, 26 }, Rounding { 1.5, 2 }, Rounding { 2.5, 2 },
        Rounding { -0.75, -1 }, Rounding { -99.5, -100 }, Rounding { -100 * 0.995, -100 },
        Rounding { -101 * 0.995, -100 }, Rounding { 0.5, 0 }, Rounding { -0.5, 0 },
        Rounding { 32767.4, 32767 }, Rounding { -32768.5, -32768 }));

TEST(Numbers, DoubleIntermediatesAreNotWidened)
{
    // -100 * 0.995 is exactly -99.5 in double precision; in wider arithmetic
    // it would fall just short of the tie and round to -99.
    EXPECT_EQ(-100 * 0.995, -99.5);
}

TEST(Numbers, RoundingOutOfRangeIsAnError)
{
    EXPECT_THROW(roundToInt16(32767.5), RuntimeError);
    EXPECT_THROW(roundToInt16(-32768.51), RuntimeError);
    EXPECT_THROW(roundToInt16(1e300), RuntimeError);
    EXPECT_THROW(roundToInt16(std::numeric_limits<double>::quiet_NaN()), RuntimeError);
}

TEST(Numbers, CheckedArithmeticFailsOnlyPastTheRange)
{
    EXPECT_EQ(checkedIncrement(32766), 32767);
    EXPECT_THROW(checkedIncrement(32767), RuntimeError);
    EXPECT_EQ(checkedDecrement(-32767), -32768);
    EXPECT_THROW(checkedDecrement(-32768), RuntimeError);
    EXPECT_EQ(checkedSubtract(-16384, 16384), -32768);
    EXPECT_THROW(checkedSubtract(-16384, 16385), RuntimeError);
    EXPECT_THROW(checkedSubtract(32767, -1), RuntimeError);
}

TEST(Numbers, SignChangesWrap)
{
    EXPECT_EQ(wrappingNegate(5), -5);
    EXPECT_EQ(wrappingNegate(-32768), -32768);
    EXPECT_EQ(wrappingNegate(32767), -32767);
}

TEST(Numbers, SingleStorageRoundsAndRejectsOverflow)
{
    EXPECT_EQ(toSingle(0.1), 0.1f);
    EXPECT_EQ(toSingle(16777217.0), 16777216.0f);
    EXPECT_THROW(toSingle(1e39), RuntimeError);
    EXPECT_THROW(toSingle(std::numeric_limits<double>::quiet_NaN()), RuntimeError);
}

} // namespace
} // namespace zorbel
