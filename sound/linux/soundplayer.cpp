#include "platform.h"

#include "connection.h"
#include "pulse.h"
#include "wavimage.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// Plays the cues through the desktop's sound server (PulseAudio, or PipeWire
// through pipewire-pulse) over one Connection, kept for the whole run.
// Everything that talks to the server runs on a thread of its own: the caller
// only leaves the newest cue in a mailbox.

namespace zorbel::sound {
namespace {

using namespace std::chrono_literals;

// Silence written after each cue: PipeWire's converter holds back the last
// few milliseconds of what it was given until more follows.
constexpr pa_usec_t trailingSilence = 20'000;

// The longest the program's exit waits for the sound thread, which may be
// stuck only inside libpulse (its look-up of a frozen X display).
constexpr auto shutdownWait = 500ms;

// What the caller and the sound thread share.
struct Mailbox {
    std::mutex mutex;
    // Run by the sound thread while it serves cues; others only wake it.
    pa_mainloop *loop = nullptr;
    const Pulse *pa = nullptr;
    std::condition_variable finishedChanged;
    std::optional<Cue> newest;
    bool stop = false;
    bool finished = false;
};

// Serves the cues left in the mailbox until the player is closed.
void serve(const Pulse &pa, pa_mainloop *loop, Mailbox &mailbox)
{
    Connection connection(pa, loop);
    connection.connect();
    for (;;) {
        std::optional<Cue> cue;
        {
            std::lock_guard lock(mailbox.mutex);
            if (mailbox.stop)
                break;
            cue = std::exchange(mailbox.newest, std::nullopt);
        }
        if (cue)
            connection.play(std::move(*cue));
        // Sleeps until the server or the caller has something for us.
        if (pa.mainloop_iterate(loop, 1, nullptr) < 0)
            break;
        connection.settle();
    }
}

void runSoundThread(const std::shared_ptr<Mailbox> &mailbox)
{
    pthread_setname_np(pthread_self(), "zorbel-sound");
    // Without libpulse the thread ends at once; the cues left for it stay silent.
    const Pulse *pa = loadPulse();
    if (pa_mainloop *loop = pa ? pa->mainloop_new() : nullptr) {
        {
            std::lock_guard lock(mailbox->mutex);
            mailbox->pa = pa;
            mailbox->loop = loop;
        }
        serve(*pa, loop, *mailbox);
        {
            std::lock_guard lock(mailbox->mutex);
            mailbox->loop = nullptr;
        }
        pa->mainloop_free(loop);
    }
    std::lock_guard lock(mailbox->mutex);
    mailbox->finished = true;
    mailbox->finishedChanged.notify_all();
}

// With the mailbox's lock held.
void wake(const Mailbox &mailbox)
{
    if (mailbox.loop)
        mailbox.pa->mainloop_wakeup(mailbox.loop);
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

struct SoundPlayer::Impl {
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
    std::thread thread;
};

SoundPlayer::SoundPlayer()
    : m_impl(std::make_unique<Impl>())
{
    // The sound thread takes no asynchronous signals: they stay with the
    // threads that handle them.
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    for (const int synchronous : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT })
        sigdelset(&blocked, synchronous);
    pthread_sigmask(SIG_SETMASK, &blocked, &previous);
    m_impl->thread = std::thread(runSoundThread, m_impl->mailbox);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

SoundPlayer::~SoundPlayer()
{
    Mailbox &mailbox = *m_impl->mailbox;
    std::unique_lock lock(mailbox.mutex);
    mailbox.stop = true;
    wake(mailbox);
    if (!mailbox.finishedChanged.wait_for(lock, shutdownWait, [&] { return mailbox.finished; })) {
        // NOTE: Left to the process's end rather than hanging its exit; the
        // thread holds its own share of the mailbox and never touches the
        // caller's images.
        lock.unlock();
        m_impl->thread.detach();
        return;
    }
    lock.unlock();
    m_impl->thread.join();
}

std::uint32_t SoundPlayer::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    Cue cue = cueOf(image, flags);
    const bool playable = !cue.samples.empty();
    Mailbox &mailbox = *m_impl->mailbox;
    std::lock_guard lock(mailbox.mutex);
    mailbox.newest = std::move(cue);
    wake(mailbox);
    return playable ? 1 : 0;
}

} // namespace zorbel::sound
