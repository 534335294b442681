#include "../platform.h"

#include "win32toolkit.h"

#include <windows.h>

namespace zorbel::platform {
namespace {

BOOL CALLBACK disable(HWND window, LPARAM)
{
    EnableWindow(window, FALSE);
    return TRUE;
}

} // namespace

void stopEvents()
{
    // The message box runs a message loop of its own: without this, ticks
    // and clicks would keep running handlers on a model that has failed.
    Win32Timer::stopAll();
    EnumThreadWindows(GetCurrentThreadId(), disable, 0);
}

void showError(std::string_view text)
{
    MessageBoxW(nullptr, widen(text).c_str(), L"Zorbel", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace zorbel::platform
