#pragma once

#include <windows.h>

// Logical pixels (96 per inch, what the handlers see) against the device
// pixels of the screen a window is on.
namespace zorbel {

// Device pixels per logical pixel of the window, 1 at 96 DPI. Everything the
// handlers see is in logical pixels, so Zorbel behaves alike on every screen.
class PixelScale {
public:
    double factor() const { return m_factor; }
    void setDpi(UINT dpi) { m_factor = dpi / 96.0; }

    int toDevice(double logical) const;
    float toLogical(int device) const { return static_cast<float>(device / m_factor); }

private:
    double m_factor = 1;
};

// The DPI of the screen the window is on; before Windows 10, the one DPI of
// every window.
UINT windowDpi(HWND window);

// The frame of a window of these styles around a client area of this many
// device pixels, at that DPI.
RECT frameAround(LONG width, LONG height, DWORD style, DWORD exStyle, UINT dpi);

} // namespace zorbel
