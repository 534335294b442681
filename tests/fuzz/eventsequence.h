#pragma once

#include "fakeball.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

// Drives the ball logic with what the window can deliver, in any order, as a
// Source chooses (`std::uint32_t below(n)`: a choice in 0..n-1; `bool
// exhausted()`), and checks after every event what must hold whatever the user
// does; the sanitizers add that nothing on the way is undefined.
namespace zorbel::fuzz {

struct Reach {
    float pointer; // how far outside the client the pointer may go
    float largestWidth, largestHeight; // of the client
    bool chords; // while a button holds the ball's grab, a press anywhere goes to the ball
    bool wild; // coordinates past any screen, and non-numbers
};

// Every position and displacement fits the model's 16 bits: nothing may fail.
constexpr Reach onScreen { 8192, 3840, 2160, false, false };
// A chord's left press takes the ball wherever it flew, and a throw of 600 px
// a tick rises past 16 bits: here, and past any screen, the program may end
// through its fatal path, a RuntimeError, and only through it.
constexpr Reach chorded { 8192, 3840, 2160, true, false };
constexpr Reach offScreen { 8192, 32767, 32767, true, true };

// A throw from 8192 px below a 2160 px client to 8192 px above it rises 1.8
// million px and comes to rest after 36,890 ticks; at the 16-bit speed limit
// the rise is 3.3 million px.
constexpr int settleTickLimit = 40000, fastestSettleTickLimit = 100000;
constexpr float farthest = 4e6f;
constexpr int mostBouncesPerDrop = 20;

// Something that must hold broke: the fuzzer aborts, the seeded test fails.
struct Violation : std::logic_error {
    using std::logic_error::logic_error;
};

struct Counts {
    long long events = 0, runtimeErrors = 0; // events in random order; sequences ended by the fatal path
    long long settles = 0, watchedTicks = 0; // releases watched until the ball came to rest, and their ticks
    int longestSettle = 0, mostBounces = 0; // ticks; bounces in one drop
};

inline void report(const char *reach, const Counts &c)
{
    std::fprintf(stderr, "%s: %lld events; %lld releases watched until rest in %lld ticks, the longest %d ticks; "
                 "at most %d bounces in a drop; %lld sequences ended by a run-time error\n", reach, c.events, c.settles,
                 c.watchedTicks, c.longestSettle, c.mostBounces, c.runtimeErrors);
}

template<typename Source>
class EventSequence {
public:
    EventSequence(Source &source, Reach reach, Counts &counts)
        : m_source(source)
        , m_reach(reach)
        , m_counts(counts)
    {
        m_w.startup();
    }

    // Runs events until the source runs dry, then lets go and watches. Returns
    // false when a run-time error ended the program.
    bool run(long long maxEvents = std::numeric_limits<long long>::max())
    {
        try {
            for (long long n = 0; n < maxEvents && !m_source.exhausted(); ++n)
                step();
            letGoAndWatch();
            return true;
        } catch (const RuntimeError &error) {
            if (!m_reach.chords)
                fail(std::string("run-time error within reach: ") + error.what());
            ++m_counts.runtimeErrors;
            return false;
        }
    }

private:
    void step()
    {
        Ball &ball = m_w.ball;
        const auto code = Int16(m_source.below(8));
        switch (m_source.below(16)) {
        case 0: case 1: case 2: // without mouse tracking only a held button's moves come
            if (m_source.below(2) == 0)
                pointAtBall();
            else
                m_x = coordinate(m_w.Form1.scaleWidth), m_y = coordinate(m_w.Form1.scaleHeight);
            if (m_held != 0)
                mouse(&Ball::picBounce_MouseMove, Int16(m_held & 7), code);
            break;
        case 3: case 4: press(code); break;
        case 5: case 6: // a release goes where the press went
            if (m_held != 0) {
                m_held &= ~heldBit(code);
                mouse(&Ball::picBounce_MouseUp, code);
            }
            break;
        case 7: // the window passes every new size on
            m_w.Form1.scaleWidth = float(m_source.below(std::uint32_t(m_reach.largestWidth) + 1));
            m_w.Form1.scaleHeight = float(m_source.below(std::uint32_t(m_reach.largestHeight) + 1));
            deliver([&] { ball.floorMoved(); });
            break;
        case 8: case 9:
            if (m_w.tmrDrag.enabled)
                deliver([&] { ball.tmrDrag_Timer(); });
            break;
        case 10: // a quick grab of the ball where it is, so that drags are common
            pointAtBall();
            press(leftButton);
            break;
        case 11:
            if (m_source.below(4) == 0)
                letGoAndWatch();
            break;
        default:
            if (m_w.tmrAnimate.enabled)
                deliver([&] { ball.tmrAnimate_Timer(); });
        }
    }

