#include "qttoolkit.h"

#include "design.h"
#include "fatalerror.h"

#include <QWidget>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace zorbel {

QtElement::QtElement(QWidget &widget)
    : PlacedElement(static_cast<float>(widget.x()), static_cast<float>(widget.y()))
    , m_widget(widget)
{
}

float QtElement::Height() const
{
    return static_cast<float>(m_widget.height());
}

void QtElement::setVisible(bool visible)
{
    m_widget.setVisible(visible);
}

void QtElement::place()
{
    const QPoint pixel(nearestPixel(Left()), nearestPixel(Top()));
    if (m_widget.pos() != pixel)
        m_widget.move(pixel);
}

QtTimer::QtTimer(QObject &owner, int requestedPeriodMs, std::function<void()> onTick)
    : m_periodMs(std::max(requestedPeriodMs, design::shortestTimerPeriodMs))
    , m_fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
    , m_onTick(std::move(onTick))
{
    if (m_fd < 0)
        fatalError(std::string("cannot create a timer: ") + std::strerror(errno));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, &owner);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { tick(); });
}

QtTimer::~QtTimer()
{
    delete m_notifier;
    ::close(m_fd);
}

void QtTimer::tick()
{
    // Reading resets the count of expirations, however many there were.
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) <= 0 || !m_enabled)
        return;
    runHandler(m_onTick);
}

void QtTimer::setEnabled(bool enabled)
{
    // Restarting a running timer would shift its phase; an enabled timer
    // must tick on as before.
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    itimerspec period {};
    if (enabled) {
        period.it_interval.tv_sec = m_periodMs / 1000;
        period.it_interval.tv_nsec = long(m_periodMs % 1000) * 1000000;
        period.it_value = period.it_interval;
    }
    ::timerfd_settime(m_fd, 0, &period, nullptr);
}

} // namespace zorbel
