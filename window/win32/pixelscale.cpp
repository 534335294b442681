#include "pixelscale.h"

#include "windowport.h"

namespace zorbel {
namespace {

// Looked up rather than imported: Windows before 10 have no per-window DPI,
// and the program still starts there.
template<typename Function>
Function systemFunction(const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

} // namespace

int PixelScale::toDevice(double logical) const
{
    return PlacedElement::nearestPixel(logical * m_factor);
}

UINT windowDpi(HWND window)
{
    static const auto getDpiForWindow = systemFunction<UINT(WINAPI *)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow)
        return getDpiForWindow(window);
    const HDC context = GetDC(window);
    const int dpi = GetDeviceCaps(context, LOGPIXELSX);
    ReleaseDC(window, context);
    return static_cast<UINT>(dpi);
}

RECT frameAround(LONG width, LONG height, DWORD style, DWORD exStyle, UINT dpi)
{
    static const auto adjustForDpi
        = systemFunction<BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame { 0, 0, width, height };
    if (adjustForDpi)
        adjustForDpi(&frame, style, FALSE, exStyle, dpi);
    else
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return frame;
}

} // namespace zorbel
