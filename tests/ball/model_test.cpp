#include "fakeball.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>
#include <string>

// Worked examples as rows of a table: what the user and the window do, and
// what comes of it. The steps are letters, each with its numbers:
//   u       the window's startup: the ball taken and let go where it is
//   g  R    a grab, a release alone          Hn  the client area n px high
//   F       the window passes a new client size on to the ball
//   @l,t    the ball put at (l, t)           hx,y  the hand to (x, y) of the ball
//   pB rB   a press, a release of button B (default left) with the hand there
//   mX,Y,B  the pointer moved by (X, Y) in the ball's own coordinates (so
//           relative to where the ball now is), buttons B (default left) held
//   s       a sampler tick     tN  N animation ticks (default 1), while the timer runs
//   z       a flight: animation ticks until the timer stops
//   cN LN vN xN  the bounce count, lastFallLimit, speedY, speedX set to N
// The outcome names only what the row is about, as "key value" pairs: see
// play() for the keys. A run-time error is "fails" and the last word of its
// message, what failed; one the row does not name fails the row.
namespace zorbel::gesture {
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
    ROW(roundToInt16(25.5), 26), ROW(roundToInt16(1.5), 2), ROW(roundToInt16(2.5), 2), ROW(roundToInt16(-0.75), -1),
    ROW(roundToInt16(-99.5), -100), ROW(roundToInt16(-100 * 0.995), -100), ROW(roundToInt16(-101 * 0.995), -100),
    ROW(roundToInt16(0.5), 0), ROW(roundToInt16(-0.5), 0), ROW(roundToInt16(32767.4), 32767),
    ROW(roundToInt16(-32768.5), -32768), ROW(roundToInt16(32767.5), fails), ROW(roundToInt16(-32768.51), fails),
    ROW(roundToInt16(1e300), fails), ROW(roundToInt16(nan), fails),
    ROW(-100 * 0.995, -99.5), // in wider arithmetic short of the tie, and rounded to -99
    ROW(checkedIncrement(32766), 32767), ROW(checkedIncrement(32767), fails), ROW(checkedDecrement(-32767), -32768),
    ROW(checkedDecrement(-32768), fails), ROW(checkedSubtract(-16384, 16384), -32768),
    ROW(checkedSubtract(-16384, 16385), fails), ROW(checkedSubtract(32767, -1), fails), ROW(wrappingNegate(5), -5),
    ROW(wrappingNegate(-32768), -32768), ROW(wrappingNegate(32767), -32767), ROW(toSingle(0.1), 0.1f),
    ROW(toSingle(16777217.0), 16777216.0f), ROW(toSingle(1e39), fails), ROW(toSingle(nan), fails),
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

class Player {
public:
    std::map<std::string, std::string> play(const std::string &steps)
    {
        std::istringstream in(steps);
        std::string failed = "no";
        try {
            for (std::string step; in >> step;) {
                perform(step[0], step.c_str() + 1);
                EXPECT_TRUE(m_w.tmrAnimate.enabled || m_w.tmrDrag.enabled || m_w.state().atRest) << "both timers stopped at " << step;
            }
        } catch (const RuntimeError &error) {
            failed = error.what();
            failed.erase(0, failed.rfind(' ') + 1);
        }
        const BallState &s = m_w.state();
        return { { "left", decimal(m_w.picBounce.left) }, { "top", decimal(m_w.picBounce.top) },
            { "moves", text(m_w.picBounce.moves) }, { "ball", text(s.ballLeft) + "," + text(s.ballTop) },
            { "grab", text(s.grabX) + "," + text(s.grabY) }, { "speedX", decimal(s.speedX) },
            { "speedY", text(s.speedY) }, { "limit", decimal(s.fallLimit) }, { "count", text(s.bounceCount) },
            { "title", m_w.Form1.caption.empty() ? "-" : m_w.Form1.caption }, { "cues", cues() }, { "fails", failed },
            { "timers", text(m_w.tmrAnimate.enabled) + text(m_w.tmrDrag.enabled) }, { "label", text(m_w.Label1.visible) },
            { "floor", decimal(m_w.Form1.scaleHeight - m_w.picBounce.height) }, { "ticks", text(m_ticks) }, { "first", m_first }, { "rebounds", m_rebounds } };
    }

private:
    template<typename Integer>
    static std::string text(Integer value) { return std::to_string(+value); }

    // r for the release cue, b for a bounce.
    std::string cues() const
    {
        std::string played;
        for (const Int16 id : m_w.cues.played)
            played += id == sound::releaseSound ? 'r' : id == sound::bounceSound ? 'b' : '?';
        return played.empty() ? "-" : played;
    }

