#include "fakeball.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <vector>

namespace zorbel {
namespace {

using fake::BallWindow;

struct Contact {
    int tick;
    Int16 speedBefore;
    int rebound; // the uncapped rebound, as fallLimit records it
    bool counted;
};

// Runs animation ticks until the timer stops, noting every tick that finds
// the ball on (or below) the floor.
struct Flight {
    std::vector<Contact> contacts;
    std::vector<float> tops; // Top after each tick
    int ticks = -1;

    std::vector<int> rebounds() const
    {
        std::vector<int> out;
        for (const auto &c : contacts)
            if (c.counted)
                out.push_back(c.rebound);
        return out;
    }
};

Flight fly(BallWindow &w, int maxTicks = 100000)
{
    Flight flight;
    for (int tick = 1; tick <= maxTicks; ++tick) {
        const bool onFloor = w.Form1.scaleHeight - w.picBounce.height <= w.picBounce.top;
        const Int16 before = w.state().speedY;
        const auto sounds = w.cues.played.size();
        w.ball.tmrAnimate_Timer();
        if (onFloor)
            flight.contacts.push_back({ tick, before, static_cast<int>(-w.state().fallLimit), w.cues.played.size() > sounds });
        flight.tops.push_back(w.picBounce.top);
        if (!w.tmrAnimate.enabled) {
            flight.ticks = tick;
            break;
        }
    }
    return flight;
}

TEST(StartupDrop, BouncesTenTimesAndStopsOnTheSettlingTick)
{
    BallWindow w;
    w.startup();
    const Flight flight = fly(w);

    ASSERT_FALSE(flight.contacts.empty());
    EXPECT_EQ(flight.contacts.front().tick, 35);
    EXPECT_EQ(flight.contacts.front().speedBefore, -34);
    EXPECT_EQ(flight.rebounds(), (std::vector<int> { 26, 20, 15, 11, 8, 6, 4, 3, 2, 2 }));
    EXPECT_EQ(flight.contacts.size(), 10u) << "the tenth contact settles the ball and stops the timer";
    EXPECT_EQ(flight.ticks, flight.contacts.back().tick);
    EXPECT_TRUE(w.state().atRest);
    EXPECT_EQ(w.Form1.caption, "10");
    EXPECT_EQ(w.picBounce.top, 354.0f);

    std::vector<Int16> expected { sound::releaseSound };
    expected.insert(expected.end(), 10, sound::bounceSound);
    EXPECT_EQ(w.cues.played, expected);
}

TEST(StartupDrop, GrabAndReleaseSwitchTheTimersAndKeepTheTitle)
{
    BallWindow w;
    w.Form1.caption = "7";
    w.state().speedY = 12;
    w.ball.GrabBall();
    EXPECT_FALSE(w.tmrAnimate.enabled);
    EXPECT_TRUE(w.tmrDrag.enabled);
    EXPECT_EQ(w.state().fallLimit, -1000.0f);
    EXPECT_EQ(w.state().speedY, 12);
    EXPECT_EQ(w.Form1.caption, "7");
    EXPECT_TRUE(w.cues.played.empty()) << "a grab alone plays nothing";

    w.ball.ReleaseBall();
    EXPECT_TRUE(w.tmrAnimate.enabled);
    EXPECT_FALSE(w.tmrDrag.enabled);
    EXPECT_EQ(w.cues.played, std::vector<Int16> { sound::releaseSound });
}

// The count of a drop from the design position depends on the client height.
struct HeightCount {
    float clientHeight;
    int count;
};

class CountByHeight : public testing::TestWithParam<HeightCount> { };

TEST_P(CountByHeight, StartupDropCountsAsTheHeightDecides)
{
    BallWindow w;
    w.Form1.scaleHeight = GetParam().clientHeight;
    w.startup();
    ASSERT_GT(fly(w).ticks, 0);
    EXPECT_EQ(w.Form1.caption, std::to_string(GetParam().count));
    EXPECT_EQ(w.state().bounceCount, GetParam().count);
    EXPECT_EQ(w.picBounce.top, GetParam().clientHeight - 74);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, CountByHeight,
    testing::Values(HeightCount { 255, 9 }, HeightCount { 334, 9 }, HeightCount { 335, 10 },
        HeightCount { 428, 10 }, HeightCount { 474, 10 }, HeightCount { 475, 11 },
        HeightCount { 723, 11 }, HeightCount { 724, 12 }, HeightCount { 1167, 12 },
        HeightCount { 1168, 13 }, HeightCount { 5000, 13 }));

TEST(ReleaseOnTheFloor, SettlesAtOnceWhenTheLastDropEndedStill)
{
    BallWindow w;
    w.picBounce.top = 354;
    w.startup();
    const Flight flight = fly(w);
    EXPECT_EQ(flight.ticks, 1);
    EXPECT_EQ(flight.rebounds(), std::vector<int> { 0 });
    EXPECT_EQ(w.state().fallLimit, 0.0f);
    EXPECT_FALSE(std::signbit(w.state().fallLimit)) << "a zero rebound leaves +0.0";
    EXPECT_EQ(w.Form1.caption, "1");
    EXPECT_EQ(w.cues.played, (std::vector<Int16> { sound::releaseSound, sound::bounceSound }));
}

TEST(ReleaseOnTheFloor, CarriesTheFallLimitOfAnEarlierDrop)
{
    BallWindow w;
    w.picBounce.top = 354;
    w.state().lastFallLimit = -2;
    w.startup();
    const Flight flight = fly(w);
    EXPECT_EQ(flight.rebounds(), (std::vector<int> { 0, 1, 1 }));
    EXPECT_EQ(w.Form1.caption, "3");
    EXPECT_EQ(w.picBounce.top, 354.0f);
}

TEST(Throw, RisesAboveTheWindowAndReturnsAtTopSpeed)
{
    BallWindow w;
    w.picBounce.top = 200;
    w.ball.GrabBall();
    w.state().speedY = 150;
    w.ball.ReleaseBall();
    const Flight flight = fly(w);

    EXPECT_LT(*std::min_element(flight.tops.begin(), flight.tops.end()), 0.0f);
    ASSERT_GE(flight.contacts.size(), 2u);
    EXPECT_EQ(flight.contacts[0].speedBefore, -100);
    EXPECT_EQ(flight.contacts[0].rebound, 75);
    EXPECT_EQ(flight.contacts[1].rebound, 38);

    // Replay up to the first contact to see the cap at work.
    BallWindow again;
    again.picBounce.top = 200;
    again.ball.GrabBall();
    again.state().speedY = 150;
    again.ball.ReleaseBall();
    for (int tick = 1; tick < flight.contacts[0].tick; ++tick)
        again.ball.tmrAnimate_Timer();
    again.ball.tmrAnimate_Timer();
    EXPECT_EQ(again.state().fallLimit, -75.0f);
    EXPECT_EQ(again.state().speedY, 49) << "capped to 50, then one tick of gravity";
}

TEST(LongFall, ReachesTopSpeedOnItsHundredthTickAndKeepsIt)
{
    BallWindow w;
    w.Form1.scaleHeight = 20000;
    w.startup();
    Int16 speedAt100 = 0;
    for (int tick = 1; tick <= 300; ++tick) {
        w.ball.tmrAnimate_Timer();
        if (tick == 99) {
            EXPECT_EQ(w.state().speedY, -99);
        } else if (tick == 100) {
            speedAt100 = w.state().speedY;
        } else if (tick > 100) {
            ASSERT_EQ(w.state().speedY, -100) << "tick " << tick;
        }
    }
    EXPECT_EQ(speedAt100, -100);
    const Flight flight = fly(w);
    EXPECT_EQ(flight.contacts.front().rebound, 75);
}

struct SpeedTick {
    Int16 before;
    Int16 after;
};

class GravityAndDrag : public testing::TestWithParam<SpeedTick> { };

TEST_P(GravityAndDrag, OneFlyingTickChangesTheSpeedSo)
{
    BallWindow w;
    w.Form1.scaleHeight = 100000;
    w.ball.GrabBall();
    w.state().speedY = GetParam().before;
    w.ball.ReleaseBall();
    w.ball.tmrAnimate_Timer();
    EXPECT_EQ(w.state().speedY, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Speeds, GravityAndDrag,
    testing::Values(SpeedTick { 101, 100 }, SpeedTick { 150, 148 }, SpeedTick { 300, 298 },
        SpeedTick { 0, -1 }, SpeedTick { -99, -100 }, SpeedTick { -100, -100 },
        SpeedTick { -298, -298 }, SpeedTick { -299, -298 }, SpeedTick { -400, -399 }));

// Each tick multiplies the side speed by flightDecay in flight and by
// restingDecay and flightDecay at rest, every product rounded once to a
// double and then stored as a float. The expected floats come from Python,
// whose floats are doubles (struct's "f" stores a float):
//     x = unpack("f", pack("f", x * 0.995))[0]            flying
//     x = unpack("f", pack("f", x * 0.985 * 0.995))[0]    resting
// A drop from the design position flies 233 ticks and settles on the 234th;
// a ball let go on the floor rests from its first tick. Every row lands on
// another float when a product is rounded through a wider register first (the
// x87 unit of i686).
struct SideSpeed {
    float releaseTop;
    Int16 thrown;
    int ticks;
    float speedX;
};

class SideDecay : public testing::TestWithParam<SideSpeed> { };

TEST_P(SideDecay, ThrownSideSpeedReachesTheDoubleRoundedFloat)
{
    BallWindow w;
    w.picBounce.top = GetParam().releaseTop;
    w.startup();
    w.state().speedX = GetParam().thrown;
    for (int tick = 0; tick < GetParam().ticks; ++tick)
        w.ball.tmrAnimate_Timer();
    ASSERT_TRUE(w.tmrAnimate.enabled);
    EXPECT_EQ(w.state().speedX, GetParam().speedX)
        << std::setprecision(9) << "thrown at " << GetParam().thrown << ", after " << GetParam().ticks
        << " ticks: " << w.state().speedX << " instead of " << GetParam().speedX;
}

INSTANTIATE_TEST_SUITE_P(Throws, SideDecay,
    testing::Values(SideSpeed { 85, 17, 60, 12.584439f }, SideSpeed { 85, -23, 60, -17.026003f },
        SideSpeed { 85, 2998, 60, 2219.3022f }, SideSpeed { 85, 5, 233, 1.5550618f },
        SideSpeed { 85, 9, 234, 2.7433403f }, SideSpeed { 85, 17, 300, 1.3727796f },
        SideSpeed { 354, 2141, 10, 1750.6923f }, SideSpeed { 354, 1733, 60, 518.03284f },
        SideSpeed { 354, -265, 150, -12.946209f }));

TEST(Settling, SideSpeedKeepsTheTimerRunningSilentlyUntilItDecays)
{
    BallWindow w;
    w.picBounce.top = 354;
    w.startup();
    w.ball.tmrAnimate_Timer(); // settles at once: the release on the floor
    ASSERT_TRUE(w.state().atRest);

    BallWindow sideways;
    sideways.picBounce.top = 354;
    sideways.startup();
    sideways.state().speedX = 12;
    const Flight flight = fly(sideways);
    EXPECT_EQ(flight.ticks, 239) << "the settling tick counts as the first resting tick";
    EXPECT_EQ(sideways.cues.played.size(), 2u) << "resting contacts are silent";
    for (float top : flight.tops)
        ASSERT_EQ(top, 354.0f);
    EXPECT_EQ(sideways.Form1.caption, "1");
}

TEST(Resize, ShorterClientPinsARestingBallToTheNewFloor)
{
    BallWindow w;
    w.picBounce.top = 354;
    w.startup();
    w.state().speedX = 12;
    w.ball.tmrAnimate_Timer();
    ASSERT_TRUE(w.state().atRest);
    ASSERT_TRUE(w.tmrAnimate.enabled);

    w.Form1.scaleHeight = 300;
    w.ball.tmrAnimate_Timer();
    EXPECT_EQ(w.picBounce.top, 226.0f);
    EXPECT_EQ(w.Form1.caption, "1") << "a resting ball's contacts are not counted";

    w.Form1.scaleHeight = 500;
    w.ball.tmrAnimate_Timer();
    EXPECT_EQ(w.picBounce.top, 226.0f) << "a settled ball hangs where it is";
}

TEST(Resize, TallerClientLowersTheFloorOfAFlyingBall)
{
    BallWindow w;
    w.startup();
    for (int tick = 0; tick < 20; ++tick)
        w.ball.tmrAnimate_Timer();
    w.Form1.scaleHeight = 600;
    fly(w);
    EXPECT_EQ(w.picBounce.top, 526.0f);
    EXPECT_EQ(w.Form1.caption, "11");
}

TEST(Resize, NothingMovesAStoppedBall)
{
    BallWindow w;
    w.startup();
    fly(w);
    ASSERT_FALSE(w.tmrAnimate.enabled);
    w.Form1.scaleHeight = 200;
    w.ball.ReleaseBall(); // let go without a grab: stays settled
    EXPECT_EQ(w.settle(), 1);
    EXPECT_EQ(w.picBounce.top, 126.0f) << "a ball below the floor is pinned, never moved otherwise";
    EXPECT_EQ(w.Form1.caption, "10");
}

// A new client size puts a settled ball on its new floor at once, in silence,
// with its timer left as it was; a flying or held ball is not moved by it.
TEST(Resize, ANewSizePutsASettledBallOnTheNewFloorAtOnce)
{
    BallWindow w;
    w.startup();
    fly(w);
    const std::size_t cues = w.cues.played.size();
    for (float height : { 300.0f, 700.0f, 428.0f }) {
        w.Form1.scaleHeight = height;
        w.ball.floorMoved();
        EXPECT_EQ(w.picBounce.top, height - 74) << "client height " << height;
    }
    EXPECT_FALSE(w.tmrAnimate.enabled);
    EXPECT_EQ(w.cues.played.size(), cues);
    EXPECT_EQ(w.Form1.caption, "10");

    BallWindow flying;
    flying.startup();
    flying.ball.tmrAnimate_Timer();
    const float top = flying.picBounce.top;
    flying.Form1.scaleHeight = 200;
    flying.ball.floorMoved();
    EXPECT_EQ(flying.picBounce.top, top) << "a flying ball finds the floor by its own tick";
    flying.ball.picBounce_MouseDown(leftButton, 0, 40, 37);
    flying.ball.floorMoved();
    EXPECT_EQ(flying.picBounce.top, top) << "a held ball stays in the hand";
}

TEST(Overflow, ACounterPastTheRangeIsARuntimeError)
{
    BallWindow w;
    w.picBounce.top = 354;
    w.startup();
    w.state().bounceCount = 32767;
    EXPECT_THROW(w.ball.tmrAnimate_Timer(), RuntimeError);
    EXPECT_EQ(w.cues.played.size(), 1u) << "nothing after the failed increment runs";
}

} // namespace
} // namespace zorbel
