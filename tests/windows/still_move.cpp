// Sends Zorbel's held ball the mouse moves Windows sends when a window moves
// under a still pointer, and prints the ball's place on the screen (device
// pixels) before and after each move, one "LEFT TOP" a line.
//
//     still_move COUNT

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // In device pixels, as Zorbel sees them, rather than scaled to 96 DPI.
    SetProcessDPIAware();
    const HWND form = FindWindowW(L"ZorbelForm1", nullptr);
    const HWND ball = form ? FindWindowExW(form, nullptr, L"ZorbelPictureBox", nullptr) : nullptr;
    if (argc != 2 || !ball) {
        std::fprintf(stderr, "usage: still_move COUNT, with a Zorbel window and its ball\n");
        return 1;
    }
    POINT pointer;
    RECT place;
    // The pointer was carried off the ball; sent messages come before its
    // queued moves, so the ball is left to catch up first.
    for (int wait = 0; !(GetCursorPos(&pointer) && GetWindowRect(ball, &place) && PtInRect(&place, pointer)); ++wait) {
        if (wait == 1000) {
            std::fprintf(stderr, "still_move: the ball did not follow the pointer within 10 s\n");
            return 1;
        }
        Sleep(10);
    }
    for (int move = std::atoi(argv[1]);; --move) {
        GetWindowRect(ball, &place);
        std::printf("%ld %ld\n", place.left, place.top);
        if (move == 0)
            break;
        GetCursorPos(&pointer);
        ScreenToClient(ball, &pointer);
        SendMessageW(ball, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pointer.x, pointer.y));
    }
    return 0;
}
