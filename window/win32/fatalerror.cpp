#include "win32toolkit.h"

namespace zorbel {
namespace {

BOOL CALLBACK disable(HWND window, LPARAM)
{
    EnableWindow(window, FALSE);
    return TRUE;
}

} // namespace

void Win32ErrorScreen::stopInput()
{
    // The message box runs a message loop of its own: without this, clicks
    // would keep running handlers on a model that has failed.
    EnumThreadWindows(GetCurrentThreadId(), disable, 0);
}

void Win32ErrorScreen::showError(std::string_view text)
{
    MessageBoxW(nullptr, widen(text).c_str(), L"Zorbel", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace zorbel
