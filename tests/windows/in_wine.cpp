// The Windows tests' steps that take a Windows program:
//   in_wine lines    runs ZORBEL_COMMAND_LINE's lines in turn by CreateProcess, as Windows runs an
//                    uninstall entry's (no command interpreter acting on `&`, `%…%`, `^` or `!`),
//                    each for up to 2 minutes, in one Wine start; the last one's status
//   in_wine still N  sends Zorbel's held ball N of the moves Windows sends when a window moves under
//                    a still pointer; prints the ball's place before and after each ("LEFT TOP")

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

static int runLines(const wchar_t *lines)
{
    std::wistringstream text(lines);
    DWORD status = 0;
    for (std::wstring line; std::getline(text, line);) {
        if (line.empty())
            continue;
        STARTUPINFOW startup { sizeof startup };
        PROCESS_INFORMATION process {};
        // CreateProcessW may write into the line it is given.
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "in_wine: CreateProcess failed, error %lu\n", GetLastError());
            return 126;
        }
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "in_wine: %ls did not end within 2 minutes\n", line.c_str());
            TerminateProcess(process.hProcess, 124);
            return 124;
        }
        if (!GetExitCodeProcess(process.hProcess, &status))
            status = 1;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return static_cast<int>(status);
}

static int stillMoves(HWND ball, int moves)
{
    POINT pointer;
    RECT place;
    // Sent messages come before the queued moves that carried the pointer: the ball catches up first.
    for (int wait = 0; !(GetCursorPos(&pointer) && GetWindowRect(ball, &place) && PtInRect(&place, pointer)); ++wait) {
        if (wait == 1000) {
            std::fprintf(stderr, "in_wine: the ball did not follow the pointer within 10 s\n");
            return 1;
        }
        Sleep(10);
    }
    for (;; --moves) {
        GetWindowRect(ball, &place);
        std::printf("%ld %ld\n", place.left, place.top);
        if (moves == 0)
            return 0;
        GetCursorPos(&pointer);
        ScreenToClient(ball, &pointer);
        SendMessageW(ball, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pointer.x, pointer.y));
    }
}

int main(int argc, char *argv[])
{
    const std::string step = argc > 1 ? argv[1] : "";
    const wchar_t *lines = _wgetenv(L"ZORBEL_COMMAND_LINE");
    if (step == "lines" && argc == 2 && lines && *lines)
        return runLines(lines);
    // In device pixels, as Zorbel sees them, rather than scaled to 96 DPI.
    SetProcessDPIAware();
    const HWND form = FindWindowW(L"ZorbelForm1", nullptr);
    const HWND ball = form ? FindWindowExW(form, nullptr, L"ZorbelPictureBox", nullptr) : nullptr;
    if (step == "still" && argc == 3 && ball)
        return stillMoves(ball, std::atoi(argv[2]));
    std::fprintf(stderr, "usage: in_wine lines, with ZORBEL_COMMAND_LINE set, or in_wine still COUNT, with a Zorbel window\n");
    return 125;
}
