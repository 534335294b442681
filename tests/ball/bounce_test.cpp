#include "gesture.h"

namespace zorbel::gesture {
namespace {

const Row drops[] = {
    // The tenth contact repeats the ninth's rebound: it settles the ball and stops the timer.
    { "u z", "ticks 234 first 35,-34,25 rebounds 26,20,15,11,8,6,4,3,2,2 title 10 cues rbbbbbbbbbb left 399 top 354" },
    // The count of a drop from the design position depends on the client height.
    { "H255 u z", "ticks 146 first 22,-21,15 rebounds 16,12,9,7,5,4,3,2,2 title 9 top 181" },
    { "H334 u z", "ticks 174 first 28,-27,19 rebounds 20,15,11,8,6,4,3,2,2 title 9 top 260" },
    { "H335 u z", "ticks 196 first 29,-28,20 rebounds 21,16,12,9,7,5,4,3,2,2 title 10 top 261" },
    { "H474 u z", "ticks 238 first 37,-36,26 rebounds 27,20,15,11,8,6,4,3,2,2 title 10 top 400" },
    { "H475 u z", "ticks 262 first 38,-37,27 rebounds 28,21,16,12,9,7,5,4,3,2,2 title 11 top 401" },
    { "H723 u z", "ticks 323 first 49,-48,35 rebounds 36,27,20,15,11,8,6,4,3,2,2 title 11 top 649" },
    { "H724 u z", "ticks 349 first 50,-49,36 rebounds 37,28,21,16,12,9,7,5,4,3,2,2 title 12 top 650" },
    { "H1167 u z", "ticks 436 first 65,-64,47 rebounds 48,36,27,20,15,11,8,6,4,3,2,2 title 12 top 1093" },
    // From here on the ball lands at top speed, and the rebound of 75 is capped
    // to 50 after fallLimit took it.
    { "H1168 u z", "ticks 464 first 66,-65,48 rebounds 49,37,28,21,16,12,9,7,5,4,3,2,2 title 13 top 1094" },
    { "H5000 u z", "ticks 551 first 149,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13 top 4926" },
    { "H20000 u z", "ticks 851 first 449,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13 top 19926" },
    // A throw rises above the window and comes back at top speed.
    { "@399,200 g v150 R z", "ticks 664 first 262,-100,49 rebounds 75,38,28,21,16,12,9,7,5,4,3,2,2 title 13" },
    // Let go on the floor after a drop that ended still (lastFallLimit 0), the
    // first contact repeats it; the side speed keeps the timer running in
    // silence until it decays.
    { "@399,354 u z", "ticks 1 first 1,0,0 rebounds 0 limit 0 title 1 cues rb top 354" },
    { "@399,354 L-2 u z", "ticks 5 first 1,0,-1 rebounds 0,1,1 title 3 top 354" },
    { "@399,354 u x12 z", "ticks 239 first 1,0,0 rebounds 0 title 1 cues rb top 354" },
    // A taller client lowers the floor of a flying ball. A resting ball is lifted
    // onto a floor that rises above it, never moved otherwise, and not counted.
    { "u t20 H600 z", "ticks 276 first 24,-43,31 rebounds 32,24,18,14,10,8,6,4,3,2,2 title 11 top 526" },
    { "u z H200 R z", "ticks 1 first 1,2,-2 rebounds - title 10 top 126" },
    { "@399,354 u x12 t H300 z", "ticks 238 first 1,0,0 rebounds - title 1 top 226" },
    { "@399,354 u x12 t H300 t H500 z", "ticks 237 first - rebounds - title 1 top 226" },
    // The window passes a new size on: a settled ball goes onto the new floor at
    // once, silently, its timer left as it was; a flying or held ball stays.
    { "u z H300 F", "top 226 timers 00 cues rbbbbbbbbbb title 10" },
    { "u z H300 F H700 F", "top 626 timers 00 cues rbbbbbbbbbb title 10" },
    { "u t H200 F", "top 85" },
    { "u t p H200 F", "top 85" },
    // Gravity to -100 and no further, then the decay, rounded ties to even.
    { "H100000 g v101 R t", "speedY 100" }, { "H100000 g v150 R t", "speedY 148" },
    { "H100000 g v300 R t", "speedY 298" }, { "H100000 g v0 R t", "speedY -1" },
    { "H100000 g v-99 R t", "speedY -100" }, { "H100000 g v-100 R t", "speedY -100" },
    { "H100000 g v-298 R t", "speedY -298" }, { "H100000 g v-299 R t", "speedY -298" },
    { "H100000 g v-400 R t", "speedY -399" }, { "H100000 u t99", "speedY -99" },
    { "H100000 u t100", "speedY -100" }, { "H100000 u t300", "speedY -100" },
    // Each tick multiplies the side speed by flightDecay in flight, and by
    // restingDecay and flightDecay at rest, each product rounded once to a
    // double and stored as a float. From Python, whose floats are doubles:
    //     x = unpack("f", pack("f", x * 0.995))[0]            flying
    //     x = unpack("f", pack("f", x * 0.985 * 0.995))[0]    resting
    // A drop from the design position flies 233 ticks and settles on the 234th.
    // Every row lands on another float where a product is rounded through a
    // wider register first (the x87 unit of i686).
    { "u x17 t60", "speedX 12.584439 timers 10" }, { "u x-23 t60", "speedX -17.026003 timers 10" },
    { "u x2998 t60", "speedX 2219.3022 timers 10" }, { "u x5 t233", "speedX 1.5550618 timers 10" },
    { "u x9 t234", "speedX 2.7433403 timers 10" }, { "u x17 t300", "speedX 1.3727796 timers 10" },
    { "@399,354 u x2141 t10", "speedX 1750.6923 timers 10" }, { "@399,354 u x1733 t60", "speedX 518.03284 timers 10" },
    { "@399,354 u x-265 t150", "speedX -12.946209 timers 10" },
    // Nothing after a failed increment runs.
    { "@399,354 u c32767 t", "fails increment cues r" },
};

TEST(Drops, BounceCountAndComeToRestAsWorkedOut)
{
    for (const Row &row : drops)
        expect(row);
}

} // namespace
} // namespace zorbel::gesture
