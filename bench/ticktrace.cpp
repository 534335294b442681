// Linked with window/main.cpp into ZorbelTickTrace: the real program and
// window library, unchanged, plus an application-wide event filter that notes
// when each of the window's timers ticks. The window's timers are kernel
// timers watched by socket notifiers it owns (QtTimer); QTimers it owns count
// too. The times (ns, steady clock) and which timer ticked go to the file
// named by ZORBEL_TICK_TRACE at exit.

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QTimerEvent>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

class TickRecorder final : public QObject {
public:
    TickRecorder() { m_ticks.reserve(1 << 16); }

    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (!isWindowTimerTick(receiver, event))
            return false;
        const QObject *timer = receiver;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        int which = 0;
        while (which < int(m_timers.size()) && m_timers[std::size_t(which)] != timer)
            ++which;
        if (which == int(m_timers.size()))
            m_timers.push_back(timer);
        m_ticks.push_back({ std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), which });
        return false;
    }

    static bool isWindowTimerTick(QObject *receiver, QEvent *event)
    {
        if (!qobject_cast<QWidget *>(receiver->parent()))
            return false;
        if (event->type() == QEvent::SockAct)
            return qobject_cast<QSocketNotifier *>(receiver) != nullptr;
        if (event->type() == QEvent::Timer) {
            auto *timer = qobject_cast<QTimer *>(receiver);
            return timer && static_cast<QTimerEvent *>(event)->timerId() == timer->timerId();
        }
        return false;
    }

    void write() const
    {
        const QByteArray path = qgetenv("ZORBEL_TICK_TRACE");
        if (path.isEmpty())
            return;
        if (std::FILE *out = std::fopen(path.constData(), "w")) {
            for (const Tick &tick : m_ticks)
                std::fprintf(out, "%lld %d\n", tick.ns, tick.timer);
            std::fclose(out);
        }
    }

private:
    struct Tick {
        long long ns;
        int timer;
    };
    std::vector<Tick> m_ticks;
    std::vector<const QObject *> m_timers;
};

void installTickRecorder()
{
    auto *recorder = new TickRecorder;
    recorder->moveToThread(QCoreApplication::instance()->thread());
    QCoreApplication::instance()->installEventFilter(recorder);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [recorder] { recorder->write(); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installTickRecorder)
