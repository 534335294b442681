// Sends Zorbel's held ball the mouse moves Windows sends when a window moves
// under a pointer that stays where it is: each at the pointer's place, seen
// from the ball's current position. Waits first for the ball to have followed
// the pointer there. Prints the ball's place on the screen before and after
// each move, in device pixels, one "LEFT TOP" a line.
//
//     still_move COUNT

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void printPlace(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld\n", rect.left, rect.top);
}

bool pointerOver(HWND window)
{
    POINT pointer;
    RECT rect;
    GetCursorPos(&pointer);
    GetWindowRect(window, &rect);
    return PtInRect(&rect, pointer);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s COUNT\n", argv[0]);
        return 2;
    }
    // In device pixels, as Zorbel sees them, rather than scaled to 96 DPI.
    SetProcessDPIAware();
    const HWND form = FindWindowW(L"ZorbelForm1", nullptr);
    const HWND ball = form ? FindWindowExW(form, nullptr, L"ZorbelPictureBox", nullptr) : nullptr;
    if (!ball) {
        std::fprintf(stderr, "still_move: no Zorbel window with a ball\n");
        return 1;
    }
    // The pointer was carried off the ball; sent messages come before its
    // queued moves, so the ball is left to catch up.
    for (int wait = 0; !pointerOver(ball); ++wait) {
        if (wait == 1000) {
            std::fprintf(stderr, "still_move: the ball did not follow the pointer within 10 s\n");
            return 1;
        }
        Sleep(10);
    }
    printPlace(ball);
    for (int move = std::atoi(argv[1]); move > 0; --move) {
        POINT pointer;
        GetCursorPos(&pointer);
        ScreenToClient(ball, &pointer);
        SendMessageW(ball, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pointer.x, pointer.y));
        printPlace(ball);
    }
    return 0;
}
