#pragma once

#include "ball.h"
#include "cues.h"
#include "toolkit.h"

#include <functional>

namespace zorbel {

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

} // namespace zorbel
