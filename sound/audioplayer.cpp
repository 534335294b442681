#include "audioplayer.h"

#include "wavimage.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include <chrono>
#include <mutex>
#include <span>
#include <utility>

using namespace std::chrono_literals;

namespace zorbel::sound {

namespace {

// A stream starts playing only once its buffer has filled. Qt's default
// buffer waits for 1379 bytes, more than the whole bounce cue (1086), which
// then never sounds; 512 bytes starts every cue at once.
constexpr qsizetype cueBufferBytes = 512;

// How long the server may take to play out what it was given once the last
// sample is written. The sink is closed only after this, so the tail of a cue
// is never cut, and closing it stops Qt's 20 ms tick timer for idle sinks.
constexpr auto playOutMargin = 250ms;

// Used only if the sink takes a cue in parts; Qt 6.4's PulseAudio sink
// accepts a whole cue in one write.
constexpr auto feedInterval = 10ms;

// A working server answers in about a millisecond.
constexpr auto serverAnswerLimit = 1000ms;

// Longer than serverAnswerLimit, so a worker waiting on a frozen server has
// given up and can be joined.
constexpr auto shutdownWait = 1500ms;

std::span<const std::uint8_t> bytesOf(const QByteArray &image)
{
    return {reinterpret_cast<const std::uint8_t *>(image.constData()), static_cast<std::size_t>(image.size())};
}

QAudioFormat audioFormatOf(const WavImage &wav)
{
    QAudioFormat format;
    format.setSampleFormat(wav.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    format.setChannelCount(wav.channels);
    format.setSampleRate(wav.sampleRate);
    return format;
}

// Our own line to the sound server, asked before every cue. Qt Multimedia
// waits on a server that does not answer: about 30 s on first use while
// holding a global lock that the program's exit then waits on too, and
// without end when opening a stream later. A server that has just answered us
// is safe to hand to Qt. Between checks nothing polls this line, so it causes
// no wake-ups.
class ServerCheck {
public:
    ServerCheck()
        : m_loop(pa_mainloop_new())
    {
    }

    ~ServerCheck()
    {
        disconnect();
        pa_mainloop_free(m_loop);
    }

    ServerCheck(const ServerCheck &) = delete;
    ServerCheck &operator=(const ServerCheck &) = delete;

    // Empty when the server answered in time, otherwise why it did not.
    QString problem(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        if (!m_context) {
            // Connecting is a full exchange with the server: no further question needed.
            if (!connect())
                return failure();
            const bool settled = runUntil(deadline, [this] {
                const pa_context_state_t state = pa_context_get_state(m_context);
                return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
            });
            if (!settled)
                return timedOut();
            return pa_context_get_state(m_context) == PA_CONTEXT_READY ? QString() : failure();
        }
        if (pa_context_get_state(m_context) != PA_CONTEXT_READY)
            return failure();

        bool answered = false;
        pa_operation *question = pa_context_get_server_info(
            m_context, [](pa_context *, const pa_server_info *, void *flag) { *static_cast<bool *>(flag) = true; },
            &answered);
        if (!question)
            return failure();
        const bool settled = runUntil(deadline, [&] {
            return answered || pa_operation_get_state(question) != PA_OPERATION_RUNNING;
        });
        if (!settled)
            pa_operation_cancel(question);
        pa_operation_unref(question);
        if (!settled)
            return timedOut();
        return answered ? QString() : failure();
    }

private:
    bool connect()
    {
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Zorbel server check");
        // The same server and flags as Qt's own connection.
        return m_context && pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
    }

    void disconnect()
    {
        if (!m_context)
            return;
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }

    // Runs the line's events until done() holds, sleeping in poll meanwhile.
    template<typename Done>
    bool runUntil(std::chrono::steady_clock::time_point deadline, Done done)
    {
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            if (pa_mainloop_prepare(m_loop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(m_loop) < 0
                || pa_mainloop_dispatch(m_loop) < 0)
                return false;
        }
        return true;
    }

    QString failure()
    {
        const QString why = QString::fromUtf8(pa_strerror(m_context ? pa_context_errno(m_context) : PA_ERR_INTERNAL));
        disconnect();
        return why;
    }

    QString timedOut()
    {
        disconnect();
        return QStringLiteral("no answer within %1 ms").arg(serverAnswerLimit.count());
    }

    pa_mainloop *m_loop;
    pa_context *m_context = nullptr;
};

} // namespace

// The newest request, handed from the caller's thread to the worker. Shared so
// that a worker left behind at exit never touches a destroyed player.
struct AudioPlayer::Mailbox {
    std::mutex mutex;
    QByteArray newest;
    bool posted = false; // a hand-over is queued to the worker and not yet taken
};

// Everything here runs on the player's thread.
class AudioPlayer::Worker : public QObject {
public:
    explicit Worker(std::shared_ptr<Mailbox> mailbox)
        : m_mailbox(std::move(mailbox))
    {
        m_feedTimer.setInterval(feedInterval);
        connect(&m_feedTimer, &QTimer::timeout, this, [this] { feed(); });
        m_playedOutTimer.setSingleShot(true);
        connect(&m_playedOutTimer, &QTimer::timeout, this, [this] { playedOut(); });
    }

