#pragma once

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace zorbel {

// SIGTERM, SIGINT and SIGHUP, as a session manager, a service manager or a
// terminal sends them, end the program through its event loop instead of on
// the spot, so the window and the sound stream close as they do for the close
// button and the exit status is 0.
//
// Once the program is failing (a fatal error, its message box perhaps up),
// a termination signal ends it at once with status 1, as the failure would.
//
// A signal ignored when the program started (nohup, a background job) stays
// ignored. The handlers write one byte to a pipe, the only thing a signal
// handler may safely do; onSignal then runs in the event loop. One object at a
// time: the handlers know a single pipe.
class TerminationSignals final {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

    static constexpr std::array handled { SIGTERM, SIGINT, SIGHUP };

    // Called by the fatal-error path before it reports the error.
    static void programFailing();

private:
    void drain();

    std::function<void()> m_onSignal;
    std::array<int, 2> m_pipe { -1, -1 };
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<struct sigaction, handled.size()> m_previous {};
};

} // namespace zorbel
