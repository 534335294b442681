#pragma once

#include "design.h"
#include "pixelscale.h"
#include "windowport.h"

#include <windows.h>

#include <string>
#include <string_view>

// The toolkit the ball logic runs on, made of Win32 child windows and timers.
namespace zorbel {

std::wstring widen(std::string_view utf8);

inline COLORREF colour(design::Colour colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

// A child window seen as a toolkit element, placed in device pixels.
class Win32Element final : public PlacedElement {
public:
    Win32Element(HWND window, design::Rect design, const PixelScale &scale);

    void setVisible(bool visible) override;

    // Also called again after the scale has changed.
    void place() override;

private:
    HWND m_window;
    int m_width;
    const PixelScale &m_scale;
};

// The timers' clock: a Windows timer of the owner window, which passes its
// WM_TIMER messages on to the timer with this id.
//
// Windows counts timer periods in steps of its timer resolution, 15.6 ms
// unless a program asks for finer; a running timer asks for 1 ms and the last
// one to stop gives it back, so a resting Zorbel costs the system nothing.
class Win32Ticker final : public Ticker {
public:
    Win32Ticker(HWND owner, UINT_PTR id)
        : m_owner(owner)
        , m_id(id)
    {
    }

    void start(FormTimer &timer, int periodMs) override;
    void stop() override;

private:
    HWND m_owner;
    UINT_PTR m_id;
};

// A message box, modal for the program's windows.
class Win32ErrorScreen final : public ErrorScreen {
public:
    void stopInput() override;
    void showError(std::string_view text) override;
};

} // namespace zorbel
