#include "form1.h"

namespace zorbel {
namespace {

constexpr const wchar_t *className = L"ZorbelForm1";
constexpr DWORD windowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD windowExStyle = 0;
constexpr int command1Id = 100; // not IDOK: Enter means the button only while it has the focus
constexpr UINT_PTR tmrDragId = 1;
constexpr UINT_PTR tmrAnimateId = 2;

RECT windowFrame(LONG width, LONG height, UINT dpi)
{
    return frameAround(width, height, windowStyle, windowExStyle, dpi);
}

} // namespace

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : m_endProgram(std::move(endProgram))
    , m_window(createWindow())
    , picBounce(m_window, m_pictures.ball, m_pictures.ball2x, m_scale, m_pressHold)
    , Command1(m_window, command1Id, m_pictures.close, m_pictures.close2x, m_scale)
    , Label1(m_window, m_scale)
    , m_ballElement(picBounce.window(), design::picBounce, m_scale)
    , m_buttonElement(Command1.window(), design::Command1, m_scale)
    , m_dragTicker(m_window, tmrDragId)
    , m_animateTicker(m_window, tmrAnimateId)
    , tmrDrag(m_dragTicker, design::tmrDragPeriodMs, [this] { m_form.tmrDrag_Timer(); })
    , tmrAnimate(m_animateTicker, design::tmrAnimatePeriodMs, [this] { m_form.tmrAnimate_Timer(); })
    , m_form({ *this, m_ballElement, Label1, m_buttonElement, tmrAnimate, tmrDrag, cues, m_endProgram })
{
    // Screen readers name a child window by its text, which neither shows.
    SetWindowTextW(picBounce.window(), widen(design::ballName).c_str());
    SetWindowTextW(Command1.window(), widen(design::closeName).c_str());
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

    RECT frame = windowFrame(design::clientSize.width, design::clientSize.height, 96);
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
        frame = windowFrame(m_scale.toDevice(design::clientSize.width), m_scale.toDevice(design::clientSize.height), dpi);
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
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
        const RECT frame = windowFrame(0, 0, windowDpi(m_window));
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
        if (wParam == tmrAnimateId)
            tmrAnimate.tick();
        else if (wParam == tmrDragId)
            tmrDrag.tick();
        return 0;
    case WM_COMMAND: {
        // The dialog manager turns Enter into IDOK; on the focused button it
        // is that button's click.
        const bool clicked = LOWORD(wParam) == command1Id && HIWORD(wParam) == BN_CLICKED;
        const bool enter = LOWORD(wParam) == IDOK && GetFocus() == Command1.window();
        if (clicked || enter)
            runHandler([this] { m_form.Command1_Click(); });
        return 0;
    }
    case WM_DRAWITEM:
        if (wParam != command1Id)
            break;
        Command1.draw(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_SETCURSOR: {
        const auto over = reinterpret_cast<HWND>(wParam);
        if (over != picBounce.window() && over != Command1.window())
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
        runHandler([this] { m_form.Form_Resize(); });
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
