#include "platform.h"

#include "wavimage.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Plays the cues through the desktop's sound server (PulseAudio, or PipeWire
// through pipewire-pulse) over one connection and one playback stream, kept
// for the whole run. Everything that talks to the server runs on a thread of
// its own: the caller only leaves the newest cue in a mailbox.

namespace zorbel::sound {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The names the desktop's mixer shows the stream under and remembers its
// volume by: the installed desktop entry and icon.
constexpr const char *applicationName = "Zorbel";
constexpr const char *desktopId = "org.zorbel.Zorbel";

// The program's own cues, so the stream opened at start-up fits them.
constexpr pa_sample_spec cueFormat { PA_SAMPLE_U8, 11025, 1 };

// How much the stream keeps queued ahead of the sink: what delays a cue's
// start. The server may raise it to what the sink can do.
constexpr pa_usec_t targetLatency = 5'000;

// A cue that could not start this soon after it was asked for (the server
// was still being reached) belongs to a moment that has passed.
constexpr auto latestStart = 100ms;

// This long after the last cue has played out the stream is paused, so the
// sink may go idle and the server stops serving it while the program rests.
// Not sooner: the cues of one drop would switch the stream off and on, and a
// cue that comes while PipeWire is still switching it off starts late.
constexpr auto pauseAfter = 10s;

// Silence written after each cue: PipeWire's converter holds back the last
// few milliseconds of what it was given until more follows.
constexpr pa_usec_t trailingSilence = 20'000;

// A server that stopped answering leaves cues queued in this process; so
// many unanswered cues mean it is stuck, and further ones are dropped.
constexpr int unansweredLimit = 8;

// The longest the program's exit waits for the sound thread, which may be
// stuck only inside libpulse (its look-up of a frozen X display).
constexpr auto shutdownWait = 500ms;

struct Cue {
    pa_sample_spec format = cueFormat;
    std::vector<std::uint8_t> samples; // none: only silence the cue sounding
    std::chrono::microseconds duration {};
    Clock::time_point asked;
};

// What the caller and the sound thread share.
struct Mailbox {
    Mailbox()
        : loop(pa_mainloop_new())
    {
    }
    ~Mailbox() { pa_mainloop_free(loop); }
    Mailbox(const Mailbox &) = delete;
    Mailbox &operator=(const Mailbox &) = delete;

    pa_mainloop *const loop; // run by the sound thread; others only wake it
    std::mutex mutex;
    std::condition_variable finishedChanged;
    std::optional<Cue> newest;
    bool stop = false;
    bool finished = false;
};

// The connection to the server and its one stream. Lives on the sound thread.
class Connection {
public:
    explicit Connection(pa_mainloop *loop)
        : m_api(pa_mainloop_get_api(loop))
    {
    }

    ~Connection() { release(); }

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Reached at start-up, so the first cue finds the stream ready.
    void connect()
    {
        pa_proplist *properties = identity();
        m_context = pa_context_new_with_proplist(m_api, applicationName, properties);
        pa_proplist_free(properties);
        if (!m_context) {
            warnOnce("no sound: cannot talk to a sound server");
            return;
        }
        pa_context_set_state_callback(m_context, onContextState, this);
        // A program that plays two cues does not start a sound server of its own.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            warnNoServer();
            release();
        }
    }

    // The newest cue replaces any that is still waiting for the stream.
    void play(Cue cue)
    {
        m_waiting = std::move(cue);
        if (m_waiting->samples.empty()) {
            silence();
            m_waiting.reset();
            return;
        }
        // A server that went away is looked for again, without holding up anyone.
        if (!m_context)
            connect();
        start();
    }

