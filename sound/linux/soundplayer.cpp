#include "platform.h"

#include "wavimage.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/timeval.h>

#include <dlfcn.h>
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
#include <type_traits>
#include <utility>
#include <vector>

// Plays the cues through the desktop's sound server (PulseAudio, or PipeWire
// through pipewire-pulse) over one connection and one playback stream, kept
// for the whole run. Everything that talks to the server runs on a thread of
// its own: the caller only leaves the newest cue in a mailbox.
//
// libpulse is loaded by that thread rather than linked: the program then needs
// no libpulse0 package, which brings codec libraries along that the cues never
// use, and where it is missing the program only stays silent. Its headers give
// the types; the functions come from the table below.

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

// The libpulse functions the player calls, each named after its own without
// the "pa_" prefix.
struct Pulse {
    decltype(&pa_mainloop_new) mainloop_new;
    decltype(&pa_mainloop_free) mainloop_free;
    decltype(&pa_mainloop_get_api) mainloop_get_api;
    decltype(&pa_mainloop_iterate) mainloop_iterate;
    decltype(&pa_mainloop_wakeup) mainloop_wakeup;
    decltype(&pa_context_new_with_proplist) context_new_with_proplist;
    decltype(&pa_context_set_state_callback) context_set_state_callback;
    decltype(&pa_context_connect) context_connect;
    decltype(&pa_context_get_state) context_get_state;
    decltype(&pa_context_errno) context_errno;
    decltype(&pa_context_disconnect) context_disconnect;
    decltype(&pa_context_unref) context_unref;
    decltype(&pa_context_rttime_new) context_rttime_new;
    decltype(&pa_context_rttime_restart) context_rttime_restart;
    decltype(&pa_stream_new_with_proplist) stream_new_with_proplist;
    decltype(&pa_stream_set_state_callback) stream_set_state_callback;
    decltype(&pa_stream_connect_playback) stream_connect_playback;
    decltype(&pa_stream_get_state) stream_get_state;
    decltype(&pa_stream_get_sample_spec) stream_get_sample_spec;
    decltype(&pa_stream_flush) stream_flush;
    decltype(&pa_stream_write) stream_write;
    decltype(&pa_stream_cork) stream_cork;
    decltype(&pa_stream_disconnect) stream_disconnect;
    decltype(&pa_stream_unref) stream_unref;
    decltype(&pa_operation_unref) operation_unref;
    decltype(&pa_proplist_new) proplist_new;
    decltype(&pa_proplist_sets) proplist_sets;
    decltype(&pa_proplist_free) proplist_free;
    decltype(&pa_strerror) strerror;
    decltype(&pa_rtclock_now) rtclock_now;
    decltype(&pa_sample_spec_equal) sample_spec_equal;
    decltype(&pa_usec_to_bytes) usec_to_bytes;
    decltype(&pa_frame_size) frame_size;
};

// Binds every function of the table, or names the first that is missing.
std::optional<Pulse> resolve(void *library, std::string &error)
{
    Pulse pa {};
    const auto bind = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
        if (!function && error.empty())
            error = std::string("libpulse.so.0 lacks ") + name;
    };
    bind(pa.mainloop_new, "pa_mainloop_new");
    bind(pa.mainloop_free, "pa_mainloop_free");
    bind(pa.mainloop_get_api, "pa_mainloop_get_api");
    bind(pa.mainloop_iterate, "pa_mainloop_iterate");
    bind(pa.mainloop_wakeup, "pa_mainloop_wakeup");
    bind(pa.context_new_with_proplist, "pa_context_new_with_proplist");
    bind(pa.context_set_state_callback, "pa_context_set_state_callback");
    bind(pa.context_connect, "pa_context_connect");
    bind(pa.context_get_state, "pa_context_get_state");
    bind(pa.context_errno, "pa_context_errno");
    bind(pa.context_disconnect, "pa_context_disconnect");
    bind(pa.context_unref, "pa_context_unref");
    bind(pa.context_rttime_new, "pa_context_rttime_new");
    bind(pa.context_rttime_restart, "pa_context_rttime_restart");
    bind(pa.stream_new_with_proplist, "pa_stream_new_with_proplist");
    bind(pa.stream_set_state_callback, "pa_stream_set_state_callback");
    bind(pa.stream_connect_playback, "pa_stream_connect_playback");
    bind(pa.stream_get_state, "pa_stream_get_state");
    bind(pa.stream_get_sample_spec, "pa_stream_get_sample_spec");
    bind(pa.stream_flush, "pa_stream_flush");
    bind(pa.stream_write, "pa_stream_write");
    bind(pa.stream_cork, "pa_stream_cork");
    bind(pa.stream_disconnect, "pa_stream_disconnect");
    bind(pa.stream_unref, "pa_stream_unref");
    bind(pa.operation_unref, "pa_operation_unref");
    bind(pa.proplist_new, "pa_proplist_new");
    bind(pa.proplist_sets, "pa_proplist_sets");
    bind(pa.proplist_free, "pa_proplist_free");
    bind(pa.strerror, "pa_strerror");
    bind(pa.rtclock_now, "pa_rtclock_now");
    bind(pa.sample_spec_equal, "pa_sample_spec_equal");
    bind(pa.usec_to_bytes, "pa_usec_to_bytes");
    bind(pa.frame_size, "pa_frame_size");
    if (!error.empty())
        return std::nullopt;
    return pa;
}

