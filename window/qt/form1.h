#pragma once

#include "picturebox.h"
#include "qttoolkit.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace zorbel {

// The program's one window on Qt: the ball, the instruction line and the
// close button on black, and the two timers, each event wired to its handler.
class Form1 final : public QWidget, public toolkit::Window {
public:
    Form1(sound::Cues &cues, std::function<void()> endProgram);

    void Form_Load() { m_form.Form_Load(); }

    void Show() override;
    void Refresh() override { repaint(); }
    float ScaleWidth() const override { return float(width()); }
    float ScaleHeight() const override { return float(height()); }
    void setCaption(const std::string &caption) override;

    // For the tests, which drive the window like a user would.
    PictureBox &ball() { return picBounce; }
    QLabel &label() { return Label1; }
    QPushButton &closeButton() { return Command1; }
    const Ball &ballLogic() const { return m_form.ball(); }
    bool isAnimating() const { return tmrAnimate.isEnabled(); }
    bool isSampling() const { return tmrDrag.isEnabled(); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Declared in tab order, the ball first; the constructor then raises the
    // ball so that it passes over the button when dragged across it.
    QLabel Label1;
    PictureBox picBounce;
    QPushButton Command1;

    QtElement m_ballElement { picBounce };
    QtElement m_labelElement { Label1 };
    QtElement m_buttonElement { Command1 };
    QtTicker m_dragTicker { *this };
    QtTicker m_animateTicker { *this };
    FormTimer tmrDrag;
    FormTimer tmrAnimate;
    Form m_form;
    PressHold m_pressHold { m_form };
};

} // namespace zorbel
