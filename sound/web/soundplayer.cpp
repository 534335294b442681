#include "webaudiosound.h"

#include "clockedschedule.h"
#include "wavimage.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

// The page's side of the player is sound/web/audio.js: it plays, stops and
// resumes; what plays when is decided here.

EM_JS(int, zorbel_openAudio, (), { return zorbelAudio.open(); });
EM_JS(double, zorbel_audioTime, (), { return zorbelAudio.context.currentTime; });
EM_JS(int, zorbel_audioState, (), { return ['suspended', 'running'].indexOf(zorbelAudio.context.state); });
EM_JS(int, zorbel_cueSounding, (), { return zorbelAudio.source ? 1 : 0; });
EM_JS(double, zorbel_startCue, (const std::uint8_t *samples, int length, int channels, int rate, int bits, double at), {
    return zorbelAudio.start(HEAPU8.subarray(samples, samples + length), channels, rate, bits, at);
});
EM_JS(void, zorbel_stopCue, (), { zorbelAudio.stop(); });
EM_JS(void, zorbel_stopAllCues, (), { zorbelAudio.stopAll(); });
EM_JS(void, zorbel_resumeAudio, (int tell), { zorbelAudio.resume(tell); });
EM_JS(void, zorbel_suspendAudio, (), { zorbelAudio.context.suspend(); });
EM_JS(void, zorbel_closeAudio, (), { zorbelAudio.close(); });

namespace zorbel::sound {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

enum AudioState { suspended = 0, running = 1 };
enum Opened { noAudio = 0, openAudio = 1, newAudio = 2 };

struct Cue {
    std::vector<std::uint8_t> samples;
    int channels;
    int rate;
    int bits;
    Clock::time_point asked;
};

// The page's one player, and what it decided.
struct Player {
    ClockedSchedule<Cue> schedule;
    long restTimer = 0;

    bool play(Cue cue)
    {
        const int opened = zorbel_openAudio();
        if (opened == noAudio)
            return false;
        // A new output is a waking one: until it runs, what it is given may
        // be lost, as the first cue of a visit was on a busy machine.
        if (opened == newAudio || schedule.resting()) {
            schedule.wake();
            zorbel_resumeAudio(1);
        }
        if (schedule.hold(cue))
            return true;
        const Seconds now(zorbel_audioTime());
        const Seconds at = schedule.startAt(cue.asked, now, zorbel_cueSounding());
        const double duration = zorbel_startCue(cue.samples.data(), static_cast<int>(cue.samples.size()), cue.channels,
            cue.rate, cue.bits, at.count());
        if (duration < 0)
            return false;
        schedule.started(cue.asked, at);
        const auto rest = ClockedSchedule<Cue>::restAfter(at, now, Seconds(duration), restAfterLastCue);
        emscripten_clear_timeout(restTimer);
        restTimer = emscripten_set_timeout(onRest, static_cast<double>(rest.count()), this);
        return true;
    }

    static void onRest(void *self)
    {
        auto *player = static_cast<Player *>(self);
        if (zorbel_audioState() != running || player->schedule.waking())
            return;
        player->schedule.rest();
        zorbel_suspendAudio();
    }
};

// Null until the first cue, and once the program has ended.
std::optional<Player> player;

} // namespace

WebAudioSound::~WebAudioSound()
{
    if (player)
        emscripten_clear_timeout(player->restTimer);
    player.reset();
    zorbel_closeAudio();
}

std::uint32_t WebAudioSound::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    std::optional<WavImage> wav;
    if (image && (flags & SND_MEMORY)) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(image);
        const std::uint64_t size = WavImage::claimedSize(bytes);
        if (size <= std::numeric_limits<std::size_t>::max())
            wav = WavImage::parse({ bytes, static_cast<std::size_t>(size) });
    }
    if (!wav) {
        zorbel_stopCue();
        return 0;
    }
    if (!player)
        player.emplace();
    return player->play({ { wav->samples.begin(), wav->samples.end() }, wav->channels, wav->sampleRate,
               wav->bitsPerSample, Clock::now() })
        ? 1
        : 0;
}

} // namespace zorbel::sound

// Called by audio.js.
extern "C" {

// The context's resume, asked for by a cue, has run (or failed): the cues
// that waited for it start now.
EMSCRIPTEN_KEEPALIVE void zorbel_audioResumed(int resumed)
{
    using namespace zorbel::sound;
    if (!player)
        return;
    for (Cue &cue : player->schedule.woken(resumed != 0))
        player->play(std::move(cue));
}

// A user gesture: a context the browser's autoplay policy held suspended may
// run now. The cues that were waiting in it would sound late: they go first.
EMSCRIPTEN_KEEPALIVE void zorbel_audioGesture()
{
    using namespace zorbel::sound;
    if (zorbel_audioState() != suspended || (player && player->schedule.resting()))
        return;
    if (player)
        player->schedule.woken(false);
    zorbel_stopAllCues();
    zorbel_resumeAudio(0);
}

} // extern "C"