    // As Qt delivers them: the first press goes to the widget under the
    // pointer, which then gets every event until the last button is up. Codes
    // naming several buttons still reach the ball but hold none; 8 stands for
    // a button past the third.
    void press(Int16 code)
    {
        const double x = m_x - pixel(m_w.picBounce.left), y = m_y - pixel(m_w.picBounce.top);
        if (!(x >= 0 && x < 80 && y >= 0 && y < m_w.picBounce.height) && (m_held == 0 || !m_reach.chords))
            return;
        m_held |= heldBit(code);
        mouse(&Ball::picBounce_MouseDown, code);
    }

    static std::uint8_t heldBit(Int16 code) { return code == 0 ? 8 : (code & (code - 1)) == 0 ? code : 0; }

    void letGoAndWatch()
    {
        if (m_held & leftButton)
            mouse(&Ball::picBounce_MouseUp, leftButton);
        else
            deliver([&] { m_w.ball.ReleaseBall(); });
        m_held = 0;
        const int limit = m_reach.chords ? fastestSettleTickLimit : settleTickLimit;
        for (int ticks = 0; m_w.tmrAnimate.enabled; ++ticks, check()) {
            if (ticks == limit)
                fail("the animation timer still runs " + std::to_string(limit) + " ticks after the release");
            m_w.ball.tmrAnimate_Timer();
            ++m_counts.watchedTicks;
            m_counts.longestSettle = std::max(m_counts.longestSettle, ticks + 1);
        }
        ++m_counts.settles;
    }

    // On quarter pixels, so that ties of the rounding come up; a ball thrown
    // out of reach stays out of it until it comes back.
    void pointAtBall()
    {
        m_x = pixel(m_w.picBounce.left) + m_source.below(4 * 80) / 4.0;
        m_y = pixel(m_w.picBounce.top) + m_source.below(4 * 74) / 4.0;
        if (!m_reach.wild) {
            m_x = std::clamp(m_x, double { -m_reach.pointer }, double { m_w.Form1.scaleWidth + m_reach.pointer });
            m_y = std::clamp(m_y, double { -m_reach.pointer }, double { m_w.Form1.scaleHeight + m_reach.pointer });
        }
    }

    double coordinate(float clientExtent)
    {
        constexpr double wild[] = { std::numeric_limits<float>::max(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), 32767.5, -32768.5, 1e9 };
        if (m_reach.wild && m_source.below(4) == 0)
            return wild[m_source.below(std::size(wild))];
        return m_source.below(std::uint32_t(clientExtent + 2 * m_reach.pointer) * 4 + 1) / 4.0 - m_reach.pointer;
    }

    // Where the window draws the ball, in whole pixels.
    static double pixel(float coordinate) { return std::nearbyint(std::clamp(double { coordinate }, -1e9, 1e9)); }

    // With the pointer in the ball's own coordinates, as the window passes them on.
    void mouse(void (Ball::*event)(Int16, Int16, float, float), Int16 button, Int16 shift = 0)
    {
        const auto x = float(std::clamp(m_x - pixel(m_w.picBounce.left), -1e30, 1e30));
        const auto y = float(std::clamp(m_y - pixel(m_w.picBounce.top), -1e30, 1e30));
        deliver([&] { (m_w.ball.*event)(button, shift, x, y); });
    }

    template<typename Handler>
    void deliver(Handler handler)
    {
        ++m_counts.events;
        handler();
        check();
    }

    void check()
    {
        const BallState &s = m_w.state();
        for (const float value : { s.speedX, s.fallLimit, s.lastFallLimit, m_w.picBounce.left, m_w.picBounce.top })
            if (!(std::fabs(value) < farthest))
                fail("a speed or position out of reach");
        m_counts.mostBounces = std::max(m_counts.mostBounces, int { s.bounceCount });
        if (s.bounceCount > mostBouncesPerDrop)
            fail("bounced " + std::to_string(s.bounceCount) + " times in one drop");
        if (s.bounceCount != 0 && m_w.Form1.caption != std::to_string(s.bounceCount))
            fail("the title shows " + m_w.Form1.caption + ", not the bounce count");
        if (!m_w.tmrAnimate.enabled && !m_w.tmrDrag.enabled && !s.atRest)
            fail("both timers stopped with the ball not at rest");
        if (s.atRest && m_w.picBounce.top != toSingle(double { m_w.Form1.scaleHeight } - m_w.picBounce.height))
            fail("a settled ball off the floor");
    }

    [[noreturn]] void fail(const std::string &what)
    {
        throw Violation(what + " after " + std::to_string(m_counts.events) + " events, the ball at Top "
                        + std::to_string(m_w.picBounce.top) + " of " + std::to_string(m_w.Form1.scaleHeight));
    }

    Source &m_source;
    Reach m_reach;
    Counts &m_counts;
    fake::BallWindow m_w;
    double m_x = 0, m_y = 0;
    std::uint8_t m_held = 0;
};

} // namespace zorbel::fuzz
