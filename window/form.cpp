#include "windowport.h"

#include "design.h"
#include "numbers.h"

namespace zorbel {

Form::Form(FormElements elements)
    : m_window(elements.Form1)
    , m_closeButton(elements.Command1)
    , m_endProgram(std::move(elements.endProgram))
    , m_ball({ elements.Form1, elements.picBounce, elements.Label1, elements.tmrAnimate, elements.tmrDrag, elements.cues })
{
}

void Form::Form_Load()
{
    // Shown first, so the button is placed against the client size the
    // window really got, and kept out of sight until the ball is falling.
    m_window.Show();
    m_closeButton.setVisible(false);
    m_closeButton.setLeft(toSingle(double { m_window.ScaleWidth() } - design::closeButtonInset));
    m_closeButton.setTop(toSingle(double { m_window.ScaleHeight() } - design::closeButtonInset));
    m_ball.GrabBall();
    m_ball.ReleaseBall();
    m_window.Refresh();
    m_closeButton.setVisible(true);
}

void Form::Command1_Click()
{
    m_endProgram();
}

} // namespace zorbel
