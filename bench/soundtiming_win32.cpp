// Times the play call of the Windows program's sound cues under the system's
// player (Wine's winmm on PulseAudio in bench/run.sh and bench/cuelengths.sh):
//
//   soundtiming.exe CUES SPACING_MS[,SPACING_MS...] [direct]
//
// Plays CUES cues through modDichiarazioniComuni, as the program does,
// release and bounce in turn; cue i comes the i-th spacing after the one
// before it (the last spacing repeats). With "direct", the caller's thread
// calls sndPlaySoundA itself, as the system's own player is meant to be
// called: the reference for what Zorbel's sound thread adds. One line per cue:
//
//   cue ID call_ms CALL
//
// CALL is how long the play call held the caller.

#include "moddichiarazionicomuni.h"
#include "winmmsound.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "direct") != 0)) {
        std::fprintf(stderr, "usage: soundtiming CUES SPACING_MS[,SPACING_MS...] [direct]\n");
        return 2;
    }
    const int cues = std::atoi(argv[1]);
    std::vector<int> spacingsMs;
    for (char *at = argv[2]; *at;) {
        spacingsMs.push_back(int(std::strtol(at, &at, 10)));
        if (*at == ',')
            ++at;
    }
    const bool direct = argc == 4;
    const std::int16_t ids[] = { zorbel::sound::releaseSound, zorbel::sound::bounceSound };
    auto port = std::make_unique<zorbel::sound::WinmmSound>();
    const std::vector<std::uint8_t> images[] = { port->LoadResData(ids[0]), port->LoadResData(ids[1]) };
    zorbel::sound::modDichiarazioniComuni sounds(std::move(port));
    // Binds the audio driver first (half a second under Wine), so that the
    // schedule measures cues, not the first cue's wait for the driver.
    waveOutGetNumDevs();
    auto due = std::chrono::steady_clock::now();
    for (int i = 0; i < cues; ++i) {
        const std::size_t which = std::size_t(i % 2);
        const auto called = std::chrono::steady_clock::now();
        if (direct)
            sndPlaySoundA(reinterpret_cast<LPCSTR>(images[which].data()), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
        else
            sounds.PlaySoundResource(ids[which]);
        const std::chrono::duration<double, std::milli> call = std::chrono::steady_clock::now() - called;
        std::printf("cue %d call_ms %.3f\n", ids[which], call.count());
        std::fflush(stdout);
        // Kept to the schedule, not to the last call's return.
        due += std::chrono::milliseconds(spacingsMs[std::min(std::size_t(i), spacingsMs.size() - 1)]);
        const auto left = due - std::chrono::steady_clock::now();
        if (left > left.zero())
            Sleep(DWORD(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    }
    if (direct)
        sndPlaySoundA(nullptr, 0);
    return 0;
}
