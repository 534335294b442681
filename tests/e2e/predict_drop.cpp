// Prints what the ball logic predicts for a drop after the startup drop: the
// ball is taken where it rests, carried to a given Top, held still and let go.
//
//     predict_drop CLIENT_HEIGHT DROP_TOP   ->   COUNT SETTLED_TOP

#include "fakeball.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CLIENT_HEIGHT DROP_TOP\n", argv[0]);
        return 2;
    }
    zorbel::fake::BallWindow w;
    w.Form1.scaleHeight = std::strtof(argv[1], nullptr);
    const float dropTop = std::strtof(argv[2], nullptr);

    w.startup();
    if (w.settle() < 0)
        return 1;

    constexpr float grabX = 40;
    constexpr float grabY = 37;
    w.ball.picBounce_MouseDown(zorbel::leftButton, 0, grabX, grabY);
    w.ball.picBounce_MouseMove(zorbel::leftButton, 0, grabX, grabY + dropTop - w.picBounce.top);
    w.ball.tmrDrag_Timer();
    w.ball.tmrDrag_Timer();
    w.ball.picBounce_MouseUp(zorbel::leftButton, 0, grabX, grabY);
    if (w.settle() < 0)
        return 1;
    std::printf("%d %g\n", w.state().bounceCount, double { w.picBounce.top });
    return 0;
}
