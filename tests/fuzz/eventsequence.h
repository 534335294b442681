#pragma once

#include "fakeball.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <sstream>
#include <string>

// Drives the ball logic with what the window can deliver to it, in any order:
// presses, moves and releases of every button code, ticks of whichever timer
// is running, and client resizes. After every step it checks what must hold
// whatever the user does, and after a release followed only by ticks it checks
// that the ball comes to rest on the floor.
//
// The events come from a Source, which the seeded test feeds from a random
// generator and the fuzzer from its input bytes:
//
//     struct Source {
//         std::uint32_t below(std::uint32_t n); // a choice in 0..n-1
//         bool exhausted() const;
//     };
namespace zorbel::fuzz {

// Where the pointer may be, how large the client may become, and whether the
// user may press a second button off the ball while holding one on it.
struct Reach {
    float pointer; // how far outside the client the pointer may go
    float largestWidth;
    float largestHeight;
    bool chords; // a press anywhere reaches the ball while it holds the grab
    bool wild; // coordinates past any screen, and non-numbers, too

    bool mayFail() const { return chords || wild; }
};

// A pointer anywhere within 8192 px of a client no larger than a 4K screen,
// every press on the ball: every position and displacement fits the model's
// 16-bit integers, so no run-time error may happen.
constexpr Reach onScreen { 8192, 3840, 2160, false, false };

// The same, but a button held on the ball keeps the grab (as Qt does) while
// the left button is pressed anywhere. That press takes the ball wherever it
// flew, even past 16 bits (a throw of 600 px per tick rises that far), so
// here the fatal path is the designed outcome.
constexpr Reach chorded { 8192, 3840, 2160, true, false };

// Coordinates no screen delivers, clients as large as X11 allows: positions
// past 16 bits must end in a RuntimeError, the program's fatal path.
constexpr Reach offScreen { 8192, 32767, 32767, true, true };

// Longest time a release may take to come to rest: a throw from 8192 px
// below a 2160 px client to 8192 px above it rises 1.8 million px and takes
// 36,890 ticks in all.
constexpr int settleTickLimit = 40000;

// Where speeds reach the 16-bit limit: a 3.3 million px rise.
constexpr int fastestThrowTickLimit = 100000;

constexpr int mostBouncesPerDrop = 20;

// A broken invariant: what the fuzzer turns into a crash and the seeded test
// into a failure, with the steps that led to it.
struct Violation : std::exception {
    explicit Violation(std::string what)
        : message(std::move(what))
    {
    }
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

struct Counts {
    long long events = 0; // presses, moves, releases, ticks and resizes in random order
    long long watchedTicks = 0; // ticks run after a release to see the ball come to rest
    long long settles = 0; // releases watched until the ball came to rest
    int longestSettle = 0; // ticks
    int mostBounces = 0; // in one drop
    long long runtimeErrors = 0; // sequences ended by the fatal path
};

template<typename Source>
class EventSequence {
public:
    static constexpr float ballWidth = 80;

    EventSequence(Source &source, Reach reach, Counts &counts)
        : m_source(source)
        , m_reach(reach)
        , m_counts(counts)
    {
        m_w.startup();
    }

    // Runs events until the source runs dry or a run-time error ends the
    // program, then lets go and watches the ball come to rest. Returns false
    // when a run-time error ended it; throws Violation when an invariant broke.
    bool run(long long maxEvents = std::numeric_limits<long long>::max())
    {
        try {
            for (long long n = 0; n < maxEvents && !m_source.exhausted(); ++n)
                step();
            letGoAndWatch();
        } catch (const RuntimeError &error) {
            if (!m_reach.mayFail())
                fail(std::string("run-time error within reach: ") + error.what());
            ++m_counts.runtimeErrors;
            return false;
        }
        return true;
    }

private:
    // A button past the first three: Qt's masked code for it is 0.
    static constexpr std::uint8_t extraButton = 8;

    void step()
    {
        switch (m_source.below(16)) {
        case 0:
        case 1:
        case 2:
            movePointer();
            break;
        case 3:
        case 4:
            press(Int16(m_source.below(8)));
            break;
        case 5:
        case 6:
            release(Int16(m_source.below(8)));
            break;
        case 7:
        case 8:
        case 9:
        case 10:
            animateTick();
            break;
        case 11:
        case 12:
            samplerTick();
            break;
        case 13:
            resize();
            break;
        case 14:
            if (m_source.below(4) == 0)
                letGoAndWatch();
            else
                animateTick();
            break;
        default:
            // A quick grab of the ball where it is, so that drags are common.
            pointAtBall();
            press(leftButton);
            break;
        }
    }

