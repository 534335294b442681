#pragma once

#include "design.h"
#include "pixelscale.h"
#include "placedelement.h"
#include "toolkit.h"

#include <windows.h>

#include <functional>
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

    float Height() const override { return static_cast<float>(m_height); }
    void setVisible(bool visible) override;

    // Also called again after the scale has changed.
    void place() override;

private:
    HWND m_window;
    int m_width;
    int m_height;
    const PixelScale &m_scale;
};

// A periodic timer whose ticks run a handler; the owner window passes its
// WM_TIMER messages on with tick(). Periods under 10 ms are raised to 10 ms,
// so a 1 ms and a 10 ms timer tick together.
//
// Windows counts timer periods in steps of its timer resolution, 15.6 ms
// unless a program asks for finer; a running timer asks for 1 ms and the last
// one to stop gives it back, so a resting Zorbel costs the system nothing.
class Win32Timer final : public toolkit::Timer {
public:
    Win32Timer(HWND owner, UINT_PTR id, int requestedPeriodMs, std::function<void()> onTick);
    ~Win32Timer() override;
    Win32Timer(const Win32Timer &) = delete;
    Win32Timer &operator=(const Win32Timer &) = delete;

    void setEnabled(bool enabled) override;
    bool isEnabled() const { return m_enabled; }
    UINT_PTR id() const { return m_id; }
    void tick();

    // Stops every timer of the program; the fatal-error path starts here.
    static void stopAll();

private:
    HWND m_owner;
    UINT_PTR m_id;
    UINT m_periodMs;
    std::function<void()> m_onTick;
    bool m_enabled = false;
};

} // namespace zorbel
