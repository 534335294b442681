#include "form1.h"

#include "fatalerror.h"
#include "resource.h"
#include "runtimeerror.h"

#include <string>

namespace zorbel {
namespace {

constexpr const wchar_t *className = L"ZorbelForm1";
constexpr DWORD windowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD windowExStyle = 0;
constexpr int command1Id = 100; // not IDOK: Enter means the button only while it has the focus
constexpr UINT_PTR tmrDragId = 1;
constexpr UINT_PTR tmrAnimateId = 2;

template<typename Function>
Function systemFunction(const wchar_t *library, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(library), name)));
}

// Windows before 10 know only one DPI for every window.
UINT windowDpi(HWND window)
{
    static const auto getDpiForWindow = systemFunction<UINT(WINAPI *)(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow)
        return getDpiForWindow(window);
    const HDC context = GetDC(window);
    const int dpi = GetDeviceCaps(context, LOGPIXELSX);
    ReleaseDC(window, context);
    return static_cast<UINT>(dpi);
}

// The frame around a client area of this many device pixels.
RECT frameAround(LONG width, LONG height, UINT dpi)
{
    static const auto adjustForDpi
        = systemFunction<BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT frame { 0, 0, width, height };
    if (adjustForDpi)
        adjustForDpi(&frame, windowStyle, FALSE, windowExStyle, dpi);
    else
        AdjustWindowRectEx(&frame, windowStyle, FALSE, windowExStyle);
    return frame;
}

HANDLE loadImage(int id, UINT type, int size, const char *what)
{
    const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type, size, size,
        type == IMAGE_BITMAP ? LR_CREATEDIBSECTION : 0);
    if (!image)
        throw RuntimeError(std::string("the ") + what + " is missing from the program");
    return image;
}

COLORREF colour(design::Colour colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

} // namespace

Pictures::Pictures()
    : ball(static_cast<HBITMAP>(loadImage(resources::ballBitmap, IMAGE_BITMAP, 0, "ball bitmap")))
    , ball2x(static_cast<HBITMAP>(loadImage(resources::ball2xBitmap, IMAGE_BITMAP, 0, "double-size ball bitmap")))
    , bigIcon(static_cast<HICON>(loadImage(resources::ballIcon, IMAGE_ICON, GetSystemMetrics(SM_CXICON), "ball icon")))
    , smallIcon(static_cast<HICON>(loadImage(resources::ballIcon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), "ball icon")))
    , close(static_cast<HICON>(loadImage(resources::closeIcon, IMAGE_ICON, design::iconSize.width, "close icon")))
    , close2x(static_cast<HICON>(loadImage(resources::close2xIcon, IMAGE_ICON, 2 * design::iconSize.width, "double-size close icon")))
    , hand(static_cast<HCURSOR>(loadImage(resources::handCursor, IMAGE_CURSOR, 0, "hand cursor")))
{
}

Pictures::~Pictures()
{
    DeleteObject(ball);
    DeleteObject(ball2x);
    DestroyIcon(bigIcon);
    DestroyIcon(smallIcon);
    DestroyIcon(close);
    DestroyIcon(close2x);
    DestroyCursor(hand);
}

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : m_endProgram(std::move(endProgram))
    , m_window(createWindow())
    , picBounce(m_window, m_pictures.ball, m_pictures.ball2x, m_scale)
    , Command1(createButton())
    , Label1(m_window, m_scale)
    , m_ballElement(picBounce.window(), design::picBounce, m_scale)
    , m_buttonElement(Command1, design::Command1, m_scale)
    , tmrDrag(m_window, tmrDragId, design::tmrDragPeriodMs, [this] { m_form.tmrDrag_Timer(); })
    , tmrAnimate(m_window, tmrAnimateId, design::tmrAnimatePeriodMs, [this] { m_form.tmrAnimate_Timer(); })
    , m_form({ *this, m_ballElement, Label1, m_buttonElement, tmrAnimate, tmrDrag, cues, m_endProgram })
{
    picBounce.MouseDown = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseDown(Button, Shift, X, Y); };
    picBounce.MouseMove = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseMove(Button, Shift, X, Y); };
    picBounce.MouseUp = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseUp(Button, Shift, X, Y); };
    // Screen readers name a child window by its text, which neither shows.
    SetWindowTextW(picBounce.window(), widen(design::ballName).c_str());
    SetWindowTextW(Command1, widen(design::closeName).c_str());
    // Events reach the handlers from here on, once everything they use exists.
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Form1::~Form1()
{
    tmrDrag.setEnabled(false);
    tmrAnimate.setEnabled(false);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    DestroyWindow(m_window);
}

