#pragma once

#include "fakeball.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
        char digits[32];
        for (int decimals = 0; decimals < 12; ++decimals)
            if (std::snprintf(digits, sizeof digits, "%.*f", decimals, value) && std::strtof(digits, nullptr) == value)
                return digits;
        std::snprintf(digits, sizeof digits, "%.9g", value);
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
        if (m_w.tmrAnimate.enabled)
            m_ticks = -1;
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

inline void expect(const Row &row)
{
    SCOPED_TRACE(row.steps);
    auto actual = Player().play(row.steps);
    std::istringstream expected(row.outcome);
    bool failsNamed = false;
    for (std::string key, value; expected >> key >> value; failsNamed |= key == "fails") {
        EXPECT_TRUE(actual.count(key)) << "no outcome " << key;
        EXPECT_EQ(actual[key], value) << key;
    }
    if (!failsNamed) {
        EXPECT_EQ(actual["fails"], "no");
    }
}

} // namespace zorbel::gesture
