#include "fakeball.h"

#include <gtest/gtest.h>

namespace zorbel {
namespace {

using fake::BallWindow;

constexpr Int16 noShift = 0;

// Presses the left button at (x, y) of the ball, then moves the pointer by
// (dx, dy) in the ball's own coordinates as the toolkit reports them: relative
// to where the ball now is.
struct Hand {
    BallWindow &w;
    float x = 40;
    float y = 30;

    void press(Int16 button = leftButton) { w.ball.picBounce_MouseDown(button, noShift, x, y); }
    void release(Int16 button = leftButton) { w.ball.picBounce_MouseUp(button, noShift, x, y); }
    void carryBy(float dx, float dy, Int16 buttons = leftButton)
    {
        w.ball.picBounce_MouseMove(buttons, noShift, x + dx, y + dy);
    }
    void sample() { w.ball.tmrDrag_Timer(); }
};

TEST(Press, AnyButtonHidesTheLabelButOnlyTheLeftTakesTheBall)
{
    BallWindow w;
    w.startup();
    for (int tick = 0; tick < 10; ++tick)
        w.ball.tmrAnimate_Timer();
    const BallState before = w.state();

    Hand { w }.press(rightButton);
    EXPECT_FALSE(w.Label1.visible);
    EXPECT_TRUE(w.tmrAnimate.enabled) << "a falling ball keeps falling";
    EXPECT_FALSE(w.tmrDrag.enabled);
    EXPECT_EQ(w.state().fallLimit, before.fallLimit);

    Hand { w }.press(leftButton);
    EXPECT_FALSE(w.tmrAnimate.enabled);
    EXPECT_TRUE(w.tmrDrag.enabled);
    EXPECT_EQ(w.state().bounceCount, 0);
}

TEST(Press, RecordsTheGrabPointAndThePositionRounded)
{
    BallWindow w;
    w.picBounce.left = 10.5f;
    w.picBounce.top = 11.5f;
    w.ball.picBounce_MouseDown(leftButton, noShift, 2.5f, 3.5f);
    EXPECT_EQ(w.state().ballLeft, 10);
    EXPECT_EQ(w.state().ballTop, 12);
    EXPECT_EQ(w.state().grabX, 2);
    EXPECT_EQ(w.state().grabY, 4);
}

TEST(Carry, KeepsTheGrabPointUnderThePointerWithOneMovePerEvent)
{
    BallWindow w;
    Hand hand { w, 10.4f, 20.6f };
    hand.press();
    hand.carryBy(20.1f, -0.6f);
    EXPECT_EQ(w.picBounce.moves, 1);
    EXPECT_FLOAT_EQ(w.picBounce.left, 399 + 30.5f - 10);
    EXPECT_FLOAT_EQ(w.picBounce.top, 85 + 20.0f - 21);
    EXPECT_EQ(w.state().ballLeft, 420) << "419.5 rounds to even";
    EXPECT_EQ(w.state().ballTop, 84);

    // Past the window's edges as well: nothing confines the ball.
    hand.carryBy(-2000, -500);
    EXPECT_EQ(w.state().ballLeft, -1580);
    EXPECT_LT(w.picBounce.top, 0.0f);
}

TEST(Carry, OnlyTheLeftButtonAloneDrags)
{
    BallWindow w;
    Hand hand { w };
    hand.press();
    hand.carryBy(50, 50, leftButton | rightButton);
    hand.carryBy(50, 50, rightButton);
    EXPECT_EQ(w.picBounce.moves, 0);
    hand.release(rightButton);
    EXPECT_TRUE(w.tmrDrag.enabled) << "a right release during a left drag does not let go";
    EXPECT_FALSE(w.tmrAnimate.enabled);
    EXPECT_TRUE(w.cues.played.empty());
}

TEST(Sampler, FirstSampleMeasuresAgainstThePreviousDragsLastOne)
{
    BallWindow w;
    Hand hand { w };
    hand.press();
    hand.sample();
    EXPECT_EQ(w.state().speedX, 399.0f) << "the very first drag measures from (0, 0)";
    EXPECT_EQ(w.state().speedY, -85);
    hand.sample();
    hand.release();

    for (int tick = 0; tick < 30; ++tick)
        w.ball.tmrAnimate_Timer();
    const int fallen = roundToInt16(w.picBounce.top) - 85;
    ASSERT_GT(fallen, 0);

    hand.press();
    hand.sample();
    EXPECT_EQ(w.state().speedY, -fallen) << "the animation's fall shows as a jump";
    hand.sample();
    EXPECT_EQ(w.state().speedY, 0);
    EXPECT_EQ(w.state().speedX, 0.0f);
}

TEST(Release, AStillHoldDropsStraightFromWhereTheBallHangs)
{
    BallWindow w;
    Hand hand { w };
    hand.press();
    hand.carryBy(0, -50);
    hand.sample();
    hand.sample();
    hand.release();
    EXPECT_EQ(w.state().speedY, 0);
    EXPECT_EQ(w.state().speedX, 0.0f);
    EXPECT_EQ(w.cues.played, std::vector<Int16> { sound::releaseSound });
    EXPECT_TRUE(w.tmrAnimate.enabled);
    EXPECT_FALSE(w.tmrDrag.enabled);

    const float top = w.picBounce.top;
    w.ball.tmrAnimate_Timer();
    EXPECT_EQ(w.picBounce.top, top);
    EXPECT_GT(w.settle(), 0);
    EXPECT_EQ(w.picBounce.left, 399.0f) << "once let go the ball moves only up and down";
    EXPECT_EQ(w.picBounce.top, 354.0f);
}

TEST(Release, AFastUpwardDragIsThrownAtHalfTheCarryingSpeed)
{
    BallWindow w;
    Hand hand { w };
    hand.press();
    hand.sample();
    hand.carryBy(0, -10);
    hand.sample();
    hand.carryBy(3, -40);
    hand.sample();
    hand.release();
    EXPECT_EQ(w.state().speedY, 40) << "only the last sampler period counts";
    EXPECT_EQ(w.state().speedX, 3.0f);

    const float top = w.picBounce.top;
    w.ball.tmrAnimate_Timer();
    EXPECT_EQ(w.picBounce.top, top - 20);
}

TEST(Release, BeforeTheSamplerTicksTheBallKeepsItsFlight)
{
    BallWindow w;
    w.startup();
    for (int tick = 0; tick < 20; ++tick)
        w.ball.tmrAnimate_Timer();
    const Int16 speedY = w.state().speedY;
    ASSERT_LT(speedY, -10);
    w.Form1.caption = "4";

    Hand hand { w };
    hand.press();
    hand.release();
    EXPECT_EQ(w.state().speedY, speedY);
    EXPECT_EQ(w.state().fallLimit, -1000.0f);
    EXPECT_EQ(w.state().bounceCount, 0);
    EXPECT_EQ(w.Form1.caption, "4") << "the title waits for the first contact";
    w.settle();
    EXPECT_EQ(w.Form1.caption, "10");
}

TEST(DoubleClick, AMoveWithoutAGrabSamplesBesideTheAnimation)
{
    BallWindow w;
    w.startup();
    Hand hand { w };
    hand.carryBy(0, 0);
    EXPECT_TRUE(w.tmrDrag.enabled);
    EXPECT_TRUE(w.tmrAnimate.enabled);
    hand.release();
    EXPECT_FALSE(w.tmrDrag.enabled);
}

TEST(Overflow, PositionsAndDisplacementsPastSixteenBitsAreRuntimeErrors)
{
    BallWindow far;
    far.picBounce.top = 40000;
    EXPECT_THROW(Hand { far }.press(), RuntimeError);

    BallWindow fast;
    Hand hand { fast };
    hand.press();
    hand.carryBy(0, 32000);
    hand.sample();
    hand.carryBy(0, -64000);
    EXPECT_THROW(hand.sample(), RuntimeError) << "-31915 - 32085 does not fit";

    BallWindow wrap;
    Hand edge { wrap };
    edge.press();
    edge.carryBy(-399, -85 - 32768 + 0.25f);
    edge.sample();
    EXPECT_EQ(wrap.state().speedY, -32768) << "the negation of -32768 wraps";
}

} // namespace
} // namespace zorbel
