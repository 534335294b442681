#pragma once

#include "cues.h"
#include "numbers.h"
#include "toolkit.h"

namespace zorbel {

// The ball's motion record. It lives as long as the window and starts zeroed.
struct BallState {
    Int16 speedY = 0; // positive upward; a tick moves the ball speedY * 0.5 px
    float speedX = 0; // px per sampler tick; only decides when a resting ball's timer stops
    float fallLimit = 0; // the most negative speed gravity may reach
    float lastFallLimit = 0; // the previous contact's fallLimit; carries over between drops
    bool atRest = false;
    Int16 bounceCount = 0;
    Int16 grabX = 0;
    Int16 grabY = 0;
    Int16 ballLeft = 0;
    Int16 ballTop = 0;
};

// What the ball logic reaches of the window: the ball element, the instruction
// label, the window itself, both timers and the sound cues.
struct BallElements {
    toolkit::Window &Form1;
    toolkit::Element &picBounce;
    toolkit::Element &Label1;
    toolkit::Timer &tmrAnimate;
    toolkit::Timer &tmrDrag;
    sound::Cues &cues;
};

// Mouse button codes as the window delivers them: the changed button for a
// press or release, the sum of the held buttons for a move.
enum MouseButton : Int16 {
    leftButton = 1,
    rightButton = 2,
    middleButton = 4,
};

class Ball {
public:
    static constexpr double reboundFactor = 0.75;
    static constexpr Int16 reboundCap = 50;
    static constexpr float grabbedFallLimit = -1000.0f;
    static constexpr double pixelsPerSpeed = -0.5;
    static constexpr double flightDecay = 0.995;
    static constexpr double restingDecay = 0.985;
    static constexpr float restingSideSpeed = 0.1f;

    explicit Ball(BallElements elements)
        : m_ui(elements)
    {
    }

    void GrabBall();
    void ReleaseBall();

    void tmrAnimate_Timer();
    void tmrDrag_Timer();

    // The client area changed size. A ball that has settled is put on the new
    // floor at once, silently, and its timer stays as it was; a flying ball
    // finds the new floor at its next tick, and a held one is where the hand is.
    void floorMoved();

    void picBounce_MouseDown(Int16 Button, Int16 Shift, float X, float Y);
    void picBounce_MouseMove(Int16 Button, Int16 Shift, float X, float Y);
    void picBounce_MouseUp(Int16 Button, Int16 Shift, float X, float Y);

    const BallState &state() const { return m_state; }
    BallState &state() { return m_state; }

private:
    float floorTop() const;
    void touchFloor();

    BallElements m_ui;
    BallState m_state;

    // The sampler's previous position lives as long as the window and is never
    // reset, so a new drag's first sample measures against the last drag.
    Int16 m_lastLeft = 0;
    Int16 m_lastTop = 0;
};

} // namespace zorbel
