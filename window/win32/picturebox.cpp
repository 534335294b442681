#include "picturebox.h"

#include <windowsx.h>

#include <utility>

namespace zorbel {
namespace {

constexpr const wchar_t *className = L"ZorbelPictureBox";

SIZE bitmapSize(HBITMAP bitmap)
{
    BITMAP info {};
    GetObjectW(bitmap, sizeof info, &info);
    return { info.bmWidth, info.bmHeight };
}

Int16 heldButtons(WPARAM wParam)
{
    return Int16((wParam & MK_LBUTTON ? leftButton : 0) | (wParam & MK_RBUTTON ? rightButton : 0)
        | (wParam & MK_MBUTTON ? middleButton : 0));
}

Int16 changedButton(UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return leftButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return rightButton;
    default:
        return middleButton;
    }
}

// The mouse messages carry Shift and Ctrl; Alt is read from the keyboard.
Int16 shiftCode(WPARAM wParam)
{
    return Int16((wParam & MK_SHIFT ? 1 : 0) | (wParam & MK_CONTROL ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

POINT pointOf(LPARAM lParam)
{
    return { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
}

} // namespace

PictureBox::PictureBox(HWND parent, HBITMAP picture, HBITMAP picture2x, const PixelScale &scale, PressHold &hold)
    : m_picture(picture)
    , m_picture2x(picture2x)
    , m_scale(scale)
    , m_hold(hold)
{
    // Without CS_DBLCLKS the second press of a double-click arrives as a
    // press, and takes the ball like any other.
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        return RegisterClassExW(&windowClass);
    }();
    const SIZE size = bitmapSize(picture);
    if (registered)
        CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, size.cx,
            size.cy, parent, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_window)
        throw RuntimeError("cannot create the picture element");
}

PictureBox::~PictureBox()
{
    if (m_window)
        DestroyWindow(m_window);
}

LRESULT CALLBACK PictureBox::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *created = static_cast<PictureBox *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        created->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto *self = reinterpret_cast<PictureBox *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PictureBox::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the picture covers the element
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        m_lastPointer = screenPoint(lParam);
        const POINT point = pointOf(lParam);
        if (m_hold.press(changedButton(message), shiftCode(wParam), m_scale.toLogical(point.x), m_scale.toLogical(point.y))) {
            SetCapture(m_window);
            SetFocus(m_window);
        }
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const POINT point = pointOf(lParam);
        if (m_hold.release(changedButton(message), heldButtons(wParam), shiftCode(wParam), m_scale.toLogical(point.x),
                m_scale.toLogical(point.y)))
            ReleaseCapture();
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_hold.holding() && pointerMoved(lParam)) {
            const POINT point = pointOf(lParam);
            m_hold.move(heldButtons(wParam), shiftCode(wParam), m_scale.toLogical(point.x), m_scale.toLogical(point.y));
        }
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a message box, a window switch).
        if (m_hold.holding() && reinterpret_cast<HWND>(lParam) != m_window)
            m_hold.lost();
        return 0;
    case WM_NCDESTROY: {
        const HWND window = std::exchange(m_window, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void PictureBox::paint()
{
    PAINTSTRUCT paint;
    const HDC target = BeginPaint(m_window, &paint);
    RECT client;
    GetClientRect(m_window, &client);
    const HBITMAP picture = design::drawsDoubleSizeArt(m_scale.factor()) && m_picture2x ? m_picture2x : m_picture;
    const SIZE size = bitmapSize(picture);
    const HDC source = CreateCompatibleDC(target);
    const HGDIOBJ previous = SelectObject(source, picture);
    // At 96 DPI a plain copy; scaled, the double-size art smoothed down.
    SetStretchBltMode(target, HALFTONE);
    SetBrushOrgEx(target, 0, 0, nullptr);
    StretchBlt(target, 0, 0, client.right, client.bottom, source, 0, 0, size.cx, size.cy, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    EndPaint(m_window, &paint);
}

// Windows sends a mouse move when a window moves under a pointer that has
// not moved, as the ball does when it follows the pointer. On a scaled screen
// the way from device pixels to logical ones and back to rounded device
// pixels would move the ball by a pixel at each, and each such move brings
// another: only a pointer that moved on the screen moves the ball.
bool PictureBox::pointerMoved(LPARAM lParam)
{
    const POINT point = screenPoint(lParam);
    const bool moved = point.x != m_lastPointer.x || point.y != m_lastPointer.y;
    m_lastPointer = point;
    return moved;
}

POINT PictureBox::screenPoint(LPARAM lParam) const
{
    POINT point = pointOf(lParam);
    ClientToScreen(m_window, &point);
    return point;
}

} // namespace zorbel
