#include "eventsequence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace zorbel::fuzz {
namespace {

// Reproducible: the same seed gives the same events with any run of the test.
struct RandomSource {
    explicit RandomSource(std::uint64_t seed)
        : generator(seed)
    {
    }

    std::uint32_t below(std::uint32_t n) { return std::uint32_t(generator() % n); }
    bool exhausted() const { return false; }

    std::mt19937_64 generator;
};

constexpr long long eventsPerSequence = 300;

Counts runSequences(Reach reach, long long leastEvents)
{
    Counts counts;
    for (std::uint64_t seed = 1; counts.events < leastEvents; ++seed) {
        RandomSource source(seed);
        EventSequence<RandomSource> sequence(source, reach, counts);
        try {
            sequence.run(eventsPerSequence);
        } catch (const Violation &violation) {
            ADD_FAILURE() << "seed " << seed << ": " << violation.what();
            break;
        }
    }
    std::printf("%lld events; %lld releases watched until rest in %lld ticks, the longest %d ticks; at most %d "
                "bounces in a drop; %lld sequences ended by a run-time error\n",
                counts.events, counts.settles, counts.watchedTicks, counts.longestSettle, counts.mostBounces,
                counts.runtimeErrors);
    return counts;
}

// Within reach of a screen nothing the user does ends the program, and every
// release comes to rest on the floor within the tick limit.
TEST(RandomSequences, OnScreenNeverFailAndAlwaysComeToRest)
{
    const Counts counts = runSequences(onScreen, 400000);
    EXPECT_EQ(counts.runtimeErrors, 0);
    EXPECT_GT(counts.settles, 1000) << "too few releases were watched to prove anything";
}

// A chord takes the ball wherever it flew; past 16 bits that ends the
// program through its fatal path, and never otherwise.
TEST(RandomSequences, ChordsEndOnlyThroughTheFatalPath)
{
    const Counts counts = runSequences(chorded, 200000);
    EXPECT_GT(counts.settles, 500);
}

// Past any screen the 16-bit positions overflow, and the overflow must end
// the program through its fatal path, not as undefined behaviour.
TEST(RandomSequences, OffScreenEndOnlyThroughTheFatalPath)
{
    const Counts counts = runSequences(offScreen, 200000);
    EXPECT_GT(counts.runtimeErrors, 10) << "the wild coordinates never reached an overflow";
    EXPECT_GT(counts.settles, 500);
}

// The chord, step by step: a left drag throws the ball 700 px per tick
// upward while the right button, pressed before the left is let go, keeps the
// grab. The next left press, wherever the pointer is, goes to the ball and
// takes it 41,000 px above the window: past 16 bits.
TEST(Chord, ALeftPressTakesTheBallWhereverItFlewAndPast16BitsFails)
{
    fake::BallWindow w;
    w.startup();
    ASSERT_GT(w.settle(), 0);
    w.ball.picBounce_MouseDown(leftButton, 0, 40, 37);
    w.ball.tmrDrag_Timer(); // the first sample measures against the last drag
    w.ball.tmrDrag_Timer();
    w.ball.picBounce_MouseMove(leftButton, 0, 40, 37 - 700);
    w.ball.tmrDrag_Timer();
    w.ball.picBounce_MouseDown(rightButton, 0, 40, 37);
    w.ball.picBounce_MouseUp(leftButton, 0, 40, 37);
    ASSERT_EQ(w.state().speedY, 700);
    while (w.state().speedY > 0)
        w.ball.tmrAnimate_Timer();
    ASSERT_LT(w.picBounce.top, -32768.5f);
    EXPECT_THROW(w.ball.picBounce_MouseDown(leftButton, 0, 40, 37 + 8192), RuntimeError);
}

} // namespace
} // namespace zorbel::fuzz
