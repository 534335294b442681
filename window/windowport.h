#pragma once

#include "ball.h"
#include "cues.h"
#include "runtimeerror.h"
#include "toolkit.h"
#include "versionrecord.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>

// What every window port builds on, and all it needs of the shared window.
// A port implements toolkit::Window (its Form1, made from the sound cues and
// the endProgram that Command1_Click calls), an element per control
// (PlacedElement), a Ticker behind each of the two timers and an
// ErrorScreen; it hands the ball's pointer events to a PressHold and runs
// every other event's handler of Form through runHandler. The rules that
// make Zorbel behave alike everywhere live here, not in the ports.
namespace zorbel {

// ---- Run-time errors ------------------------------------------------------

// The port's part in the one way the program fails.
class ErrorScreen {
public:
    // No click, key or press reaches a handler again, not even from the
    // message box's own event loop. The timers are stopped already.
    virtual void stopInput() = 0;
    // Shows the text, in the user's language, where the user can see it;
    // returns when it is dismissed, or at once where there is nowhere to
    // show it.
    virtual void showError(std::string_view text) = 0;

protected:
    ~ErrorScreen() = default;
};

// Hands the port's screen to fatalError, first thing in the port's main.
void useErrorScreen(ErrorScreen &screen);

// Runs a handler unless the program is already ending; an exception it
// throws ends the program through fatalError. Every event handler runs
// through here, so no exception ever crosses a platform's event loop.
void runHandler(const std::function<void()> &handler);

// Stops every timer and drops further input first, then reports the message
// (stderr, and the error screen), then exits with status 1.
[[noreturn]] void fatalError(std::string_view message);

// ---- Elements -------------------------------------------------------------

// An element as a platform's toolkit places it: at whole pixels. The ball
// logic compares positions it wrote with positions it reads back, so the exact
// floats are kept here and the platform layer only draws at the nearest pixel.
class PlacedElement : public toolkit::Element {
public:
    float Left() const final { return m_left; }
    float Top() const final { return m_top; }
    float Height() const final { return m_height; }
    void setLeft(float left) final
    {
        m_left = left;
        place();
    }
    void setTop(float top) final
    {
        m_top = top;
        place();
    }
    void Move(float left, float top) final
    {
        m_left = left;
        m_top = top;
        place();
    }

    // Far beyond any screen, yet well inside int: a ball thrown miles away is
    // simply not drawn.
    static int nearestPixel(double coordinate)
    {
        constexpr double farthestPixel = 1 << 20;
        return static_cast<int>(std::lrint(std::clamp(coordinate, -farthestPixel, farthestPixel)));
    }

protected:
    PlacedElement(float left, float top, float height)
        : m_left(left)
        , m_top(top)
        , m_height(height)
    {
    }

    // Draws the element where Left and Top say, through nearestPixel.
    virtual void place() = 0;

private:
    float m_left;
    float m_top;
    float m_height;
};

// ---- Timers ---------------------------------------------------------------

class FormTimer;

// The platform's periodic clock behind a FormTimer. It never catches up:
// ticks missed while the program was busy are dropped.
class Ticker {
public:
    // From now on calls timer.tick() every periodMs, until stop().
    virtual void start(FormTimer &timer, int periodMs) = 0;
    virtual void stop() = 0;

protected:
    ~Ticker() = default;
};

// A timer of the window. Periods under the shortest are raised to it, so a
// 1 ms and a 10 ms timer tick together. Enabling an enabled timer changes
// nothing: restarting it would shift its phase. The ticker must outlive it.
class FormTimer final : public toolkit::Timer {
public:
    FormTimer(Ticker &ticker, int requestedPeriodMs, std::function<void()> onTick);
    ~FormTimer() override;
    FormTimer(const FormTimer &) = delete;
    FormTimer &operator=(const FormTimer &) = delete;

    void setEnabled(bool enabled) override;
    bool isEnabled() const { return m_enabled; }

    // From the ticker: runs the handler, unless the timer was stopped since
    // (a tick already queued then is dropped).
    void tick();

    // Stops every timer of the program; the fatal-error path starts here.
    static void stopAll();

private:
    Ticker &m_ticker;
    int m_periodMs;
    std::function<void()> m_onTick;
    bool m_enabled = false;
};

// ---- Handlers -------------------------------------------------------------

// What a platform's window gives the handlers: itself, its elements and
// timers, the sound cues, and the way to end the program.
struct FormElements {
    toolkit::Window &Form1;
    toolkit::Element &picBounce;
    toolkit::Element &Label1;
    toolkit::Element &Command1;
    toolkit::Timer &tmrAnimate;
    toolkit::Timer &tmrDrag;
    sound::Cues &cues;
    std::function<void()> endProgram;
};

// The window's handlers, the same on every platform: each platform layer
// runs the handler named after an event when that event arrives, and nothing
// else. The ball's motion record lives here, as long as the window.
class Form {
public:
    explicit Form(FormElements elements);

    // Once, when the window is loaded at program start.
    void Form_Load();
    void Command1_Click();
    // The client area has a new size: a settled ball goes onto the new floor.
    void Form_Resize() { m_ball.floorMoved(); }

    void tmrAnimate_Timer() { m_ball.tmrAnimate_Timer(); }
    void tmrDrag_Timer() { m_ball.tmrDrag_Timer(); }
    void picBounce_MouseDown(Int16 Button, Int16 Shift, float X, float Y) { m_ball.picBounce_MouseDown(Button, Shift, X, Y); }
    void picBounce_MouseMove(Int16 Button, Int16 Shift, float X, float Y) { m_ball.picBounce_MouseMove(Button, Shift, X, Y); }
    void picBounce_MouseUp(Int16 Button, Int16 Shift, float X, float Y) { m_ball.picBounce_MouseUp(Button, Shift, X, Y); }

    const Ball &ball() const { return m_ball; }

private:
    toolkit::Window &m_window;
    toolkit::Element &m_closeButton;
    std::function<void()> m_endProgram;
    Ball m_ball;
};

// ---- The ball's pointer ---------------------------------------------------

// What a press on the ball holds, and what losing it does. A press of one of
// the program's buttons (left, right, middle; any other is none of the
// program's) holds the pointer for the ball until every button is up: while
// it holds, every press, move and release is the ball's, wherever the
// pointer is. When the hold ends without its release (another window takes
// the pointer, the window is hidden or left), the ball is let go there and
// then, as by the left button's release; the rest of that left press, its
// moves and its late release, is not the ball's.
//
// Button: the changed button, in MouseButton codes, 0 for any other. Held:
// the MouseButton codes still down after the event. Shift: 1 shift, 2 ctrl,
// 4 alt. X, Y: the ball's own pixels, outside it while it holds.
class PressHold {
public:
    explicit PressHold(Form &form)
        : m_form(form)
    {
    }

    // True when this press took hold: the port captures the pointer for the
    // ball, so its moves and releases come here.
    bool press(Int16 button, Int16 shift, float X, float Y);
    void move(Int16 held, Int16 shift, float X, float Y);
    // True when this release let go: the port gives the capture back.
    bool release(Int16 button, Int16 held, Int16 shift, float X, float Y);
    // The port learnt that its capture is gone without a release.
    void lost();

    bool holding() const { return m_holding; }

private:
    void seen(Int16 shift, float X, float Y);

    Form &m_form;
    bool m_holding = false;
    bool m_leftDown = false;
    Int16 m_shift = 0; // where the pointer was last seen, for a lost hold
    float m_x = 0;
    float m_y = 0;
};

} // namespace zorbel
