#pragma once

#include "webtoolkit.h"

namespace zorbel {

// The program's one window in the browser: the page's viewport, black, with
// the ball, the instruction line and the close button on it, and the two
// timers. Each event of the page runs the shared handler named after it.
class Form1 final : public toolkit::Window {
public:
    Form1(sound::Cues &cues, std::function<void()> endProgram);

    void Form_Load() { m_form.Form_Load(); }

    void Show() override;
    // The browser draws what has changed by itself, at its next frame.
    void Refresh() override { }
    float ScaleWidth() const override;
    float ScaleHeight() const override;
    void setCaption(const std::string &caption) override;

    // What the page reports of the pointer on the ball (button and held as
    // PressHold takes them; a touch or pen contact is the left button; X, Y:
    // CSS pixels from the ball's corner), and the rest from its listeners.
    enum class Pointer : int {
        press = 0,
        move = 1,
        release = 2,
        lost = 3, // the capture ended without a release: cancelled, page hidden, window left
    };
    // True when the page is to capture the pointer for the ball (after a
    // press) or give it back (after a release).
    bool ballPointer(Pointer what, Int16 button, Int16 held, Int16 shift, float x, float y);
    void closeClicked();
    void viewportChanged();

    // Takes everything off the page, for good; so does the destructor.
    void end();
    ~Form1() override;

private:
    // Puts the elements on the page, hidden, before they are placed.
    struct Page {
        Page();
    };

    Page m_page;
    WebElement m_ballElement;
    WebElement Label1;
    WebElement m_buttonElement;
    WebTicker m_dragTicker;
    WebTicker m_animateTicker;
    FormTimer tmrDrag;
    FormTimer tmrAnimate;
    Form m_form;
    PressHold m_pressHold { m_form };
};

} // namespace zorbel