    // After the loop's events: lets go of what the server ended.
    void settle()
    {
        if (m_context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            release();
        else if (m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
            releaseStream();
    }

private:
    static pa_proplist *identity()
    {
        pa_proplist *properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName);
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, desktopId);
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, desktopId);
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "game");
        return properties;
    }

    static void onContextState(pa_context *context, void *self)
    {
        auto *connection = static_cast<Connection *>(self);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            connection->m_everReady = true;
            connection->start();
            break;
        case PA_CONTEXT_FAILED:
            if (connection->m_everReady)
                connection->warnOnce(std::string("the sound server went away (") + pa_strerror(pa_context_errno(context))
                                     + "); the sound cues stay silent until it is back");
            else
                connection->warnNoServer();
            break;
        default:
            break;
        }
    }

    static void onStreamState(pa_stream *stream, void *self)
    {
        auto *connection = static_cast<Connection *>(self);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            // Playing from the start: the first cue comes soon.
            connection->pauseLater({});
            connection->start();
            break;
        case PA_STREAM_FAILED:
            // Tried again at the next cue.
            connection->warnOnce(std::string("the sound server refused the cues' stream (")
                                 + pa_strerror(pa_context_errno(connection->m_context)) + "); the sound cues stay silent");
            break;
        default:
            break;
        }
    }

    static void onAnswer(pa_stream *, int, void *self) { --static_cast<Connection *>(self)->m_unanswered; }

    static void onRest(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
    {
        static_cast<Connection *>(self)->pause();
    }

    // Plays the waiting cue once the stream is ready for it, opening the
    // stream first when there is none in the cue's format.
    void start()
    {
        if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
            return;
        const pa_sample_spec format = m_waiting ? m_waiting->format : cueFormat;
        if (m_stream && !pa_sample_spec_equal(pa_stream_get_sample_spec(m_stream), &format))
            releaseStream();
        if (!m_stream) {
            openStream(format);
            return;
        }
        if (pa_stream_get_state(m_stream) != PA_STREAM_READY || !m_waiting)
            return;

        const Cue cue = std::move(*m_waiting);
        m_waiting.reset();
        if (Clock::now() - cue.asked > latestStart || m_unanswered >= unansweredLimit)
            return;
        // The server drops what it still has of the old cue, then takes the
        // new one whole: nothing of the old sounds under the new, and the
        // server never waits for the rest of a cue. The bytes are copied here.
        ask(pa_stream_flush(m_stream, onAnswer, this));
        pa_stream_write(m_stream, cue.samples.data(), cue.samples.size(), nullptr, 0, PA_SEEK_RELATIVE);
        if (m_paused) {
            ask(pa_stream_cork(m_stream, 0, onAnswer, this));
            m_paused = false;
        }
        pauseLater(cue.duration);
    }

    void pauseLater(std::chrono::microseconds playing)
    {
        const auto rest = std::chrono::duration_cast<std::chrono::microseconds>(playing + pauseAfter);
        const pa_usec_t at = pa_rtclock_now() + static_cast<pa_usec_t>(rest.count());
        if (m_restTimer)
            pa_context_rttime_restart(m_context, m_restTimer, at);
        else
            m_restTimer = pa_context_rttime_new(m_context, at, onRest, this);
    }

    void silence()
    {
        if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
            return;
        ask(pa_stream_flush(m_stream, onAnswer, this));
        pause();
    }

    void pause()
    {
        if (m_paused || !m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
            return;
        ask(pa_stream_cork(m_stream, 1, onAnswer, this));
        m_paused = true;
    }

    void ask(pa_operation *question)
    {
        if (!question)
            return;
        ++m_unanswered;
        pa_operation_unref(question);
    }

    void openStream(const pa_sample_spec &format)
    {
        pa_proplist *properties = identity();
        m_stream = pa_stream_new_with_proplist(m_context, applicationName, &format, nullptr, properties);
        pa_proplist_free(properties);
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, onStreamState, this);
        pa_buffer_attr buffer {};
        buffer.maxlength = std::numeric_limits<std::uint32_t>::max();
        buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(targetLatency, &format));
        // A cue arrives whole, so it may start at its first frame.
        buffer.prebuf = static_cast<std::uint32_t>(pa_frame_size(&format));
        buffer.minreq = std::numeric_limits<std::uint32_t>::max();
        buffer.fragsize = std::numeric_limits<std::uint32_t>::max();
        // No volume of our own, so the server gives the stream the one the
        // user last set for it.
        m_paused = false;
        m_unanswered = 0;
        if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
            releaseStream();
    }

    void releaseStream()
    {
        if (m_restTimer) {
            m_api->time_free(m_restTimer);
            m_restTimer = nullptr;
        }
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }

    // Never waits on the server, which may be frozen or gone.
    void release()
    {
        releaseStream();
        if (!m_context)
            return;
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }

    void warnNoServer()
    {
        warnOnce(std::string("no sound server (") + pa_strerror(pa_context_errno(m_context))
                 + "); the sound cues stay silent");
    }

    // One line in all, however often the server is missed.
    void warnOnce(const std::string &line)
    {
        if (std::exchange(m_warned, true))
            return;
        std::fprintf(stderr, "Zorbel: %s\n", line.c_str());
    }

    pa_mainloop_api *m_api;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    pa_time_event *m_restTimer = nullptr;
    std::optional<Cue> m_waiting;
    int m_unanswered = 0;
    bool m_paused = true;
    bool m_everReady = false;
    bool m_warned = false;
};

void runSoundThread(const std::shared_ptr<Mailbox> &mailbox)
{
    pthread_setname_np(pthread_self(), "zorbel-sound");
    {
        Connection connection(mailbox->loop);
        connection.connect();
        for (;;) {
            std::optional<Cue> cue;
            {
                std::lock_guard lock(mailbox->mutex);
                if (mailbox->stop)
                    break;
                cue = std::exchange(mailbox->newest, std::nullopt);
            }
            if (cue)
                connection.play(std::move(*cue));
            // Sleeps until the server or the caller has something for us.
            if (pa_mainloop_iterate(mailbox->loop, 1, nullptr) < 0)
                break;
            connection.settle();
        }
    }
    std::lock_guard lock(mailbox->mutex);
    mailbox->finished = true;
    mailbox->finishedChanged.notify_all();
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
    if (wav->channels > int { PA_CHANNELS_MAX } || !pa_sample_spec_valid(&cue.format))
        return cue;
    const std::uint8_t silent = cue.format.format == PA_SAMPLE_U8 ? 0x80 : 0x00;
    cue.samples.assign(wav->samples.begin(), wav->samples.end());
    cue.samples.resize(cue.samples.size() + pa_usec_to_bytes(trailingSilence, &cue.format), silent);
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
    pa_mainloop_wakeup(mailbox.loop);
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
    pa_mainloop_wakeup(mailbox.loop);
    return playable ? 1 : 0;
}

} // namespace zorbel::sound
