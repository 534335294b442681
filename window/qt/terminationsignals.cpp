#include "terminationsignals.h"

#include "windowport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace zorbel {
namespace {

volatile std::sig_atomic_t pipeWriteEnd = -1;
volatile std::sig_atomic_t failing = 0;

extern "C" void onTerminationSignal(int signal)
{
    // The event loop may be the message box's, which runs no handler.
    if (failing)
        ::_exit(EXIT_FAILURE);
    const int savedErrno = errno;
    const char byte = char(signal);
    // A full pipe already holds a byte that will wake the event loop.
    [[maybe_unused]] const ssize_t written = ::write(pipeWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : m_onSignal(std::move(onSignal))
{
    if (::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        fatalError(std::string("cannot watch for termination signals: ") + std::strerror(errno));
    pipeWriteEnd = m_pipe[1];

    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { drain(); });

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handled.size(); ++i) {
        sigaction(handled[i], nullptr, &m_previous[i]);
        if (m_previous[i].sa_handler != SIG_IGN)
            sigaction(handled[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < handled.size(); ++i)
        sigaction(handled[i], &m_previous[i], nullptr);
    pipeWriteEnd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::programFailing()
{
    failing = 1;
}

// Several signals before the loop gets here end the program once.
void TerminationSignals::drain()
{
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    runHandler(m_onSignal);
}

} // namespace zorbel
