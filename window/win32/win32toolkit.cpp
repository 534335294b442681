#include "win32toolkit.h"

#include <algorithm>

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
    : PlacedElement(static_cast<float>(design.left), static_cast<float>(design.top), static_cast<float>(design.height))
    , m_window(window)
    , m_width(design.width)
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
        m_scale.toDevice(Height()), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Ticker::start(FormTimer &, int periodMs)
{
    if (runningTimers++ == 0)
        FineResolution::hold();
    if (!SetTimer(m_owner, m_id, static_cast<UINT>(periodMs), nullptr))
        throw RuntimeError("cannot start a timer");
}

void Win32Ticker::stop()
{
    KillTimer(m_owner, m_id);
    if (--runningTimers == 0)
        FineResolution::release();
}

} // namespace zorbel