    void takeNewest()
    {
        QByteArray image;
        {
            std::lock_guard lock(m_mailbox->mutex);
            image = std::exchange(m_mailbox->newest, {});
            m_mailbox->posted = false;
        }
        startCue(std::move(image));
    }

private:
    void startCue(QByteArray image)
    {
        // Even a cue that cannot be played silences the one before it.
        stopCue();
        if (m_unavailable)
            return;
        const std::optional<WavImage> wav = WavImage::parse(bytesOf(image));
        if (!wav)
            return;
        // A server that does not answer may do so later: this cue stays
        // silent, the next one asks again.
        if (const QString problem = m_server.problem(serverAnswerLimit); !problem.isEmpty()) {
            warnOnce(QStringLiteral("the sound server does not answer (%1)").arg(problem));
            return;
        }
        if (!prepareSink(audioFormatOf(*wav)))
            return;

        // Qt 6.4.2 shrinks the buffer of a sink reused after stop(), cue by
        // cue, so the size is set again before every start.
        m_sink->setBufferSize(cueBufferBytes);
        m_stream = m_sink->start();
        if (!m_stream) {
            giveUp(QStringLiteral("the sound server refused an output stream"));
            return;
        }
        // Only now, with the new cue under way, are the previous bytes let go.
        m_image = std::move(image);
        m_unwritten = wav->samples;
        m_playedOutTimer.start(std::chrono::duration_cast<std::chrono::milliseconds>(wav->duration()) + playOutMargin);
        feed();
    }

    void feed()
    {
        while (!m_unwritten.empty()) {
            const qint64 accepted = m_stream->write(reinterpret_cast<const char *>(m_unwritten.data()),
                                                    static_cast<qint64>(m_unwritten.size()));
            if (accepted <= 0)
                break;
            m_unwritten = m_unwritten.subspan(static_cast<std::size_t>(accepted));
        }
        if (m_unwritten.empty())
            m_feedTimer.stop();
        else if (!m_feedTimer.isActive())
            m_feedTimer.start();
    }

    void playedOut()
    {
        if (!m_unwritten.empty()) {
            m_playedOutTimer.start(playOutMargin);
            return;
        }
        stopCue();
        m_image = {};
    }

    void stopCue()
    {
        m_feedTimer.stop();
        m_playedOutTimer.stop();
        m_unwritten = {};
        m_stream = nullptr;
        if (m_sink)
            m_sink->stop();
    }

    bool prepareSink(const QAudioFormat &format)
    {
        if (m_sink && m_sink->format() == format)
            return true;
        if (m_output.isNull()) {
            m_output = QMediaDevices::defaultAudioOutput();
            if (m_output.isNull()) {
                giveUp(QStringLiteral("the sound server has no output device"));
                return false;
            }
        }
        if (!m_output.isFormatSupported(format))
            return false;
        delete m_sink;
        m_sink = new QAudioSink(m_output, format, this);
        return true;
    }

    // Without a device or a stream nothing will change while the program runs.
    void giveUp(const QString &why)
    {
        warnOnce(why);
        m_unavailable = true;
        delete m_sink;
        m_sink = nullptr;
    }

    // One line in all, however many cues follow.
    void warnOnce(const QString &why)
    {
        if (std::exchange(m_warned, true))
            return;
        qWarning("No sound: %s; the sound cues stay silent", qUtf8Printable(why));
    }

    std::shared_ptr<Mailbox> m_mailbox;
    ServerCheck m_server;
    QAudioDevice m_output;
    QAudioSink *m_sink = nullptr;
    QIODevice *m_stream = nullptr; // owned by m_sink, valid while a cue plays
    QByteArray m_image; // holds the bytes m_unwritten points into
    std::span<const std::uint8_t> m_unwritten;
    QTimer m_feedTimer {this};
    QTimer m_playedOutTimer {this};
    bool m_unavailable = false; // no device or stream: stay silent from now on
    bool m_warned = false;
};

AudioPlayer::AudioPlayer()
    : m_mailbox(std::make_shared<Mailbox>())
    , m_thread(new QThread)
    , m_worker(new Worker(m_mailbox))
{
    m_thread->setObjectName(QStringLiteral("zorbel-sound"));
    m_worker->moveToThread(m_thread);
    // The worker and its sink are destroyed on their own thread as it ends.
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

AudioPlayer::~AudioPlayer()
{
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(shutdownWait))) {
        delete m_thread;
        return;
    }
    // NOTE: The worker is stuck inside Qt Multimedia, which waits 30 s or more
    // on a server that froze between the worker's check and Qt's call.
    // Waiting for it would hang the program's exit and deleting a running
    // QThread aborts, so the thread and its worker are deliberately leaked;
    // the process ends them when it exits.
}

void AudioPlayer::play(QByteArray image)
{
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->newest = std::move(image);
        if (m_mailbox->posted)
            return;
        m_mailbox->posted = true;
    }
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->takeNewest(); }, Qt::QueuedConnection);
}

} // namespace zorbel::sound
