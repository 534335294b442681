#pragma once

#include "commandbutton.h"
#include "label.h"
#include "picturebox.h"
#include "picturefiles.h"
#include "win32toolkit.h"

#include <windows.h>

namespace zorbel {

// The program's one window on the plain Windows API: the ball, the
// instruction line and the close button on black, and the two timers. Each
// native event runs the shared handler named after it.
class Form1 final : public toolkit::Window {
public:
    Form1(sound::Cues &cues, std::function<void()> endProgram);
    ~Form1() override;

    HWND window() const { return m_window; }
    void Form_Load() { m_form.Form_Load(); }

    void Show() override;
    void Refresh() override;
    float ScaleWidth() const override { return m_scale.toLogical(clientSize().cx); }
    float ScaleHeight() const override { return m_scale.toLogical(clientSize().cy); }
    void setCaption(const std::string &caption) override;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    HWND createWindow();
    SIZE clientSize() const;
    void letGoOfMouse();
    void changeScale(UINT dpi, const RECT &suggested);

    std::function<void()> m_endProgram;
    Pictures m_pictures;
    PixelScale m_scale;
    HWND m_window = nullptr;
    HWND m_focus = nullptr; // the child that had the focus when the window was last deactivated

    // Created in tab order, the ball first: the first child is also on top,
    // so the ball passes over the button when dragged across it.
    PictureBox picBounce;
    CommandButton Command1;
    Label Label1;
    Win32Element m_ballElement;
    Win32Element m_buttonElement;
    Win32Ticker m_dragTicker;
    Win32Ticker m_animateTicker;
    FormTimer tmrDrag;
    FormTimer tmrAnimate;
    Form m_form;
    PressHold m_pressHold { m_form };
};

} // namespace zorbel