HWND Form1::createWindow()
{
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        // Lives as long as the class, that is as long as the program.
        windowClass.hbrBackground = CreateSolidBrush(colour(design::background));
        windowClass.lpszClassName = className;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered)
        throw RuntimeError("cannot register the window class");

    RECT frame = frameAround(design::clientSize.width, design::clientSize.height, 96);
    const HWND window = CreateWindowExW(windowExStyle, className, L"", windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        throw RuntimeError("cannot create the window");
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_pictures.bigIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_pictures.smallIcon));

    // On a scaled screen the window is laid out at its scale from the start.
    const UINT dpi = windowDpi(window);
    m_scale.setDpi(dpi);
    if (m_scale.factor() != 1) {
        frame = frameAround(m_scale.toDevice(design::clientSize.width), m_scale.toDevice(design::clientSize.height), dpi);
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

HWND Form1::createButton()
{
    // Owner-drawn: a themed push button would paint its own face, not the grey.
    const HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW,
        0, 0, design::Command1.width, design::Command1.height, m_window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(command1Id)), GetModuleHandleW(nullptr), nullptr);
    if (!button)
        throw RuntimeError("cannot create the close button");
    return button;
}

void Form1::Show()
{
    // SW_SHOWDEFAULT honours how the program was asked to start (a
    // shortcut's "minimised" or "maximised").
    ShowWindow(m_window, SW_SHOWDEFAULT);
    UpdateWindow(m_window);
}

void Form1::Refresh()
{
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Form1::setCaption(const std::string &caption)
{
    SetWindowTextW(m_window, widen(caption).c_str());
}

// A minimised window reads the size it will have again, so the floor stays
// where it was.
SIZE Form1::clientSize() const
{
    if (IsIconic(m_window)) {
        WINDOWPLACEMENT placement {};
        placement.length = sizeof placement;
        GetWindowPlacement(m_window, &placement);
        const RECT frame = frameAround(0, 0, windowDpi(m_window));
        const RECT &normal = placement.rcNormalPosition;
        return { (normal.right - normal.left) - (frame.right - frame.left),
            (normal.bottom - normal.top) - (frame.bottom - frame.top) };
    }
    RECT client;
    GetClientRect(m_window, &client);
    return { client.right, client.bottom };
}

LRESULT CALLBACK Form1::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<Form1 *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        Label1.paint(BeginPaint(m_window, &paint));
        EndPaint(m_window, &paint);
        return 0;
    }
    case WM_TIMER:
        if (wParam == tmrAnimate.id())
            tmrAnimate.tick();
        else if (wParam == tmrDrag.id())
            tmrDrag.tick();
        return 0;
    case WM_COMMAND: {
        // The dialog manager turns Enter into IDOK; on the focused button it
        // is that button's click.
        const bool clicked = LOWORD(wParam) == command1Id && HIWORD(wParam) == BN_CLICKED;
        const bool enter = LOWORD(wParam) == IDOK && GetFocus() == Command1;
        if (clicked || enter)
            runHandler([this] { m_form.Command1_Click(); });
        return 0;
    }
    case WM_DRAWITEM:
        if (wParam != command1Id)
            break;
        drawButton(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_SETCURSOR: {
        const auto over = reinterpret_cast<HWND>(wParam);
        if (over != picBounce.window() && over != Command1)
            break;
        SetCursor(m_pictures.hand);
        return TRUE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(m_window, focus))
                m_focus = focus;
            letGoOfMouse();
        }
        break;
    case WM_CANCELMODE:
        letGoOfMouse();
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED)
            letGoOfMouse();
        break;
    case WM_SETFOCUS:
        // The ball comes first in the tab order.
        SetFocus(m_focus ? m_focus : picBounce.window());
        return 0;
    case WM_CLOSE:
        // Alt+F4, the system menu and the taskbar end the program like the
        // close button.
        runHandler(m_endProgram);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session ends once this returns: the program ends here.
        if (wParam)
            runHandler([] { ExitProcess(0); });
        return 0;
    case WM_DPICHANGED:
        changeScale(LOWORD(wParam), *reinterpret_cast<const RECT *>(lParam));
        return 0;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

// A window sent to the background, minimised or interrupted by a dialog
// keeps no press on the ball: taking the mouse from it lets the ball go now,
// where the release of that press might never reach it.
void Form1::letGoOfMouse()
{
    if (GetCapture() == picBounce.window())
        ReleaseCapture();
}

void Form1::drawButton(const DRAWITEMSTRUCT &item) const
{
    const HDC target = item.hDC;
    RECT face = item.rcItem;
    const HBRUSH grey = CreateSolidBrush(colour(design::buttonColour));
    FillRect(target, &face, grey);
    DeleteObject(grey);
    const bool pressed = item.itemState & ODS_SELECTED;
    DrawEdge(target, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    const int size = m_scale.toDevice(design::iconSize.width);
    const int shift = pressed ? 1 : 0;
    DrawIconEx(target, (face.left + face.right - size) / 2 + shift, (face.top + face.bottom - size) / 2 + shift,
        m_scale.factor() == 1 ? m_pictures.close : m_pictures.close2x, size, size, 0, nullptr, DI_NORMAL);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        InflateRect(&face, -3, -3);
        DrawFocusRect(target, &face);
    }
}

void Form1::changeScale(UINT dpi, const RECT &suggested)
{
    m_scale.setDpi(dpi);
    SetWindowPos(m_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
        suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_ballElement.place();
    m_buttonElement.place();
    Label1.updateFont();
    Refresh();
}

} // namespace zorbel
