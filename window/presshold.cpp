#include "windowport.h"

namespace zorbel {

bool PressHold::press(Int16 button, Int16 shift, float X, float Y)
{
    if (button == 0)
        return false;
    seen(shift, X, Y);
    const bool took = !m_holding;
    m_holding = true;
    if (button == leftButton)
        m_leftDown = true;
    runHandler([&] { m_form.picBounce_MouseDown(button, shift, X, Y); });
    return took;
}

void PressHold::move(Int16 held, Int16 shift, float X, float Y)
{
    if (!m_holding)
        return;
    seen(shift, X, Y);
    if (!m_leftDown)
        held = Int16(held & ~leftButton);
    runHandler([&] { m_form.picBounce_MouseMove(held, shift, X, Y); });
}

bool PressHold::release(Int16 button, Int16 held, Int16 shift, float X, float Y)
{
    // The release of a press begun elsewhere, or of a left press already
    // let go, is not the ball's.
    if (!m_holding || button == 0)
        return false;
    seen(shift, X, Y);
    const bool mine = button != leftButton || m_leftDown;
    if (button == leftButton)
        m_leftDown = false;
    m_holding = held != 0;
    if (mine)
        runHandler([&] { m_form.picBounce_MouseUp(button, shift, X, Y); });
    return !m_holding;
}

void PressHold::lost()
{
    m_holding = false;
    if (!m_leftDown)
        return;
    m_leftDown = false;
    runHandler([&] { m_form.picBounce_MouseUp(leftButton, m_shift, m_x, m_y); });
}

void PressHold::seen(Int16 shift, float X, float Y)
{
    m_shift = shift;
    m_x = X;
    m_y = Y;
}

} // namespace zorbel