    // The pointer in client coordinates: near the ball half the time, so that
    // presses find it, anywhere within reach otherwise.
    void movePointer()
    {
        if (m_source.below(2) == 0 && !ballOutOfReach()) {
            pointAtBall();
        } else {
            m_x = coordinate(m_w.Form1.scaleWidth);
            m_y = coordinate(m_w.Form1.scaleHeight);
        }
        deliverMove();
    }

    void pointAtBall()
    {
        m_x = float(pixel(m_w.picBounce.left)) + quarters(std::uint32_t(ballWidth) * 4);
        m_y = float(pixel(m_w.picBounce.top)) + quarters(std::uint32_t(m_w.picBounce.height) * 4);
        if (!m_reach.wild) {
            m_x = std::clamp(m_x, -m_reach.pointer, m_w.Form1.scaleWidth + m_reach.pointer);
            m_y = std::clamp(m_y, -m_reach.pointer, m_w.Form1.scaleHeight + m_reach.pointer);
        }
    }

    bool ballOutOfReach() const
    {
        return !(std::fabs(m_w.picBounce.top) < 1e6f && std::fabs(m_w.picBounce.left) < 1e6f);
    }

    float quarters(std::uint32_t n) { return float(m_source.below(n)) / 4; }

    // Quarter pixels, so that ties of the rounding come up as well.
    float coordinate(float clientExtent)
    {
        if (m_reach.wild) {
            switch (m_source.below(8)) {
            case 0:
                return wildValue();
            case 1:
                return quarters(1u << 20) - float(1 << 17);
            default:
                break;
            }
        }
        const float span = clientExtent + 2 * m_reach.pointer;
        return quarters(std::uint32_t(span) * 4 + 1) - m_reach.pointer;
    }

    float wildValue()
    {
        constexpr float values[] = {
            std::numeric_limits<float>::max(),
            -std::numeric_limits<float>::max(),
            std::numeric_limits<float>::infinity(),
            -std::numeric_limits<float>::infinity(),
            std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::denorm_min(),
            32767.5f,
            -32768.5f,
            1e9f,
            -1e9f,
        };
        return values[m_source.below(std::size(values))];
    }

    // Where the window draws the ball, as its toolkit layer rounds it.
    static long pixel(float coordinate)
    {
        constexpr float farthest = 1 << 20;
        return std::lrint(std::clamp(coordinate, -farthest, farthest));
    }

    bool pointerOnBall() const
    {
        const double x = double { m_x } - pixel(m_w.picBounce.left);
        const double y = double { m_y } - pixel(m_w.picBounce.top);
        return x >= 0 && x < ballWidth && y >= 0 && y < m_w.picBounce.height;
    }

    // As Qt delivers them: the first press of a sequence goes to the widget
    // under the pointer, which then gets every event until the last button is
    // up. Codes naming several buttons, which Qt never reports for a press or
    // release, still reach the ball but hold no button.
    void press(Int16 code)
    {
        if (m_held == 0)
            m_ballHasGrab = pointerOnBall();
        if (!m_ballHasGrab || (!m_reach.chords && !pointerOnBall()))
            return;
        m_held |= heldBit(code);
        deliver([&] { m_w.ball.picBounce_MouseDown(code, shift(), relativeX(), relativeY()); });
    }

    void release(Int16 code)
    {
        const bool toBall = m_held != 0 ? m_ballHasGrab : pointerOnBall();
        m_held &= std::uint8_t(~heldBit(code));
        if (m_held == 0)
            m_ballHasGrab = false;
        if (!toBall)
            return;
        deliver([&] { m_w.ball.picBounce_MouseUp(code, shift(), relativeX(), relativeY()); });
        if (code == leftButton && m_source.below(2) == 0)
            watchUntilRest();
    }

    // Without mouse tracking only a held button's moves are delivered.
    void deliverMove()
    {
        if (m_held == 0 || !m_ballHasGrab)
            return;
        const auto buttons = Int16(m_held & (leftButton | rightButton | middleButton));
        deliver([&] { m_w.ball.picBounce_MouseMove(buttons, shift(), relativeX(), relativeY()); });
    }

