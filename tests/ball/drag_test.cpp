#include "gesture.h"

namespace zorbel::gesture {
namespace {

const Row gestures[] = {
    // Any button's press hides the label; a falling or settled ball stays as it
    // is unless the left button alone takes it, and then the count starts again.
    { "u t10 p2", "label 0 timers 10 limit -1000" },
    { "u t10 p3", "label 0 timers 10" },
    { "u z p2", "label 0 timers 00 count 10" },
    { "u z p", "label 0 timers 01 count 0 limit -1000 title 10 cues rbbbbbbbbbb" },
    // The grab point and the ball's position are kept rounded, ties to even.
    { "@10.5,11.5 h2.5,3.5 p", "ball 10,12 grab 2,4" },
    // The grab point stays under the pointer, one move per event, and nothing
    // confines the ball to the window.
    { "h10.4,20.6 p m20.1,-0.6", "left 419.5 top 84 moves 1 ball 420,84" },
    { "h10.4,20.6 p m20.1,-0.6 m-2000,-500", "ball -1580,-416 top -416.4" },
    // Only the left button alone carries the ball or lets it go.
    { "p m50,50,3 m50,50,2 m50,50,4 m50,50,0 r2 r4", "moves 0 timers 01 cues -" },
    // The sampler's first sample measures against the last one of the previous
    // drag, (0, 0) at first, so the animation's fall shows as a jump.
    { "p s", "speedX 399 speedY -85" },
    { "p s s r t30 p s", "speedY -217" },
    { "p s s r t30 p s s", "speedX 0 speedY 0" },
    // A still hold drops straight from where the ball hangs, and once let go
    // the ball moves only up and down.
    { "p m0,-50 s s r", "speedX 0 speedY 0 timers 10 cues r" },
    { "p m0,-50 s s r t", "top 35" },
    { "p m0,-50 s s r z", "left 399 top 354" },
    // Only the last sampler period counts: thrown at 40, rising 20 px a tick.
    { "p s m0,-10 s m3,-40 s r", "speedX 3 speedY 40" },
    { "p s m0,-10 s m3,-40 s r t", "top 15" },
    // Let go before the sampler ticks, the ball keeps its flight; the title
    // waits for the first contact.
    { "u t20 p r", "speedY -20 limit -1000 count 0 title -" },
    { "u t20 p r z", "title 10" },
    // A move without a grab (a double click) samples beside the animation.
    { "u m0,0", "timers 11" },
    { "u m0,0 r", "timers 10" },
    // Positions and displacements past 16 bits are run-time errors; the
    // negation of -32768 wraps.
    { "@399,40000 p", "fails integer" },
    { "p m0,32000 s m0,-64000 s", "speedY -32085 fails subtraction" },
    { "p m-399,-32852.75 s", "speedY -32768" },
    // A pointer past any float, or not a number, is an error where it is stored.
    { "p m1e39,0", "fails float" },
    { "p mnan,0", "fails operation" },
    // While the right button, pressed before the left is let go, keeps the
    // grab, a left press anywhere goes to the ball and takes it wherever it
    // flew: thrown at 700 px a tick it rises 41,000 px above the window.
    { "u z h40,37 p s s m0,-700 s p2 r", "speedY 700" },
    { "u z h40,37 p s s m0,-700 s p2 r t317 h40,8229 p", "speedY 0 top -41354.5 fails integer" },
};

TEST(Gestures, LeaveTheBallAsWorkedOut)
{
    for (const Row &row : gestures)
        expect(row);
}

} // namespace
} // namespace zorbel::gesture
