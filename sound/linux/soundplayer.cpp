#include "pulsesound.h"

#include "connection.h"
#include "pulse.h"
#include "soundthread.h"
#include "wavimage.h"

#include <pthread.h>
#include <signal.h>

#include <limits>
#include <memory>
#include <optional>
#include <utility>

// Plays the cues through the desktop's sound server (PulseAudio, or PipeWire
// through pipewire-pulse) over one Connection, kept for the whole run.
// Everything that talks to the server runs on a thread of its own: the caller
// only leaves the newest cue in its mailbox.

namespace zorbel::sound {
namespace {

// Silence written after each cue: PipeWire's converter holds back the last
// few milliseconds of what it was given until more follows.
constexpr pa_usec_t trailingSilence = 20'000;

// Serves the cues left in the mailbox until the player is closed.
void serve(const Pulse &pa, pa_mainloop *loop, Mailbox<Cue> &mailbox)
{
    Connection connection(pa, loop);
    connection.connect();
    while (!mailbox.closing()) {
        if (std::optional<Cue> cue = mailbox.take())
            connection.play(std::move(*cue));
        // Sleeps until the server or the caller has something for us.
        if (pa.mainloop_iterate(loop, 1, nullptr) < 0)
            break;
        connection.settle();
    }
}

void runSoundThread(Mailbox<Cue> &mailbox)
{
    pthread_setname_np(pthread_self(), "zorbel-sound");
    // Without libpulse the thread ends at once; the cues left for it stay silent.
    const Pulse *pa = loadPulse();
    if (pa_mainloop *loop = pa ? pa->mainloop_new() : nullptr) {
        mailbox.setWaker([pa, loop] { pa->mainloop_wakeup(loop); });
        serve(*pa, loop, mailbox);
        mailbox.setWaker(nullptr);
        pa->mainloop_free(loop);
    }
}

// The cue an image asks for; one without samples when it cannot be played.
Cue cueOf(const char *image, std::uint32_t flags)
{
    Cue cue;
    cue.asked = Clock::now();
    if (!image || !(flags & SND_MEMORY))
        return cue;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(image);
    const std::uint64_t size = WavImage::claimedSize(bytes);
    if (size > std::numeric_limits<std::size_t>::max())
        return cue;
    const std::optional<WavImage> wav = WavImage::parse({ bytes, static_cast<std::size_t>(size) });
    if (!wav)
        return cue;
    cue.format = { wav->bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE, static_cast<std::uint32_t>(wav->sampleRate),
                   static_cast<std::uint8_t>(wav->channels) };
    // What libpulse takes, checked here, where it may not be loaded yet.
    if (wav->channels > int { PA_CHANNELS_MAX } || cue.format.channels == 0 || cue.format.rate == 0
        || cue.format.rate > PA_RATE_MAX)
        return cue;
    const std::uint8_t silent = cue.format.format == PA_SAMPLE_U8 ? 0x80 : 0x00;
    const std::size_t silentFrames = std::size_t { cue.format.rate } * trailingSilence / PA_USEC_PER_SEC;
    cue.samples.assign(wav->samples.begin(), wav->samples.end());
    cue.samples.resize(cue.samples.size() + silentFrames * static_cast<std::size_t>(wav->bytesPerFrame()), silent);
    cue.duration = wav->duration();
    return cue;
}

} // namespace

struct PulseSound::Impl {
    // The thread may be stuck only inside libpulse (its look-up of a frozen
    // X display) when the player closes.
    SoundThread<Cue> thread { runSoundThread };
};

PulseSound::PulseSound()
{
    // The sound thread takes no asynchronous signals: they stay with the
    // threads that handle them.
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    for (const int synchronous : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT })
        sigdelset(&blocked, synchronous);
    pthread_sigmask(SIG_SETMASK, &blocked, &previous);
    m_impl = std::make_unique<Impl>();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

PulseSound::~PulseSound() = default;

std::uint32_t PulseSound::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    Cue cue = cueOf(image, flags);
    const bool playable = !cue.samples.empty();
    m_impl->thread.post(std::move(cue));
    return playable ? 1 : 0;
}

} // namespace zorbel::sound
