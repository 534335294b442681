// predict_drop CLIENT_HEIGHT [DROP_TOP] -> COUNT SETTLED_TOP: what the ball logic predicts for the
// startup drop in a client that high, or for the ball then taken, carried to DROP_TOP, held still and let go.

#include "fakeball.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s CLIENT_HEIGHT [DROP_TOP]\n", argv[0]);
        return 2;
    }
    zorbel::fake::BallWindow w;
    w.Form1.scaleHeight = std::strtof(argv[1], nullptr);

    w.startup();
    if (w.settle() < 0)
        return 1;

    if (argc == 3) {
        // Taken at 40, 37; the hand moves the ball from where the drag last placed it, rounded.
        w.ball.picBounce_MouseDown(zorbel::leftButton, 0, 40, 37);
        w.ball.picBounce_MouseMove(zorbel::leftButton, 0, 40, 37 + std::strtof(argv[2], nullptr) - w.state().ballTop);
        w.ball.tmrDrag_Timer();
        w.ball.tmrDrag_Timer();
        w.ball.picBounce_MouseUp(zorbel::leftButton, 0, 40, 37);
        if (w.settle() < 0)
            return 1;
    }
    std::printf("%d %.9g\n", w.state().bounceCount, double { w.picBounce.top });
    return 0;
}
