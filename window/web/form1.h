#pragma once

#include "cues.h"
#include "form.h"
#include "picturebox.h"
#include "webtoolkit.h"

#include <functional>
#include <string>

namespace zorbel {

// The program's one window in the browser: the page's viewport, black, with
// the ball, the instruction line and the close button on it, and the two
// timers. Each event of the page runs the shared handler named after it.
class Form1 final : public toolkit::Window {
public:
    // endProgram is what Command1_Click calls.
    Form1(sound::Cues &cues, std::function<void()> endProgram);
    ~Form1() override;
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

    void Form_Load() { m_form.Form_Load(); }

    void Show() override;
    // The browser draws what has changed by itself, at its next frame.
    void Refresh() override { }
    float ScaleWidth() const override;
    float ScaleHeight() const override;
    void setCaption(const std::string &caption) override;

    // What the page reports, from its listeners.
    void ballPointer(PictureBox::Pointer what, std::int16_t button, std::int16_t held, std::int16_t shift, float x, float y)
    {
        picBounce.pointer(what, button, held, shift, x, y);
    }
    void closeClicked();
    void viewportChanged();

    // Takes everything off the page, for good.
    void end();

private:
    // Puts the elements on the page, hidden, before they are placed.
    struct Page {
        Page();
    };

    Page m_page;
    PictureBox picBounce;
    WebElement m_ballElement;
    WebElement Label1;
    WebElement m_buttonElement;
    WebTimer tmrDrag;
    WebTimer tmrAnimate;
    Form m_form;
};

} // namespace zorbel
