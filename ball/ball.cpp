#include "ball.h"

#include <cmath>
#include <string>

namespace zorbel {

void Ball::GrabBall()
{
    m_ui.tmrAnimate.setEnabled(false);
    m_ui.tmrDrag.setEnabled(true);
    m_state.bounceCount = 0;
    m_state.atRest = false;
    m_state.fallLimit = grabbedFallLimit;
}

void Ball::ReleaseBall()
{
    m_ui.tmrAnimate.setEnabled(true);
    m_ui.tmrDrag.setEnabled(false);
    m_ui.cues.PlaySoundResource(sound::releaseSound);
}

void Ball::tmrAnimate_Timer()
{
    auto &pic = m_ui.picBounce;
    auto &s = m_state;

    if (floorTop() <= pic.Top())
        touchFloor();

    if (s.atRest) {
        if (std::fabs(s.speedX) <= restingSideSpeed)
            m_ui.tmrAnimate.setEnabled(false);
        s.speedX = toSingle(double { s.speedX } * restingDecay * flightDecay);
        return;
    }

    pic.setTop(toSingle(double { pic.Top() } + s.speedY * pixelsPerSpeed));
    if (s.speedY >= 0 || static_cast<float>(s.speedY) > s.fallLimit)
        s.speedY = checkedDecrement(s.speedY);
    s.speedX = toSingle(double { s.speedX } * flightDecay);
    s.speedY = roundToInt16(s.speedY * flightDecay);
}

// Without this a resting ball would be left hanging when the floor drops
// away, or out of sight below it when the floor rises, until it is taken.
void Ball::floorMoved()
{
    if (m_state.atRest)
        m_ui.picBounce.setTop(floorTop());
}

float Ball::floorTop() const
{
    return toSingle(double { m_ui.Form1.ScaleHeight() } - m_ui.picBounce.Height());
}

void Ball::touchFloor()
{
    auto &pic = m_ui.picBounce;
    auto &s = m_state;

    // Pinned before the rebound, so a ball that went below the floor (or whose
    // floor rose under it) is lifted back onto it.
    pic.setTop(floorTop());
    s.speedY = roundToInt16(wrappingNegate(s.speedY) * reboundFactor);
    // Integer negation first: a zero rebound must give +0.0, not -0.0.
    s.fallLimit = static_cast<float>(-int { s.speedY });

    if (!s.atRest) {
        s.bounceCount = checkedIncrement(s.bounceCount);
        m_ui.cues.PlayBounceSound();
        m_ui.Form1.setCaption(std::to_string(s.bounceCount));
    }

    // A contact that repeats the previous rebound means the ball has settled.
    // The cap comes after fallLimit was taken, so a hard contact may leave the
    // ball rising at 50 yet free to fall back faster.
    if (s.fallLimit == s.lastFallLimit) {
        s.atRest = true;
    } else {
        s.lastFallLimit = s.fallLimit;
        if (s.speedY > reboundCap)
            s.speedY = reboundCap;
    }
}

void Ball::tmrDrag_Timer()
{
    auto &s = m_state;
    s.speedX = checkedSubtract(s.ballLeft, m_lastLeft);
    s.speedY = wrappingNegate(checkedSubtract(s.ballTop, m_lastTop));
    m_lastLeft = s.ballLeft;
    m_lastTop = s.ballTop;
}

void Ball::picBounce_MouseDown(Int16 Button, Int16, float X, float Y)
{
    m_ui.Label1.setVisible(false);
    if (Button != leftButton)
        return;
    GrabBall();
    auto &s = m_state;
    s.ballLeft = roundToInt16(m_ui.picBounce.Left());
    s.ballTop = roundToInt16(m_ui.picBounce.Top());
    s.grabX = roundToInt16(X);
    s.grabY = roundToInt16(Y);
}

void Ball::picBounce_MouseMove(Int16 Button, Int16, float X, float Y)
{
    if (Button != leftButton)
        return;
    auto &s = m_state;
    m_ui.tmrDrag.setEnabled(true);
    m_ui.picBounce.Move(toSingle((double { X } - s.grabX) + s.ballLeft),
                        toSingle((double { Y } - s.grabY) + s.ballTop));
    s.ballLeft = roundToInt16(m_ui.picBounce.Left());
    s.ballTop = roundToInt16(m_ui.picBounce.Top());
}

void Ball::picBounce_MouseUp(Int16 Button, Int16, float, float)
{
    if (Button == leftButton)
        ReleaseBall();
}

} // namespace zorbel