    // The shortest decimal that reads back as the same float.
    static std::string decimal(float value)
    {
        char digits[64];
        for (int decimals = 0; decimals < 12; ++decimals)
            if (std::snprintf(digits, sizeof digits, "%.*f", decimals, value) && std::strtof(digits, nullptr) == value)
                break;
        return digits;
    }

    void perform(char op, const char *numbers)
    {
        float n[3] = { op == 'm' ? 0.0f : 1.0f, 0, leftButton };
        std::sscanf(numbers, "%f,%f,%f", &n[0], &n[1], &n[2]);
        Ball &ball = m_w.ball;
        switch (op) {
        case 'u': m_w.startup(); break;
        case 'g': ball.GrabBall(); break;
        case 'R': ball.ReleaseBall(); break;
        case 'H': m_w.Form1.scaleHeight = n[0]; break;
        case 'F': ball.floorMoved(); break;
        case '@': m_w.picBounce.left = n[0], m_w.picBounce.top = n[1]; break;
        case 'h': m_x = n[0], m_y = n[1]; break;
        case 'p': ball.picBounce_MouseDown(Int16(n[0]), 0, m_x, m_y); break;
        case 'r': ball.picBounce_MouseUp(Int16(n[0]), 0, m_x, m_y); break;
        case 'm': ball.picBounce_MouseMove(Int16(n[2]), 0, m_x + n[0], m_y + n[1]); break;
        case 's': if (m_w.tmrDrag.enabled) ball.tmrDrag_Timer(); break;
        case 't': for (int i = 0; i < n[0] && m_w.tmrAnimate.enabled; ++i) tick(); break;
        case 'z': fly(); break;
        case 'c': m_w.state().bounceCount = Int16(n[0]); break;
        case 'L': m_w.state().lastFallLimit = n[0]; break;
        case 'v': m_w.state().speedY = Int16(n[0]); break;
        case 'x': m_w.state().speedX = n[0]; break;
        default: ADD_FAILURE() << "no step " << op;
        }
    }

    // The first tick that found the ball on (or below) the floor, the speeds
    // before and after it; the rebounds of the counted contacts, uncapped as
    // fallLimit records them; the ticks until the timer stopped.
    void fly()
    {
        m_ticks = 0, m_first = m_rebounds = "-";
        while (m_w.tmrAnimate.enabled && m_ticks < 100000)
            tick();
        EXPECT_FALSE(m_w.tmrAnimate.enabled) << "the animation timer still runs after 100000 ticks";
    }

    // Checks what holds at every tick: a counted contact plays one bounce and
    // shows the count in the title, any other tick is silent, a zero rebound
    // is +0.0, and a resting ball stays put unless the floor rises above it.
    void tick()
    {
        const BallState &s = m_w.state();
        const float floor = m_w.Form1.scaleHeight - m_w.picBounce.height, top = m_w.picBounce.top;
        const bool resting = s.atRest;
        const Int16 before = s.speedY;
        const auto cues = m_w.cues.played.size();
        m_w.ball.tmrAnimate_Timer();
        ++m_ticks;
        const bool counted = m_w.cues.played.size() > cues;
        if (floor <= top && m_first == "-")
            m_first = text(m_ticks) + "," + text(before) + "," + text(s.speedY);
        if (counted) {
            m_rebounds = (m_rebounds == "-" ? "" : m_rebounds + ",") + text(-static_cast<int>(s.fallLimit));
            EXPECT_EQ(m_w.cues.played.back(), sound::bounceSound);
            EXPECT_EQ(m_w.Form1.caption, std::to_string(s.bounceCount));
        }
        EXPECT_EQ(m_w.cues.played.size(), cues + counted) << "tick " << m_ticks;
        EXPECT_FALSE(s.fallLimit == 0 && std::signbit(s.fallLimit));
        if (resting) {
            EXPECT_EQ(m_w.picBounce.top, std::min(top, floor)) << "tick " << m_ticks;
        }
    }

