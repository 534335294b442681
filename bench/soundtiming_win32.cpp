// Times the play call of the Windows program's sound cues under the system's
// player (Wine's winmm on PulseAudio in bench/run.sh):
//
//   soundtiming.exe CUES SPACING_MS
//
// Plays CUES cues through modDichiarazioniComuni, as the program does,
// release and bounce in turn, SPACING_MS apart. One line per cue:
//
//   cue ID call_ms CALL
//
// CALL is how long the play call held the caller.

#include "moddichiarazionicomuni.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: soundtiming CUES SPACING_MS\n");
        return 2;
    }
    const int cues = std::atoi(argv[1]);
    const int spacingMs = std::atoi(argv[2]);
    modDichiarazioniComuni sounds;
    for (int i = 0; i < cues; ++i) {
        const std::int16_t id = i % 2 ? zorbel::sound::bounceSound : zorbel::sound::releaseSound;
        const auto start = std::chrono::steady_clock::now();
        sounds.PlaySoundResource(id);
        const std::chrono::duration<double, std::milli> call = std::chrono::steady_clock::now() - start;
        std::printf("cue %d call_ms %.3f\n", id, call.count());
        std::fflush(stdout);
        Sleep(spacingMs);
    }
    return 0;
}
