#include "gesture.h"

#include <random> // mt19937_64 alone: its numbers are the same with every standard library

namespace zorbel::gesture {
namespace {

// What a user may do in any order, as Qt delivers it: the ball gets every
// event from its first press until the last button is up (a press while one is
// held, a chord, takes the ball wherever it flew), moves name the held buttons,
// 8 is a button past the third and codes naming several buttons hold none. The
// pointer moves on quarter pixels so that rounding ties come up, and the window
// passes every resize on. Past any screen, or by a chord's press of a ball
// thrown past 16 bits, only the program's fatal path may end a sequence.
std::string randomSteps(std::mt19937_64 &random, bool pastAnyScreen, bool &chorded)
{
    const auto number = [&](int low, int high) {
        char text[16];
        std::snprintf(text, sizeof text, "%g", low + double(random() % (4 * (high - low) + 1)) / 4);
        return std::string(text);
    };
    const char *const wild[] = { "1e39", "-inf", "nan", "32767.5", "-40000", "1e9" }; // past any screen
    int held = 0;
    std::string steps = "u";
    for (int step = 0; step < 40; ++step) {
        const int code = int(random() % 9), bit = code == 0 ? 8 : (code & (code - 1)) == 0 ? code : 0;
        switch (random() % 8) {
        case 0:
            steps += " h" + number(0, 79) + "," + number(0, 73) + " p" + std::to_string(code);
            chorded |= held != 0, held |= bit;
            break;
        case 1:
            if (held)
                steps += " m" + (!pastAnyScreen || random() % 4 ? number(-2000, 2000) : wild[random() % std::size(wild)]) + ","
                    + number(-2000, 2000) + "," + std::to_string(held & 7);
            break;
        case 2:
            if (held)
                steps += " r" + std::to_string(code), held &= ~bit;
            break;
        case 3: steps += " H" + number(0, 2160) + " F"; break;
        case 4: case 5: steps += " s"; break;
        default: steps += " t" + number(1, 40);
        }
    }
    return steps + " r z";
}

// Every tick keeps what Player::tick checks, and after the last release the
// ball comes to rest on the floor within a few bounces.
TEST(RandomSequences, EndOnTheFloorOrThroughTheFatalPath)
{
    std::mt19937_64 random(1);
    int settled = 0, failed = 0;
    for (int sequence = 0; sequence < 1500 && !testing::Test::HasFailure(); ++sequence) {
        const bool pastAnyScreen = sequence % 4 == 0;
        bool chorded = false;
        const std::string steps = randomSteps(random, pastAnyScreen, chorded);
        SCOPED_TRACE(steps);
        auto outcome = Player().play(steps);
        if (outcome["fails"] != "no") {
            EXPECT_TRUE(pastAnyScreen || chorded) << "a run-time error within a screen's reach";
            ++failed;
            continue;
        }
        ++settled;
        EXPECT_NE(outcome["ticks"], "-1");
        EXPECT_EQ(outcome["top"], outcome["floor"]);
        EXPECT_LE(std::stoi(outcome["count"]), 20);
    }
    EXPECT_GT(settled, 1000) << "too few drops watched to rest";
    EXPECT_GT(failed, 10) << "no throw ever rose past 16 bits";
}

} // namespace
} // namespace zorbel::gesture