    fake::BallWindow m_w;
    float m_x = 40, m_y = 30;
    int m_ticks = 0;
    std::string m_first = "-", m_rebounds = "-";
};

struct Row {
    const char *steps;
    const char *outcome;
};

void expect(const Row &row)
{
    SCOPED_TRACE(row.steps);
    auto actual = Player().play(row.steps);
    // A row that names no failure expects none.
    std::istringstream expected((std::strstr(row.outcome, "fails") ? "" : "fails no ") + std::string(row.outcome));
    for (std::string key, value; expected >> key >> value;)
        EXPECT_EQ(actual[key], value) << key;
}

const Row drops[] = {
    // The tenth contact repeats the ninth's rebound: it settles the ball and stops the timer.
    { "u z", "ticks 234 first 35,-34,25 rebounds 26,20,15,11,8,6,4,3,2,2 title 10 cues rbbbbbbbbbb left 399 top 354" },
    // The count of a drop from the design position depends on the client height.
    { "H255 u z", "ticks 146 first 22,-21,15 rebounds 16,12,9,7,5,4,3,2,2 title 9 top 181" },
    { "H334 u z", "ticks 174 first 28,-27,19 rebounds 20,15,11,8,6,4,3,2,2 title 9 top 260" },
    { "H335 u z", "ticks 196 first 29,-28,20 rebounds 21,16,12,9,7,5,4,3,2,2 title 10 top 261" },
    { "H474 u z", "ticks 238 first 37,-36,26 rebounds 27,20,15,11,8,6,4,3,2,2 title 10 top 400" },
    { "H475 u z", "ticks 262 first 38,-37,27 rebounds 28,21,16,12,9,7,5,4,3,2,2 title 11 top 401" },
    { "H723 u z", "ticks 323 first 49,-48,35 rebounds 36,27,20,15,11,8,6,4,3,2,2 title 11 top 649" },
    { "H724 u z", "ticks 349 first 50,-49,36 rebounds 37,28,21,16,12,9,7,5,4,3,2,2 title 12 top 650" },
    { "H1167 u z", "ticks 436 first 65,-64,47 rebounds 48,36,27,20,15,11,8,6,4,3,2,2 title 12 top 1093" },
    // From here on the ball lands at top speed, and the rebound of 75 is capped
    // to 50 after fallLimit took it.
    { "H1168 u z", "ticks 464 first 66,-65,48 rebounds 49,37,28,21,16,12,9,7,5,4,3,2,2 title 13 top 1094" },
    { "H5000 u z", "ticks 551 first 149,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13 top 4926" },
    { "H20000 u z", "ticks 851 first 449,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13 top 19926" },
    // A throw rises above the window and comes back at top speed.
    { "@399,200 g v150 R z", "ticks 664 first 262,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13" },
    // Let go on the floor after a drop that ended still (lastFallLimit 0), the
    // first contact repeats it; the side speed keeps the timer running in
    // silence until it decays.
    { "@399,354 u z", "ticks 1 first 1,0,0 rebounds 0 limit 0 title 1 cues rb top 354" },
    { "@399,354 L-2 u z", "ticks 5 first 1,0,-1 rebounds 0,1,1 title 3 top 354" },
    { "@399,354 u x12 z", "ticks 239 first 1,0,0 rebounds 0 title 1 cues rb top 354" },
    // A taller client lowers the floor of a flying ball. A resting ball is lifted
    // onto a floor that rises above it, never moved otherwise, and not counted.
    { "u t20 H600 z", "ticks 276 first 24,-43,31 rebounds 32,24,18,14,10,8,6,4,3,2,2 title 11 top 526" },
    { "u z H200 R z", "ticks 1 first 1,2,-2 rebounds - title 10 top 126" },
    { "@399,354 u x12 t H300 z", "ticks 238 first 1,0,0 rebounds - title 1 top 226" },
    { "@399,354 u x12 t H300 t H500 z", "ticks 237 first - rebounds - title 1 top 226" },
    // The window passes a new size on: a settled ball goes onto the new floor at
    // once, silently, its timer left as it was; a flying or held ball stays.
    { "u z H300 F", "top 226 timers 00 cues rbbbbbbbbbb title 10" },
    { "u z H300 F H700 F", "top 626 timers 00 cues rbbbbbbbbbb title 10" },
    { "u t H200 F", "top 85" }, { "u t p H200 F", "top 85" },
    // Gravity to -100 and no further, then the decay, rounded ties to even.
    { "H100000 g v101 R t", "speedY 100" }, { "H100000 g v150 R t", "speedY 148" }, { "H100000 g v300 R t", "speedY 298" },
    { "H100000 g v0 R t", "speedY -1" }, { "H100000 g v-99 R t", "speedY -100" }, { "H100000 g v-100 R t", "speedY -100" },
    { "H100000 g v-298 R t", "speedY -298" }, { "H100000 g v-299 R t", "speedY -298" }, { "H100000 g v-400 R t", "speedY -399" },
    { "H100000 u t99", "speedY -99" }, { "H100000 u t100", "speedY -100" }, { "H100000 u t300", "speedY -100" },
    // Each tick multiplies the side speed by flightDecay in flight, and by
    // restingDecay and flightDecay at rest, each product rounded once to a
    // double and stored as a float. From Python, whose floats are doubles:
    //     x = unpack("f", pack("f", x * 0.995))[0]            flying
    //     x = unpack("f", pack("f", x * 0.985 * 0.995))[0]    resting
    // A drop from the design position flies 233 ticks and settles on the 234th.
    // Every row lands on another float where a product is rounded through a
    // wider register first (the x87 unit of i686).
    { "u x17 t60", "speedX 12.584439 timers 10" }, { "u x-23 t60", "speedX -17.026003 timers 10" },
    { "u x2998 t60", "speedX 2219.3022 timers 10" }, { "u x5 t233", "speedX 1.5550618 timers 10" },
    { "u x9 t234", "speedX 2.7433403 timers 10" }, { "u x17 t300", "speedX 1.3727796 timers 10" },
    { "@399,354 u x2141 t10", "speedX 1750.6923 timers 10" }, { "@399,354 u x1733 t60", "speedX 518.03284 timers 10" },
    { "@399,354 u x-265 t150", "speedX -12.946209 timers 10" },
    // Nothing after a failed increment runs.
    { "@399,354 u c32767 t", "fails increment cues r" },
};

TEST(Drops, BounceCountAndComeToRestAsWorkedOut)
{
    for (const Row &row : drops)
        expect(row);
}

const Row gestures[] = {
    // Any button's press hides the label; a falling or settled ball stays as it
    // is unless the left button alone takes it, and then the count starts again.
    { "u t10 p2", "label 0 timers 10 limit -1000" }, { "u t10 p3", "label 0 timers 10" },
    { "u z p2", "label 0 timers 00 count 10" }, { "u z p", "label 0 timers 01 count 0 limit -1000 title 10 cues rbbbbbbbbbb" },
    // The grab point and the ball's position are kept rounded, ties to even.
    { "@10.5,11.5 h2.5,3.5 p", "ball 10,12 grab 2,4" },
    // The grab point stays under the pointer, one move per event, and nothing
    // confines the ball to the window.
    { "h10.4,20.6 p m20.1,-0.6", "left 419.5 top 84 moves 1 ball 420,84" },
    { "h10.4,20.6 p m20.1,-0.6 m-2000,-500", "ball -1580,-416 top -416.4" },
    // Only the left button alone carries the ball or lets it go.
    { "p m50,50,3 m50,50,2 m50,50,4 m50,50,0 r2 r3 r4", "moves 0 timers 01 cues -" },
    // The sampler's first sample measures against the last one of the previous
    // drag, (0, 0) at first, so the animation's fall shows as a jump.
    { "p s", "speedX 399 speedY -85" },
    { "p s s r t30 p s", "speedY -217" }, { "p s s r t30 p s s", "speedX 0 speedY 0" },
    // A still hold drops straight from where the ball hangs, and once let go
    // the ball moves only up and down.
    { "p m0,-50 s s r", "speedX 0 speedY 0 timers 10 cues r" }, { "p m0,-50 s s r t", "top 35" },
    { "p m0,-50 s s r z", "left 399 top 354" },
    // Only the last sampler period counts: thrown at 40, rising 20 px a tick.
    { "p s m0,-10 s m3,-40 s r", "speedX 3 speedY 40" }, { "p s m0,-10 s m3,-40 s r t", "top 15" },
    // Let go before the sampler ticks, the ball keeps its flight; the title
    // waits for the first contact.
    { "u t20 p r", "speedY -20 limit -1000 count 0 title -" }, { "u t20 p r z", "title 10" },
    // A move without a grab (a double click) samples beside the animation.
    { "u m0,0", "timers 11" }, { "u m0,0 r", "timers 10" },
    // Positions and displacements past 16 bits are run-time errors; the
    // negation of -32768 wraps.
    { "@399,40000 p", "fails integer" }, { "p m0,32000 s m0,-64000 s", "speedY -32085 fails subtraction" },
    { "p m-399,-32852.75 s", "speedY -32768" },
    // A pointer past any float, or not a number, is an error where it is stored.
    { "p m1e39,0", "fails float" }, { "p mnan,0", "fails operation" },
    // While the right button, pressed before the left is let go, keeps the
    // grab, a left press anywhere goes to the ball and takes it wherever it
    // flew: thrown at 700 px a tick it rises 41,000 px above the window.
    { "u z h40,37 p s s m0,-700 s p2 r", "speedY 700" },
    { "u z h40,37 p s s m0,-700 s p2 r t317 h40,8229 p", "speedY 0 top -41354.5 fails integer" },
};

TEST(Gestures, LeaveTheBallAsWorkedOut)
{
    for (const Row &row : gestures)
        expect(row);
}

} // namespace
} // namespace zorbel::gesture