    static std::uint8_t heldBit(Int16 code)
    {
        switch (code) {
        case 0:
            return extraButton;
        case leftButton:
        case rightButton:
        case middleButton:
            return std::uint8_t(code);
        default:
            return 0;
        }
    }

    Int16 shift() { return Int16(m_source.below(8)); }
    float relativeX() const { return float(double { m_x } - pixel(m_w.picBounce.left)); }
    float relativeY() const { return float(double { m_y } - pixel(m_w.picBounce.top)); }

    void animateTick()
    {
        if (m_w.tmrAnimate.enabled)
            deliver([&] { m_w.ball.tmrAnimate_Timer(); });
    }

    void samplerTick()
    {
        if (m_w.tmrDrag.enabled)
            deliver([&] { m_w.ball.tmrDrag_Timer(); });
    }

    void resize()
    {
        m_w.Form1.scaleWidth = float(m_source.below(std::uint32_t(m_reach.largestWidth) + 1));
        m_w.Form1.scaleHeight = float(m_source.below(std::uint32_t(m_reach.largestHeight) + 1));
        ++m_counts.events;
    }

    // Lets go of every button as the user would, then only ticks run.
    void letGoAndWatch()
    {
        if (m_ballHasGrab && (m_held & leftButton)) {
            m_held = 0;
            m_ballHasGrab = false;
            deliver([&] { m_w.ball.picBounce_MouseUp(leftButton, 0, relativeX(), relativeY()); });
        } else {
            m_held = 0;
            m_ballHasGrab = false;
            deliver([&] { m_w.ball.ReleaseBall(); });
        }
        watchUntilRest();
    }

    void watchUntilRest()
    {
        const bool wasAtRest = m_w.state().atRest;
        const float topAtRelease = m_w.picBounce.top;
        const int limit = m_reach.mayFail() ? fastestThrowTickLimit : settleTickLimit;
        int ticks = 0;
        while (m_w.tmrAnimate.enabled) {
            if (++ticks > limit)
                fail("the animation timer still runs " + std::to_string(limit) + " ticks after the release");
            ++m_counts.watchedTicks;
            m_w.ball.tmrAnimate_Timer();
            check();
        }
        const float floorTop = toSingle(double { m_w.Form1.scaleHeight } - m_w.picBounce.height);
        // A ball that had settled before the release stays where it hangs
        // unless the floor has come up to it.
        const float expected = wasAtRest && topAtRelease < floorTop ? topAtRelease : floorTop;
        if (m_w.picBounce.top != expected) {
            std::ostringstream why;
            why << "came to rest at Top " << m_w.picBounce.top << ", expected " << expected << " (client height "
                << m_w.Form1.scaleHeight << ", " << (wasAtRest ? "at rest" : "in flight") << " when let go)";
            fail(why.str());
        }
        ++m_counts.settles;
        m_counts.longestSettle = std::max(m_counts.longestSettle, ticks);
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
        for (const float value :
             { s.speedX, s.fallLimit, s.lastFallLimit, m_w.picBounce.left, m_w.picBounce.top }) {
            if (!std::isfinite(value))
                fail("a float field is not finite");
        }
        m_counts.mostBounces = std::max(m_counts.mostBounces, int { s.bounceCount });
        if (s.bounceCount > mostBouncesPerDrop)
            fail("bounced " + std::to_string(s.bounceCount) + " times in one drop");
    }

    [[noreturn]] void fail(const std::string &what)
    {
        std::ostringstream why;
        const BallState &s = m_w.state();
        why << what << " after " << m_counts.events << " events; pointer " << m_x << "," << m_y << " ball "
            << m_w.picBounce.left << "," << m_w.picBounce.top << " client " << m_w.Form1.scaleWidth << "x"
            << m_w.Form1.scaleHeight << " speedY " << s.speedY << " speedX " << s.speedX << " fallLimit "
            << s.fallLimit << " bounceCount " << s.bounceCount;
        throw Violation(why.str());
    }

    Source &m_source;
    Reach m_reach;
    Counts &m_counts;
    fake::BallWindow m_w;
    float m_x = 0;
    float m_y = 0;
    std::uint8_t m_held = 0;
    bool m_ballHasGrab = false;
};

} // namespace zorbel::fuzz
