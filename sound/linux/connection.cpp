#include "connection.h"

#include "soundplatform.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>

namespace zorbel::sound {
namespace {

// The names the desktop's mixer shows the stream under and remembers its
// volume by: the installed desktop entry and icon.
constexpr const char *applicationName = "Zorbel";
constexpr const char *desktopId = "org.zorbel.Zorbel";

// How much the stream keeps queued ahead of the sink: what delays a cue's
// start. The server may raise it to what the sink can do.
constexpr pa_usec_t targetLatency = 5'000;

// The stream is paused at rest, so the sink may go idle and the server stops
// serving it while the program rests.
constexpr auto pauseAfter = restAfterLastCue;

// A server that stopped answering leaves cues queued in this process; so
// many unanswered cues mean it is stuck, and further ones are dropped.
constexpr int unansweredLimit = 8;


// Lets go of a stream or context: no callback of it runs again, and
// nothing waits on the server, which may be frozen or gone.
template<typename Object, typename SetCallback, typename Disconnect, typename Unref>
void letGo(Object *&object, SetCallback setCallback, Disconnect disconnect, Unref unref)
{
    setCallback(object, nullptr, nullptr);
    disconnect(object);
    unref(object);
    object = nullptr;
}

} // namespace

Connection::Connection(const Pulse &pa, pa_mainloop *loop)
    : m_pa(pa)
    , m_api(pa.mainloop_get_api(loop))
{
}

Connection::~Connection() { release(); }

void Connection::connect()
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

void Connection::play(Cue cue)
{
    if (cue.samples.empty()) {
        silence();
        m_schedule.clear();
        return;
    }
    m_schedule.ask(std::move(cue));
    // A server that went away is looked for again, without holding up anyone.
    if (!m_context)
        connect();
    start();
    followLater();
}

void Connection::settle()
{
    if (m_context && !PA_CONTEXT_IS_GOOD(m_pa.context_get_state(m_context)))
        release();
    else if (m_stream && !PA_STREAM_IS_GOOD(m_pa.stream_get_state(m_stream)))
        releaseStream();
}

pa_proplist *Connection::identity() const
{
    pa_proplist *properties = m_pa.proplist_new();
    m_pa.proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName);
    m_pa.proplist_sets(properties, PA_PROP_APPLICATION_ID, desktopId);
    m_pa.proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, desktopId);
    m_pa.proplist_sets(properties, PA_PROP_MEDIA_ROLE, "game");
    return properties;
}

void Connection::onContextState(pa_context *context, void *self)
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

void Connection::onStreamState(pa_stream *stream, void *self)
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

void Connection::onAnswer(pa_stream *, int, void *self) { --static_cast<Connection *>(self)->m_unanswered; }

void Connection::onRest(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    static_cast<Connection *>(self)->pause();
}

void Connection::onFollow(pa_mainloop_api *api, pa_time_event *timer, const struct timeval *, void *self)
{
    auto *connection = static_cast<Connection *>(self);
    api->time_free(timer);
    connection->m_followTimer = nullptr;
    connection->m_schedule.follow();
    connection->start();
    connection->followLater();
}

// Plays the waiting cue once the stream is ready for it, opening the stream
// first when there is none in the cue's format.
void Connection::start()
{
    if (!m_context || m_pa.context_get_state(m_context) != PA_CONTEXT_READY)
        return;
    const Cue *waiting = m_schedule.waiting();
    const pa_sample_spec format = waiting ? waiting->format : cueFormat;
    if (m_stream && !m_pa.sample_spec_equal(m_pa.stream_get_sample_spec(m_stream), &format))
        releaseStream();
    if (!m_stream) {
        openStream(format);
        return;
    }
    if (m_pa.stream_get_state(m_stream) != PA_STREAM_READY || !waiting)
        return;

    const std::optional<Cue> cue = m_schedule.take(Clock::now(), m_unanswered >= unansweredLimit);
    followLater();
    if (!cue)
        return;
    // The server drops what it still has of the old cue, then takes the new
    // one whole: nothing of the old sounds under the new, and the server
    // never waits for the rest of a cue. The bytes are copied here.
    ask(m_pa.stream_flush(m_stream, onAnswer, this));
    m_pa.stream_write(m_stream, cue->samples.data(), cue->samples.size(), nullptr, 0, PA_SEEK_RELATIVE);
    if (m_paused) {
        ask(m_pa.stream_cork(m_stream, 0, onAnswer, this));
        m_paused = false;
    }
    pauseLater(cue->duration);
}

void Connection::pauseLater(std::chrono::microseconds playing)
{
    const auto rest = std::chrono::duration_cast<std::chrono::microseconds>(playing + pauseAfter);
    const pa_usec_t at = m_pa.rtclock_now() + static_cast<pa_usec_t>(rest.count());
    if (m_restTimer)
        m_pa.context_rttime_restart(m_context, m_restTimer, at);
    else
        m_restTimer = m_pa.context_rttime_new(m_context, at, onRest, this);
}

// Starts each cue that came while the first one waited when its schedule says.
void Connection::followLater()
{
    const std::optional<Clock::time_point> due = m_schedule.followAt();
    if (!due || !m_context)
        return;
    const auto wait = std::max(Clock::duration {}, *due - Clock::now());
    const pa_usec_t at = m_pa.rtclock_now() + static_cast<pa_usec_t>(std::chrono::duration_cast<std::chrono::microseconds>(wait).count());
    if (m_followTimer)
        m_pa.context_rttime_restart(m_context, m_followTimer, at);
    else
        m_followTimer = m_pa.context_rttime_new(m_context, at, onFollow, this);
}

void Connection::silence()
{
    if (!m_stream || m_pa.stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    ask(m_pa.stream_flush(m_stream, onAnswer, this));
    pause();
}

void Connection::pause()
{
    if (m_paused || !m_stream || m_pa.stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    ask(m_pa.stream_cork(m_stream, 1, onAnswer, this));
    m_paused = true;
}

void Connection::ask(pa_operation *question)
{
    if (!question)
        return;
    ++m_unanswered;
    m_pa.operation_unref(question);
}

void Connection::openStream(const pa_sample_spec &format)
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
    // No volume of our own, so the server gives the stream the one the user
    // last set for it.
    m_paused = false;
    m_unanswered = 0;
    if (m_pa.stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        releaseStream();
}

void Connection::releaseStream()
{
    for (pa_time_event **timer : { &m_restTimer, &m_followTimer }) {
        if (*timer)
            m_api->time_free(std::exchange(*timer, nullptr));
    }
    m_schedule.outputLost();
    if (m_stream)
        letGo(m_stream, m_pa.stream_set_state_callback, m_pa.stream_disconnect, m_pa.stream_unref);
}

// Never waits on the server, which may be frozen or gone.
void Connection::release()
{
    releaseStream();
    if (!m_context)
        return;
    letGo(m_context, m_pa.context_set_state_callback, m_pa.context_disconnect, m_pa.context_unref);
    // A server that comes back is a new connection.
    m_schedule.restart();
}

void Connection::warnNoServer()
{
    warnOnce(std::string("no sound server (") + m_pa.strerror(m_pa.context_errno(m_context))
             + "); the sound cues stay silent");
}

// One line in all, however often the server is missed.
void Connection::warnOnce(const std::string &line)
{
    if (std::exchange(m_warned, true))
        return;
    std::fprintf(stderr, "Zorbel: %s\n", line.c_str());
}

} // namespace zorbel::sound
