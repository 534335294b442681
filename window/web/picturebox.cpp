#include "picturebox.h"

#include "ball.h"
#include "fatalerror.h"

namespace zorbel {

void PictureBox::pointer(Pointer what, std::int16_t button, std::int16_t held, std::int16_t shift, float x, float y)
{
    switch (what) {
    case Pointer::press:
        // While a press on the ball holds the pointer, every button's presses
        // and releases come here, wherever the pointer is.
        m_holding = true;
        if (button == leftButton)
            m_leftDown = true;
        deliver(MouseDown, button, shift, x, y);
        break;
    case Pointer::move:
        if (m_holding)
            deliver(MouseMove, held, shift, x, y);
        break;
    case Pointer::release:
        // The release of a press begun elsewhere is not the ball's.
        if (!m_holding)
            return;
        if (button == leftButton)
            m_leftDown = false;
        if (held == 0)
            m_holding = false;
        deliver(MouseUp, button, shift, x, y);
        break;
    case Pointer::lost:
        // Let go there and then, as by the left button's release: the
        // release itself may never reach the page.
        m_holding = false;
        if (!m_leftDown)
            return;
        m_leftDown = false;
        deliver(MouseUp, leftButton, shift, x, y);
        break;
    }
}

void PictureBox::deliver(const MouseHandler &handler, std::int16_t button, std::int16_t shift, float x, float y)
{
    if (handler)
        runHandler([&] { handler(button, shift, x, y); });
}

} // namespace zorbel
