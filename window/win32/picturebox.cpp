#include "picturebox.h"

#include "ball.h"
#include "fatalerror.h"
#include "runtimeerror.h"

#include <windowsx.h>

#include <utility>

namespace zorbel {
namespace {

constexpr const wchar_t *className = L"ZorbelPictureBox";

constexpr WPARAM anyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

SIZE bitmapSize(HBITMAP bitmap)
{
    BITMAP info {};
    GetObjectW(bitmap, sizeof info, &info);
    return { info.bmWidth, info.bmHeight };
}

std::int16_t heldButtons(WPARAM wParam)
{
    return std::int16_t((wParam & MK_LBUTTON ? leftButton : 0) | (wParam & MK_RBUTTON ? rightButton : 0)
        | (wParam & MK_MBUTTON ? middleButton : 0));
}

std::int16_t changedButton(UINT message)
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
std::int16_t shiftCode(WPARAM wParam)
{
    return std::int16_t((wParam & MK_SHIFT ? 1 : 0) | (wParam & MK_CONTROL ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

POINT pointOf(LPARAM lParam)
{
    return { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
}

} // namespace

PictureBox::PictureBox(HWND parent, HBITMAP picture, HBITMAP picture2x, const PixelScale &scale)
    : m_picture(picture)
    , m_picture2x(picture2x)
    , m_scale(scale)
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
    case WM_MBUTTONDOWN:
        press(changedButton(message), wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        release(changedButton(message), wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        // Moves reach the ball only while a press on it holds the mouse.
        if (m_holding && pointerMoved(lParam))
            deliver(MouseMove, heldButtons(wParam), wParam, pointOf(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (m_holding && reinterpret_cast<HWND>(lParam) != m_window)
            captureLost();
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
    const HBITMAP picture = m_scale.factor() != 1 && m_picture2x ? m_picture2x : m_picture;
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

void PictureBox::press(std::int16_t button, WPARAM wParam, LPARAM lParam)
{
    // While a press on the ball holds the mouse, every button's presses and
    // releases come here, wherever the pointer is.
    if (!m_holding) {
        m_holding = true;
        SetCapture(m_window);
        SetFocus(m_window);
    }
    if (button == leftButton)
        m_leftDown = true;
    m_lastPointer = screenPoint(lParam);
    deliver(MouseDown, button, wParam, pointOf(lParam));
}

void PictureBox::release(std::int16_t button, WPARAM wParam, LPARAM lParam)
{
    // The release of a press begun elsewhere is not the ball's.
    if (!m_holding)
        return;
    if (button == leftButton)
        m_leftDown = false;
    if (!(wParam & anyButton)) {
        m_holding = false;
        ReleaseCapture();
    }
    deliver(MouseUp, button, wParam, pointOf(lParam));
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

// Another window took the mouse (a message box, a window switch): the ball is
// let go there and then, as it would be by the left button's release.
void PictureBox::captureLost()
{
    m_holding = false;
    if (!m_leftDown)
        return;
    m_leftDown = false;
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(m_window, &point);
    const WPARAM modifiers = (GetKeyState(VK_SHIFT) < 0 ? MK_SHIFT : 0) | (GetKeyState(VK_CONTROL) < 0 ? MK_CONTROL : 0);
    deliver(MouseUp, leftButton, modifiers, point);
}

void PictureBox::deliver(const MouseHandler &handler, std::int16_t button, WPARAM wParam, POINT point)
{
    if (!handler)
        return;
    const std::int16_t shift = shiftCode(wParam);
    const float x = m_scale.toLogical(point.x);
    const float y = m_scale.toLogical(point.y);
    runHandler([&] { handler(button, shift, x, y); });
}

} // namespace zorbel
