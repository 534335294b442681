// Linked with window/win32/main.cpp into ZorbelTickTrace.exe: the real
// program and window library, unchanged, plus a message hook on the UI thread
// that notes each timer tick (WM_TIMER) as the message loop takes it. The
// times (ns, QueryPerformanceCounter) and which timer ticked go to the file
// named by ZORBEL_TICK_TRACE, a line per tick as it happens: the benchmark
// ends the program from outside, so nothing can wait for its exit.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::FILE *trace = nullptr;
LARGE_INTEGER frequency;
HHOOK hook = nullptr;

long long nowNs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Split so that counts of hours of uptime do not overflow.
    return now.QuadPart / frequency.QuadPart * 1000000000LL
        + now.QuadPart % frequency.QuadPart * 1000000000LL / frequency.QuadPart;
}

LRESULT CALLBACK noteTick(int code, WPARAM removal, LPARAM message)
{
    const auto *taken = reinterpret_cast<const MSG *>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && taken->message == WM_TIMER) {
        std::fprintf(trace, "%lld %llu\n", nowNs(), static_cast<unsigned long long>(taken->wParam));
        std::fflush(trace);
    }
    return CallNextHookEx(hook, code, removal, message);
}

// Runs before the program's entry point, on the thread that becomes its UI thread.
const bool installed = [] {
    const char *path = std::getenv("ZORBEL_TICK_TRACE");
    if (!path || !(trace = std::fopen(path, "w")))
        return false;
    QueryPerformanceFrequency(&frequency);
    hook = SetWindowsHookExW(WH_GETMESSAGE, noteTick, nullptr, GetCurrentThreadId());
    return hook != nullptr;
}();

} // namespace
