#include "win32toolkit.h"

#include "fatalerror.h"
#include "runtimeerror.h"

#include <algorithm>
#include <vector>

namespace zorbel {
namespace {

// timeBeginPeriod and timeEndPeriod, looked up rather than imported: the
// multimedia library is not needed to start, and without it the timers
// merely tick at the system's resolution.
class FineResolution {
public:
    static void hold() { call("timeBeginPeriod"); }
    static void release() { call("timeEndPeriod"); }

private:
    using PeriodFunction = UINT(WINAPI *)(UINT);
    static constexpr UINT periodMs = 1;

    static void call(const char *name)
    {
        static const HMODULE library = LoadLibraryA("winmm.dll");
        if (!library)
            return;
        if (auto function = reinterpret_cast<PeriodFunction>(reinterpret_cast<void (*)()>(GetProcAddress(library, name))))
            function(periodMs);
    }
};

std::vector<Win32Timer *> &allTimers()
{
    static std::vector<Win32Timer *> timers;
    return timers;
}

int runningTimers = 0;

} // namespace

std::wstring widen(std::string_view utf8)
{
    std::wstring wide(static_cast<std::size_t>(utf8.size()), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
        static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(length, 0)));
    return wide;
}

Win32Element::Win32Element(HWND window, design::Rect design, const PixelScale &scale)
    : PlacedElement(static_cast<float>(design.left), static_cast<float>(design.top))
    , m_window(window)
    , m_width(design.width)
    , m_height(design.height)
    , m_scale(scale)
{
    place();
}

void Win32Element::setVisible(bool visible)
{
    ShowWindow(m_window, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Element::place()
{
    SetWindowPos(m_window, nullptr, m_scale.toDevice(Left()), m_scale.toDevice(Top()), m_scale.toDevice(m_width),
        m_scale.toDevice(m_height), SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Timer::Win32Timer(HWND owner, UINT_PTR id, int requestedPeriodMs, std::function<void()> onTick)
    : m_owner(owner)
    , m_id(id)
    , m_periodMs(static_cast<UINT>(std::max(requestedPeriodMs, design::shortestTimerPeriodMs)))
    , m_onTick(std::move(onTick))
{
    allTimers().push_back(this);
}

Win32Timer::~Win32Timer()
{
    setEnabled(false);
    std::erase(allTimers(), this);
}

void Win32Timer::tick()
{
    // A tick already queued when the timer was stopped is dropped.
    if (m_enabled)
        runHandler(m_onTick);
}

void Win32Timer::setEnabled(bool enabled)
{
    // Restarting a running timer would shift its phase; an enabled timer
    // must tick on as before.
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled) {
        if (runningTimers++ == 0)
            FineResolution::hold();
        if (!SetTimer(m_owner, m_id, m_periodMs, nullptr))
            throw RuntimeError("cannot start a timer");
    } else {
        KillTimer(m_owner, m_id);
        if (--runningTimers == 0)
            FineResolution::release();
    }
}

void Win32Timer::stopAll()
{
    for (Win32Timer *timer : allTimers())
        timer->setEnabled(false);
}

} // namespace zorbel