// libpulse, loaded once for the whole run and never unloaded: a sound thread
// left to the process's end may still be inside it. Null, after one line on
// stderr, where it cannot be loaded.
const Pulse *loadPulse()
{
    static const std::optional<Pulse> pulse = []() -> std::optional<Pulse> {
        std::string error;
        std::optional<Pulse> table;
        if (void *library = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL))
            table = resolve(library, error);
        else if (const char *why = dlerror())
            error = why;
        if (!table)
            std::fprintf(stderr, "Zorbel: no sound: libpulse cannot be loaded (%s); the sound cues stay silent\n",
                         error.c_str());
        return table;
    }();
    return pulse ? &*pulse : nullptr;
}

struct Cue {
    pa_sample_spec format = cueFormat;
    std::vector<std::uint8_t> samples; // none: only silence the cue sounding
    std::chrono::microseconds duration {};
    Clock::time_point asked;
};

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

// The connection to the server and its one stream. Lives on the sound thread.
class Connection {
public:
    Connection(const Pulse &pa, pa_mainloop *loop)
        : m_pa(pa)
        , m_api(pa.mainloop_get_api(loop))
    {
    }

    ~Connection() { release(); }

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Reached at start-up, so the first cue finds the stream ready.
    void connect()
    {
        pa_proplist *properties = identity();
        m_context = m_pa.context_new_with_proplist(m_api, applicationName, properties);
        m_pa.proplist_free(properties);
        if (!m_context) {
            warnOnce("no sound: cannot talk to a sound server");
            return;
        }
        m_pa.context_set_state_callback(m_context, onContextState, this);
        // A program that plays two cues does not start a sound server of its own.
        if (m_pa.context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
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
        if (m_context && !PA_CONTEXT_IS_GOOD(m_pa.context_get_state(m_context)))
            release();
        else if (m_stream && !PA_STREAM_IS_GOOD(m_pa.stream_get_state(m_stream)))
            releaseStream();
    }

private:
    pa_proplist *identity() const
    {
        pa_proplist *properties = m_pa.proplist_new();
        m_pa.proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName);
        m_pa.proplist_sets(properties, PA_PROP_APPLICATION_ID, desktopId);
        m_pa.proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, desktopId);
        m_pa.proplist_sets(properties, PA_PROP_MEDIA_ROLE, "game");
        return properties;
    }

    static void onContextState(pa_context *context, void *self)
    {
        auto *connection = static_cast<Connection *>(self);
        const Pulse &pa = connection->m_pa;
        switch (pa.context_get_state(context)) {
        case PA_CONTEXT_READY:
            connection->m_everReady = true;
            connection->start();
            break;
        case PA_CONTEXT_FAILED:
            if (connection->m_everReady)
                connection->warnOnce(std::string("the sound server went away (") + pa.strerror(pa.context_errno(context))
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
        const Pulse &pa = connection->m_pa;
        switch (pa.stream_get_state(stream)) {
        case PA_STREAM_READY:
            // Playing from the start: the first cue comes soon.
            connection->pauseLater({});
            connection->start();
            break;
        case PA_STREAM_FAILED:
            // Tried again at the next cue.
            connection->warnOnce(std::string("the sound server refused the cues' stream (")
                                 + pa.strerror(pa.context_errno(connection->m_context))
                                 + "); the sound cues stay silent");
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
        if (!m_context || m_pa.context_get_state(m_context) != PA_CONTEXT_READY)
            return;
        const pa_sample_spec format = m_waiting ? m_waiting->format : cueFormat;
        if (m_stream && !m_pa.sample_spec_equal(m_pa.stream_get_sample_spec(m_stream), &format))
            releaseStream();
        if (!m_stream) {
            openStream(format);
            return;
        }
        if (m_pa.stream_get_state(m_stream) != PA_STREAM_READY || !m_waiting)
            return;

        const Cue cue = std::move(*m_waiting);
        m_waiting.reset();
        if (Clock::now() - cue.asked > latestStart || m_unanswered >= unansweredLimit)
            return;
        // The server drops what it still has of the old cue, then takes the
        // new one whole: nothing of the old sounds under the new, and the
        // server never waits for the rest of a cue. The bytes are copied here.
        ask(m_pa.stream_flush(m_stream, onAnswer, this));
        m_pa.stream_write(m_stream, cue.samples.data(), cue.samples.size(), nullptr, 0, PA_SEEK_RELATIVE);
        if (m_paused) {
            ask(m_pa.stream_cork(m_stream, 0, onAnswer, this));
            m_paused = false;
        }
        pauseLater(cue.duration);
    }

    void pauseLater(std::chrono::microseconds playing)
    {
        const auto rest = std::chrono::duration_cast<std::chrono::microseconds>(playing + pauseAfter);
        const pa_usec_t at = m_pa.rtclock_now() + static_cast<pa_usec_t>(rest.count());
        if (m_restTimer)
            m_pa.context_rttime_restart(m_context, m_restTimer, at);
        else
            m_restTimer = m_pa.context_rttime_new(m_context, at, onRest, this);
    }

    void silence()
    {
        if (!m_stream || m_pa.stream_get_state(m_stream) != PA_STREAM_READY)
            return;
        ask(m_pa.stream_flush(m_stream, onAnswer, this));
        pause();
    }

    void pause()
    {
        if (m_paused || !m_stream || m_pa.stream_get_state(m_stream) != PA_STREAM_READY)
            return;
        ask(m_pa.stream_cork(m_stream, 1, onAnswer, this));
        m_paused = true;
    }

    void ask(pa_operation *question)
    {
        if (!question)
            return;
        ++m_unanswered;
        m_pa.operation_unref(question);
    }

    void openStream(const pa_sample_spec &format)
    {
        pa_proplist *properties = identity();
        m_stream = m_pa.stream_new_with_proplist(m_context, applicationName, &format, nullptr, properties);
        m_pa.proplist_free(properties);
        if (!m_stream)
            return;
        m_pa.stream_set_state_callback(m_stream, onStreamState, this);
        pa_buffer_attr buffer {};
        buffer.maxlength = std::numeric_limits<std::uint32_t>::max();
        buffer.tlength = static_cast<std::uint32_t>(m_pa.usec_to_bytes(targetLatency, &format));
        // A cue arrives whole, so it may start at its first frame.
        buffer.prebuf = static_cast<std::uint32_t>(m_pa.frame_size(&format));
        buffer.minreq = std::numeric_limits<std::uint32_t>::max();
        buffer.fragsize = std::numeric_limits<std::uint32_t>::max();
        // No volume of our own, so the server gives the stream the one the
        // user last set for it.
        m_paused = false;
        m_unanswered = 0;
        if (m_pa.stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
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
        m_pa.stream_set_state_callback(m_stream, nullptr, nullptr);
        m_pa.stream_disconnect(m_stream);
        m_pa.stream_unref(m_stream);
        m_stream = nullptr;
    }

    // Never waits on the server, which may be frozen or gone.
    void release()
    {
        releaseStream();
        if (!m_context)
            return;
        m_pa.context_set_state_callback(m_context, nullptr, nullptr);
        m_pa.context_disconnect(m_context);
        m_pa.context_unref(m_context);
        m_context = nullptr;
    }

    void warnNoServer()
    {
        warnOnce(std::string("no sound server (") + m_pa.strerror(m_pa.context_errno(m_context))
                 + "); the sound cues stay silent");
    }

    // One line in all, however often the server is missed.
    void warnOnce(const std::string &line)
    {
        if (std::exchange(m_warned, true))
            return;
        std::fprintf(stderr, "Zorbel: %s\n", line.c_str());
    }

    const Pulse &m_pa;
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
